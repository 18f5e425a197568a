// A scripted far end and a clock that only moves when a wait needs it to, so every
// time-out is exercised in microseconds.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/byte_port.h"
#include "link/clock.h"
#include "link/progress.h"

namespace zdl::testing {

class FakeClock final : public Clock {
 public:
  Micros Now() override { return now_; }
  bool SleepUntil(Micros t, const CancelToken& cancel) override;
  void Advance(Micros d) { now_ += d; }

 private:
  Micros now_{0};
};

class FakePort final : public BytePort {
 public:
  // Called with the bytes of every Write while the port is open; it may Feed answers.
  using Responder = std::function<void(std::string_view written, FakePort& port)>;

  explicit FakePort(FakeClock& clock) : clock_(clock) {}

  // --- the far end ---
  void SetResponder(Responder responder) { responder_ = std::move(responder); }
  // Bytes that arrive `delay` after the current time (after earlier fed bytes).
  void Feed(std::string_view bytes, Micros delay = Micros{0});
  // A framed answer: "#" + checksum + ";" + payload + CR. `payload` without the "#".
  void FeedAnswer(std::string_view payload, Micros delay = Micros{0});
  // A device that keeps sending: once the fed bytes that have arrived are taken, `pattern`
  // repeats without end. As in a real port's buffer, a byte of it is always waiting and is
  // handed over whatever the read's deadline; taking one moves the clock on by `perByte`.
  // After `total` bytes the flood dries up, so a wait that would never end still ends the
  // test (and FloodLeft() tells it ran dry). The carrier does not drop during a flood.
  void Flood(std::string pattern, Micros perByte, std::int64_t total);
  std::int64_t FloodLeft() const { return floodLeft_; }
  // Carrier drops at the given clock time (the watch closes the port during a wait).
  void DropCarrierAt(Micros when) { carrierDropAt_ = when; }
  void FailOpen(std::string error) { openError_ = std::move(error); }

  // --- what the tool did ---
  const std::string& Written() const { return written_; }
  // The written bytes split after every CR (the CR removed).
  std::vector<std::string> WrittenLines() const;
  const std::vector<PortSettings>& Opens() const { return opens_; }

  // --- BytePort ---
  bool Open(const PortSettings& settings) override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  std::string ErrorString() const override { return openError_; }
  bool Write(std::string_view bytes) override;
  std::optional<char> ReadByte(Micros deadline) override;
  bool WaitWritten(Micros deadline) override;
  void PollCarrier() override;
  bool TakeCarrierLoss() override;
  CancelToken& Cancel() override { return cancel_; }

 private:
  struct Arrival {
    Micros at;
    char byte;
  };
  bool CarrierDropsBy(Micros t) const;
  void LoseCarrier();

  FakeClock& clock_;
  Responder responder_;
  std::deque<Arrival> incoming_;
  std::string written_;
  std::vector<PortSettings> opens_;
  bool open_ = false;
  bool watchCarrier_ = false;
  bool carrierLost_ = false;
  std::optional<Micros> carrierDropAt_;
  std::string openError_;
  CancelToken cancel_;
  std::string floodPattern_;
  std::size_t floodPos_ = 0;
  Micros floodPerByte_{0};
  std::int64_t floodLeft_ = 0;
};

// Records what it is told; `onStatus` hears of each status first.
class RecordingProgress : public ProgressSink {
 public:
  void Status(TextId offset) override {
    if (onStatus) onStatus(offset);
    statuses.push_back(offset);
  }
  void Range(int maximum) override { range = maximum; }
  void Value(int value) override { values.push_back(value); }
  std::function<void(TextId)> onStatus;
  std::vector<TextId> statuses;
  std::vector<int> values;
  int range = 0;
};

// A modem or a unit scripted on the fake port. Every written line is known by its logical
// command: a framed line "#CC;X" as "#X", any other (an acknowledgement, an AT command) as
// it is. Its reply is `answers`' entry, else `usual`'s: a "#" reply goes out framed,
// "close" closes the port, "" is silence, anything else goes out as it is; `delay` after
// the line. `onLine` is told of each line once its reply is on its way.
class ScriptedUnit {
 public:
  ScriptedUnit();
  int Count(const std::string& command) const;  // lines written with this logical command

  FakeClock clock;
  FakePort port{clock};
  RecordingProgress progress;
  std::map<std::string, std::string> answers;
  std::function<std::string(const std::string&)> usual = [](const std::string&) { return ""; };
  std::function<void(const std::string&)> onLine;
  Micros delay{0};
};

}  // namespace zdl::testing
