// What a simulated device sends: each byte with the time it has crossed the line. Paced,
// bytes leave one every byte time at 9600 baud once the line is free; unpaced, at once.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "link/clock.h"

namespace zdl {

class PacedOutput {
 public:
  // Queues bytes, the first leaving no earlier than `earliest`.
  void Send(std::string_view bytes, Micros earliest, bool paced);
  // When one more byte, sent no earlier than `earliest`, would have crossed the line.
  Micros FirstByteTime(Micros earliest, bool paced) const;
  // The time of the next byte, if any is queued.
  std::optional<Micros> NextTime() const;
  // The bytes that have crossed the line by `now`.
  std::string Take(Micros now);
  // A hang-up at `now`: what had not left is lost.
  void DropAfter(Micros now);
  // Everything queued is lost (the line's state stays).
  void Clear() { out_.clear(); }
  // When the last byte sent has crossed the line.
  Micros Done() const { return done_; }

 private:
  std::deque<std::pair<Micros, char>> out_;
  Micros burstStart_{0};
  std::int64_t burstCount_ = 0;
  Micros done_{0};
};

}  // namespace zdl
