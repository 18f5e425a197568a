// The windows' link with the unit, driven as the General editor drives it: requests on
// the interface thread, the exchanges on the link's worker, the prompts answered here.
// Against the built-in virtual unit (unpaced unless the test needs time to act in the
// middle of an exchange) and once against zdl410-sim on a pseudo-terminal.
#include "ui/app/unit_link.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "configfile/config_file.h"
#include "link/port_error.h"
#include "ui/app/language.h"
#include "tests/support/process.h"
#include "tests/support/sample_record.h"
#include "tests/support/stderr_capture.h"

namespace zdl::ui {
namespace {

const ConnectionOptions kDirect{UnitLink::VirtualUnitName().toStdString(), false, ""};
const ConnectionOptions kModem{UnitLink::VirtualUnitName().toStdString(), true, "600123456"};

UnitLink::Options Fast() {
  UnitLink::Options options;
  options.pacedVirtualUnit = false;
  options.virtualSaveTime = Millis{0};
  return options;
}

UnitLink::Options Paced() {
  UnitLink::Options options = Fast();
  options.pacedVirtualUnit = true;
  return options;
}

// Runs the interface thread's events until `done` holds; false after 30 s (a hang).
bool WaitFor(const std::function<bool()>& done) {
  if (done()) return true;
  QEventLoop loop;
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  check.start(5);
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
  guard.start(30000);
  loop.exec();
  return done();
}

// Runs the interface thread's events for a while (to see that nothing more happens).
void Settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

template <class T>
bool Contains(const std::vector<T>& items, const T& item) {
  return std::find(items.begin(), items.end(), item) != items.end();
}

// A UnitLink with everything it tells the windows recorded, and the prompts answered.
struct Desk {
  explicit Desk(UnitLink::Options options = Fast()) : link(std::make_unique<UnitLink>(options)) {
    UnitLink& l = *link;
    QObject::connect(&l, &UnitLink::Status, [this](TextId offset) {
      statuses.push_back(offset);
      if (onStatus) onStatus(offset);
    });
    QObject::connect(&l, &UnitLink::Progress, [this](int value, int maximum) {
      progress.push_back(value);
      progressMaximum = maximum;
      if (onProgress) onProgress(value);
    });
    QObject::connect(&l, &UnitLink::Started, [this](StartResult r) { started = r; });
    QObject::connect(&l, &UnitLink::Stopped, [this] { ++stopped; });
    QObject::connect(&l, &UnitLink::ReadFinished, [this](bool ok, const ConfigurationRecord& r) {
      read = ok;
      record = r;
    });
    QObject::connect(&l, &UnitLink::WriteFinished, [this](bool ok) { written = ok; });
    QObject::connect(&l, &UnitLink::TraceLine,
                     [this](const QString& line) { trace.push_back(line.toStdString()); });
    l.askPassword = [this]() -> std::optional<std::string> {
      ++prompts;
      if (onPrompt) return onPrompt();
      if (passwords.empty()) return std::nullopt;
      std::string password = passwords.front();
      passwords.pop_front();
      return password;
    };
    l.message = [this](TextId offset) { messages.push_back(offset); };
    l.errorMessage = [this](const QString& text) { errors.push_back(text.toStdString()); };
  }

  bool Start(const ConnectionOptions& options) {
    started.reset();
    return link->Start(options) && WaitFor([&] { return started.has_value(); });
  }
  bool Connect(const ConnectionOptions& options) {
    return Start(options) && started == StartResult::Connected && link->Connected();
  }
  bool Read() {
    read.reset();
    return link->Read(ConfigurationRecord{}) && WaitFor([&] { return read.has_value(); });
  }
  bool Write(const ConfigurationRecord& r) {
    written.reset();
    return link->Write(r) && WaitFor([&] { return written.has_value(); });
  }
  bool Stop() {
    const int before = stopped;
    return link->Stop() && WaitFor([&] { return stopped > before; });
  }
  bool TraceHas(const std::string& text) const {
    for (const std::string& line : trace) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }

  std::unique_ptr<UnitLink> link;
  std::vector<TextId> statuses;
  std::vector<int> progress;
  int progressMaximum = 0;
  std::optional<StartResult> started;
  int stopped = 0;
  std::optional<bool> read;
  ConfigurationRecord record;
  std::optional<bool> written;
  std::vector<std::string> trace;
  int prompts = 0;
  std::deque<std::string> passwords;
  std::vector<TextId> messages;
  std::vector<std::string> errors;
  std::function<void(TextId)> onStatus;
  std::function<void(int)> onProgress;
  std::function<std::optional<std::string>()> onPrompt;
};

TEST(UnitLink, RequestsAreRefusedWhileAnExchangeRunsOrWithoutAConnection) {
  Desk desk;
  EXPECT_FALSE(desk.link->Read(ConfigurationRecord{})) << "not connected";
  EXPECT_FALSE(desk.link->Write(ConfigurationRecord{})) << "not connected";
  ASSERT_TRUE(desk.link->Start(kDirect));
  EXPECT_TRUE(desk.link->Busy());
  EXPECT_FALSE(desk.link->Start(kDirect)) << "a second start while the first runs";
  EXPECT_FALSE(desk.link->Stop());
  ASSERT_TRUE(WaitFor([&] { return desk.started.has_value(); }));
  EXPECT_FALSE(desk.link->Busy());
  EXPECT_TRUE(desk.link->Connected());
}

TEST(UnitLink, ABadNumberOrAMissingUnitEndsTheStartWithItsMessage) {
  struct Case {
    const char* name;
    ConnectionOptions options;
    bool silentUnit;
    StartResult result;
    std::optional<TextId> message;
    bool opened;
  };
  const Case cases[] = {
      {"a number with a letter", {kModem.port, true, "600a"}, false,
       StartResult::InvalidPhoneNumber, TextId::EnterValidPhoneNumber, false},
      {"an empty number", {kModem.port, true, ""}, false, StartResult::InvalidPhoneNumber,
       TextId::EnterValidPhoneNumber, false},
      {"a unit that answers nothing", kDirect, true, StartResult::NotFound, TextId::UnitNotFound, true},
      {"a device that does not exist", {"/nonexistent/ttyUSB9", false, ""}, false,
       StartResult::PortError, std::nullopt, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UnitLink::Options options = Fast();
    if (c.silentUnit) options.virtualFaults.silentAfter = 0;
    Desk desk(options);
    desk.link->SetTraceEnabled(true);
    ASSERT_TRUE(desk.Start(c.options));
    EXPECT_EQ(desk.started, c.result);
    if (c.message) {
      EXPECT_EQ(desk.messages, std::vector<TextId>{*c.message});
      EXPECT_TRUE(desk.errors.empty());
    } else {
      // The system's own description, in a box of its own.
      EXPECT_TRUE(desk.messages.empty());
      ASSERT_EQ(desk.errors.size(), 1u);
      EXPECT_NE(desk.errors[0].find(c.options.port), std::string::npos) << desk.errors[0];
      EXPECT_TRUE(desk.TraceHas("-- open " + c.options.port + " failed"));
    }
    EXPECT_EQ(desk.TraceHas("9600,N,8,1"), c.opened);
    EXPECT_EQ(desk.TraceHas("-- close"), c.opened) << "the port is closed again";
    EXPECT_FALSE(desk.link->Connected());
    EXPECT_FALSE(desk.link->Busy());
    if (c.result != StartResult::InvalidPhoneNumber) {
      EXPECT_EQ(desk.statuses.back(), TextId::CommunicationNotStarted);
    } else {
      EXPECT_TRUE(desk.statuses.empty()) << "nothing else changed";
    }
  }
}

// The port's own reason is worded when it is shown, in the language of that moment.
TEST(UnitLink, APortFailureIsShownInTheCurrentLanguage) {
  const Lang before = CurrentLang();
  for (const Lang lang : {Lang::Spanish, Lang::English}) {
    SetCurrentLang(lang);
    Desk desk;
    ASSERT_TRUE(desk.Start({"", false, ""}));
    EXPECT_EQ(desk.started, StartResult::PortError);
    ASSERT_EQ(desk.errors.size(), 1u);
    EXPECT_EQ(desk.errors[0], PortErrorText({PortFailure::NoName, {}, {}}).In(lang));
  }
  SetCurrentLang(before);
}

TEST(UnitLink, TheVirtualUnitKeepsWhatWasWrittenAcrossConnections) {
  Desk desk;
  ASSERT_TRUE(desk.Connect(kDirect));
  desk.statuses.clear();
  ASSERT_TRUE(desk.Write(testing::FullRecord()));
  EXPECT_TRUE(*desk.written);
  EXPECT_EQ(desk.statuses, (std::vector<TextId>{TextId::WritingConfiguration, TextId::SavingOnEeprom, TextId::ConfigurationWritten}));
  EXPECT_EQ(desk.progressMaximum, 21);
  EXPECT_EQ(desk.progress.back(), 21);

  ASSERT_TRUE(desk.Read());
  ASSERT_TRUE(*desk.read);
  EXPECT_EQ(KeyedValues(desk.record), KeyedValues(testing::FullRecord()));

  // The unit behind the modem is the same unit.
  ASSERT_TRUE(desk.Stop());
  desk.passwords = {UnitLink::VirtualUnitPassword()};
  ASSERT_TRUE(desk.Connect(kModem));
  ASSERT_TRUE(desk.Read());
  ASSERT_TRUE(*desk.read);
  EXPECT_EQ(KeyedValues(desk.record), KeyedValues(testing::FullRecord()));
}

TEST(UnitLink, ACarrierDropWhileIdleShowsItsMessageOnceAndStops) {
  Desk desk;
  // A direct cable has no carrier to lose.
  ASSERT_TRUE(desk.Connect(kDirect));
  desk.link->DropVirtualUnitCarrier();
  Settle(600);
  EXPECT_TRUE(desk.link->Connected());
  EXPECT_EQ(desk.stopped, 0);
  ASSERT_TRUE(desk.Stop());

  desk.passwords = {"1234"};
  ASSERT_TRUE(desk.Connect(kModem));
  desk.statuses.clear();
  desk.link->DropVirtualUnitCarrier();
  ASSERT_TRUE(WaitFor([&] { return desk.stopped == 2; }));
  EXPECT_FALSE(desk.link->Connected());
  EXPECT_EQ(desk.messages, std::vector<TextId>{TextId::ModemConnectionLost});
  EXPECT_EQ(desk.statuses, std::vector<TextId>{TextId::CommunicationNotStarted});
  Settle(600);  // more turns of the watch
  EXPECT_EQ(desk.messages.size(), 1u);
  EXPECT_EQ(desk.stopped, 2);
  EXPECT_FALSE(desk.link->Read(ConfigurationRecord{}));
}

TEST(UnitLink, DestroyedInAnyPhaseItEndsCleanly) {
  enum class Phase { Dial, Prompt, Read, Save };
  struct Case {
    const char* name;
    Phase phase;
  };
  const Case cases[] = {{"during the dial", Phase::Dial},
                        {"while the password prompt is open", Phase::Prompt},
                        {"during a read", Phase::Read},
                        {"during the wait for #SAVE_OK", Phase::Save}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::StderrCapture stderrText;
    {
      UnitLink::Options options = Paced();
      options.virtualSaveTime = Millis{30000};
      options.virtualConfiguration = testing::FullRecord();
      Desk desk(options);
      // As a window closing does it: from an event of its own.
      auto destroy = [&desk] { QTimer::singleShot(0, [&desk] { desk.link.reset(); }); };
      bool answeredLate = false;
      if (c.phase == Phase::Dial) {
        desk.onStatus = [&](TextId offset) {
          if (offset == TextId::Calling) destroy();
        };
        desk.link->Start(kModem);
      } else if (c.phase == Phase::Prompt) {
        // The prompt is modal: its own event loop runs while the link goes away.
        desk.onPrompt = [&]() -> std::optional<std::string> {
          QEventLoop dialog;
          QTimer::singleShot(0, [&] {
            desk.link.reset();
            dialog.quit();
          });
          dialog.exec();
          answeredLate = true;
          return "1234";
        };
        desk.link->Start(kModem);
      } else {
        ASSERT_TRUE(desk.Connect(kDirect));
        if (c.phase == Phase::Read) {
          desk.onProgress = [&](int value) {
            if (value == 3) destroy();
          };
          desk.link->Read(ConfigurationRecord{});
        } else {
          desk.onStatus = [&](TextId offset) {
            if (offset == TextId::SavingOnEeprom) destroy();
          };
          desk.link->Write(testing::FullRecord());
        }
      }
      ASSERT_TRUE(WaitFor([&] { return desk.link == nullptr; }));
      if (c.phase == Phase::Prompt) {
        EXPECT_TRUE(answeredLate);
      }
      Settle(50);  // anything the worker left queued
      EXPECT_FALSE(desk.read.has_value());
      EXPECT_FALSE(desk.written.has_value());
    }
    EXPECT_EQ(stderrText.Text(), "");
  }
}

TEST(UnitLink, TalksToTheSimulatorOnAPseudoTerminalThroughTheRealPort) {
  testing::StderrCapture stderrText;
  {
    testing::BackgroundProcess sim({ZDL_SIM_PATH});
    ASSERT_FALSE(sim.FirstLine().empty());
    Desk desk;
    desk.link->SetTraceEnabled(true);
    ASSERT_TRUE(desk.Connect({sim.FirstLine(), false, ""}));
    EXPECT_TRUE(desk.TraceHas("-- open " + sim.FirstLine()));
    ASSERT_TRUE(desk.Write(testing::FullRecord()));
    EXPECT_TRUE(*desk.written);
    ASSERT_TRUE(desk.Read());
    EXPECT_TRUE(*desk.read);
    EXPECT_EQ(KeyedValues(desk.record), KeyedValues(testing::FullRecord()));
    // Destroyed while connected: the port is closed on the worker.
    desk.link.reset();
  }
  EXPECT_EQ(stderrText.Text(), "");
}

}  // namespace
}  // namespace zdl::ui
