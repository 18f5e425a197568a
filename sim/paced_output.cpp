#include "sim/paced_output.h"

#include <algorithm>

#include "sim/simulated_unit.h"

namespace zdl {

void PacedOutput::Send(std::string_view bytes, Micros earliest, bool paced) {
  for (char c : bytes) {
    Micros at = std::max(earliest, done_);
    if (paced) {
      if (earliest >= done_) {  // the line is idle: a new burst starts
        burstStart_ = earliest;
        burstCount_ = 0;
      }
      at = burstStart_ + PacedBytesTime(++burstCount_);
    }
    done_ = at;
    out_.emplace_back(at, c);
  }
}

Micros PacedOutput::FirstByteTime(Micros earliest, bool paced) const {
  if (!paced) return std::max(earliest, done_);
  if (earliest >= done_) return earliest + PacedBytesTime(1);
  return burstStart_ + PacedBytesTime(burstCount_ + 1);
}

std::optional<Micros> PacedOutput::NextTime() const {
  if (out_.empty()) return std::nullopt;
  return out_.front().first;
}

std::string PacedOutput::Take(Micros now) {
  std::string bytes;
  while (!out_.empty() && out_.front().first <= now) {
    bytes += out_.front().second;
    out_.pop_front();
  }
  return bytes;
}

void PacedOutput::DropAfter(Micros now) {
  while (!out_.empty() && out_.back().first > now) out_.pop_back();
  done_ = std::min(done_, now);
}

}  // namespace zdl
