// A modem connection driven from a worker QThread the way the desktop program drives it:
// the worker owns the port and runs the start, the read and the write; the password is
// answered on the main thread (a blocking queued call), status and progress reach it
// queued, and the main thread cancels. Against the simulated unit in the same process
// (SimPort) and on a pseudo-terminal (zdl410-sim behind the real port).
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <array>
#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "link/connection.h"
#include "link/qt/qt_serial_port.h"
#include "sim/sim_port.h"
#include "sim/simulated_unit.h"
#include "tests/support/process.h"
#include "tests/support/sample_record.h"
#include "tests/support/stderr_capture.h"
#include "transfer/read_config.h"
#include "transfer/write_config.h"

namespace zdl {
namespace {

using std::chrono::duration_cast;

enum class Phase { BeforeOpen, Dial, Read, Save };

const char* Name(Phase phase) {
  switch (phase) {
    case Phase::BeforeOpen: return "before the port opens";
    case Phase::Dial: return "during the dial";
    case Phase::Read: return "during a read";
    case Phase::Save: return "during the wait for #SAVE_OK";
  }
  return "";
}


// The front end: the worker thread, and the main thread's side of the ConnectionUi.
class Desk final : public ConnectionUi, public ProgressSink {
 public:
  explicit Desk(BytePort& port) : port_(port) {
    worker_.start();
    onWorker_.moveToThread(&worker_);
  }
  ~Desk() override {
    worker_.quit();
    worker_.wait();
  }

  // Runs `job` on the worker while the main thread serves its calls; returns when the
  // job has ended. A job that outlives 20 s is cancelled (and the test fails).
  void Run(const std::function<void()>& job) {
    QEventLoop loop;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, [&] {
      ADD_FAILURE() << "the exchange did not end";
      port_.RequestCancel();
    });
    guard.start(20000);
    QMetaObject::invokeMethod(
        &onWorker_,
        [&] {
          job();
          ended_ = clock_.Now();
          QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    loop.exec();
    QCoreApplication::processEvents();  // the last queued status and progress calls
  }

  // The main thread cancels when the worker reports this status or progress value.
  void CancelOnStatus(TextId text) { cancelStatus_ = text; }
  void CancelOnProgress(int value) { cancelProgress_ = value; }
  void CancelNow() {
    requested_ = clock_.Now();
    port_.RequestCancel();
  }
  // From the cancel request to the end of the exchange on the worker.
  Millis Latency() const { return duration_cast<Millis>(ended_ - requested_); }

  // --- on the worker ---
  std::optional<std::string> AskPassword() override {
    std::optional<std::string> answer;
    QMetaObject::invokeMethod(
        &onMain_,
        [&] {
          EXPECT_TRUE(QThread::currentThread() == QCoreApplication::instance()->thread());
          ++prompts;
          answer = "1234";
        },
        Qt::BlockingQueuedConnection);
    return answer;
  }
  void Message(TextId offset) override { OnMain([this, offset] { messages.push_back(offset); }); }
  void ErrorMessage(const BilingualText& text) override {
    OnMain([this, english = text.In(Lang::English)] { errors.push_back(english); });
  }
  void Status(TextId offset) override {
    OnMain([this, offset] {
      if (cancelStatus_ == offset) CancelNow();
    });
  }
  void Value(int value) override {
    OnMain([this, value] {
      if (value == cancelProgress_) CancelNow();
    });
  }

  int prompts = 0;
  std::vector<TextId> messages;
  std::vector<std::string> errors;

 private:
  void OnMain(std::function<void()> call) {
    QMetaObject::invokeMethod(&onMain_, std::move(call), Qt::QueuedConnection);
  }

  BytePort& port_;
  SteadyClock clock_;
  QThread worker_;
  QObject onWorker_;
  QObject onMain_;
  std::optional<TextId> cancelStatus_;
  int cancelProgress_ = -1;
  Micros requested_{0};
  Micros ended_{0};
};

// One connection's port: the in-process simulated unit, or zdl410-sim behind the real port.
struct Unit {
  Unit(bool pty, bool paced) {
    SimOptions options;
    options.modem = true;
    options.paced = paced;
    options.saveTime = Millis{30000};
    if (pty) {
      std::vector<std::string> argv{ZDL_SIM_PATH, "--modem", "--save-ms", "30000"};
      if (paced) argv.push_back("--paced");
      sim = std::make_unique<testing::BackgroundProcess>(argv);
      name = sim->FirstLine();
      port = std::make_unique<QtSerialPort>(clock);
    } else {
      unit = std::make_unique<SimulatedUnit>(options);
      port = std::make_unique<SimPort>(*unit, clock);
      name = "COM1";
    }
  }
  SteadyClock clock;
  std::unique_ptr<testing::BackgroundProcess> sim;
  std::unique_ptr<SimulatedUnit> unit;
  std::unique_ptr<BytePort> port;
  std::string name;
};

class WorkerThread : public ::testing::TestWithParam<bool> {
 protected:
  WorkerThread() {
    if (QCoreApplication::instance() == nullptr) {
      app_ = std::make_unique<QCoreApplication>(argc_, argv_.data());
    }
  }
  int argc_ = 1;
  char appName_[10] = "zdl_tests";
  std::array<char*, 2> argv_{appName_, nullptr};
  std::unique_ptr<QCoreApplication> app_;
};

TEST_P(WorkerThread, EveryPhaseOfAModemConnectionEndsAtOnceOnACancelFromTheMainThread) {
  const bool pty = GetParam();
  for (Phase phase : {Phase::BeforeOpen, Phase::Dial, Phase::Read, Phase::Save}) {
    SCOPED_TRACE(Name(phase));
    Unit unit(pty, phase != Phase::Save);
    ASSERT_FALSE(unit.name.empty());
    testing::StderrCapture stderrText;
    {
      Desk desk(*unit.port);
      Connection connection(*unit.port, unit.clock);
      const ConnectionOptions options{unit.name, true, "600123456"};
      StartResult started = StartResult::NotFound;
      Millis latency{0};
      auto start = [&] { started = connection.Start(options, desk); };

      unit.port->BeginExchange();  // the user presses the start button
      if (phase == Phase::BeforeOpen) desk.CancelNow();
      if (phase == Phase::Dial) desk.CancelOnStatus(TextId::Calling);
      desk.Run(start);
      latency = desk.Latency();
      if (phase == Phase::BeforeOpen || phase == Phase::Dial) {
        EXPECT_EQ(started, StartResult::Cancelled);
        EXPECT_EQ(desk.prompts, 0);
      } else {
        ASSERT_EQ(started, StartResult::Connected);
        EXPECT_EQ(desk.prompts, 1);
        ConfigurationRecord record = testing::FullRecord();
        bool done = true;
        unit.port->BeginExchange();
        if (phase == Phase::Read) {
          desk.CancelOnProgress(3);
          desk.Run([&] {
            done = ReadConfiguration(connection.Line(), connection.ComTimeOut(),
                                     connection.HasDatalogger(), record, desk);
          });
        } else {
          desk.CancelOnStatus(TextId::SavingOnEeprom);
          desk.Run([&] {
            done = WriteConfiguration(connection.Line(), connection.ComTimeOut(), record, desk);
          });
        }
        latency = desk.Latency();
        EXPECT_FALSE(done);
        // A cancelled read or write keeps the connection; the user stops it afterwards.
        EXPECT_TRUE(unit.port->IsOpen());
        unit.port->BeginExchange();
        desk.Run([&] { connection.Stop(desk); });
      }
      EXPECT_FALSE(unit.port->IsOpen());
      EXPECT_TRUE(desk.messages.empty() && desk.errors.empty());
      std::cout << "[ measured ] cancel " << Name(phase) << (pty ? " (pseudo-terminal)" : "")
                << ": the exchange ended " << latency.count() << " ms after the request\n";
      EXPECT_LT(latency, Millis{1000});
    }
    EXPECT_EQ(stderrText.Text(), "");
  }
}

INSTANTIATE_TEST_SUITE_P(InProcessAndOnAPseudoTerminal, WorkerThread, ::testing::Bool(),
                         [](const auto& test) { return test.param ? "Pty" : "SimPort"; });

}  // namespace
}  // namespace zdl
