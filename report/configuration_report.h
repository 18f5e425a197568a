// The configuration report: the whole configuration on paper, in the current language,
// for the installer's records and the customer. One sheet, laid out by Qt's rich-text
// document (QTextDocument) from a page of HTML: a heading that names the unit, the file
// and the moment, then the general parameters, the authorised phone list, the inputs,
// the macros, the data logger and the timers under the captions the editors use. Items
// that are not enabled are shown as such, greyed, never left out.
//
// The same page is kept as a self-contained HTML file (to mail), painted page by page on
// a PDF writer or a printer (A4 portrait, table headers repeated on every page a table
// crosses, "page / pages" at the foot), and written to disk atomically.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <filesystem>
#include <optional>

#include "configfile/file_access.h"
#include "model/configuration_record.h"
#include "text/string_table.h"

class QPagedPaintDevice;

namespace zdl {

// What the report says besides the configuration itself.
struct ReportFacts {
  QString fileName;        // the configuration file's name; empty: not saved in a file
  QDateTime printed;       // when the report is made
  QString programVersion;  // "1.0.0"
  QString firmware;        // the connected unit's version text; empty when not connected
  // A write of this very configuration that the unit, read back, was found to keep.
  struct Verification {
    QDateTime when;
    QString firmware;
  };
  std::optional<Verification> verified;
};

// The report as a self-contained page: UTF-8 HTML with its style inside, no outside
// resource. Every text of the record is escaped (a name "<b>&" reads "<b>&").
QString ReportHtml(const ConfigurationRecord& record, const ReportFacts& facts, Lang lang);

// Paints the report on `device` (a QPdfWriter, a QPrinter) page by page at the device's
// page size: no table row split across two pages, a table's header rows again on every
// page it crosses, "n / N" at the foot of each page. False when the device cannot be
// painted on or a page cannot be started.
bool PaintReport(const ConfigurationRecord& record, const ReportFacts& facts, Lang lang,
                 QPagedPaintDevice& device);

// The report as a PDF file's bytes, A4 portrait; empty when it cannot be made.
QByteArray ReportPdf(const ConfigurationRecord& record, const ReportFacts& facts, Lang lang);

enum class ReportFormat { Pdf, Html };

// The format a file name asks for by its suffix (".pdf", ".html" or ".htm", in any case).
std::optional<ReportFormat> ReportFormatOf(const std::filesystem::path& path);

// Writes the report to `path` in `format`: made whole in memory first, then replacing
// the file atomically (ReplaceRegularFile), so a failure leaves no output, or the old file
// untouched.
FileResult WriteReport(const std::filesystem::path& path, ReportFormat format,
                       const ConfigurationRecord& record, const ReportFacts& facts, Lang lang);

}  // namespace zdl
