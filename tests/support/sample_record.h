// A configuration that uses every field, in the form a read from the unit gives back
// (numbers the unit returns as sign-spaced decimals are written that way), so a write
// followed by a read must reproduce it exactly.
#pragma once

#include "model/configuration_record.h"

namespace zdl::testing {

ConfigurationRecord FullRecord();

}  // namespace zdl::testing
