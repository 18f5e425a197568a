// libFuzzer target: any bytes through the loader; what loads must save and load back equal.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/config_round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zdl::fuzz::CheckLoadSaveLoad(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
