// libFuzzer target: the input behind a version-2 sequential header, so the fuzzer spends
// its time in the item reader; what loads must save as keyed and load back equal.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/config_round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string input = "ZDL410V02\r\n";
  input.append(reinterpret_cast<const char*>(data), size);
  zdl::fuzz::CheckLoadSaveLoad(input);
  return 0;
}
