// The QSerialPort adapter over a real pseudo-terminal pair: the test holds the master
// side (the unit), the adapter opens the slave device by its path.
#include "link/qt/qt_serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
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

// The far end: the master side of a pseudo-terminal.
class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    std::array<char, 128> name{};
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name.data(), name.size()) != 0) {
      ADD_FAILURE() << "no pseudo-terminal";
      return;
    }
    slave_ = name.data();
  }
  ~Pty() { CloseMaster(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  const std::string& SlavePath() const { return slave_; }

  void Write(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::write(master_, bytes.data(), bytes.size());
      if (n <= 0) return;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }

  // Up to `count` bytes, waiting at most `timeoutMs` for each chunk.
  std::string Read(std::size_t count, int timeoutMs = 2000) {
    std::string bytes;
    while (bytes.size() < count) {
      pollfd pfd{master_, POLLIN, 0};
      if (::poll(&pfd, 1, timeoutMs) <= 0) break;
      char chunk[256];
      const ssize_t n = ::read(master_, chunk, std::min(sizeof chunk, count - bytes.size()));
      if (n <= 0) break;
      bytes.append(chunk, static_cast<std::size_t>(n));
    }
    return bytes;
  }

  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

class QtSerialPortTest : public ::testing::Test {
 protected:
  // The port's read notifier wants a thread with an event dispatcher, as the front ends
  // have; nothing here runs the event loop.
  QtSerialPortTest() {
    if (QCoreApplication::instance() == nullptr) {
      app_ = std::make_unique<QCoreApplication>(argc_, argv_.data());
    }
  }

  bool OpenSlave(bool modem = false) {
    PortSettings settings;
    settings.name = pty_.SlavePath();
    settings.handshake = modem ? Handshake::RtsCts : Handshake::None;
    settings.dtr = modem;
    settings.watchCarrier = modem;
    return port_.Open(settings);
  }
  Micros In(Millis ms) { return clock_.Now() + ms; }

  int argc_ = 1;
  char name_[10] = "zdl_tests";
  std::array<char*, 2> argv_{name_, nullptr};
  std::unique_ptr<QCoreApplication> app_;
  SteadyClock clock_;
  Pty pty_;
  QtSerialPort port_{clock_};
};

TEST(QtSerialPortNames, ComNamesMapToTheFirstSixteenDevices) {
  const struct {
    const char* name;
    const char* path;
  } cases[] = {
      {"COM1", "/dev/ttyS0"},   {"COM2", "/dev/ttyS1"},   {"COM10", "/dev/ttyS9"},
      {"COM16", "/dev/ttyS15"}, {"COM17", "COM17"},       {"COM0", "COM0"},
      {"com1", "com1"},         {"COM01", "COM01"},       {"COM1 ", "COM1 "},
      {"/dev/pts/7", "/dev/pts/7"}, {"/dev/ttyUSB0", "/dev/ttyUSB0"},
  };
  for (const auto& c : cases) EXPECT_EQ(QtSerialPort::DevicePath(c.name), c.path) << c.name;
}

TEST(QtSerialPortNames, MissingDeviceFailsWithADescription) {
  SteadyClock clock;
  QtSerialPort port(clock);
  PortSettings settings;
  settings.name = "/dev/zdl-no-such-port";
  EXPECT_FALSE(port.Open(settings));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_NE(port.ErrorString().find("/dev/zdl-no-such-port"), std::string::npos);
  EXPECT_GT(port.ErrorString().size(), settings.name.size() + 2) << port.ErrorString();

  if (::access("/dev/ttyS15", F_OK) == 0) GTEST_SKIP() << "this machine has /dev/ttyS15";
  settings.name = "COM16";
  EXPECT_FALSE(port.Open(settings));
  EXPECT_NE(port.ErrorString().find("/dev/ttyS15"), std::string::npos) << port.ErrorString();
}

TEST_F(QtSerialPortTest, BytesTravelBothWaysUnchanged) {
  ASSERT_TRUE(OpenSlave()) << port_.ErrorString();
  const std::string framed("#60;00\r\n\0\xFF\x80", 11);
  ASSERT_TRUE(port_.Write(framed));
  EXPECT_EQ(pty_.Read(framed.size()), framed);

  std::string every;
  for (int b = 0; b < 256; ++b) every += static_cast<char>(b);
  pty_.Write(every);
  std::string got;
  while (got.size() < every.size()) {
    const auto c = port_.ReadByte(In(Millis{2000}));
    if (!c) break;
    got += *c;
  }
  EXPECT_EQ(got, every);
  EXPECT_TRUE(port_.IsOpen());
}

TEST_F(QtSerialPortTest, LongStreamIsReadWithoutLoss) {
  ASSERT_TRUE(OpenSlave());
  std::string stream;
  for (int i = 0; i < 2000; ++i) stream += "#A0;" + std::to_string(100000 + i) + "\r";
  std::thread unit([&] { pty_.Write(stream); });
  std::string got;
  while (got.size() < stream.size()) {
    const auto c = port_.ReadByte(In(Millis{5000}));
    if (!c) break;
    got += *c;
  }
  unit.join();
  EXPECT_EQ(got.size(), stream.size());
  EXPECT_EQ(got, stream);
}

TEST_F(QtSerialPortTest, ReadTimesOutAndThePortStaysOpen) {
  ASSERT_TRUE(OpenSlave());
  const Micros deadline = In(Millis{30});
  EXPECT_FALSE(port_.ReadByte(deadline));
  EXPECT_GE(clock_.Now(), deadline);
  EXPECT_TRUE(port_.IsOpen());
  EXPECT_EQ(port_.ErrorString(), "");
  // A deadline already past returns at once.
  EXPECT_FALSE(port_.ReadByte(clock_.Now()));
  pty_.Write("K");
  EXPECT_EQ(port_.ReadByte(In(Millis{2000})), 'K');
}

TEST_F(QtSerialPortTest, FarEndClosingClosesThePortAndEndsTheWait) {
  ASSERT_TRUE(OpenSlave());
  pty_.Write("AB");
  EXPECT_EQ(port_.ReadByte(In(Millis{2000})), 'A');
  pty_.CloseMaster();
  const Micros start = clock_.Now();
  std::optional<char> c;
  // What was already received may still be served; then the wait ends as failed.
  do {
    c = port_.ReadByte(start + seconds{10});
  } while (c && *c == 'B');
  EXPECT_FALSE(c);
  EXPECT_LT(clock_.Now() - start, Micros{seconds{5}});
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_NE(port_.ErrorString(), "");
  EXPECT_FALSE(port_.Write("#60;00\r"));
  EXPECT_FALSE(port_.TakeCarrierLoss());
}

TEST_F(QtSerialPortTest, CancelFromAnotherThreadEndsTheWait) {
  ASSERT_TRUE(OpenSlave());
  const Micros start = clock_.Now();
  std::thread ui([&] { port_.RequestCancel(); });
  EXPECT_FALSE(port_.ReadByte(start + seconds{10}));
  ui.join();
  EXPECT_LT(clock_.Now() - start, Micros{seconds{5}});
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_EQ(port_.ErrorString(), "");  // a cancel is not an error to show
  // The next open starts afresh.
  ASSERT_TRUE(OpenSlave());
  pty_.Write("x");
  EXPECT_EQ(port_.ReadByte(In(Millis{2000})), 'x');
}

TEST_F(QtSerialPortTest, PseudoTerminalWithoutModemLinesNeverDropsCarrier) {
  ASSERT_TRUE(OpenSlave(/*modem=*/true)) << port_.ErrorString();
  EXPECT_FALSE(port_.ReadByte(In(Millis{120})));
  EXPECT_TRUE(port_.IsOpen());
  EXPECT_FALSE(port_.TakeCarrierLoss());
  ASSERT_TRUE(port_.Write("ATH\r"));
  EXPECT_EQ(pty_.Read(4), "ATH\r");
}

TEST_F(QtSerialPortTest, WaitWrittenReturnsOnceTheBytesHaveLeft) {
  ASSERT_TRUE(OpenSlave());
  const std::string block(600, 'h');
  ASSERT_TRUE(port_.Write(block));
  std::thread unit([&] { EXPECT_EQ(pty_.Read(block.size()).size(), block.size()); });
  EXPECT_TRUE(port_.WaitWritten(In(Millis{5000})));
  unit.join();
}

TEST_F(QtSerialPortTest, ClosedPortFailsAtOnce) {
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_FALSE(port_.Write("x"));
  const Micros start = clock_.Now();
  EXPECT_FALSE(port_.ReadByte(start + seconds{10}));
  EXPECT_LT(clock_.Now() - start, Micros{seconds{5}});
  ASSERT_TRUE(OpenSlave());
  port_.Close();
  port_.Close();
  EXPECT_FALSE(port_.ReadByte(clock_.Now() + seconds{10}));
}

}  // namespace
}  // namespace zdl
