#include "ui/strings/extra_texts.h"

#include <array>
#include <vector>

namespace zdl {

namespace {

struct Entry {
  ExtraText id;
  std::string_view english;
  std::string_view spanish;
};

// In the order of the enumeration; checked by a test.
constexpr Entry kTexts[] = {
    {ExtraText::ReadyToWrite, "Configuration checked: ready to write.",
     "Configuración comprobada: lista para escribir."},
    {ExtraText::LineOf, "line %1: %2", "línea %1: %2"},
    {ExtraText::FileEndsBefore, "the file ends before %1", "el fichero termina antes de %1"},
    {ExtraText::ExpectedNumber, "expected a number for %1, found %2",
     "se esperaba un número para %1 y hay %2"},
    {ExtraText::BadCheckState, "the check state %1 of %2 is not 0, 1 or 2",
     "el estado %1 de la casilla %2 no es 0, 1 ni 2"},
    {ExtraText::BadListPosition, "the list position %1 of %2 is outside its list (%3 to %4)",
     "la posición %1 de %2 está fuera de su lista (%3 a %4)"},
    {ExtraText::BadKeyedPosition,
     "section [%1], key %2: the value %3 is not a position of its list (%4 to %5)",
     "sección [%1], clave %2: el valor %3 no es una posición de su lista (%4 a %5)"},
    {ExtraText::OfDigitalInput, "%1 of digital input %2", "%1 de la entrada digital %2"},
    {ExtraText::OfAnalogInput, "%1 of analog input %2", "%1 de la entrada analógica %2"},
    {ExtraText::OfMacro, "%1 of macro %2", "%1 de la macro %2"},
    {ExtraText::OfPhoneEntry, "%1 of phone entry %2",
     "%1 de la entrada %2 de la lista de teléfonos"},
    {ExtraText::OfTxAlarm, "%1 of the transmission-fail alarm",
     "%1 de la alarma de fallo de transmisión"},
    {ExtraText::UnusedLine, "an unused line", "una línea sin uso"},
    {ExtraText::UnusedNumber, "an unused number", "un número sin uso"},
    {ExtraText::PinEnable, "the PIN enable", "la activación del PIN"},
    {ExtraText::CannotRead, "Cannot read %1: %2", "No se puede leer %1: %2"},
    {ExtraText::CannotWrite, "Cannot write %1: %2", "No se puede escribir %1: %2"},
    {ExtraText::LineBreakInValue,
     "The text of key %1 in section [%2] holds a line break, which a configuration file "
     "cannot keep.",
     "El texto de la clave %1 de la sección [%2] tiene un salto de línea, que un fichero de "
     "configuración no puede guardar."},
    // Texts that may not go out in a configuration line (the checks before a write).
    {ExtraText::TextHoldsControlCharacter,
     "The text of key %1 in section [%2] holds a control character (code %3), which cannot "
     "be sent to the unit.",
     "El texto de la clave %1 de la sección [%2] tiene un carácter de control (código %3), "
     "que no se puede enviar al equipo."},
    {ExtraText::TextTooLong,
     "The text of key %1 in section [%2] has %3 characters; it may have at most %4.",
     "El texto de la clave %1 de la sección [%2] tiene %3 caracteres; admite como máximo %4."},
    // Files, traces, the password's sources and the serial port's failures
    {ExtraText::NotRegularFile, "not a regular file", "no es un fichero regular"},
    {ExtraText::FileTooLarge, "larger than %1", "mayor de %1"},
    {ExtraText::TraceIsOtherFile, "the trace file %1 is %2; nothing was touched",
     "el fichero de traza %1 es %2; no se ha tocado nada"},
    {ExtraText::TheInputFile, "the input file", "el fichero de entrada"},
    {ExtraText::TheOutputFile, "the output file", "el fichero de salida"},
    {ExtraText::TheBackupFile, "the backup file", "el fichero de copia de seguridad"},
    {ExtraText::NoPasswordTerminal,
     "no terminal to ask the password on: set ZDL410_PASSWORD or give --password",
     "no hay terminal en que pedir la clave: defina ZDL410_PASSWORD o indique --password"},
    {ExtraText::PortNoName, "No serial port given", "No se ha indicado ningún puerto serie"},
    {ExtraText::PortReadFailed, "reading failed: the device was removed or its far end closed",
     "la lectura ha fallado: el dispositivo se ha retirado o su otro extremo se ha cerrado"},
    {ExtraText::PortWriteFailed, "writing failed: the device was removed or its far end closed",
     "la escritura ha fallado: el dispositivo se ha retirado o su otro extremo se ha cerrado"},
    {ExtraText::PortGone, "the device is no longer available",
     "el dispositivo ya no está disponible"},
    {ExtraText::PortCarrierLost, "carrier lost", "se ha perdido la portadora"},
    // A write stopped after the unit took part of the configuration.
    {ExtraText::WriteStoppedStatus, "Write stopped: the unit holds an incomplete configuration.",
     "Escritura detenida: el equipo tiene una configuración incompleta."},
    {ExtraText::WriteStoppedMessage,
     "The write was stopped after the unit had taken part of the configuration. The unit "
     "holds an incomplete configuration and must be written again.",
     "La escritura se ha detenido cuando el equipo ya había recibido parte de la "
     "configuración. El equipo tiene una configuración incompleta y debe escribirse de nuevo."},
    // The configuration report (File > Print..., File > Export as PDF..., zdl410 report).
    {ExtraText::ReportTitle, "Configuration report", "Informe de configuración"},
    {ExtraText::ReportDateTime, "Date and time", "Fecha y hora"},
    {ExtraText::ReportProgramVersion, "Program version", "Versión del programa"},
    {ExtraText::ReportNoFile, "not saved in a file", "no guardada en un fichero"},
    {ExtraText::ReportVerified,
     "Verified against the unit on %1, firmware %2: it keeps this configuration.",
     "Verificada con el equipo el %1, firmware %2: el equipo guarda esta configuración."},
    {ExtraText::ReportYes, "Yes", "Sí"},
    {ExtraText::ReportNone, "None", "Ninguno"},
    {ExtraText::ReportAnalogInputs, "Analog inputs", "Entradas analógicas"},
    {ExtraText::ReportScale, "Scale", "Escala"},
    {ExtraText::ReportThresholds, "Thresholds", "Umbrales"},
    {ExtraText::ReportPinHidden, "enabled (the PIN is not printed)",
     "habilitada (el PIN no se imprime)"},
    {ExtraText::ReportBadOutput, "the report is written as .pdf or .html: %1 ends in neither",
     "el informe se escribe como .pdf o .html: %1 no termina en ninguno de los dos"},
    {ExtraText::ReportOutputIsInput, "the output file %1 is the input file",
     "el fichero de salida %1 es el fichero de entrada"},
    {ExtraText::ReportPrint, "&Print...", "&Imprimir..."},
    {ExtraText::ReportExportPdf, "&Export as PDF...", "&Exportar como PDF..."},
    {ExtraText::ReportPdfFilter, "PDF document (*.pdf)", "Documento PDF (*.pdf)"},
    {ExtraText::ReportSaved, "Report saved: %1", "Informe guardado: %1"},
    {ExtraText::ReportPrinted, "Report sent to the printer.", "Informe enviado a la impresora."},
    {ExtraText::ReportReplace, "%1 already exists. Replace it?", "%1 ya existe. ¿Desea reemplazarlo?"},
    {ExtraText::ReportPrintFailed, "The report could not be printed on %1.",
     "No se ha podido imprimir el informe en %1."},
    {ExtraText::ReportTextCut, "... (%1 characters in all)", "... (%1 caracteres en total)"},
};

constexpr bool InEnumOrder() {
  for (std::size_t i = 0; i < std::size(kTexts); ++i) {
    if (static_cast<std::size_t>(kTexts[i].id) != i) return false;
  }
  return true;
}
static_assert(InEnumOrder(), "kTexts must follow the order of ExtraText");

// `pattern` with every %N (1 to 9) replaced by argument N in `lang`; a %N without its
// argument is left as it stands.
std::string Fill(std::string_view pattern, Lang lang, std::initializer_list<BilingualText> args) {
  std::string out;
  out.reserve(pattern.size());
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
      const auto n = static_cast<std::size_t>(pattern[i + 1] - '1');
      if (n < args.size()) {
        out += std::data(args)[n].In(lang);
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

}  // namespace

int ExtraTextCount() { return static_cast<int>(std::size(kTexts)); }

std::string_view ExtraTextIn(Lang lang, ExtraText text) {
  const Entry& entry = kTexts[static_cast<std::size_t>(text)];
  return lang == Lang::Spanish ? entry.spanish : entry.english;
}

BilingualText BilingualText::Format(ExtraText text, std::initializer_list<BilingualText> args) {
  BilingualText out;
  out.spanish_ = Fill(ExtraTextIn(Lang::Spanish, text), Lang::Spanish, args);
  out.english_ = Fill(ExtraTextIn(Lang::English, text), Lang::English, args);
  return out;
}

}  // namespace zdl
