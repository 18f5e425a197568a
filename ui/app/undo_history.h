// The steps of Edit > Undo and Edit > Redo: every change of the configuration the editors
// show, kept as the whole record before and after it, so an undo is the record put back
// followed by the one refresh of the editors. Kept for the run only, never saved.
//
// What makes a step: a text box's typing is one step until the box is left (Seal); every
// other change is a step of its own; a change that leaves the record as it was is none.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "model/configuration_record.h"
#include "model/field_table.h"

namespace zdl::ui {

// What a step did, enough to name it in the current language and to show it again.
enum class StepKind {
  Edit,      // a control of an editor: `editor` and its `control`
  AddEntry,  // Add in the phone list
  DeleteEntry,
  Reset,     // an editor back to its defaults: `editor`
  Open,      // a file opened: `file` names it
  Read,      // the configuration read from the unit
  TakeOver,  // values taken over in the comparison window
};

struct StepSubject {
  StepKind kind = StepKind::Edit;
  EditorId editor = EditorId::General;
  std::string control;  // the control's object name (Edit)
  std::string file;     // the file's name, without its folder (Open)
  bool operator==(const StepSubject&) const = default;
};

class UndoHistory {
 public:
  // Steps kept for the run; the oldest goes when a new one would pass it.
  static constexpr std::size_t kLimit = 500;

  // `shown`: the record the editors show now.
  explicit UndoHistory(const ConfigurationRecord& shown, std::size_t limit = kLimit);

  // The record became `after` through `subject`; nothing is kept when it did not change.
  // `typing`: a text box's change, one step with the box's changes before it until Seal.
  // Any step forgets what could be redone.
  void Record(const StepSubject& subject, const ConfigurationRecord& after, bool typing = false);
  // The text box being typed in was left: its next change is a new step.
  void Seal();

  // The step an undo or a redo would take back or again; null when there is none.
  const StepSubject* UndoSubject() const;
  const StepSubject* RedoSubject() const;

  struct Move {
    const ConfigurationRecord& record;  // what the editors show from now on
    const StepSubject& subject;         // the step taken back or done again
  };
  std::optional<Move> Undo();
  std::optional<Move> Redo();

  std::size_t UndoCount() const { return done_; }
  std::size_t RedoCount() const { return steps_.size() - done_; }

 private:
  using Snapshot = std::shared_ptr<const ConfigurationRecord>;
  struct Step {
    StepSubject subject;
    Snapshot before;  // shared with the step before it where nothing came between
    Snapshot after;
  };
  std::deque<Step> steps_;
  std::size_t done_ = 0;  // steps_[0, done_) are done; the rest can be redone
  Snapshot shown_;
  bool typingOpen_ = false;  // the last done step takes the same box's next change
  std::size_t limit_;
};

}  // namespace zdl::ui
