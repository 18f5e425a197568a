#include "firmware/firmware_upload.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "configfile/file_access.h"
#include "link/byte_wait.h"
#include "text/extra_texts.h"

namespace zdl {
namespace {

// Remembers whether a text has appeared in a stream of received bytes, keeping only the
// tail that a later match could still start in.
class TextWatch {
 public:
  explicit TextWatch(std::string_view text) : text_(text) {}
  void Add(char c) {
    if (found_) return;
    tail_ += c;
    if (tail_.find(text_) != std::string::npos) {
      found_ = true;
    } else if (tail_.size() > 2 * text_.size()) {
      tail_.erase(0, tail_.size() - (text_.size() - 1));
    }
  }
  bool Found() const { return found_; }

 private:
  std::string_view text_;
  std::string tail_;
  bool found_ = false;
};

class Upload {
 public:
  Upload(BytePort& port, Clock& clock, std::string_view image, ProgressSink& progress,
         const FirmwareOptions& options)
      : port_(port), clock_(clock), image_(image), progress_(progress), options_(options) {}

  FirmwareResult Run() {
    progress_.Status(TextId::SwitchUnitOffAndOn);
    progress_.Range(static_cast<int>(image_.size()));
    std::optional<BootLoaderText> missing;
    for (;;) {
      if (missing) ++result_.restarts;
      if (options_.waitingForPrompt) options_.waitingForPrompt(missing);
      if (!WaitForPrompt()) {
        if (!stopped_) {
          result_.outcome = FirmwareResult::NoPrompt;
          result_.missing = missing;
        }
        return Finish();
      }
      progress_.Status(TextId::ErasingFlash);
      if (!Send("D")) return Finish();
      bool answered = false;
      if (!Collect(BootLoaderText::EraseQuestion, kEraseAnswerWait, answered)) return Finish();
      if (!answered) {
        missing = BootLoaderText::EraseQuestion;
        continue;
      }
      if (!Send("S")) return Finish();
      if (!Collect(BootLoaderText::UploadReady, kUploadReadyWait, answered)) return Finish();
      if (!answered) {
        missing = BootLoaderText::UploadReady;
        continue;
      }
      progress_.Status(TextId::TransferringFirmware);
      if (!Transfer()) return Finish();
      if (!Collect(BootLoaderText::Done, kDoneWait, answered)) return Finish();
      if (answered) {
        progress_.Status(TextId::FirmwareUpgraded);
        result_.outcome = FirmwareResult::Upgraded;
        return result_;
      }
      missing = BootLoaderText::Done;
    }
  }

 private:
  FirmwareResult Finish() {
    if (stopped_) result_.outcome = *stopped_;
    return result_;
  }

  // True when the upload has to end now: a cancel, or the port closed under it.
  bool Stopped() {
    if (!stopped_) {
      if (options_.cancelled && options_.cancelled()) {
        stopped_ = FirmwareResult::Cancelled;
      } else if (!port_.IsOpen()) {
        stopped_ = FirmwareResult::PortClosed;
      }
    }
    return stopped_.has_value();
  }

  bool Send(std::string_view bytes) {
    if (Stopped()) return false;
    if (!port_.Write(bytes)) {
      // A write fails only on a closed or broken port; a cancel may have closed it.
      if (!Stopped()) stopped_ = FirmwareResult::PortClosed;
      return false;
    }
    return true;
  }

  // The next received byte of `wait`, waiting in slices so that a cancel is seen within
  // one. Empty when the wait is over (see ByteWait) and when stopped.
  std::optional<char> Next(ByteWait& wait) {
    for (;;) {
      if (Stopped()) return std::nullopt;
      if (const std::optional<char> c = wait.Next(clock_.Now() + kCancelSlice)) return c;
      if (wait.Over()) {
        Stopped();  // a cancel in the last slice still counts as one
        return std::nullopt;
      }
    }
  }

  // Everything already received: the rest of the read that held an awaited character.
  // At most kLateBytes, so a boot loader that keeps sending cannot hold the upload here.
  void DropReceived() {
    ByteWait rest(port_, clock_, clock_.Now());
    while (!Stopped() && rest.Next()) {
    }
  }

  // Waits for "*"; false when stopped or when FirmwareOptions::promptWait ran out.
  bool WaitForPrompt() {
    const Micros deadline =
        options_.promptWait ? clock_.Now() + *options_.promptWait : Micros::max();
    ByteWait wait(port_, clock_, deadline);
    for (;;) {
      const std::optional<char> c = Next(wait);
      if (!c) return false;
      if (*c == '*') {
        DropReceived();
        return !Stopped();
      }
    }
  }

  // Waits the whole of `wait` (the boot loader may rely on it), then tells whether the
  // text came in what was received meanwhile. False when stopped.
  bool Collect(BootLoaderText text, Millis wait, bool& found) {
    TextWatch watch(BootLoaderWords(text));
    ByteWait received(port_, clock_, clock_.Now() + wait);
    while (const std::optional<char> c = Next(received)) watch.Add(*c);
    found = watch.Found();
    return !Stopped();
  }

  // Sends the file in blocks of 257 bytes with a progress check after each full block.
  // False when the upload ends here (a failed check, a cancel, a closed port).
  bool Transfer() {
    const auto size = static_cast<std::int64_t>(image_.size());
    std::int64_t position = 0;
    std::int64_t checks = 0;
    result_.bytesSent = 0;
    while (position < size) {
      const std::int64_t length = std::min(kFirmwareBlock, size - position);
      if (!Send(image_.substr(static_cast<std::size_t>(position), static_cast<std::size_t>(length)))) {
        return false;
      }
      position += length;
      result_.bytesSent = position;
      progress_.Value(static_cast<int>(position));
      if (length == kFirmwareBlock && !ProgressCheck(++checks, position == size)) return false;
    }
    // "Ok" is awaited from when the last byte has left the port.
    return WaitLeft();
  }

  // Waits until the bytes written so far have left the port (kBlockLeaveWait at most).
  // False only when stopped: a port that does not drain in time fails at the answer.
  bool WaitLeft() {
    const Micros deadline = clock_.Now() + kBlockLeaveWait;
    for (;;) {
      if (Stopped()) return false;
      const Micros now = clock_.Now();
      if (now >= deadline) return true;
      if (port_.WaitWritten(std::min(deadline, now + kCancelSlice))) return !Stopped();
    }
  }

  // The block has to leave the port before the boot loader can answer it; its answer's
  // first character must then be ".". What came with it is dropped, except after the
  // file's last byte, where an "Ok" right behind the "." must still be found.
  bool ProgressCheck(std::int64_t check, bool last) {
    if (!WaitLeft()) return false;
    ByteWait answer(port_, clock_, clock_.Now() + kProgressAnswerWait);
    const std::optional<char> first = Next(answer);
    if (Stopped()) return false;
    if (first == '.') {
      if (!last) DropReceived();
      return !Stopped();
    }
    result_.outcome = FirmwareResult::CommunicationError;
    result_.missing = BootLoaderText::ProgressMark;
    result_.failedCheck = check;
    result_.receivedInstead = first;
    progress_.Status(TextId::CommunicationErrorAlert);
    return false;
  }

  BytePort& port_;
  Clock& clock_;
  std::string_view image_;
  ProgressSink& progress_;
  const FirmwareOptions& options_;
  FirmwareResult result_;
  std::optional<FirmwareResult::Outcome> stopped_;
};

std::string Quoted(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted.append(1, '"').append(text).append(1, '"');
  return quoted;
}

// An extra text in `lang` with its arguments (UTF-8).
std::string Say(Lang lang, ExtraText text, std::initializer_list<BilingualText> args) {
  return BilingualText::Format(text, args).In(lang);
}

// A received character as the user can read it: "x" or 0x0D.
std::string Shown(char c) {
  const auto code = static_cast<unsigned char>(c);
  if (code >= 32 && code < 127) return Quoted(std::string(1, c));
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", code);
  return hex;
}

}  // namespace

std::string_view BootLoaderWords(BootLoaderText text) {
  switch (text) {
    case BootLoaderText::Prompt:
      return "*";
    case BootLoaderText::EraseQuestion:
      return "Erase chip? (s/n)";
    case BootLoaderText::UploadReady:
      return "Ready to upload intel file.";
    case BootLoaderText::ProgressMark:
      return ".";
    case BootLoaderText::Done:
      return "Ok";
  }
  return "";
}

FirmwareResult UploadFirmware(BytePort& port, Clock& clock, std::string_view image,
                              ProgressSink& progress, const FirmwareOptions& options) {
  return Upload(port, clock, image, progress, options).Run();
}

std::optional<std::string> ReadFirmwareFile(const std::string& path, Lang lang, std::string& error) {
  std::string bytes;
  const FileResult read =
      ReadRegularFile(path, static_cast<std::size_t>(kMaxFirmwareFileSize), bytes);
  switch (read.fault) {
    case FileFault::None:
      return bytes;
    case FileFault::NotRegular:
      error = Say(lang, ExtraText::FirmwareNotAFile, {path});
      break;
    case FileFault::TooLarge:
      error = Say(lang, ExtraText::FirmwareFileTooLarge, {path});
      break;
    case FileFault::System:
      error = Say(lang, ExtraText::FirmwareCannotOpen, {path, std::strerror(read.error)});
      break;
  }
  return std::nullopt;
}

std::string FirmwareRestartText(BootLoaderText missing, Lang lang) {
  return Say(lang, ExtraText::BootLoaderDidNotSend,
             {Quoted(BootLoaderWords(missing)), LangText(lang, TextId::SwitchUnitOffAndOn)});
}

std::string FirmwareOutcomeText(const FirmwareResult& result, Lang lang) {
  switch (result.outcome) {
    case FirmwareResult::Upgraded:
      return std::string(LangText(lang, TextId::FirmwareUpgraded));
    case FirmwareResult::CommunicationError: {
      const std::string check = std::to_string(result.failedCheck);
      const std::string detail =
          result.receivedInstead
              ? Say(lang, ExtraText::OtherThanDotAtCheck,
                    {Shown(*result.receivedInstead), Quoted("."), check})
              : Say(lang, ExtraText::NoDotAtCheck, {Quoted("."), check});
      return std::string(LangText(lang, TextId::CommunicationErrorAlert)) + " (" + detail + ")";
    }
    case FirmwareResult::NoPrompt: {
      std::string text = Say(lang, ExtraText::NoPromptFromBootLoader, {Quoted("*")});
      if (result.missing) {
        text += Say(lang, ExtraText::BeforeThatMissing, {Quoted(BootLoaderWords(*result.missing))});
      }
      return text;
    }
    case FirmwareResult::Cancelled:
      return std::string(ExtraTextIn(lang, ExtraText::UploadCancelled));
    case FirmwareResult::PortClosed:
      return std::string(ExtraTextIn(lang, ExtraText::PortClosedDuringUpload));
  }
  return "";
}

}  // namespace zdl
