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

bool RunWriteSequence(SerialLine& line, Millis comTimeout, const ConfigurationRecord& record,
                      ProgressSink& progress) {
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
  for (const WriteStep& step : sequence.steps) {
    for (const CommandLine& command : step.lines) {
      if (!Exchange(line, comTimeout, command)) return false;
    }
    progress.Value(step.progress);
  }

  if (!Exchange(line, comTimeout, sequence.save)) return false;
  progress.Status(136);
  // The unit answers a second time once the EEPROM is written.
  line.ReadAnswer(kSaveTimeout);
  return line.LastAnswer == "#SAVE_OK";
}

bool WriteConfiguration(SerialLine& line, Millis comTimeout, const ConfigurationRecord& record,
                        ProgressSink& progress) {
  progress.Status(134);
  progress.Value(0);
  if (!RunWriteSequence(line, comTimeout, record, progress)) {
    progress.Status(133);
    progress.Value(0);
    return false;
  }
  progress.Status(135);
  return true;
}

}  // namespace zdl
