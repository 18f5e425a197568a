// Helpers shared by the transfer tests: a progress sink that records what it is told,
// and the payload of a framed line as the tool wrote it.
#pragma once

#include <string>
#include <vector>

#include "link/progress.h"

namespace zdl::testing {

class RecordingProgress : public ProgressSink {
 public:
  void Status(TextId offset) override { statuses.push_back(offset); }
  void Range(int maximum) override { range = maximum; }
  void Value(int value) override { values.push_back(value); }
  std::vector<TextId> statuses;
  std::vector<int> values;
  int range = 0;
};

// The payload of a framed line "#CC;P", or the raw line itself (an acknowledgement).
inline std::string Payload(const std::string& written) {
  if (written.size() >= 4 && written[0] == '#' && written[3] == ';') return written.substr(4);
  return written;
}

}  // namespace zdl::testing
