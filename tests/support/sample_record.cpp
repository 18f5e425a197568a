#include "tests/support/sample_record.h"

#include <stdexcept>

#include "configfile/config_file.h"

namespace zdl::testing {

ConfigurationRecord FullRecord() {
  static const ConfigurationRecord kFull = [] {  // read once, never changed
    ConfigurationRecord r;
    if (!LoadConfigFile(ZDL_TEST_DATA "/full.ncf", r).loaded()) throw std::runtime_error("full.ncf");
    return r;
  }();
  return kFull;
}

ConfigurationRecord EveryItemSent() {
  ConfigurationRecord r = FullRecord();
  for (int i = 0; i < kDigitalInputs; ++i) {
    if (!r.DigitalHabil(i)) r.SetDigitalHabil(i, true);
    DigitalInput& d = r.Digital[static_cast<std::size_t>(i)];
    d.PERSIST = d.CICLOS = true;
    d.PVAL = Text("5");
    d.CVAL = Text("3");
    d.RST = Text("60");
  }
  for (int j = 0; j < kAnalogInputs; ++j) {
    r.SetAnalogHabil(j, true);
    AnalogInput& a = r.Analog[static_cast<std::size_t>(j)];
    for (Text* scale : {&a.IE, &a.FE, &a.MIN, &a.MAX, &a.HIST}) *scale = Text("1");
    a.PERSIST = true;
    a.PVAL = Text("1");
  }
  for (int t = 0; t < kTimers; ++t) {
    r.SetTimerHabil(t, true);
    r.Timers[static_cast<std::size_t>(t)].Days[LUNES] = true;
  }
  while (r.ListaTlf.size() < kPhoneListSize) {
    r.ListaTlf.push_back(std::to_string(600 + r.ListaTlf.size()) + ",PRV0");
  }
  return r;
}

}  // namespace zdl::testing
