#include "report/configuration_report.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QStringList>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "model/text_codec.h"
#include "model/validators.h"
#include "text/extra_texts.h"

namespace zdl {

namespace {


// Lengths of the page's layout are given at 96 dots an inch; the layout scales them to
// the device.
constexpr double kMillimetre = 96 / 25.4;
constexpr double kPageMargin = 15 * kMillimetre;
constexpr double kFooterHeight = 8 * kMillimetre;  // the page number's line, in the bottom margin
constexpr int kPdfResolution = 300;
// The longest text shown whole: well above the longest box of the editors (a phone-list
// entry of 75 characters).
constexpr std::size_t kLongestShown = 300;
constexpr std::size_t kMaxCuts = 16;
constexpr int kMaxTidiedPages = 20;  // a full configuration takes 3 or 4
constexpr double kBodyPoints = 9;

// How a moment is written on the sheet, the same in both languages.
QString Moment(const QDateTime& when) { return when.toString(QStringLiteral("yyyy-MM-dd HH:mm")); }

// A text of the record as the page shows it: UTF-8, every control byte written as \xNN
// (so it can neither break the layout nor hide), escaped for HTML.
QString ShownWhole(const Text& bytes) {
  std::string visible;
  for (const char c : bytes) {
    if (IsControlByte(c)) {
      AppendHexEscape(visible, c);
    } else {
      visible += Cp1252ToUtf8(std::string_view(&c, 1));
    }
  }
  return QString::fromStdString(visible).toHtmlEscaped();
}

class Sheet {
 public:
  explicit Sheet(Lang lang) : lang_(lang) {}

  // A caption as the editors show it, without its trailing colon or blank; escaped.
  QString C(TextId offset) const {
    QString text = Raw(offset).trimmed();
    if (text.endsWith(QLatin1Char(':'))) text.chop(1);
    return text.toHtmlEscaped();
  }
  // A caption with its colon ("Macro if true:"), followed by `value`.
  QString Labelled(TextId offset, const QString& value) const {
    return Raw(offset).trimmed().toHtmlEscaped() + QLatin1Char(' ') + value;
  }
  QString Raw(TextId offset) const { return QString::fromUtf8(LangText(lang_, offset)); }
  QString X(ExtraText text) const {
    return QString::fromUtf8(ExtraTextIn(lang_, text)).toHtmlEscaped();
  }
  // A text of the record as the page shows it (ShownWhole); one far longer than any box
  // of the editors keeps (a file may hold it) is cut, saying how long it is, so a file of
  // such texts cannot make a report of hundreds of pages.
  QString Shown(const Text& bytes) const {
    if (bytes.size() <= kLongestShown) return ShownWhole(bytes);
    return ShownWhole(bytes.substr(0, kLongestShown)) +
           QString::fromStdString(
               BilingualText::Format(ExtraText::ReportTextCut, {std::to_string(bytes.size())}).In(lang_))
               .toHtmlEscaped();
  }
  QString YesNo(bool value) const { return value ? X(ExtraText::ReportYes) : C(TextId::No); }
  // A box with the value it enables: the value (or "Yes") when checked; "No" and the
  // value kept behind it when not.
  QString Enabling(bool checked, const Text& value) const {
    if (checked) return value.empty() ? YesNo(true) : Shown(value);
    return value.empty() ? YesNo(false) : YesNo(false) + QStringLiteral(" (") + Shown(value) + QLatin1Char(')');
  }
  // A macro choice as its list shows it: "No" or the macro number.
  QString MacroChoice(int position) const {
    if (position == 0) return C(TextId::No);
    return position > 0 ? QString::number(position) : QStringLiteral("&ndash;");
  }
  QString Number(const Text& value, TextId unitCaption) const {
    return value.empty() ? QString() : Shown(value) + QLatin1Char(' ') + C(unitCaption);
  }

  void Paragraph(const QString& text, const char* cls = nullptr) {
    html_ += cls ? QStringLiteral("<p class=\"%1\">").arg(QLatin1String(cls)) : QStringLiteral("<p>");
    html_ += text + QStringLiteral("</p>\n");
  }
  // A section: a table under the section's caption with `columns` (caption and width in
  // per cent). The section's caption is the table's first header row, so it never stays
  // behind at the foot of a page, and both header rows come again on every page the
  // table crosses.
  void BeginTable(const QString& section, const std::vector<std::pair<QString, int>>& columns) {
    QString opening = Grid(section, static_cast<int>(columns.size())) + QStringLiteral("<tr>");
    for (const auto& [caption, width] : columns) {
      opening += QStringLiteral("<th width=\"%1%\" bgcolor=\"#e4e4e4\">").arg(width) + caption + QStringLiteral("</th>");
    }
    Open(opening + QStringLiteral("</tr></thead>\n<tbody>\n"), 2);
  }
  // A section of captions and values: a two-column table under the section's caption.
  void BeginPairs(const QString& section) {
    Open(Grid(section, 2) + QStringLiteral("</thead>\n<tbody>\n"), 1);
    widths_ = {38, 62};
  }
  // A table without borders or header (the sheet's heading).
  void BeginPlainTable() {
    Open(QStringLiteral("<table class=\"facts\" width=\"100%\" cellspacing=\"0\" cellpadding=\"2\">\n<tbody>\n"), 0);
    widths_ = {25, 75};
  }
  // A row of the open table; an item that is not enabled greyed.
  void Row(const QStringList& cells, bool enabled = true) {
    if (cuts_.count({table_, row_}) != 0) Cut();
    ++row_;
    html_ += enabled ? QStringLiteral("<tr>") : QStringLiteral("<tr class=\"off\">");
    for (qsizetype i = 0; i < cells.size(); ++i) {
      html_ += QStringLiteral("<td");
      if (static_cast<std::size_t>(i) < widths_.size()) html_ += QStringLiteral(" width=\"%1%\"").arg(widths_[static_cast<std::size_t>(i)]);
      if (!enabled) html_ += QStringLiteral(" class=\"off\"");
      html_ += QLatin1Char('>') + cells[i] + QStringLiteral("</td>");
    }
    html_ += QStringLiteral("</tr>\n");
  }
  void EndTable() {
    html_ += QStringLiteral("</tbody></table>\n");
    widths_.clear();
  }

  // Where the page's tables are cut, each part starting a page: the table, numbered in the
  // page's order from 0, and the row before which it is cut, numbered from 0 after the
  // header rows.
  using Cuts = std::set<std::pair<int, int>>;
  void SetCuts(Cuts cuts) { cuts_ = std::move(cuts); }
  // The tables of the page as a rich-text document holds them: a table cut in parts is
  // as many tables, each under the same header rows.
  struct Part {
    int table;
    int headerRows;
    int firstRow;
  };
  const std::vector<Part>& Parts() const { return parts_; }

  QString& Html() { return html_; }
  Lang lang() const { return lang_; }

 private:
  static QString Grid(const QString& section, int columns) {
    return QStringLiteral(
               "<table class=\"grid\" width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"3\">\n"
               "<thead><tr><th class=\"section\" colspan=\"%1\" align=\"left\" bgcolor=\"#c9d3e0\">")
               .arg(columns) +
           section + QStringLiteral("</th></tr>\n");
  }
  void Open(const QString& opening, int headerRows) {
    ++table_;
    row_ = 0;
    opening_ = opening;
    openedAt_ = html_.size();
    parts_.push_back({table_, headerRows, 0});
    html_ += opening;
  }
  // The open table goes on from the next page, under its header rows again; before its
  // first row, the whole table does.
  void Cut() {
    const QString breakBefore = QStringLiteral(" style=\"page-break-before: always\"");
    if (row_ == parts_.back().firstRow) {
      html_.insert(openedAt_ + QStringLiteral("<table").size(), breakBefore);
      return;
    }
    html_ += QStringLiteral("</tbody></table>\n");
    openedAt_ = html_.size();
    html_ += opening_;
    html_.insert(openedAt_ + QStringLiteral("<table").size(), breakBefore);
    parts_.push_back({table_, parts_.back().headerRows, row_});
  }

  Lang lang_;
  QString html_;
  Cuts cuts_;
  std::vector<Part> parts_;
  int table_ = -1;
  int row_ = 0;
  QString opening_;
  qsizetype openedAt_ = 0;
  std::vector<int> widths_;  // of the cells of each row, in per cent; empty: the header's
};

void Heading(Sheet& s, const ConfigurationRecord& r, const ReportFacts& facts) {
  s.Html() += QStringLiteral("<h1>") + s.X(ExtraText::ReportTitle) + QStringLiteral("</h1>\n");
  s.BeginPlainTable();
  auto fact = [&s](const QString& caption, const QString& value) {
    s.Row({caption, QStringLiteral("<b>") + value + QStringLiteral("</b>")});
  };
  fact(s.C(TextId::UnitName), s.Shown(r.General.NOMBRE));
  fact(s.C(TextId::OwnPhoneNumber), s.Shown(r.General.PTLF));
  fact(s.C(TextId::FileLabel), facts.fileName.isEmpty() ? s.X(ExtraText::ReportNoFile) : facts.fileName.toHtmlEscaped());
  fact(s.X(ExtraText::ReportDateTime), Moment(facts.printed));
  fact(s.X(ExtraText::ReportProgramVersion), QStringLiteral("zdl410 ") + facts.programVersion.toHtmlEscaped());
  if (!facts.firmware.isEmpty()) fact(s.C(TextId::FirmwareVersion), facts.firmware.toHtmlEscaped());
  s.EndTable();
  if (facts.verified) {
    const BilingualText line = BilingualText::Format(
        ExtraText::ReportVerified, {Moment(facts.verified->when).toStdString(), facts.verified->firmware.toStdString()});
    s.Paragraph(QString::fromStdString(line.In(s.lang())).toHtmlEscaped(), "verified");
  }
}

void General(Sheet& s, const ConfigurationRecord& r) {
  const GeneralGroup& g = r.General;
  s.BeginPairs(s.C(TextId::GeneralParameters));
  s.Row({s.C(TextId::UnitName), s.Shown(g.NOMBRE)});
  QString smsc = s.Shown(g.SMSC);
  const std::optional<TextId> operatorCaption = g.Csm == SmsCentre::CSMMovi   ? std::optional(TextId::Movistar)
                                                : g.Csm == SmsCentre::CSMVoda ? std::optional(TextId::Vodafone)
                                                : g.Csm == SmsCentre::CSMAmen ? std::optional(TextId::Amena)
                                                                              : std::nullopt;
  if (operatorCaption) smsc += QStringLiteral(" (") + s.C(*operatorCaption) + QLatin1Char(')');
  s.Row({s.C(TextId::SmsServiceCenter), smsc});
  s.Row({s.C(TextId::NumberOfRetries), s.Shown(g.RENVN)});
  s.Row({s.C(TextId::RetryTime), s.Number(g.RENVT, TextId::MinutesShort)});
  s.Row({s.C(TextId::OwnPhoneNumber), s.Shown(g.PTLF)});
  s.Row({s.C(TextId::AutoSync), s.Number(g.ASINC, TextId::Days)});
  s.Row({s.C(TextId::AutoInfo), s.Number(g.AINFO, TextId::Days)});
  s.Row({s.C(TextId::StatusMessage), s.Number(g.NORMAL, TextId::SecondsShort)});
  s.Row({s.C(TextId::RestoredAlarmsText), s.Enabling(g.Habil_Restore, g.REST_TEXT)}, g.Habil_Restore);
  s.Row({s.C(TextId::ResetMacro), s.MacroChoice(g.MACRO_INICIO)});
  s.Row({s.C(TextId::GsmOkMacro), s.MacroChoice(g.MACRO_GSMOK)});
  s.Row({s.C(TextId::GsmFailMacro), s.MacroChoice(g.MACRO_GSMMAL)});
  // The PIN itself is a secret of the SIM card: only whether it is managed.
  s.Row({s.C(TextId::EnablePinManagement), g.PinHabil ? s.X(ExtraText::ReportPinHidden) : s.YesNo(false)}, g.PinHabil);
  s.EndTable();

  const TxAlarmGroup& tx = r.TxAlarm;
  s.BeginPairs(s.C(TextId::FailTransmissionAlarm));
  s.Row({s.C(TextId::EnableShort), s.YesNo(tx.HABIL)}, tx.HABIL);
  s.Row({s.C(TextId::TextForTxFailAlarm), s.Shown(tx.TEXT)}, tx.HABIL);
  s.Row({QStringLiteral("Ring"), s.YesNo(tx.RING)}, tx.HABIL);
  s.Row({s.C(TextId::MacroIfTrue), s.MacroChoice(tx.MACRO_TX)}, tx.HABIL);
  s.EndTable();
}

// One phone-list entry in its parts: "600,Prio=3,RXD,PRV2,D0,A1,TXA". Entries from a file
// or the unit are carried as they come: a part the editor never builds is shown with the
// mask codes, as it stands, so nothing of the entry is lost.
QStringList PhoneEntryCells(const Sheet& s, const Text& entry) {
  const QString text = QString::fromStdString(Cp1252ToUtf8(entry));
  const QStringList parts = text.split(QLatin1Char(','));
  // A part as it stands: back in the record's bytes, shown as any text of the record is.
  auto shown = [&s](const QString& part) { return s.Shown(Utf8ToCp1252(part.toStdString()).value_or(std::string())); };
  QString priority = s.C(TextId::NoPriority);
  QString privilege = QStringLiteral("&ndash;");
  bool rxd = false;
  QStringList mask;
  for (qsizetype i = 1; i < parts.size(); ++i) {
    const QString& part = parts[i];
    if (part.startsWith(QLatin1String("Prio="))) {
      priority = s.Raw(TextId::PriorityPrefix).toHtmlEscaped() + shown(part.mid(5));
    } else if (part == QLatin1String("RXD")) {
      rxd = true;
    } else if (part.size() == 4 && part.startsWith(QLatin1String("PRV"))) {
      switch (part.back().unicode()) {
        case '3': privilege = QStringLiteral("Apex"); break;
        case '2': privilege = s.C(TextId::Administrator); break;
        case '1': privilege = s.C(TextId::Advanced); break;
        case '0': privilege = s.C(TextId::User); break;
        default: privilege = shown(part);
      }
    } else {
      mask << (part == QLatin1String("AIN") ? QStringLiteral("INFO") : shown(part));
    }
  }
  return {shown(parts.front()), priority, privilege,
          s.YesNo(rxd), mask.isEmpty() ? s.C(TextId::No) : mask.join(QLatin1Char(' '))};
}

void PhoneList(Sheet& s, const ConfigurationRecord& r) {
  s.BeginTable(s.C(TextId::AuthorizedPhoneList), {{QStringLiteral("#"), 5}, {s.C(TextId::PhoneNumberLabel), 25}, {s.C(TextId::PriorityLabel), 14},
                {s.C(TextId::PrivilegesLabel), 18}, {s.C(TextId::RxData), 10}, {s.C(TextId::Mask), 28}});
  if (r.ListaTlf.empty()) s.Row({QString(), s.X(ExtraText::ReportNone), QString(), QString(), QString(), QString()});
  for (std::size_t i = 0; i < r.ListaTlf.size(); ++i) {
    s.Row(QStringList{QString::number(i + 1)} + PhoneEntryCells(s, r.ListaTlf[i]));
  }
  s.EndTable();
}

void DigitalInputs(Sheet& s, const ConfigurationRecord& r) {
  s.BeginTable(s.C(TextId::DigitalInputs), {{QStringLiteral("#"), 5}, {s.C(TextId::AlarmActivationMode), 13}, {s.C(TextId::TextForAlarmPrefix), 22},
                {QStringLiteral("Ring"), 6}, {s.C(TextId::RetryShort), 8}, {s.C(TextId::PersistLabel), 9}, {s.C(TextId::CyclesLabel), 8},
                {s.C(TextId::ResetLabel), 8}, {s.C(TextId::MacrosTab), 21}});
  for (int i = 0; i < kDigitalInputs; ++i) {
    const DigitalInput& d = r.Digital[static_cast<std::size_t>(i)];
    const int mode = EffectiveMode(d);
    s.Row({QString::number(i), s.C(Nth(TextId::Disabled, mode)), s.Shown(d.TEXT), s.YesNo(d.RING), s.YesNo(d.RENV),
           s.Enabling(d.PERSIST, d.PVAL), s.Enabling(d.CICLOS, d.CVAL), s.Shown(d.RST),
           s.Labelled(TextId::MacroIfTrueLabel, s.MacroChoice(d.MACRO_TRUE)) + QStringLiteral("<br>") +
               s.Labelled(TextId::MacroIfFalseLabel, s.MacroChoice(d.MACRO_FALSE))},
          mode != ModeDisabled);
  }
  s.EndTable();
}

void AnalogInputs(Sheet& s, const ConfigurationRecord& r) {
  s.BeginTable(s.X(ExtraText::ReportAnalogInputs), {{QStringLiteral("#"), 5}, {s.C(TextId::EnableShort), 8}, {s.C(TextId::TextForAnalogAlarmPrefix), 16}, {QStringLiteral("Ring"), 6},
                {s.C(TextId::RetryShort), 8}, {s.C(TextId::PersistLabel), 9}, {s.X(ExtraText::ReportScale), 12},
                {s.X(ExtraText::ReportThresholds), 14}, {s.C(TextId::MacrosTab), 22}});
  const QString br = QStringLiteral("<br>");
  for (int i = 0; i < kAnalogInputs; ++i) {
    const AnalogInput& a = r.Analog[static_cast<std::size_t>(i)];
    s.Row({QString::number(i), s.YesNo(a.HABIL), s.Shown(a.TEXT), s.YesNo(a.RING), s.YesNo(a.RENV),
           s.Enabling(a.PERSIST, a.PVAL),
           s.Labelled(TextId::BeginScaleLabel, s.Shown(a.IE)) + br + s.Labelled(TextId::FullScaleLabel, s.Shown(a.FE)) + br +
               s.Labelled(TextId::UnitLabel, s.Shown(a.UN)),
           s.Labelled(TextId::MinLabel, s.Shown(a.MIN)) + br + s.Labelled(TextId::MaxLabel, s.Shown(a.MAX)) + br +
               s.Labelled(TextId::HysteresisLabel, s.Shown(a.HIST)),
           s.Labelled(TextId::MacroIfHighLabel, s.MacroChoice(a.MACRO_HIGH)) + br +
               s.Labelled(TextId::MacroIfNominalLabel, s.MacroChoice(a.MACRO_NOM)) + br +
               s.Labelled(TextId::MacroIfLowLabel, s.MacroChoice(a.MACRO_LOW))},
          a.HABIL);
  }
  s.EndTable();
}

void Macros(Sheet& s, const ConfigurationRecord& r) {
  s.BeginTable(s.C(TextId::MacrosTab), {{QStringLiteral("#"), 6}, {s.C(TextId::MacroText), 40}, {s.C(TextId::CommandLabel), 54}});
  for (int k = 0; k < kMacros; ++k) {
    const Macro& m = r.Macros[static_cast<std::size_t>(k)];
    s.Row({QString::number(k + 1), s.Shown(m.MACRO_TEXT), s.Shown(m.MACRO_COM)});
  }
  s.EndTable();
}

void Datalogger(Sheet& s, const ConfigurationRecord& r) {
  const DataLoggerGroup& l = r.DataLogger;
  auto channels = [&s](const char* prefix, const auto& flags) {
    QStringList shown;
    for (std::size_t i = 0; i < flags.size(); ++i) {
      shown << QStringLiteral("%1%2: %3").arg(QLatin1String(prefix)).arg(i).arg(s.YesNo(flags[i]));
    }
    return shown.join(QStringLiteral(", "));
  };
  s.BeginPairs(s.C(TextId::DataloggerTab));
  s.Row({s.C(TextId::SampleTimeSeconds), s.Shown(l.LOG_TIME)});
  s.Row({s.C(TextId::RecordChannelWarnings), channels("A", l.REG_A)});
  s.Row({s.C(TextId::RearmTimeSeconds), s.Shown(l.DIGITAL_REARM)});
  s.Row({s.C(TextId::RecordDigitalInputChanges), channels("D", l.REG_D)});
  s.EndTable();
}

void Timers(Sheet& s, const ConfigurationRecord& r) {
  s.BeginTable(s.C(TextId::TimersTitle), {{QStringLiteral("#"), 6}, {s.C(TextId::EnableShort), 9}, {s.C(TextId::ExecutionTime), 17}, {s.C(TextId::Days), 34},
                {s.C(TextId::ValidPeriod), 16}, {s.C(TextId::MacroToExecute), 18}});
  for (int t = 0; t < kTimers; ++t) {
    const Timer& timer = r.Timers[static_cast<std::size_t>(t)];
    QStringList days;
    for (int d = 0; d < kWeekDays; ++d) {
      if (timer.Days[static_cast<std::size_t>(d)]) days << s.C(Nth(TextId::Monday, d));
    }
    s.Row({QString::number(t), s.YesNo(timer.HABIL), s.Shown(timer.TIME),
           days.isEmpty() ? s.C(TextId::No) : days.join(QLatin1Char(' ')), s.Shown(timer.VP),
           timer.MACRO >= 0 ? QString::number(timer.MACRO + 1) : QStringLiteral("&ndash;")},
          timer.HABIL);
  }
  s.EndTable();
}

// The page's style: for a browser, and as far as Qt's rich text reads it.
constexpr char kStyle[] =
    "body { font-family: 'DejaVu Sans', sans-serif; font-size: 9pt; }\n"
    "h1 { font-size: 15pt; margin: 0 0 6px 0; }\n"

    "table.grid { margin-top: 10px; border-collapse: collapse; border-color: #888888; border-style: solid; }\n"
    "table.grid th, table.grid td { border: 1px solid #888888; padding: 3px; vertical-align: top; }\n"
    "table.grid th { background: #e4e4e4; text-align: left; }\n"
    "table.grid th.section { font-size: 11pt; background: #c9d3e0; }\n"

    "td.off, tr.off td { color: #777777; font-style: italic; }\n"
    "p.verified { font-weight: bold; }\n"
    "@page { size: A4 portrait; margin: 15mm; }\n"
    "@media print { thead { display: table-header-group; } tr { page-break-inside: avoid; } }\n";

// The whole sheet: its page, and the tables of its rich-text document.
struct BuiltSheet {
  QString html;
  std::vector<Sheet::Part> parts;
};

BuiltSheet Build(const ConfigurationRecord& record, const ReportFacts& facts, Lang lang, Sheet::Cuts cuts = {}) {
  Sheet s(lang);
  s.SetCuts(std::move(cuts));
  Heading(s, record, facts);
  General(s, record);
  PhoneList(s, record);
  DigitalInputs(s, record);
  AnalogInputs(s, record);
  Macros(s, record);
  Datalogger(s, record);
  Timers(s, record);
  const QString title = s.X(ExtraText::ReportTitle) +
                        (record.General.NOMBRE.empty() ? QString() : QStringLiteral(" &ndash; ") + s.Shown(record.General.NOMBRE));
  return {QStringLiteral("<!DOCTYPE html>\n<html lang=\"%1\">\n<head>\n<meta charset=\"utf-8\">\n<title>%2</title>\n"
                         "<style>\n%3</style>\n</head>\n<body>\n")
                  .arg(lang == Lang::Spanish ? QStringLiteral("es") : QStringLiteral("en"), title,
                       QString::fromLatin1(kStyle)) +
              s.Html() + QStringLiteral("</body>\n</html>\n"),
          s.Parts()};
}

// The tables of `document`, in its order.
std::vector<QTextTable*> Tables(QTextDocument& document) {
  std::vector<QTextTable*> tables;
  for (QTextFrame* frame : document.rootFrame()->childFrames()) {
    if (auto* table = qobject_cast<QTextTable*>(frame)) tables.push_back(table);
  }
  return tables;
}

// The sheet as a rich-text document laid out on pages of `page` (device pixels) of
// `device`, each table's header rows repeated on every page it crosses.
std::unique_ptr<QTextDocument> LayOut(const BuiltSheet& sheet, QPagedPaintDevice& device, const QSizeF& page) {
  auto document = std::make_unique<QTextDocument>();
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(kBodyPoints);
  // No ligatures: every word of the PDF reads and searches as typed ("fi", not one glyph).
  font.setStyleStrategy(QFont::PreferNoShaping);
  document->setDefaultFont(font);
  // Everything the layout depends on is set before the page is read, so it is laid out
  // once. The margins hold on every page; the page number sits in the bottom one.
  document->documentLayout()->setPaintDevice(&device);
  document->setDocumentMargin(kPageMargin);
  document->setPageSize(page);
  document->setHtml(sheet.html);
  // The header rows the page marks (<thead>), which a table repeats on every page it
  // crosses; set only where the reading of the page left them otherwise.
  const std::vector<QTextTable*> tables = Tables(*document);
  for (std::size_t i = 0; i < tables.size() && i < sheet.parts.size(); ++i) {
    QTextTableFormat format = tables[i]->format();
    if (format.headerRowCount() == sheet.parts[i].headerRows) continue;
    format.setHeaderRowCount(sheet.parts[i].headerRows);
    tables[i]->setFormat(format);
  }
  return document;
}

// The extent of a table row's text in the document: top and bottom; empty for a row
// without text.
std::optional<std::pair<double, double>> RowText(QTextTable& table, int row, QAbstractTextDocumentLayout& layout) {
  std::optional<std::pair<double, double>> extent;
  for (int column = 0; column < table.columns(); ++column) {
    const QTextTableCell cell = table.cellAt(row, column);
    for (QTextFrame::iterator it = cell.begin(); !it.atEnd(); ++it) {
      if (!it.currentBlock().isValid()) continue;
      const QRectF box = layout.blockBoundingRect(it.currentBlock());
      extent = extent ? std::pair{std::min(extent->first, box.top()), std::max(extent->second, box.bottom())}
                      : std::pair{box.top(), box.bottom()};
    }
  }
  return extent;
}

// The first table row that does not lie on the page its table's previous row (or header)
// ends on: one the layout split across two pages, or moved whole to the next page (where
// the layout leaves an empty stub of its cells behind). As the sheet numbers it; none
// when every row is on its table's page.
std::optional<std::pair<int, int>> RowAcrossPages(QTextDocument& document, const std::vector<Sheet::Part>& parts) {
  const double pageHeight = document.pageSize().height();
  auto pageOf = [pageHeight](double y) { return std::floor(y / pageHeight); };
  QAbstractTextDocumentLayout& layout = *document.documentLayout();
  const std::vector<QTextTable*> tables = Tables(document);
  for (std::size_t i = 0; i < tables.size() && i < parts.size(); ++i) {
    QTextTable& table = *tables[i];
    std::optional<double> above;  // where the text above the row ends
    for (int row = 0; row < table.rows(); ++row) {
      const std::optional<std::pair<double, double>> text = RowText(table, row, layout);
      if (!text) continue;
      const double top = above.value_or(text->first);
      if (row >= parts[i].headerRows && pageOf(top) != pageOf(text->second - 1)) {
        return std::pair{parts[i].table, parts[i].firstRow + row - parts[i].headerRows};
      }
      above = text->second;
    }
  }
  return std::nullopt;
}

}  // namespace

QString ReportHtml(const ConfigurationRecord& record, const ReportFacts& facts, Lang lang) {
  return Build(record, facts, lang).html;
}

bool PaintReport(const ConfigurationRecord& record, const ReportFacts& facts, Lang lang, QPagedPaintDevice& device) {
  QPainter painter;
  if (!painter.begin(&device)) return false;
  const QRectF page(0, 0, device.width(), device.height());
  // A row the layout would split across two pages starts the next one instead, under its
  // table's header rows. Each cut is made once, and a full configuration needs a few; the
  // overlong texts a file may hold (hundreds of pages) are left where they fall rather
  // than laid out again and again.
  Sheet::Cuts cuts;
  BuiltSheet sheet = Build(record, facts, lang);
  std::unique_ptr<QTextDocument> document = LayOut(sheet, device, page.size());
  while (cuts.size() < kMaxCuts && document->pageCount() <= kMaxTidiedPages) {
    const std::optional<std::pair<int, int>> row = RowAcrossPages(*document, sheet.parts);
    if (!row || !cuts.insert(*row).second) break;
    sheet = Build(record, facts, lang, cuts);
    document = LayOut(sheet, device, page.size());
  }
  const double scale = device.logicalDpiY() / 96.0;
  const int pages = document->pageCount();
  QFont footer = document->defaultFont();
  footer.setPointSizeF(kBodyPoints - 1);
  for (int p = 0; p < pages; ++p) {
    if (p > 0 && !device.newPage()) return false;
    painter.save();
    painter.translate(0, -p * page.height());
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = QRectF(0, p * page.height(), page.width(), page.height());
    painter.setClipRect(context.clip);
    document->documentLayout()->draw(&painter, context);
    painter.restore();
    painter.setFont(footer);
    const QRectF foot(0, page.height() - kPageMargin * scale, page.width(), kFooterHeight * scale);
    painter.drawText(foot, Qt::AlignHCenter | Qt::AlignBottom, QStringLiteral("%1 / %2").arg(p + 1).arg(pages));
  }
  return painter.end();
}

QByteArray ReportPdf(const ConfigurationRecord& record, const ReportFacts& facts, Lang lang) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly)) return {};
  QPdfWriter writer(&buffer);
  writer.setResolution(kPdfResolution);
  writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
  writer.setCreator(QStringLiteral("zdl410 ") + facts.programVersion);
  writer.setTitle(QString::fromUtf8(ExtraTextIn(lang, ExtraText::ReportTitle)));
  if (!PaintReport(record, facts, lang, writer)) return {};
  return bytes;
}

std::optional<ReportFormat> ReportFormatOf(const std::filesystem::path& path) {
  const QString suffix = QString::fromStdString(path.extension().string()).toLower();
  if (suffix == QLatin1String(".pdf")) return ReportFormat::Pdf;
  if (suffix == QLatin1String(".html") || suffix == QLatin1String(".htm")) return ReportFormat::Html;
  return std::nullopt;
}

FileResult WriteReport(const std::filesystem::path& path, ReportFormat format, const ConfigurationRecord& record,
                       const ReportFacts& facts, Lang lang) {
  const QByteArray bytes =
      format == ReportFormat::Pdf ? ReportPdf(record, facts, lang) : ReportHtml(record, facts, lang).toUtf8();
  // Nothing made: nothing written.
  if (bytes.isEmpty()) return FileResult{FileFault::System, EIO};
  return ReplaceRegularFile(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

}  // namespace zdl
