#include "sim/unit_setup.h"

#include "transfer/command_set.h"

namespace zdl {

std::vector<std::string> StartFromConfiguration(SimulatedUnit& unit,
                                                const ConfigurationRecord& configuration) {
  const WriteSequence sequence = BuildWriteSequence(configuration);
  std::vector<std::string> refused;
  for (const CommandLine& line : AllLines(sequence)) {
    if (line.text == sequence.save.text) continue;
    if (!unit.ApplyConfigurationLine(line.text)) refused.push_back(line.text);
  }
  return refused;
}

}  // namespace zdl
