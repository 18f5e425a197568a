#include "ui/app/undo_history.h"

namespace zdl::ui {

UndoHistory::UndoHistory(const ConfigurationRecord& shown, std::size_t limit)
    : shown_(std::make_shared<const ConfigurationRecord>(shown)), limit_(limit < 1 ? 1 : limit) {}

void UndoHistory::Record(const StepSubject& subject, const ConfigurationRecord& after, bool typing) {
  if (typing && typingOpen_ && done_ > 0 && steps_[done_ - 1].subject == subject) {
    Step& open = steps_[done_ - 1];
    if (after == *open.before) {
      // Typed back to what the box held: no step at all.
      shown_ = open.before;
      steps_.pop_back();
      --done_;
      typingOpen_ = false;
      return;
    }
    shown_ = std::make_shared<const ConfigurationRecord>(after);
    open.after = shown_;
    return;
  }
  typingOpen_ = false;
  if (after == *shown_) return;
  steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(done_), steps_.end());
  Snapshot next = std::make_shared<const ConfigurationRecord>(after);
  steps_.push_back({subject, shown_, next});
  shown_ = std::move(next);
  typingOpen_ = typing;
  if (steps_.size() > limit_) steps_.pop_front();
  done_ = steps_.size();
}

void UndoHistory::Seal() { typingOpen_ = false; }

const StepSubject* UndoHistory::UndoSubject() const { return done_ > 0 ? &steps_[done_ - 1].subject : nullptr; }

const StepSubject* UndoHistory::RedoSubject() const {
  return done_ < steps_.size() ? &steps_[done_].subject : nullptr;
}

std::optional<UndoHistory::Move> UndoHistory::Undo() {
  typingOpen_ = false;
  if (done_ == 0) return std::nullopt;
  const Step& step = steps_[--done_];
  shown_ = step.before;
  return Move{*shown_, step.subject};
}

std::optional<UndoHistory::Move> UndoHistory::Redo() {
  typingOpen_ = false;
  if (done_ == steps_.size()) return std::nullopt;
  const Step& step = steps_[done_++];
  shown_ = step.after;
  return Move{*shown_, step.subject};
}

}  // namespace zdl::ui
