#include "model/configuration_record.h"

#include "model/validators.h"

namespace zdl {

namespace {

bool ValidMode(int mode) { return mode >= ModeDisabled && mode <= ModeBistable; }


void ClearDigital(DigitalInput& d) {
  // Ring, RENV, Persist and Ciclos keep their check marks.
  d.NcFlag = false;
  d.BiFlag = false;
  d.Modo = ModeDisabled;
  d.MACRO_TRUE = 0;
  d.MACRO_FALSE = 0;
  d.TEXT.clear();
  d.PVAL.clear();
  d.CVAL.clear();
  d.RST.clear();
}

void ClearAnalog(AnalogInput& a) {
  // RingA, RENVA and PersistA keep their check marks.
  a.HABIL = false;
  a.MACRO_HIGH = 0;
  a.MACRO_LOW = 0;
  a.MACRO_NOM = 0;
  a.TEXT.clear();
  a.PVAL.clear();
  a.IE.clear();
  a.FE.clear();
  a.UN.clear();
  a.MAX.clear();
  a.MIN.clear();
  a.HIST.clear();
}

void SelectIfNone(int& choice) {
  if (choice == kNoSelection) choice = 0;
}

}  // namespace

Text OperatorNumber(SmsCentre choice) {
  switch (choice) {
    case SmsCentre::CSMMovi: return Text(kSmsCentreMovistar);
    case SmsCentre::CSMVoda: return Text(kSmsCentreVodafone);
    case SmsCentre::CSMAmen: return Text(kSmsCentreAmena);
    case SmsCentre::CSMOtro: break;
  }
  return {};
}

int EffectiveMode(const DigitalInput& input) {
  return ValidMode(input.Modo) ? input.Modo : ModeDisabled;
}

Text BuildPhoneEntry(const PhoneEntryChoice& c) {
  Text entry = c.number;
  if (c.priority >= 1 && c.priority <= 8) entry += ",Prio=" + std::to_string(c.priority);
  if (c.rxd) entry += ",RXD";
  static constexpr char kPrivilegeDigit[] = {'3', '2', '1', '0'};  // Apex, Admin, Advanced, User
  entry += ",PRV";
  entry += kPrivilegeDigit[static_cast<int>(c.privilege) & 3];
  if (c.mask) {
    auto code = [&entry](bool on, const char* text) {
      if (on) entry += text;
    };
    code(c.maskD[0], ",D0");
    code(c.maskD[1], ",D1");
    code(c.maskD[2], ",D2");
    code(c.maskD[3], ",D3");
    code(c.maskA[0], ",A0");
    code(c.maskA[1], ",A1");
    code(c.maskTxAlm, ",TXA");
    code(c.maskInfo, ",AIN");
    code(c.maskD[4], ",D4");
    code(c.maskD[5], ",D5");
    code(c.maskD[6], ",D6");
    code(c.maskD[7], ",D7");
    code(c.maskA[2], ",A2");
    code(c.maskA[3], ",A3");
  }
  return entry;
}

void ConfigurationRecord::ClearGeneral() {
  General.NOMBRE.clear();
  General.SMSC.clear();
  General.PTLF.clear();
  General.REST_TEXT.clear();
  TxAlarm.TEXT.clear();
  const GeneralGroup defaults;
  General.RENVN = defaults.RENVN;
  General.ASINC = defaults.ASINC;
  General.AINFO = defaults.AINFO;
  General.RENVT = defaults.RENVT;
  General.NORMAL = defaults.NORMAL;
  General.Csm = SmsCentre::CSMOtro;
  ListaTlf.clear();
  General.MACRO_INICIO = 0;
  General.MACRO_GSMOK = 0;
  General.MACRO_GSMMAL = 0;
  TxAlarm.MACRO_TX = 0;
  General.Habil_Restore = false;
  SetPinHabil(false);
  TxAlarm.HABIL = false;
  TxAlarm.RING = false;
}

void ConfigurationRecord::ClearAlarmas() {
  for (int i = 0; i < 4; ++i) ClearDigital(Digital[i]);
  for (int j = 0; j < 2; ++j) ClearAnalog(Analog[j]);
}

void ConfigurationRecord::ClearAlarmas2() {
  // The reset time of inputs 4 to 7 is emptied like that of inputs 0 to 3.
  for (int i = 4; i < 8; ++i) ClearDigital(Digital[i]);
  for (int j = 2; j < 4; ++j) ClearAnalog(Analog[j]);
}

void ConfigurationRecord::ClearMacros() {
  for (Macro& m : Macros) m = Macro{};
}

void ConfigurationRecord::ClearDatalogger() { DataLogger = DataLoggerGroup{}; }

void ConfigurationRecord::ClearTemporizadores() {
  for (Timer& t : Timers) t = Timer{};
}

void ConfigurationRecord::CleanUp() {
  for (int i = 0; i < kDigitalInputs; ++i) {
    if (DigitalHabil(i)) continue;
    DigitalInput& d = Digital[i];
    d.TEXT.clear();
    d.PVAL.clear();
    d.CVAL.clear();
    d.RING = d.RENV = d.PERSIST = d.CICLOS = false;
  }
  for (AnalogInput& a : Analog) {
    if (a.HABIL) continue;
    a.TEXT.clear();
    a.PVAL.clear();
    a.IE.clear();
    a.FE.clear();
    a.UN.clear();
    a.MIN.clear();
    a.MAX.clear();
    a.HIST.clear();
    a.RING = a.RENV = a.PERSIST = false;
  }
}

bool ConfigurationRecord::DigitalHabil(int input) const {
  return EffectiveMode(Digital[input]) != ModeDisabled;
}

bool ConfigurationRecord::DigitalNC(int input) const {
  return EffectiveMode(Digital[input]) == ModeNormallyClosed;
}

bool ConfigurationRecord::DigitalBi(int input) const {
  return EffectiveMode(Digital[input]) == ModeBistable;
}

void ConfigurationRecord::SetDigitalHabil(int input, bool value) {
  DigitalInput& d = Digital[input];
  if (!value) {
    d.Modo = ModeDisabled;
  } else if (d.BiFlag) {
    d.Modo = ModeBistable;
  } else if (d.NcFlag) {
    d.Modo = ModeNormallyClosed;
  } else {
    d.Modo = ModeNormallyOpen;
  }
  ApplyDigitalRule(input);
}

void ConfigurationRecord::SetDigitalNC(int input, bool value) {
  DigitalInput& d = Digital[input];
  d.NcFlag = value;
  d.Modo = EffectiveMode(d);
  if (!DigitalHabil(input)) return;
  if (value) {
    d.Modo = ModeNormallyClosed;
  } else {
    d.Modo = d.BiFlag ? ModeBistable : ModeNormallyOpen;
  }
  ApplyDigitalRule(input);
}

void ConfigurationRecord::SetDigitalBi(int input, bool value) {
  DigitalInput& d = Digital[input];
  d.BiFlag = value;
  d.Modo = EffectiveMode(d);
  if (!DigitalHabil(input)) return;
  if (value) {
    d.Modo = ModeBistable;
  } else {
    d.Modo = d.NcFlag ? ModeNormallyClosed : ModeNormallyOpen;
  }
  ApplyDigitalRule(input);
}

void ConfigurationRecord::SetDigitalMode(int input, int mode) {
  // A list with no selection counts as "Disabled".
  Digital[input].Modo = ValidMode(mode) ? mode : ModeDisabled;
  ApplyDigitalRule(input);
}

void ConfigurationRecord::ApplyDigitalRule(int input) {
  // A mode change selects "No" in a macro list that has no selection.
  SelectIfNone(Digital[input].MACRO_TRUE);
  SelectIfNone(Digital[input].MACRO_FALSE);
}

void ConfigurationRecord::CSMCheck() {
  for (SmsCentre choice : {SmsCentre::CSMMovi, SmsCentre::CSMVoda, SmsCentre::CSMAmen}) {
    if (General.SMSC == OperatorNumber(choice)) {
      SelectSmsCentre(choice);
      return;
    }
  }
  SelectSmsCentre(SmsCentre::CSMOtro);
}

void ConfigurationRecord::SelectSmsCentre(SmsCentre choice) {
  General.Csm = choice;
  if (choice != SmsCentre::CSMOtro) General.SMSC = OperatorNumber(choice);
}

void ConfigurationRecord::SetPinHabil(bool value) {
  General.PinHabil = value;
  if (!value) General.PIN.clear();
}

void ConfigurationRecord::SetTxAlarmHabil(bool value) {
  // Only a change from checked to unchecked empties the alarm.
  if (TxAlarm.HABIL && !value) {
    TxAlarm.TEXT.clear();
    TxAlarm.RING = false;
  }
  TxAlarm.HABIL = value;
}

void ConfigurationRecord::SetTimerHabil(int timer, bool value) {
  Timers[timer].HABIL = value;
  SelectIfNone(Timers[timer].MACRO);
}

void ConfigurationRecord::SetAnalogHabil(int input, bool value) {
  AnalogInput& a = Analog[input];
  a.HABIL = value;
  SelectIfNone(a.MACRO_HIGH);
  SelectIfNone(a.MACRO_LOW);
  SelectIfNone(a.MACRO_NOM);
}

AddPhoneResult ConfigurationRecord::AddPhoneEntry(const PhoneEntryChoice& choice) {
  if (choice.number.empty()) return AddPhoneResult::EmptyNumber;
  if (!CheckInt(choice.number)) return AddPhoneResult::InvalidNumber;
  if (ListaTlf.size() >= kPhoneListSize) return AddPhoneResult::ListFull;
  ListaTlf.push_back(BuildPhoneEntry(choice));
  return AddPhoneResult::Added;
}

bool ConfigurationRecord::AppendPhoneEntry(const Text& entry) {
  if (ListaTlf.size() >= kPhoneListSize) return false;
  ListaTlf.push_back(entry);
  return true;
}

void ConfigurationRecord::DeletePhoneEntry(std::size_t position) {
  if (position < ListaTlf.size()) ListaTlf.erase(ListaTlf.begin() + static_cast<std::ptrdiff_t>(position));
}

bool ConfigurationRecord::HasPriorityNumber() const {
  for (std::size_t i = 0; i < ListaTlf.size() && i < kPhoneListSize; ++i) {
    if (ListaTlf[i].find("Prio=") != Text::npos) return true;
  }
  return false;
}

}  // namespace zdl
