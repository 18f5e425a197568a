// A write as the user asks for it: the unit's configuration backed up first, then the
// write, then the configuration read back and compared with what was sent, each extra
// only when asked for. One routine for every front end; they keep only their prompts,
// their messages and their exit statuses.
//
// The order never changes: backup, write, verify. A backup that cannot be read or saved
// ends the session before anything is sent, so the unit keeps its configuration. Only the
// write commits (WriteCommit): a cancel during the backup's or the verify's read ends the
// session at once, as one before "#01LDDEF" does.
#pragma once

#include <filesystem>
#include <functional>
#include <vector>

#include "compare/comparison.h"
#include "link/serial_line.h"
#include "model/configuration_record.h"
#include "link/progress.h"
#include "transfer/write_config.h"
#include "text/extra_texts.h"

namespace zdl {

struct WriteSessionOptions {
  // Set: before anything is written, the unit's configuration is read and saved
  // (atomically, readable by its owner only: it holds the unit's authorised numbers and
  // privileges) to the file this names, given what was read.
  std::function<std::filesystem::path(const ConfigurationRecord& unit)> backupPath;
  // After "#SAVE_OK" the configuration is read back and compared, as the unit keeps it,
  // with what was sent.
  bool verify = false;
};

struct WriteSessionResult {
  enum class Outcome {
    BackupReadFailed,  // the unit's configuration could not be read: nothing was written
    BackupSaveFailed,  // it could not be saved (saveProblem says why): nothing was written
    WriteFailed,       // a wrong or missing answer, a text that may not go out, or a stop
                       // before "#01LDDEF"
    Incomplete,        // stopped on request after "#01LDDEF" and before "#03" was
                       // acknowledged: the unit holds part of the configuration
    Written,           // "#SAVE_OK" came; no verify was asked for
    VerifyReadFailed,  // written, but the configuration could not be read back
    VerifyDiffers,     // written; the unit keeps `differences` other than what was sent
    Verified,          // written, read back, nothing differs
  };
  Outcome outcome = Outcome::WriteFailed;
  // Where the backup was saved; empty when none was made.
  std::filesystem::path backup;
  BilingualText saveProblem;
  // The verify's read, and what it shows the unit did not keep.
  ConfigurationRecord readBack;
  std::vector<FieldDifference> differences;

  // The unit answered "#SAVE_OK".
  bool Written() const { return outcome >= Outcome::Written; }
};

// The session's steps, in the order they run.
enum class WriteStep { Backup, Write, Verify };

// What a session tells its front end as it goes: the progress of each step's read or
// write (a read 0 to 176 with the read's statuses, the write 0 to 21 with the write's),
// and when each step begins and ends, so a front end can show it at that moment.
class WriteSessionSink : public ProgressSink {
 public:
  virtual void StepBegins(WriteStep /*step*/) {}
  // `ok`: the step did its part (a verify that found differences did); after the backup
  // and the write, the session goes on. `result` holds what the session knows so far;
  // after a failed step its outcome names the failure.
  virtual void StepEnded(WriteStep /*step*/, bool /*ok*/, const WriteSessionResult& /*result*/) {}
};

// Runs the session on a connected line (the check before a write and its confirmation
// come first, and are the front end's). `commit` is the write's (see WriteCommit).
WriteSessionResult RunWriteSession(SerialLine& line, Millis comTimeout, bool hasDatalogger,
                                   const ConfigurationRecord& record,
                                   const WriteSessionOptions& options, WriteSessionSink& sink,
                                   WriteCommit& commit);

}  // namespace zdl
