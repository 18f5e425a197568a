// tools/check_layers.sh (the test command runs it on the project first) catches an include
// that goes up or sideways, a Qt header in the core, and a source that no target (or two)
// compiles, each named by file and line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/process.h"

namespace zdl {
namespace {

using testing::RunProcess;
using testing::TempDir;
using testing::WriteFileBytes;

const std::string kScript = ZDL_TEST_DATA "/../../tools/check_layers.sh";

// A small project: one file that includes `include` (a line of its own), the headers it
// may name, and a CMakeLists.txt that names each source once unless `cmake` says more.
struct Case {
  const char* name;
  std::string file;     // the including file
  std::string include;  // its include line
  bool holds;           // the check passes
  std::string named;    // what the failure names (file:line and layers)
};

class Tree {
 public:
  explicit Tree(const std::string& cmakeExtra = {}) {
    for (const char* header : {"model/record.h", "ui/strings/texts.h", "link/line.h",
                               "transfer/lines.h", "sim/unit.h", "link/qt/port.h", "cli/cli.h",
                               "tests/support/fake.h", "configfile/file.h"}) {
      Write(header, "#pragma once\n");
    }
    cmake_ = "add_library(a model/record.cpp link/line.cpp)\n" + cmakeExtra;
  }
  void Write(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(dir_.File(path)).parent_path());
    WriteFileBytes(dir_.File(path), text);
  }
  testing::ProcessResult Check() {
    Write("CMakeLists.txt", cmake_);
    return RunProcess({"/bin/bash", kScript, dir_.Path()});
  }

 private:
  TempDir dir_;
  std::string cmake_;
};

TEST(CheckLayers, IncludesOutsideTheirLayersFailNamingFileLineAndLayers) {
  const std::vector<Case> cases = {
      {"model on text", "model/record.cpp", "#include \"ui/strings/texts.h\"", true, ""},
      {"link on model", "link/line.cpp", "#include \"model/record.h\"", true, ""},
      {"a header beside its includer", "link/line.cpp", "#include \"line.h\"", true, ""},
      {"a system header", "model/record.cpp", "#include <vector>", true, ""},
      {"model up to transfer", "model/record.cpp", "#include \"transfer/lines.h\"", false,
       "model/record.cpp:3: the model layer may not include the transfer layer"},
      {"link up to transfer", "link/line.cpp", "  #  include \"transfer/lines.h\"", false,
       "link/line.cpp:3: the link layer may not include the transfer layer"},
      {"link sideways to configfile", "link/line.cpp", "#include \"configfile/file.h\"", false,
       "link/line.cpp:3: the link layer may not include the configfile layer"},
      {"model on Qt", "model/record.cpp", "#include <QString>", false,
       "model/record.cpp:3: the model layer may not include the qt layer"},
      {"link on the real port", "link/line.cpp", "#include \"link/qt/port.h\"", false,
       "link/line.cpp:3: the link layer may not include the link_qt layer"},
      {"link up to a front end", "link/line.cpp", "#include \"cli/cli.h\"", false,
       "the link layer may not include the cli layer"},
      {"core on the tests' support", "model/record.cpp", "#include \"tests/support/fake.h\"",
       false, "the model layer may not include the testsupport layer"},
  };
  for (const Case& c : cases) {
    Tree tree;
    tree.Write("model/record.cpp", "// a record\n\n");
    tree.Write("link/line.cpp", "// a line\n\n");
    tree.Write(c.file, "// the file\n\n" + c.include + "\n");
    const auto result = tree.Check();
    EXPECT_EQ(result.exitCode, c.holds ? 0 : 1) << c.name << "\n" << result.err;
    if (!c.holds) {
      EXPECT_NE(result.err.find(c.named), std::string::npos) << c.name << "\n" << result.err;
    }
  }
}

TEST(CheckLayers, EverySourceIsNamedOnceInCMakeLists) {
  struct Listing {
    const char* name;
    std::string cmakeExtra;  // after a line that names model/record.cpp and link/line.cpp
    bool transferSource;     // transfer/lines.cpp exists
    bool holds;
    std::string named;
  };
  const std::vector<Listing> cases = {
      {"each named once", "", false, true, ""},
      {"a source no target names", "", true, false,
       "transfer/lines.cpp: named 0 times in CMakeLists.txt"},
      {"a source two targets name", "add_executable(b link/line.cpp)\n", false, false,
       "link/line.cpp: named 2 times in CMakeLists.txt"},
      {"a comment does not name it", "# add_library(c transfer/lines.cpp)\n", true, false,
       "transfer/lines.cpp: named 0 times"},
      {"named beside a parenthesis", "add_library(c transfer/lines.cpp)\n", true, true, ""},
  };
  for (const Listing& c : cases) {
    Tree tree(c.cmakeExtra);
    tree.Write("model/record.cpp", "\n");
    tree.Write("link/line.cpp", "\n");
    if (c.transferSource) tree.Write("transfer/lines.cpp", "\n");
    const auto result = tree.Check();
    EXPECT_EQ(result.exitCode, c.holds ? 0 : 1) << c.name << "\n" << result.err;
    if (!c.holds) {
      EXPECT_NE(result.err.find(c.named), std::string::npos) << c.name << "\n" << result.err;
    }
  }
}

}  // namespace
}  // namespace zdl
