// Starting a simulated unit from a configuration as the tool holds it (from a file, from
// the editors): the unit takes the lines of the tool's write sequence, so it holds exactly
// what a write of that configuration would leave in it.
#pragma once

#include <string>
#include <vector>

#include "model/configuration_record.h"
#include "sim/simulated_unit.h"

namespace zdl {

// Applies every configuration line of the write sequence (from "#01LDDEF" on, "#03"
// excepted) without answering. Returns the lines the unit could not take (empty when all
// were taken).
std::vector<std::string> StartFromConfiguration(SimulatedUnit& unit,
                                                const ConfigurationRecord& configuration);

}  // namespace zdl
