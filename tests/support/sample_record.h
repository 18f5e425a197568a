// A configuration that uses every field, in the form a read from the unit gives back
// (numbers the unit returns as sign-spaced decimals are written that way), so a write
// followed by a read must reproduce it exactly: the keyed file tests/data/full.ncf, which
// tests/data/make_fixtures.py writes from its own description of every value.
#pragma once

#include "model/configuration_record.h"

namespace zdl::testing {

ConfigurationRecord FullRecord();

// FullRecord with every item enabled (inputs with persistence and cycle counter, timers,
// eight phone entries), so that a write carries every text it can; it passes the checks
// before a write.
ConfigurationRecord EveryItemSent();

}  // namespace zdl::testing
