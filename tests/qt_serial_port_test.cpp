// The QSerialPort adapter over a real pseudo-terminal pair: the test holds the master
// side (the unit), the adapter opens the slave device by its path.
#include "link/qt/qt_serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <array>
#include <memory>
#include <string>
#include <thread>

namespace zdl {
namespace {

using std::chrono::seconds;

class QtSerialPortTest : public ::testing::Test {
 protected:
  // The port's read notifier wants a thread with an event dispatcher, as the front ends
  // have; nothing here runs the event loop.
  QtSerialPortTest() {
    if (QCoreApplication::instance() == nullptr) {
      app_ = std::make_unique<QCoreApplication>(argc_, argv_.data());
    }
    std::array<char, 128> name{};
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_TRUE(master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0 &&
                ptsname_r(master_, name.data(), name.size()) == 0);
    slave_.name = name.data();
  }
  ~QtSerialPortTest() override { CloseMaster(); }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  Micros In(Millis ms) { return clock_.Now() + ms; }

  int argc_ = 1;
  char appName_[10] = "zdl_tests";
  std::array<char*, 2> argv_{appName_, nullptr};
  std::unique_ptr<QCoreApplication> app_;
  int master_ = -1;
  PortSettings slave_;
  SteadyClock clock_;
  QtSerialPort port_{clock_};
};

TEST_F(QtSerialPortTest, ComNamesMapToTheFirstSixteenDevicesAndAMissingOneSaysWhy) {
  for (const auto& [name, path] : std::initializer_list<std::pair<const char*, const char*>>{
           {"COM1", "/dev/ttyS0"}, {"COM16", "/dev/ttyS15"}, {"COM17", "COM17"}, {"COM0", "COM0"},
           {"com1", "com1"}, {"COM01", "COM01"}, {"/dev/pts/7", "/dev/pts/7"}}) {
    EXPECT_EQ(QtSerialPort::DevicePath(name), path) << name;
  }
  EXPECT_FALSE(port_.Open({.name = "/dev/zdl-no-such-port"}));
  EXPECT_NE(port_.ErrorString().find("/dev/zdl-no-such-port: "), std::string::npos);
}

TEST_F(QtSerialPortTest, EveryByteIsReadUnchanged) {
  ASSERT_TRUE(port_.Open(slave_)) << port_.ErrorString();
  std::string every;
  for (int b = 0; b < 256; ++b) every += static_cast<char>(b);
  ASSERT_EQ(::write(master_, every.data(), every.size()), static_cast<ssize_t>(every.size()));
  std::string got;
  while (got.size() < every.size()) {
    const std::optional<char> c = port_.ReadByte(In(Millis{2000}));
    if (!c) break;
    got += *c;
  }
  EXPECT_EQ(got, every);
  EXPECT_FALSE(port_.ReadByte(In(Millis{30})));
  EXPECT_TRUE(port_.IsOpen());  // a time-out leaves the port open
}

TEST_F(QtSerialPortTest, ACancelEndsTheExchangeButKeepsThePortAndTheFarEndClosingEndsIt) {
  port_.RequestCancel();  // before the port is open: not lost
  ASSERT_TRUE(port_.Open(slave_));
  Micros start = clock_.Now();
  EXPECT_FALSE(port_.ReadByte(start + seconds{10}));
  EXPECT_FALSE(port_.Write("x"));
  EXPECT_FALSE(port_.WaitWritten(start + seconds{10}));
  EXPECT_TRUE(port_.IsOpen());
  port_.BeginExchange();
  std::thread ui([&] {
    std::this_thread::sleep_for(Millis{20});
    port_.RequestCancel();
  });
  EXPECT_FALSE(port_.ReadByte(start + seconds{10}));
  ui.join();
  EXPECT_LT(clock_.Now() - start, Micros{seconds{5}});
  EXPECT_TRUE(port_.IsOpen());
  EXPECT_EQ(port_.ErrorString(), "");  // a cancel is not an error to show

  port_.BeginExchange();  // the next exchange uses the same open port
  ASSERT_EQ(::write(master_, "AB", 2), 2);
  EXPECT_EQ(port_.ReadByte(In(Millis{2000})), 'A');
  CloseMaster();
  start = clock_.Now();
  std::optional<char> c;
  do {  // what was already received may still be served; then the wait fails
    c = port_.ReadByte(start + seconds{10});
  } while (c == 'B');
  EXPECT_FALSE(c);
  EXPECT_LT(clock_.Now() - start, Micros{seconds{5}});
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_NE(port_.ErrorString(), "");
  EXPECT_FALSE(port_.TakeCarrierLoss());
}

}  // namespace
}  // namespace zdl
