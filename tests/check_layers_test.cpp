// tools/check_layers.sh (the test command runs it on the project first) catches an include
// that goes up or sideways, a Qt header in the core, and a source that no target (or two)
// compiles, each named by file and line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/process.h"

namespace zdl {
namespace {

using testing::RunProcess;
using testing::TempDir;
using testing::WriteFileBytes;

const std::string kScript = ZDL_TEST_DATA "/../../tools/check_layers.sh";

// A small project: the headers a file may name, model/record.cpp and link/line.cpp named
// once in CMakeLists.txt (with `cmake` after them), and `file` holding `include`.
testing::ProcessResult Check(const std::string& file, const std::string& include,
                             const std::string& cmake = "") {
  const TempDir dir;
  auto write = [&dir](const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(dir.File(path)).parent_path());
    WriteFileBytes(dir.File(path), text);
  };
  for (const char* header :
       {"model/record.h", "text/texts.h", "text/qt/setting.h", "link/line.h", "transfer/lines.h"}) {
    write(header, "#pragma once\n");
  }
  write("model/record.cpp", "// a record\n\n");
  write("link/line.cpp", "// a line\n\n");
  write(file, "// the file\n\n" + include + "\n");
  write("CMakeLists.txt", "add_library(a model/record.cpp link/line.cpp)\n" + cmake);
  return RunProcess({"/bin/bash", kScript, dir.Path()});
}

TEST(CheckLayers, WhatBreaksTheLayersOrTheListingFailsNamingFileAndLine) {
  const std::string l = "link/line.cpp", t = "transfer/lines.cpp";
  const struct {
    std::string file, include, cmake;
    std::string named;  // what the failure names; "" for a check that passes
  } cases[] = {
      {l, "#include \"model/record.h\"", "", ""},
      {l, "#include \"line.h\"", "", ""},  // a header beside its includer
      {l, "  #  include \"transfer/lines.h\"", "",
       "link/line.cpp:3: the link layer may not include the transfer layer"},
      // The texts are the ground floor: no Qt, nothing of the project; their Qt side apart.
      {"text/texts.h", "#include <QSettings>", "",
       "text/texts.h:3: the text layer may not include the qt layer"},
      {"text/qt/setting.h", "#include <QSettings>", "", ""},
      // Every source named once: a comment does not name it, a parenthesis beside it does.
      {t, "", "# add_library(c transfer/lines.cpp)\n", "transfer/lines.cpp: named 0 times in CMakeLists.txt"},
      {t, "", "add_library(c transfer/lines.cpp)\n", ""},
      {l, "", "add_executable(b link/line.cpp)\n", "link/line.cpp: named 2 times in CMakeLists.txt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file + " " + c.include + " " + c.cmake);
    const testing::ProcessResult result = Check(c.file, c.include, c.cmake);
    EXPECT_EQ(result.exitCode, c.named.empty() ? 0 : 1) << result.err;
    EXPECT_NE(result.err.find(c.named), std::string::npos) << result.err;
  }
}

}  // namespace
}  // namespace zdl
