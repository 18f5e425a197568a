// The firmware upload: the unit's boot-loader dialogue and the byte transfer of an Intel HEX
// file, written against the byte port and the clock.
//
//   wait for "*"           (the user switches the unit off and on; no limit unless asked)
//   send "D", 1000 ms      expect "Erase chip? (s/n)"           else back to the wait for "*"
//   send "S", 5000 ms      expect "Ready to upload intel file." else back to the wait for "*"
//   send the file          after every 257 bytes the first received character must be "."
//                          (else "Communication error!!!" and the upload ends)
//   1000 ms                expect "Ok"                          else back to the wait for "*"
//
// The unit's texts are searched for inside whatever has been received, so surrounding
// characters and line ends do not matter. The file is sent unchanged: no character is added
// and line ends go out as the file has them. The fixed waits are kept as the boot loader
// expects them.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "link/byte_port.h"
#include "link/clock.h"
#include "link/progress.h"
#include "text/string_table.h"

namespace zdl {

// The texts of the boot loader that the upload waits for, in the order of the dialogue.
enum class BootLoaderText { Prompt, EraseQuestion, UploadReady, ProgressMark, Done };

// "*", "Erase chip? (s/n)", "Ready to upload intel file.", ".", "Ok".
std::string_view BootLoaderWords(BootLoaderText text);

// Bytes sent between two progress checks.
inline constexpr std::int64_t kFirmwareBlock = 257;
// The fixed waits of the dialogue.
inline constexpr Millis kEraseAnswerWait{1000};
inline constexpr Millis kUploadReadyWait{5000};
inline constexpr Millis kDoneWait{1000};
// A progress check first waits until the block has left the port (at 9600 baud a block
// takes about 268 ms on the wire), then this long at most for the boot loader's answer.
inline constexpr Millis kBlockLeaveWait{5000};
inline constexpr Millis kProgressAnswerWait{1000};
// Every wait runs in slices of at most this length, so a cancel is seen within one.
inline constexpr Millis kCancelSlice{50};
// A larger file is not a firmware image (the unit's flash holds far less).
inline constexpr std::int64_t kMaxFirmwareFileSize = std::int64_t{64} * 1024 * 1024;

struct FirmwareOptions {
  // Bounds each wait for "*"; empty: waits until cancelled, as the firmware window does.
  std::optional<Millis> promptWait;
  // Polled between blocks and in every wait slice; true ends the upload as Cancelled.
  // May read state set by another thread (an atomic flag).
  std::function<bool()> cancelled;
  // Called each time the upload starts waiting for "*": first with nothing missing, then
  // after each return to the wait with the text the boot loader did not send.
  std::function<void(std::optional<BootLoaderText> missing)> waitingForPrompt;
};

struct FirmwareResult {
  enum Outcome {
    Upgraded,            // "Ok" came: status FirmwareUpgraded
    CommunicationError,  // a progress check failed: status CommunicationErrorAlert
    NoPrompt,            // no "*" within FirmwareOptions::promptWait
    Cancelled,           // FirmwareOptions::cancelled said so
    PortClosed,          // the port closed under the upload (a cancel of the port, an error)
  };
  Outcome outcome = PortClosed;
  // NoPrompt: what was missing before the last return to the wait for "*" (empty when the
  // dialogue never got that far). CommunicationError: ProgressMark.
  std::optional<BootLoaderText> missing;
  // CommunicationError: the failing check (1-based) and the first character received
  // instead of "." (empty when nothing came).
  std::int64_t failedCheck = 0;
  std::optional<char> receivedInstead;
  // Times the dialogue went back to the wait for "*".
  int restarts = 0;
  // Bytes of the file handed to the port in the last transfer.
  std::int64_t bytesSent = 0;

  bool ok() const { return outcome == Upgraded; }
};

// Runs the whole dialogue and transfer on an open port. Progress: the status
// SwitchUnitOffAndOn at the start, ErasingFlash with "D", TransferringFirmware with the first
// byte, CommunicationErrorAlert or FirmwareUpgraded at the end; Range(image size) once, then Value(bytes sent) after each block. Blocking: run it on
// the thread that owns the port; end it from another thread through `options.cancelled`
// (or a cancel of the port itself).
FirmwareResult UploadFirmware(BytePort& port, Clock& clock, std::string_view image,
                              ProgressSink& progress, const FirmwareOptions& options = {});

// Reads a whole firmware file as raw bytes and closes it. Empty, with a message for the
// user in `error` ("cannot open ...: reason", "... is not a firmware file: too large"),
// when it cannot be read or exceeds kMaxFirmwareFileSize.
std::optional<std::string> ReadFirmwareFile(const std::string& path, Lang lang, std::string& error);

// One line for the user on how an upload ended: the status text of the outcome and, for a
// failure, what was missing ("no \"*\" from the boot loader", "the boot loader sent 'x'
// instead of \".\" at check 3").
std::string FirmwareOutcomeText(const FirmwareResult& result, Lang lang);

// What a return to the wait for "*" means for the user, in one line.
std::string FirmwareRestartText(BootLoaderText missing, Lang lang);

}  // namespace zdl
