#include "tests/support/sample_record.h"

namespace zdl::testing {

ConfigurationRecord FullRecord() {
  ConfigurationRecord r;
  GeneralGroup& g = r.General;
  g.NOMBRE = "Dep\xF3sito n\xBA 3 \x80";  // "Depósito nº 3 €" in Windows-1252
  g.SMSC = "+34609090909";
  g.RENVN = "3";
  g.RENVT = "10";
  g.PTLF = "+34600111222";
  g.AINFO = "7";
  g.ASINC = "15";
  g.NORMAL = " 30";
  g.REST_TEXT = "Restablecida";
  g.Habil_Restore = true;
  g.MACRO_INICIO = 1;
  g.MACRO_GSMOK = 2;
  g.MACRO_GSMMAL = 3;
  r.CSMCheck();

  r.SetTxAlarmHabil(true);
  r.TxAlarm.TEXT = "Alarma fallo de transmisi\xF3n";
  r.TxAlarm.RING = true;
  r.TxAlarm.MACRO_TX = 4;

  r.ListaTlf = {"600,Prio=3,PRV2,D0,A1,TXA", "+34611222333,RXD,PRV0", "700,Prio=1,PRV3"};

  auto digital = [&r](int i, int mode, const char* text) {
    r.SetDigitalNC(i, mode == ModeNormallyClosed);
    r.SetDigitalBi(i, mode == ModeBistable);
    r.SetDigitalHabil(i, mode != ModeDisabled);
    r.Digital[i].TEXT = text;
  };
  digital(0, ModeNormallyClosed, "Fallo UPS");
  r.Digital[0].RING = r.Digital[0].RENV = r.Digital[0].PERSIST = r.Digital[0].CICLOS = true;
  r.Digital[0].PVAL = " 5";
  r.Digital[0].CVAL = "3";
  r.Digital[0].RST = "60";
  r.Digital[0].MACRO_TRUE = 3;
  r.Digital[0].MACRO_FALSE = 5;
  digital(1, ModeNormallyOpen, "Puerta");
  digital(2, ModeBistable, "Intrusi\xF3n, zona \"B\"");
  r.Digital[2].PERSIST = true;
  r.Digital[2].PVAL = " 2.5";
  r.Digital[2].MACRO_FALSE = 14;
  digital(4, ModeNormallyClosed, "Nivel alto");
  r.Digital[4].CICLOS = true;
  r.Digital[4].CVAL = "10";
  r.Digital[4].MACRO_TRUE = 6;
  digital(5, ModeNormallyOpen, "");
  digital(7, ModeBistable, "Bomba");
  r.Digital[7].RING = true;

  auto analog = [&r](int j, const char* text) {
    r.SetAnalogHabil(j, true);
    AnalogInput& a = r.Analog[j];
    a.TEXT = text;
    // Whole strings moved in: GCC 12 at -O3 misreads short literals assigned in a row.
    a.IE = Text("0");
    a.FE = Text("100");
    a.UN = Text("%");
    a.MIN = Text("10");
    a.MAX = Text("90");
    a.HIST = Text("2");
  };
  analog(0, "Entrada anal\xF3gica 0");
  r.Analog[0].RING = r.Analog[0].RENV = r.Analog[0].PERSIST = true;
  r.Analog[0].PVAL = " 1.5";
  r.Analog[0].MACRO_HIGH = 6;
  r.Analog[0].MACRO_NOM = 7;
  r.Analog[0].MACRO_LOW = 8;
  analog(2, "Temperatura");
  r.Analog[2].UN = "\xBA" "C";
  r.Analog[2].MIN = "-5.5";
  r.Analog[2].MACRO_LOW = 14;

  for (int k = 1; k <= kMacros; ++k) {
    r.Macros[k - 1].MACRO_TEXT = "Macro " + std::to_string(k);
    r.Macros[k - 1].MACRO_COM = k % 2 ? "ON" + std::to_string(k) : "";
  }
  r.Macros[13].MACRO_COM = "OUT1=1,OUT2=0";

  r.DataLogger.LOG_TIME = " 120";
  r.DataLogger.DIGITAL_REARM = " 5";
  r.DataLogger.REG_D = {true, false, true, false, false, false, false, true};
  r.DataLogger.REG_A = {true, false, false, true};

  r.SetTimerHabil(0, true);
  r.Timers[0].TIME = "08:30";
  r.Timers[0].Days = {true, true, true, true, true, false, false};
  r.Timers[0].MACRO = 9;
  r.SetTimerHabil(5, true);
  r.Timers[5].TIME = "21:15";
  r.Timers[5].VP = "120";
  r.Timers[5].Days = {false, false, false, false, false, true, true};
  r.Timers[5].MACRO = 13;
  return r;
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
