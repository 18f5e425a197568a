// The configuration report of a configuration that uses every field (tests/data/full.ncf):
// how long it takes to lay out and render as a PDF (the target is under 200 ms), and as an
// HTML page. Prints figures; asserts nothing.
#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "configfile/config_file.h"
#include "report/configuration_report.h"

namespace {

template <class Work>
void Time(const char* what, int runs, Work work) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  std::printf("%-34s slowest %7.1f ms  median %7.1f ms  best %7.1f ms  (%d runs)\n", what, ms.back(),
              ms[ms.size() / 2], ms.front(), runs);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  unsetenv("QT_QPA_PLATFORMTHEME");
  QGuiApplication app(argc, argv);
  zdl::ConfigurationRecord record;
  if (!zdl::LoadConfigFile(ZDL_TEST_DATA "/full.ncf", record).loaded()) {
    std::fprintf(stderr, "cannot load full.ncf\n");
    return 1;
  }
  record.CSMCheck();
  zdl::ReportFacts facts;
  facts.fileName = QStringLiteral("full.ncf");
  facts.printed = QDateTime::currentDateTime();
  facts.programVersion = QStringLiteral("bench");
  std::size_t bytes = 0;
  for (const zdl::Lang lang : {zdl::Lang::English, zdl::Lang::Spanish}) {
    const char* name = lang == zdl::Lang::English ? "English" : "Spanish";
    std::printf("%s\n", name);
    Time("  PDF, A4 (layout and rendering)", 20, [&] { bytes = static_cast<std::size_t>(zdl::ReportPdf(record, facts, lang).size()); });
    std::printf("  the PDF: %zu bytes\n", bytes);
    Time("  HTML page", 20, [&] { bytes = static_cast<std::size_t>(zdl::ReportHtml(record, facts, lang).toUtf8().size()); });
    std::printf("  the page: %zu bytes\n", bytes);
  }
  std::printf("target: a full configuration's PDF in under 200 ms\n");
  return 0;
}
