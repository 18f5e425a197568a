// One wait for received bytes, with an end however fast they come.
//
// A port hands over bytes it has already received before it looks at the clock, so a
// device that keeps sending (noise, a line without its CR) at the speed of a USB adapter
// or a pseudo-terminal would keep a plain "read until the deadline" loop going for ever.
// A ByteWait looks at the clock on every byte: once the deadline has passed it takes at
// most kLateBytes more (what had arrived by then: a line completed just in time still
// counts) and then ends.
#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>

#include "link/byte_port.h"
#include "link/clock.h"

namespace zdl {

// Bytes a wait still takes after its deadline has passed.
inline constexpr std::size_t kLateBytes = 1024;

class ByteWait {
 public:
  ByteWait(BytePort& port, Clock& clock, Micros deadline, std::size_t lateBytes = kLateBytes)
      : port_(port), clock_(clock), deadline_(deadline), lateBytes_(lateBytes) {}

  // The next byte; empty once the wait is over (deadline passed and the late bytes taken),
  // on a closed port and on a cancel.
  std::optional<char> Next() { return Next(deadline_); }
  // The same, waiting no longer than `until` for it (a slice of a longer wait, so that
  // the caller can look at something else in between).
  std::optional<char> Next(Micros until) {
    if (clock_.Now() >= deadline_ && late_++ >= lateBytes_) return std::nullopt;
    return port_.ReadByte(std::min(until, deadline_));
  }
  // The deadline has passed.
  bool Over() { return clock_.Now() >= deadline_; }

 private:
  BytePort& port_;
  Clock& clock_;
  Micros deadline_;
  std::size_t lateBytes_;
  std::size_t late_ = 0;
};

}  // namespace zdl
