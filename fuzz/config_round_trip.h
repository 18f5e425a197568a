// The property both configuration-file fuzz targets check: whatever a load accepts, a
// save writes in a form that loads back to the same record.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>

#include "configfile/config_file.h"

namespace zdl::fuzz {

// The record as a keyed file can carry it: the remembered N.C./bistable flags follow the
// mode (the file stores only the mode's three flags), and there is no PIN.
inline ConfigurationRecord AsKeyedFileCarriesIt(ConfigurationRecord r) {
  for (DigitalInput& d : r.Digital) {
    d.NcFlag = EffectiveMode(d) == ModeNormallyClosed;
    d.BiFlag = EffectiveMode(d) == ModeBistable;
  }
  r.SetPinHabil(false);
  return r;
}

// Loads `input`; when it loads, saves the record over the same bytes (keeping whatever
// else they hold) and loads that again. Aborts when the second load fails or differs.
inline void CheckLoadSaveLoad(std::string_view input) {
  ConfigurationRecord first;
  if (!LoadConfigBytes(input, first).loaded()) return;
  for (std::string_view existing : {std::string_view(), input}) {
    std::string saved;
    if (!SaveConfigBytes(first, existing, saved).ok) return;  // a text with a line break
    ConfigurationRecord second;
    const LoadOutcome outcome = LoadConfigBytes(saved, second);
    if (outcome.status != LoadStatus::Loaded || outcome.format != FileFormat::Keyed) std::abort();
    if (AsKeyedFileCarriesIt(first) != AsKeyedFileCarriesIt(second)) std::abort();
    if (KeyedValues(first) != KeyedValues(second)) std::abort();
  }
}

}  // namespace zdl::fuzz
