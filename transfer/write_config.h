// The write sequence: the "#00" test, then every line of the command set, each answer
// compared as a whole; "#03" is answered "#ACK" and, within 30000 ms, "#SAVE_OK".
#pragma once

#include <mutex>

#include "link/progress.h"
#include "link/serial_line.h"
#include "model/configuration_record.h"

namespace zdl {

inline constexpr Millis kSaveTimeout{30000};

// Whether stopping a write now would leave the unit running part of a configuration.
// "#01LDDEF" makes the unit drop its configuration; until it has acknowledged "#03" it
// holds only the lines received since. The write commits right before "#01LDDEF" and is
// whole once "#03" is acknowledged; the one who stops it (another thread) asks first
// whether a stop may still end it at once. Both sides go through one mutex, so a cancel
// and the commit never cross: either the cancel comes first and "#01LDDEF" never goes
// out, or the commit comes first and the cancel is refused. Every call is thread-safe.
class WriteCommit {
 public:
  // A new write begins: not committed, no cancel.
  void Reset();
  // The write, right before "#01LDDEF": true when it may go out; false when a cancel came
  // first (then nothing of the configuration is sent).
  bool Commit();
  // The write, once "#03" was acknowledged: the unit holds the whole configuration.
  void Complete();
  // The stopping side: true when the write may be stopped at once (it has not committed,
  // and now never will; or it is whole), false while the unit holds part of the
  // configuration: a stop then needs the user's word first.
  bool CancelUnlessCommitted();
  // The unit has taken "#01LDDEF" and not yet acknowledged "#03".
  bool Committed() const;

 private:
  enum class Phase { Before, Cancelled, Committed, Whole };
  mutable std::mutex mutex_;
  Phase phase_ = Phase::Before;
};

enum class WriteOutcome {
  Written,     // "#SAVE_OK" came
  Failed,      // a wrong or missing answer, or a cancel while no part was written
  Incomplete,  // stopped on request after "#01LDDEF" and before "#03" was acknowledged:
               // the unit holds part of the configuration until it is written again
};

// True only when the unit answered "#SAVE_OK". Stops at the first wrong or missing
// answer. Progress 0 to 21; status SavingOnEeprom while the unit saves. `commit` is told
// when "#01LDDEF" is about to go out and when "#03" was acknowledged.
bool RunWriteSequence(SerialLine& line, Millis comTimeout, const ConfigurationRecord& record,
                      ProgressSink& progress, WriteCommit& commit);
bool RunWriteSequence(SerialLine& line, Millis comTimeout, const ConfigurationRecord& record,
                      ProgressSink& progress);

// The write phase as the user runs it (after the check pass): status WritingConfiguration, the
// sequence, then ConfigurationWritten or CommunicationError (bar to 0 on failure). A stop on request (the port's cancel)
// after the commit is Incomplete: the bar goes to 0 and no status is given (the front end
// tells it in its own words).
WriteOutcome WriteConfiguration(SerialLine& line, Millis comTimeout, const ConfigurationRecord& record,
                                ProgressSink& progress, WriteCommit& commit);
bool WriteConfiguration(SerialLine& line, Millis comTimeout, const ConfigurationRecord& record,
                        ProgressSink& progress);

}  // namespace zdl
