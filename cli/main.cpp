#include <QCoreApplication>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <iostream>
#include <map>
#include <memory>

#include "cli/cli.h"
#include "cli/compare_commands.h"
#include "text/qt/language_setting.h"
#include "text/qt/qt_translations.h"

namespace zdl::cli {

namespace {

constexpr const char* kUsageText =
    "usage: zdl410 [--lang en|es] COMMAND ...\n"
    "       zdl410 --version | --help\n"
    "  dump FILE                     print the configuration, one SECTION.KEY=VALUE a key\n"
    "  convert IN OUT                load a keyed or sequential file, save it keyed\n"
    "  check FILE [--firmware TEXT] [--no-datalogger]\n"
    "                                run the checks made before a write; TEXT is the\n"
    "                                unit's version (\"ZDL410 v5.01\", the default, or 5.01)\n"
    "  lines FILE [--framed]         print the lines a write sends, #01LDDEF to #03\n"
    "  read --port PORT [--modem NUMBER] [--password PW] [--trace LOG] OUT.ncf\n"
    "  write --port PORT [--modem NUMBER] [--password PW] [--yes] [--trace LOG]\n"
    "        [--backup BACKUP.ncf] [--verify] IN.ncf\n"
    "                                --backup: read and save the unit's configuration first\n"
    "                                --verify: read back after the save and compare\n"
    "  diff A.ncf B.ncf              print the keys that differ; exit 0 same, 1 differ, 2 trouble\n"
    "  diff FILE.ncf --port PORT [--modem NUMBER] [--password PW] [--trace LOG]\n"
    "                                what a write of FILE would change in the unit\n"
    "  flash --port PORT [--trace LOG] [--wait SECONDS] FILE.hex\n"
    "                                upload firmware to the unit's boot loader\n"
    "  report FILE.ncf OUT.pdf|OUT.html\n"
    "                                the configuration report: a PDF (A4) to print or keep,\n"
    "                                or a self-contained HTML page to mail\n"
    "PORT is COM1 to COM16 or a device path. Exit status: 0 success, 1 failure, 2 usage.\n"
    "--password PW can be seen by other users of this computer (in the process list):\n"
    "  rather set ZDL410_PASSWORD, or give neither to be asked on the terminal.\n"
    "--trace LOG writes every byte exchanged, the password masked, to a file readable by\n"
    "  its owner only; it may not name the command's input, output or backup file.\n"
    "Files are read and replaced only when regular; a configuration file holds at most 1 MiB.\n"
    "--version prints the program's version (not the unit's: see check --firmware).\n";

}  // namespace

bool Args::Flag(const std::string& name) {
  for (auto it = args_.begin(); it != args_.end(); ++it) {
    if (*it == "--") break;
    if (*it == name) {
      args_.erase(it);
      return true;
    }
  }
  return false;
}

std::optional<std::string> Args::Option(const std::string& name) {
  for (auto it = args_.begin(); it != args_.end(); ++it) {
    if (*it == "--") break;
    if (*it == name) {
      if (it + 1 == args_.end()) {
        error_ = "option " + name + " needs a value";
        args_.erase(it);
        return std::nullopt;
      }
      std::string value = *(it + 1);
      args_.erase(it, it + 2);
      return value;
    }
    if (it->rfind(name + "=", 0) == 0) {
      std::string value = it->substr(name.size() + 1);
      args_.erase(it);
      return value;
    }
  }
  return std::nullopt;
}

std::vector<std::string> Args::Positionals() {
  std::vector<std::string> positionals;
  bool onlyPositionals = false;
  for (const std::string& a : args_) {
    if (!onlyPositionals && a == "--") {
      onlyPositionals = true;
    } else if (!onlyPositionals && a.size() > 1 && a[0] == '-') {
      if (error_.empty()) error_ = "unknown option " + a;
    } else {
      positionals.push_back(a);
    }
  }
  return positionals;
}

int UsageError(const std::string& what) {
  std::cerr << "zdl410: " << what << "\n" << kUsageText;
  return kUsage;
}

namespace {

// The application object of a command: the serial port wants one (nothing here runs its
// event loop); the report lays out text, which needs fonts, so it gets a QGuiApplication,
// on the offscreen platform unless one is named: it shows nothing, and a display that has
// gone away must not stop it.
std::unique_ptr<QCoreApplication> MakeApplication(const std::string& command, int& argc, char** argv) {
  if (command != "report") return std::make_unique<QCoreApplication>(argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // A desktop theme's plugin can stop the offscreen platform before it starts.
    qputenv("QT_QPA_PLATFORMTHEME", "");
  }
  // Qt's uncategorised warnings (a missing XDG_RUNTIME_DIR, which the offscreen platform
  // does without) are not the command's to tell; its own failures go to stderr as ever.
  QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false"));
  return std::make_unique<QGuiApplication>(argc, argv);
}

int Run(int argc, char** argv) {
  std::vector<std::string> all(argv + 1, argv + argc);
  if (!all.empty() && (all[0] == "--help" || all[0] == "-h" || all[0] == "help")) {
    std::cout << kUsageText;
    return kSuccess;
  }
  Context ctx;
  std::optional<std::string> lang;
  std::string command;
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < all.size(); ++i) {
    const std::string& a = all[i];
    if (a == "--lang") {
      if (i + 1 == all.size()) return UsageError("option --lang needs a value");
      lang = all[++i];
    } else if (a.rfind("--lang=", 0) == 0) {
      lang = a.substr(7);
    } else if (command.empty() && a == "--version") {
      // Before any command (after --lang too): the program's version, whatever follows.
      std::cout << "zdl410 " ZDL_VERSION "\nLicence: GPL-3.0-or-later\n";
      return kSuccess;
    } else if (command.empty() && !a.empty() && a[0] != '-') {
      command = a;
    } else {
      rest.push_back(a);
    }
  }
  ctx.lang = StoredLanguage().value_or(Lang::English);
  if (lang) {
    if (*lang == "en") {
      ctx.lang = Lang::English;
    } else if (*lang == "es") {
      ctx.lang = Lang::Spanish;
    } else {
      return UsageError("--lang takes en or es");
    }
  }
  if (command.empty()) return UsageError("no command given");
  int qtArgc = 1;
  const std::unique_ptr<QCoreApplication> app = MakeApplication(command, qtArgc, argv);
  // The serial port's errors in the session's language.
  InstallQtTranslations(*app, LangBase(ctx.lang));
  static const std::map<std::string, int (*)(Args&, const Context&)> kCommands = {
      {"dump", Dump}, {"convert", Convert}, {"check", Check},
      {"lines", Lines}, {"read", Read},     {"write", Write},
      {"flash", Flash}, {"report", Report},
      {"diff", Diff},  // cli/compare_commands.h
  };
  auto found = kCommands.find(command);
  if (found == kCommands.end()) return UsageError("unknown command " + command);
  Args args(rest);
  return found->second(args, ctx);
}

}  // namespace
}  // namespace zdl::cli

int main(int argc, char** argv) { return zdl::cli::Run(argc, argv); }
