#include "transfer/write_session.h"

#include <utility>

#include "configfile/config_file.h"
#include "transfer/read_config.h"

namespace zdl {

WriteSessionResult RunWriteSession(SerialLine& line, Millis comTimeout, bool hasDatalogger,
                                   const ConfigurationRecord& record,
                                   const WriteSessionOptions& options, WriteSessionSink& sink,
                                   WriteCommit& commit) {
  using Outcome = WriteSessionResult::Outcome;
  WriteSessionResult result;

  if (options.backupPath) {
    sink.StepBegins(WriteStep::Backup);
    ConfigurationRecord unit;
    bool ok = ReadConfiguration(line, comTimeout, hasDatalogger, unit, sink);
    if (!ok) {
      result.outcome = Outcome::BackupReadFailed;
    } else {
      std::filesystem::path path = options.backupPath(unit);
      const SaveOutcome saved = SaveConfigFile(path, unit, FileAccess::OwnerOnly);
      ok = saved.ok;
      if (ok) {
        result.backup = std::move(path);
      } else {
        result.outcome = Outcome::BackupSaveFailed;
        result.saveProblem = saved.description;
      }
    }
    sink.StepEnded(WriteStep::Backup, ok, result);
    if (!ok) return result;
  }

  sink.StepBegins(WriteStep::Write);
  switch (WriteConfiguration(line, comTimeout, record, sink, commit)) {
    case WriteOutcome::Written:
      result.outcome = Outcome::Written;
      break;
    case WriteOutcome::Incomplete:
      result.outcome = Outcome::Incomplete;
      break;
    case WriteOutcome::Failed:
      result.outcome = Outcome::WriteFailed;
      break;
  }
  sink.StepEnded(WriteStep::Write, result.Written(), result);
  if (!result.Written() || !options.verify) return result;

  sink.StepBegins(WriteStep::Verify);
  if (ReadConfiguration(line, comTimeout, hasDatalogger, result.readBack, sink)) {
    result.differences = CompareWithUnit(record, result.readBack, {.hasDatalogger = hasDatalogger});
    result.outcome = result.differences.empty() ? Outcome::Verified : Outcome::VerifyDiffers;
  } else {
    result.outcome = Outcome::VerifyReadFailed;
  }
  sink.StepEnded(WriteStep::Verify, result.outcome != Outcome::VerifyReadFailed, result);
  return result;
}

}  // namespace zdl
