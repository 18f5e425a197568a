// The zdl410 command line: batch access to the core. Exit status 0 success, 1 failure,
// 2 usage. Messages come from the string table in the chosen language.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "text/string_table.h"

namespace zdl::cli {

inline constexpr int kSuccess = 0;
inline constexpr int kFailure = 1;
inline constexpr int kUsage = 2;

// The arguments after the command name, with the options picked out as they are met.
class Args {
 public:
  explicit Args(std::vector<std::string> args) : args_(std::move(args)) {}
  // Removes "--name" and reports whether it was there.
  bool Flag(const std::string& name);
  // Removes "--name VALUE" (or "--name=VALUE"); empty when absent. A missing value is a
  // usage error, reported by Error().
  std::optional<std::string> Option(const std::string& name);
  // What is left, once every option has been taken: the positional arguments. An unknown
  // option left over is a usage error.
  std::vector<std::string> Positionals();
  const std::string& Error() const { return error_; }

 private:
  std::vector<std::string> args_;
  std::string error_;
};

struct Context {
  Lang lang = Lang::English;
  std::string Text(TextId text) const { return std::string(LangText(lang, text)); }
};

int Dump(Args& args, const Context& ctx);
int Convert(Args& args, const Context& ctx);
int Check(Args& args, const Context& ctx);
int Lines(Args& args, const Context& ctx);
int Read(Args& args, const Context& ctx);
int Write(Args& args, const Context& ctx);
int Flash(Args& args, const Context& ctx);
// report FILE.ncf OUT.pdf|OUT.html (cli/report_command.cpp); needs a QGuiApplication.
int Report(Args& args, const Context& ctx);

// Prints "zdl410: <what>" and the usage on stderr; returns kUsage.
int UsageError(const std::string& what);

}  // namespace zdl::cli
