// The Configuration record: every setting of one ZDL410 unit, as the editors hold it.
//
// Texts are kept exactly as typed, as Windows-1252 bytes (one byte a character), so what
// is sent to the unit and saved in a file is those bytes. Numbers typed by the user are
// texts too; their meaning and range are checked only before a write to the unit.
// Check boxes are bools (a box counts as checked only when its value is 1). List choices
// are list positions; kNoSelection stands for a list with nothing selected.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zdl {

// Windows-1252 bytes, as typed.
using Text = std::string;

inline constexpr int kNoSelection = -1;

inline constexpr int kDigitalInputs = 8;
inline constexpr int kAnalogInputs = 4;
inline constexpr int kMacros = 14;
inline constexpr int kTimers = 8;
inline constexpr int kPhoneListSize = 8;
inline constexpr int kWeekDays = 7;

// Position in a macro list: "No" (0, no macro) then "1" to "14"; the position is the
// macro number.
inline constexpr int kMacroChoiceItems = 15;
// Position in a timer's macro list: "1" to "14"; the macro number is position + 1.
inline constexpr int kTimerMacroItems = 14;

// Position in a digital input's Modo list.
enum AlarmMode : int {
  ModeDisabled = 0,
  ModeNormallyOpen = 1,
  ModeNormallyClosed = 2,
  ModeBistable = 3,
};

// The SMS-centre option buttons of the general form.
enum class SmsCentre { CSMMovi, CSMVoda, CSMAmen, CSMOtro };

// The operators' SMS-centre numbers that the first three options stand for.
inline constexpr std::string_view kSmsCentreMovistar = "+34609090909";
inline constexpr std::string_view kSmsCentreVodafone = "+34607003110";
inline constexpr std::string_view kSmsCentreAmena = "+34656000311";

// The number an option sets; empty for CSMOtro.
Text OperatorNumber(SmsCentre choice);

// The most characters the phone-list editor's number box NewTlf takes. The other texts'
// limits are the field table's: the record itself takes any text a file or the unit
// gives it; only the editors refuse further characters.
namespace maxlen {
inline constexpr std::size_t NewTlf = 15;
}  // namespace maxlen

struct GeneralGroup {
  Text NOMBRE;
  Text SMSC;
  Text RENVN = "10";
  Text RENVT = "5";
  Text PTLF;
  Text AINFO = "0";
  Text ASINC = "30";
  Text NORMAL = "0";
  Text REST_TEXT;  // RestoreText
  bool Habil_Restore = false;
  int MACRO_INICIO = 0;
  int MACRO_GSMOK = 0;
  int MACRO_GSMMAL = 0;
  SmsCentre Csm = SmsCentre::CSMOtro;
  bool PinHabil = false;
  Text PIN;  // no file key; empty whenever PinHabil is false

  bool operator==(const GeneralGroup&) const = default;
};

struct TxAlarmGroup {
  bool HABIL = false;  // Habil_TxAlarm
  Text TEXT;           // TxStatText
  bool RING = false;   // RING_TxStat
  int MACRO_TX = 0;    // MacroTxExeTrue

  bool operator==(const TxAlarmGroup&) const = default;
};

struct DigitalInput {
  int Modo = ModeDisabled;  // AlarmMode, or kNoSelection
  bool NcFlag = false;      // remembered N.C. flag, see SetDigitalNC
  bool BiFlag = false;      // remembered bistable flag, see SetDigitalBi
  Text TEXT;
  bool RING = false;
  bool RENV = false;
  bool PERSIST = false;
  Text PVAL;  // seconds
  bool CICLOS = false;
  Text CVAL;
  Text RST;  // RST_Time, seconds
  int MACRO_TRUE = 0;
  int MACRO_FALSE = 0;

  bool operator==(const DigitalInput&) const = default;
};

struct AnalogInput {
  bool HABIL = false;
  Text TEXT;
  bool RING = false;
  bool RENV = false;
  Text IE, FE, UN, MIN, MAX, HIST;
  bool PERSIST = false;
  Text PVAL;
  int MACRO_HIGH = 0;
  int MACRO_NOM = 0;
  int MACRO_LOW = 0;

  bool operator==(const AnalogInput&) const = default;
};

struct Macro {
  Text MACRO_TEXT;
  Text MACRO_COM;

  bool operator==(const Macro&) const = default;
};

struct DataLoggerGroup {
  Text LOG_TIME;       // LogTime
  Text DIGITAL_REARM;  // ReArmTime
  std::array<bool, kDigitalInputs> REG_D{};
  std::array<bool, kAnalogInputs> REG_A{};

  bool operator==(const DataLoggerGroup&) const = default;
};

// Week days, Monday first, as the keys LUNES ... DOMINGO.
enum WeekDay : int { LUNES, MARTES, MIERCOLES, JUEVES, VIERNES, SABADO, DOMINGO };

struct Timer {
  bool HABIL = false;
  Text TIME = "12:00";
  Text VP = "60";
  std::array<bool, kWeekDays> Days{};  // indexed by WeekDay
  int MACRO = 0;                       // list position; macro number is MACRO + 1

  bool operator==(const Timer&) const = default;
};

// Privilege list positions, in list order.
enum class Privilege : int { Apex = 0, Administrator = 1, Advanced = 2, User = 3 };

// The choices of the phone-list editor from which one entry is built.
struct PhoneEntryChoice {
  Text number;       // NewTlf
  int priority = 0;  // PrioBox item: 0 "No Prio.", 1 to 8
  bool rxd = false;
  Privilege privilege = Privilege::Administrator;
  bool mask = false;  // CheckMask
  std::array<bool, kDigitalInputs> maskD{};
  std::array<bool, kAnalogInputs> maskA{};
  bool maskTxAlm = false;
  bool maskInfo = false;

  bool operator==(const PhoneEntryChoice&) const = default;
};

enum class AddPhoneResult {
  Added,
  EmptyNumber,    // nothing added, nothing said
  InvalidNumber,  // message IncorrectPhoneNumber
  ListFull,       // message ListFull
};

// The mode as the queries read it, without changing anything: a Modo outside 0-3 reads
// as ModeDisabled.
int EffectiveMode(const DigitalInput& input);

// The text of one phone-list entry: number, ",Prio=n", ",RXD", ",PRVn", mask codes.
Text BuildPhoneEntry(const PhoneEntryChoice& choice);

// The longest entry the phone-list editor builds: a number of NewTlf's 15 characters,
// ",Prio=n", ",RXD", ",PRVn" and all fourteen mask codes. An entry read from a file or
// the unit is carried as it comes, but no longer one goes out in a phone line.
inline constexpr std::size_t kPhoneEntryMaxLength = 75;

class ConfigurationRecord {
 public:
  GeneralGroup General;
  std::vector<Text> ListaTlf;  // 0 to 8 entries, in the order they were added
  TxAlarmGroup TxAlarm;
  std::array<DigitalInput, kDigitalInputs> Digital;
  std::array<AnalogInput, kAnalogInputs> Analog;
  std::array<Macro, kMacros> Macros;  // macro k is Macros[k - 1]
  DataLoggerGroup DataLogger;
  std::array<Timer, kTimers> Timers;

  // --- reset procedures, one per editor ---
  void ClearGeneral();        // general group, phone list, transmission-fail alarm
  void ClearAlarmas();        // digital inputs 0-3 (with RST), analog inputs 0-1
  void ClearAlarmas2();       // digital inputs 4-7 (with RST), analog inputs 2-3
  void ClearMacros();
  void ClearDatalogger();
  void ClearTemporizadores();
  // After a read: blanks the fields of inputs that are not enabled (both alarm editors).
  void CleanUp();

  // --- digital modes (input 0 to 7) ---
  // A mode outside 0-3 (no selection) reads as "Disabled"; the setters store it so.
  bool DigitalHabil(int input) const;
  bool DigitalNC(int input) const;
  bool DigitalBi(int input) const;
  void SetDigitalHabil(int input, bool value);
  void SetDigitalNC(int input, bool value);
  void SetDigitalBi(int input, bool value);
  // The user picks a mode from the list (the enabling rule's side effects apply); no
  // selection becomes "Disabled".
  void SetDigitalMode(int input, int mode);

  // --- general form rules ---
  // Picks the SMS-centre option matching SMSC (first exact match), else CSMOtro.
  void CSMCheck();
  // The user's choice of an SMS-centre option: the three operators set SMSC.
  void SelectSmsCentre(SmsCentre choice);
  // Unchecking empties the PIN.
  void SetPinHabil(bool value);
  // Unchecking (from checked) empties the alarm text and clears RING.
  void SetTxAlarmHabil(bool value);
  // Checking or unchecking a timer; a timer macro with no selection becomes macro 1.
  void SetTimerHabil(int timer, bool value);
  // Checking or unchecking an analog input; macro lists with no selection become "No".
  void SetAnalogHabil(int input, bool value);

  // --- phone list ---
  AddPhoneResult AddPhoneEntry(const PhoneEntryChoice& choice);
  // Appends an entry text as it comes (reader, loader); false when the list is full.
  bool AppendPhoneEntry(const Text& entry);
  void DeletePhoneEntry(std::size_t position);
  // True when an entry of the first eight contains "Prio=".
  bool HasPriorityNumber() const;

  friend bool operator==(const ConfigurationRecord&, const ConfigurationRecord&) = default;

 private:
  void ApplyDigitalRule(int input);
};

}  // namespace zdl
