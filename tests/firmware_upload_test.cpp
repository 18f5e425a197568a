// The firmware upload on the fake port and clock: the block edges and progress checks, the
// boot loader's texts inside other characters, every return to the wait for "*", the
// communication error, and a cancel in each phase.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "firmware/firmware_upload.h"
#include "tests/support/fake_port.h"
#include "tests/support/process.h"

namespace zdl {
namespace {

using testing::FakeClock;
using testing::FakePort;
using testing::RecordingProgress;

// Bytes of every kind, line ends as a file may have them.
std::string Image(std::size_t size) {
  std::string image;
  for (std::size_t i = 0; i < size; ++i) {
    image += i % 40 == 38 ? '\r' : i % 40 == 39 ? '\n' : static_cast<char>((i * 7) % 256);
  }
  return image;
}

// A boot loader scripted on the fake port, with the upload that talks to it. By default it
// answers every step at once; a test changes an answer (an empty one is silence).
struct Fixture {
  explicit Fixture(std::size_t size) : image(Image(size)) {
    port.Open({"COM1"});
    options.promptWait = Millis(60000);  // a test that goes wrong ends instead of waiting forever
    port.SetResponder([this](std::string_view written, FakePort& p) {
      if (!receiving) {
        const bool start = written == "S";
        Answer(p, start ? ready : erase);
        receiving = start && !ready.empty();
        sent = 0;
        if (receiving && image.empty()) Finish(p, Millis(5020));  // after the ready wait
        return;
      }
      for (std::size_t i = 0; i < written.size(); ++i) {
        if (++sent % 257 == 0) p.Feed(sent / 257 == noMarkAt ? "" : mark);
      }
      if (onFileBytes) onFileBytes(sent);
      if (sent == static_cast<std::int64_t>(image.size())) Finish(p, Millis(20));
    });
  }
  FirmwareResult Run() {
    port.Feed(prompt);
    return UploadFirmware(port, clock, image, progress, options);
  }
  void Finish(FakePort& p, Micros delay) {
    receiving = false;
    Answer(p, done, delay);
  }
  // After silence the user switches the unit off and on, if `repromptAfter` says when.
  void Answer(FakePort& p, const std::string& text, Micros delay = Micros{0}) {
    p.Feed(text, delay);
    if (text.empty() && repromptAfter) p.Feed("*", *repromptAfter);
  }

  FakeClock clock;
  FakePort port{clock};
  std::string image;
  RecordingProgress progress;
  FirmwareOptions options;
  // The boot loader's texts among other characters, as a real one may send them.
  std::string prompt = std::string("boot\r\n\0\xFF", 8) + "*v2.1\r\n";
  std::string erase = "\r\nErase chip? (s/n) ", ready = "\r\nReady to upload intel file.\r\n";
  std::string mark = ".", done = "\r\nOk\r\n";
  std::int64_t noMarkAt = 0;  // the check (1-based) that gets no mark
  std::optional<Micros> repromptAfter;
  std::function<void(std::int64_t sent)> onFileBytes;
  std::int64_t sent = 0;
  bool receiving = false;
};

// Progress is checked after every full 257-byte block only, by the first character that
// comes within a second. `answer` comes `ms` after the first block has left the port
// (every later check gets "."); without one the check reads the first character of the
// "Ok" line.
TEST(FirmwareUpload, ChecksProgressAfterEveryFull257ByteBlockByItsFirstCharacter) {
  const struct {
    std::size_t size;
    std::string answer;
    int ms;
    bool passes;
    std::optional<char> instead;
  } cases[] = {
      {0, "", 0, true, {}},      {1, "", 0, true, {}},          {256, "", 0, true, {}},
      {257, "", 0, false, '\r'},  {257, ".", 0, true, {}},       {514, ".", 0, true, {}},
      {514, ".\r\n", 0, true, {}},  // what follows the mark goes with it
      {514, ".", 990, true, {}},    // the answer may take up to a second
      {514, ".", 1010, false, {}}, {514, "\r\n.", 0, false, '\r'}, {514, "x.", 0, false, 'x'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.answer) + " after " + std::to_string(c.ms) + " ms, size " +
                 std::to_string(c.size));
    Fixture f(c.size);
    f.noMarkAt = 1;
    f.onFileBytes = [&](std::int64_t sent) {
      if (sent == 257) f.port.Feed(c.answer, Millis(c.ms));
    };
    const FirmwareResult result = f.Run();
    EXPECT_EQ(result.ok(), c.passes);
    EXPECT_EQ(result.receivedInstead, c.instead);
    EXPECT_EQ(f.progress.statuses,
              (std::vector<TextId>{TextId::SwitchUnitOffAndOn, TextId::ErasingFlash,
                                   TextId::TransferringFirmware,
                                   c.passes ? TextId::FirmwareUpgraded : TextId::CommunicationErrorAlert}));
    if (c.passes) {
      // Nothing added: "D", "S" and the file exactly as it is.
      EXPECT_EQ(f.port.Written(), "DS" + f.image);
      EXPECT_EQ(f.progress.range, static_cast<int>(c.size));
      EXPECT_EQ(f.progress.values.empty() ? 0 : f.progress.values.back(), static_cast<int>(c.size));
    } else {
      EXPECT_EQ(result.outcome, FirmwareResult::CommunicationError);
      EXPECT_EQ(result.failedCheck, 1);
      EXPECT_EQ(result.bytesSent, 257) << "the upload ends at the failed check";
    }
  }
}

TEST(FirmwareUpload, AMissingAnswerGoesBackToTheWaitForThePrompt) {
  // The answer is missing in the first attempt only; `written` is what follows the first "D".
  const std::string image = Image(600);
  const struct {
    std::string Fixture::*answer;
    BootLoaderText missing;
    std::string written;
  } cases[] = {
      {&Fixture::erase, BootLoaderText::EraseQuestion, "DS" + image},
      {&Fixture::ready, BootLoaderText::UploadReady, "SDS" + image},
      {&Fixture::done, BootLoaderText::Done, "S" + image + "DS" + image},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.missing));
    Fixture f(600);
    const std::string kept = std::exchange(f.*c.answer, "");
    f.repromptAfter = Millis(6000);  // after the longest wait, as a user would
    std::vector<std::optional<BootLoaderText>> waits;
    f.options.waitingForPrompt = [&](std::optional<BootLoaderText> missing) {
      waits.push_back(missing);
      if (missing) f.*c.answer = kept;  // switched off and on: it answers again
    };
    const FirmwareResult result = f.Run();
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.restarts, 1);
    EXPECT_EQ(waits, (std::vector<std::optional<BootLoaderText>>{std::nullopt, c.missing}));
    EXPECT_EQ(f.port.Written(), "D" + c.written);
    EXPECT_EQ(f.progress.statuses.back(), TextId::FirmwareUpgraded);
  }
}

// A boot loader that announces itself and then keeps sending noise at full speed: the drop
// of what came with the "*", the erase dialogue and the next wait for "*" all end, long
// before the flood would run dry, and the bounded wait says what was missing.
TEST(FirmwareUpload, AFloodAfterThePromptEndsEveryWait) {
  constexpr std::int64_t kFlood = 5'000'000;  // bytes, 10 us each
  Fixture f(10);
  f.options.promptWait = Millis(3000);
  f.erase = "";
  f.port.Feed("*");
  f.port.Flood("no prompt, no answer\r\n", Micros{10}, kFlood);
  const FirmwareResult result = UploadFirmware(f.port, f.clock, f.image, f.progress, f.options);
  EXPECT_EQ(result.outcome, FirmwareResult::NoPrompt);
  EXPECT_EQ(result.missing, BootLoaderText::EraseQuestion);
  EXPECT_EQ(f.port.Written(), "D");
  EXPECT_GT(f.port.FloodLeft(), kFlood / 2);
}

// A cancel is seen within one wait slice, wherever the upload is, and nothing more is sent.
TEST(FirmwareUpload, ACancelEndsTheUploadInEveryPhase) {
  struct Case {
    const char* phase;
    Micros at;             // clock time of the cancel (the dialogue's answers are immediate)
    std::string written;   // what went out before it
  };
  const std::string image = Image(1000);
  const std::vector<Case> cases = {
      {"waiting for the prompt", Millis(100000), ""},
      {"after the file", Millis(126500), "DS" + image},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.phase);
    Fixture f(1000);
    f.options.promptWait.reset();  // waits for "*" without a limit, as the window does
    f.prompt = "";
    f.port.Feed("*", Millis(120000));
    f.options.cancelled = [&] { return f.clock.Now() >= c.at; };
    const FirmwareResult result = f.Run();
    EXPECT_EQ(result.outcome, FirmwareResult::Cancelled);
    EXPECT_LE(f.clock.Now(), c.at + kCancelSlice);
    EXPECT_EQ(f.port.Written(), c.written);
  }
  // In the transfer: the cancel comes with the first block; no further block is sent.
  Fixture f(1000);
  bool cancel = false;
  f.onFileBytes = [&](std::int64_t) { cancel = true; };
  f.options.cancelled = [&] { return cancel; };
  const FirmwareResult result = f.Run();
  EXPECT_EQ(result.outcome, FirmwareResult::Cancelled);
  EXPECT_EQ(result.bytesSent, 257);
  EXPECT_EQ(f.port.Written(), "DS" + image.substr(0, 257));
}

TEST(FirmwareUpload, APortClosedUnderTheUploadEndsIt) {
  Fixture f(100);
  // The port closes under the "D", as a cancel of the port itself does.
  f.port.SetResponder([](std::string_view, FakePort& p) { p.Close(); });
  f.options.promptWait.reset();
  EXPECT_EQ(f.Run().outcome, FirmwareResult::PortClosed);
  EXPECT_EQ(f.port.Written(), "D");
}

TEST(FirmwareFile, IsReadWholeOrRefusedWithAMessage) {
  testing::TempDir dir;
  const std::string bytes = std::string(":00000001FF\r\n\0\x80", 15);
  testing::WriteFileBytes(dir.File("fw.hex"), bytes);
  std::string error;
  EXPECT_EQ(ReadFirmwareFile(dir.File("fw.hex"), Lang::English, error), bytes);

  // A FIFO without a writer and an endless device are refused without reading them.
  ASSERT_EQ(::mkfifo(dir.File("fifo.hex").c_str(), 0600), 0);
  for (const std::string& bad :
       {dir.File("missing.hex"), dir.Path(), dir.File("fifo.hex"), std::string("/dev/zero")}) {
    error.clear();
    EXPECT_FALSE(ReadFirmwareFile(bad, Lang::Spanish, error));
    EXPECT_NE(error.find(bad), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace zdl
