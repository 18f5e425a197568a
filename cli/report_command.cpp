// zdl410 report FILE.ncf OUT.pdf|OUT.html: the configuration report, the same sheet the
// windows print, as a PDF (A4) or a self-contained HTML page, by the output's suffix.
#include <QDateTime>
#include <QFile>
#include <filesystem>
#include <iostream>

#include "cli/cli.h"
#include "cli/common.h"
#include "configfile/file_access.h"
#include "report/configuration_report.h"
#include "text/extra_texts.h"

namespace zdl::cli {

int Report(Args& args, const Context& ctx) {
  const std::vector<std::string> files = args.Positionals();
  if (!args.Error().empty()) return UsageError(args.Error());
  if (files.size() != 2) return UsageError("report takes a configuration file and an output file");
  const std::filesystem::path input = files[0];
  const std::filesystem::path output = files[1];
  const std::optional<ReportFormat> format = ReportFormatOf(output);
  if (!format) return UsageError(BilingualText::Format(ExtraText::ReportBadOutput, {files[1]}).In(ctx.lang));
  if (SameFile(input, output)) {
    return UsageError(BilingualText::Format(ExtraText::ReportOutputIsInput, {files[1]}).In(ctx.lang));
  }
  ConfigurationRecord record;
  if (!LoadForCommand(files[0], record, ctx)) return kFailure;
  // The SMS-centre option the windows would show for the loaded number.
  record.CSMCheck();
  ReportFacts facts;
  facts.fileName = QFile::decodeName(input.filename().c_str());
  facts.printed = QDateTime::currentDateTime();
  facts.programVersion = QStringLiteral(ZDL_VERSION);
  const FileResult written = WriteReport(output, *format, record, facts, ctx.lang);
  if (!written.ok()) {
    std::cerr << "zdl410: "
              << BilingualText::Format(ExtraText::CannotWrite, {files[1], written.Reason()}).In(ctx.lang) << '\n';
    return kFailure;
  }
  return kSuccess;
}

}  // namespace zdl::cli
