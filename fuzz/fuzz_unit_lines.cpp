// libFuzzer target: whatever a unit (or the tool) might send, line by line, through the
// tool's record decoding and the simulated unit's command parsing. Nothing may crash,
// hang or touch memory it does not own.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/configuration_record.h"
#include "sim/simulated_unit.h"
#include "transfer/read_config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  zdl::ConfigurationRecord record;
  std::string_view rest = input;
  while (!rest.empty()) {
    const std::size_t cr = rest.find('\r');
    const std::string_view line = rest.substr(0, cr);
    rest.remove_prefix(cr == std::string_view::npos ? rest.size() : cr + 1);
    zdl::DecodeRecordLine(line, record);
    zdl::DecodeLoggerChannels(line, record);
    zdl::DecodeLoggerInputs(line, record);
  }
  zdl::SimulatedUnit unit;
  unit.Receive(input, zdl::Micros{0});
  unit.TakeOutput(zdl::Micros{1'000'000'000});
  for (std::string_view command = input; !command.empty();) {
    const std::size_t cr = command.find('\r');
    unit.ApplyConfigurationLine(command.substr(0, cr));
    command.remove_prefix(cr == std::string_view::npos ? command.size() : cr + 1);
  }
  return 0;
}
