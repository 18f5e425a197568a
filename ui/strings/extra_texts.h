// Texts the core builds itself (a load's description of a bad line, the CLI's own
// words), held beside the numbered string table in both languages, and the bilingual
// message built from them where the language is not known yet.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "ui/strings/string_table.h"

namespace zdl {

// %1, %2, ... stand for the arguments of BilingualText::Format.
enum class ExtraText {
  ReadyToWrite,          // the checks before a write passed
  LineOf,                // "line %1: %2"
  FileEndsBefore,        // "the file ends before %1"
  ExpectedNumber,        // "expected a number for %1, found %2"
  BadCheckState,         // "the check state %1 of %2 is not 0, 1 or 2"
  BadListPosition,       // "the list position %1 of %2 is outside its list (%3 to %4)"
  BadKeyedPosition,      // "section [%1], key %2: the value %3 is not a position ..."
  OfDigitalInput,        // "%1 of digital input %2"
  OfAnalogInput,         // "%1 of analog input %2"
  OfMacro,               // "%1 of macro %2"
  OfPhoneEntry,          // "%1 of phone entry %2"
  OfTxAlarm,             // "%1 of the transmission-fail alarm"
  UnusedLine,            // "an unused line"
  UnusedNumber,          // "an unused number"
  PinEnable,             // "the PIN enable"
  CannotRead,            // "Cannot read %1: %2"
  CannotWrite,           // "Cannot write %1: %2"
  LineBreakInValue,      // "The text of key %1 in section [%2] holds a line break, ..."
  // Texts that may not go out in a configuration line (the checks before a write).
  TextHoldsControlCharacter,  // "The text of key %1 in section [%2] holds a control character (code %3), ..."
  TextTooLong,                // "The text of key %1 in section [%2] has %3 characters; ... at most %4."
  // Files, traces, the password's sources and the serial port's failures
  NotRegularFile,        // "not a regular file"
  FileTooLarge,          // "larger than %1"
  TraceIsOtherFile,      // "the trace file %1 is %2; ..."
  TheInputFile,          // "the input file"
  TheOutputFile,         // "the output file"
  TheBackupFile,         // "the backup file"
  NoPasswordTerminal,    // "no terminal to ask the password on: ..."
  PortNoName,            // "No serial port given"
  PortReadFailed,        // "reading failed: the device was removed or its far end closed"
  PortWriteFailed,       // "writing failed: ..."
  PortGone,              // "the device is no longer available"
  PortCarrierLost,       // "carrier lost"
  // A write stopped after the unit took part of the configuration.
  WriteStoppedStatus,    // "Write stopped: the unit holds an incomplete configuration."
  WriteStoppedMessage,   // "The write was stopped ... must be written again."
  // The configuration report (File > Print..., File > Export as PDF..., zdl410 report).
  ReportTitle,           // "Configuration report"
  ReportDateTime,        // "Date and time"
  ReportProgramVersion,  // "Program version"
  ReportNoFile,          // "not saved in a file"
  ReportVerified,        // "Verified against the unit on %1, firmware %2: it keeps this configuration."
  ReportYes,             // "Yes"
  ReportNone,            // "None"
  ReportAnalogInputs,    // "Analog inputs"
  ReportScale,           // "Scale"
  ReportThresholds,      // "Thresholds"
  ReportPinHidden,       // "enabled (the PIN is not printed)"
  ReportBadOutput,       // "the report is written as .pdf or .html: %1 ends in neither"
  ReportOutputIsInput,   // "the output file %1 is the input file"
  ReportPrint,           // "&Print..."
  ReportExportPdf,       // "&Export as PDF..."
  ReportPdfFilter,       // "PDF document (*.pdf)"
  ReportSaved,           // "Report saved: %1"
  ReportPrinted,         // "Report sent to the printer."
  ReportReplace,         // "%1 already exists. Replace it?"
  ReportPrintFailed,     // "The report could not be printed on %1."
  ReportTextCut,         // "... (%1 characters in all)"
};

// The text in the language, UTF-8.
std::string_view ExtraTextIn(Lang lang, ExtraText text);

// How many texts ExtraText names (they are numbered from 0).
int ExtraTextCount();

// A message held in both languages at once, UTF-8.
class BilingualText {
 public:
  BilingualText() = default;
  // The same words in both languages: a key name, a value, a number, a system message.
  BilingualText(std::string same) : spanish_(same), english_(std::move(same)) {}  // NOLINT
  BilingualText(std::string_view same) : BilingualText(std::string(same)) {}      // NOLINT
  BilingualText(const char* same) : BilingualText(std::string(same)) {}           // NOLINT

  // The extra text with %1... replaced by the arguments, each in the same language.
  static BilingualText Format(ExtraText text, std::initializer_list<BilingualText> args = {});

  const std::string& In(Lang lang) const { return lang == Lang::Spanish ? spanish_ : english_; }
  // The same message after `prefix` (a device's name, a path), in both languages.
  BilingualText Prefixed(std::string_view prefix) const {
    BilingualText out;
    out.spanish_ = std::string(prefix) + spanish_;
    out.english_ = std::string(prefix) + english_;
    return out;
  }
  bool empty() const { return english_.empty() && spanish_.empty(); }
  bool operator==(const BilingualText&) const = default;

 private:
  std::string spanish_;
  std::string english_;
};

}  // namespace zdl
