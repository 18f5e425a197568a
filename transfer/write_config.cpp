#include "transfer/write_config.h"

#include <string>

#include "transfer/command_set.h"

namespace zdl {

namespace {

constexpr int kWriteProgressMax = 21;
constexpr int kPresenceSends = 5;

// Sends one line and compares the whole answer with what the unit must give.
bool Exchange(SerialLine& line, Millis comTimeout, const CommandLine& command) {
  std::string text = command.text;
  line.SendCommand(text, comTimeout);
  return line.LastAnswer == command.expected;
}

}  // namespace

void WriteCommit::Reset() {
  std::lock_guard lock(mutex_);
  phase_ = Phase::Before;
}

bool WriteCommit::Commit() {
  std::lock_guard lock(mutex_);
  if (phase_ == Phase::Cancelled) return false;
  phase_ = Phase::Committed;
  return true;
}

void WriteCommit::Complete() {
  std::lock_guard lock(mutex_);
  phase_ = Phase::Whole;
}

bool WriteCommit::CancelUnlessCommitted() {
  std::lock_guard lock(mutex_);
  if (phase_ == Phase::Committed) return false;
  if (phase_ == Phase::Before) phase_ = Phase::Cancelled;
  return true;
}

bool WriteCommit::Committed() const {
  std::lock_guard lock(mutex_);
  return phase_ == Phase::Committed;
}

bool RunWriteSequence(SerialLine& line, Millis comTimeout, const ConfigurationRecord& record,
                      ProgressSink& progress, WriteCommit& commit) {
  progress.Range(kWriteProgressMax);
  progress.Value(0);

  // A text that may not go out refuses the whole write before anything is sent.
  const WriteSequence sequence = BuildWriteSequence(record);
  if (sequence.refused) {
    line.Port().Note("write refused: " + RefusedTextNote(*sequence.refused));
    return false;
  }

  // Presence test: the outcome does not matter, the write goes on in any case.
  for (int i = 0; i < kPresenceSends; ++i) {
    std::string command = "#00";
    line.SendCommand(command, comTimeout);
    if (line.LastAnswer == "#ACK" || line.LastAnswer.empty()) break;
  }

  // The first wrong or missing answer ends the write: nothing further is sent, and
  // the unit never gets the "#03" that would make it save a partial configuration.
  // The first line is "#01LDDEF": from it on the unit has dropped its configuration.
  if (!commit.Commit()) return false;
  for (const WriteStep& step : sequence.steps) {
    for (const CommandLine& command : step.lines) {
      if (!Exchange(line, comTimeout, command)) return false;
    }
    progress.Value(step.progress);
  }

  if (!Exchange(line, comTimeout, sequence.save)) return false;
  commit.Complete();
  progress.Status(TextId::SavingOnEeprom);
  // The unit answers a second time once the EEPROM is written.
  line.ReadAnswer(kSaveTimeout);
  return line.LastAnswer == "#SAVE_OK";
}

bool RunWriteSequence(SerialLine& line, Millis comTimeout, const ConfigurationRecord& record,
                      ProgressSink& progress) {
  WriteCommit commit;
  return RunWriteSequence(line, comTimeout, record, progress, commit);
}

WriteOutcome WriteConfiguration(SerialLine& line, Millis comTimeout, const ConfigurationRecord& record,
                                ProgressSink& progress, WriteCommit& commit) {
  progress.Status(TextId::WritingConfiguration);
  progress.Value(0);
  if (RunWriteSequence(line, comTimeout, record, progress, commit)) {
    progress.Status(TextId::ConfigurationWritten);
    return WriteOutcome::Written;
  }
  progress.Value(0);
  if (commit.Committed() && line.Port().Cancel().Requested()) return WriteOutcome::Incomplete;
  progress.Status(TextId::CommunicationError);
  return WriteOutcome::Failed;
}

bool WriteConfiguration(SerialLine& line, Millis comTimeout, const ConfigurationRecord& record,
                        ProgressSink& progress) {
  WriteCommit commit;
  return WriteConfiguration(line, comTimeout, record, progress, commit) == WriteOutcome::Written;
}

}  // namespace zdl
