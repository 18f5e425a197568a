#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "configfile/config_file.h"
#include "configfile/file_access.h"
#include "configfile/ini_document.h"
#include "model/text_codec.h"
#include "tests/support/process.h"
#include "tests/support/sample_record.h"

namespace zdl {
namespace {

using testing::FullRecord;
using testing::ReadFileBytes;

std::string Fixture(const std::string& name) { return ReadFileBytes(ZDL_TEST_DATA "/" + name); }

// seq_v2.ncf with its 1-based `line` replaced by `text`, or cut before it when `text` is null.
std::string SeqV2With(std::size_t line, const char* text) {
  std::istringstream in(Fixture("seq_v2.ncf"));
  std::string out;
  std::size_t n = 0;
  for (std::string old; std::getline(in, old);) {
    if (++n == line && !text) break;
    out += (n == line ? std::string(text) + "\r" : old) + "\n";
  }
  return out;
}

TEST(ConfigFileIni, FirstSectionAndKeyWinAndSetKeepsEveryOtherLine) {
  IniDocument doc = IniDocument::Parse("K=0\n[S]\n K = 1\nK=2\nV=a\rb\r\r\n[T]\n\n[S]\nK=3\nL=4\n");
  EXPECT_EQ(doc.Get("S", "V"), "a\rb\r");  // only the CR before the LF ends the line
  doc.Set("S", "K", doc.Get("S", "K") + "!");
  doc.Set("S", "L", "x");  // a repeated section is never read or written
  doc.Set("T", "M", "y");
  doc.Set("U", "N", "z");
  EXPECT_EQ(doc.Serialise(), "K=0\r\n[S]\r\n K = 1!\r\nK=2\r\nV=a\rb\r\r\nL=x\r\n[T]\r\nM=y\r\n\r\n"
                             "[S]\r\nK=3\r\nL=4\r\n\r\n[U]\r\nN=z\r\n");
}

TEST(ConfigFileKeyed, GoldenFileBothWays) {
  testing::TempDir dir;
  ASSERT_TRUE(SaveConfigFile(dir.File("new.ncf"), FullRecord()).ok);
  const std::string golden = Fixture("full.ncf");
  EXPECT_EQ(ReadFileBytes(dir.File("new.ncf")), golden);  // CRLF, sections in the writer's order
  std::string lf = golden;
  std::erase(lf, '\r');
  // A byte-order mark: UTF-8 texts are taken to Windows-1252, others read byte for byte.
  const std::string utf8 = "\xEF\xBB\xBF" + Cp1252ToUtf8(golden);
  for (const std::string& bytes : {golden, lf, utf8, "\xEF\xBB\xBF" + golden}) {
    ConfigurationRecord r;
    EXPECT_EQ(LoadConfigBytes(bytes, r).format, FileFormat::Keyed);
    EXPECT_EQ(r, FullRecord());
  }
  std::string saved;  // a save over a UTF-8 file leaves one character set and no mark
  EXPECT_TRUE(SaveConfigBytes(FullRecord(), utf8, saved).ok);
  EXPECT_EQ(saved, golden);
}

// The loader and the saver go through the same rows, so two rows that exchanged their
// members would go round unseen: the golden file's values, read where their keys say.
TEST(ConfigFileKeyed, GoldenValuesLandInTheMembersTheirKeysName) {
  const ConfigurationRecord r = FullRecord();
  const GeneralGroup& g = r.General;
  const DigitalInput& d = r.Digital[0];
  const AnalogInput& a = r.Analog[0];
  const Timer& t = r.Timers[5];
  EXPECT_EQ(std::tie(g.NOMBRE, g.SMSC, g.RENVN, g.RENVT, g.PTLF, g.AINFO, g.ASINC, g.REST_TEXT,
                     g.NORMAL),
            std::tuple("Dep\xF3sito n\xBA 3 \x80", "+34609090909", "3", "10", "+34600111222", "7", "15",
                       "Restablecida", " 30"));
  EXPECT_EQ(std::tie(d.TEXT, d.PVAL, d.CVAL, d.RST, a.IE, a.FE, a.UN, a.MIN, a.MAX, a.HIST, a.PVAL,
                     t.TIME, t.VP, r.Macros[0].MACRO_TEXT, r.Macros[0].MACRO_COM,
                     r.DataLogger.LOG_TIME, r.DataLogger.DIGITAL_REARM),
            std::tuple("Fallo UPS", " 5", "3", "60", "0", "100", "%", "10", "90", "2", " 1.5", "21:15",
                       "120", "Macro 1", "ON1", " 120", " 5"));
  EXPECT_EQ(std::tie(g.MACRO_INICIO, g.MACRO_GSMOK, g.MACRO_GSMMAL, d.MACRO_TRUE, d.MACRO_FALSE,
                     a.MACRO_HIGH, a.MACRO_NOM, a.MACRO_LOW, t.MACRO),
            std::tuple(1, 2, 3, 3, 5, 6, 7, 8, 13));
  // The one input that has RING, PERSIST or CICLOS alone; the days and channels in order.
  EXPECT_TRUE(r.Digital[7].RING && r.Digital[2].PERSIST && r.Digital[4].CICLOS);
  EXPECT_EQ(std::tie(t.Days, r.DataLogger.REG_D, r.DataLogger.REG_A),
            std::tuple(std::array{false, false, false, false, false, true, true},
                       std::array{true, false, true, false, false, false, false, true},
                       std::array{true, false, false, true}));
}

TEST(ConfigFileKeyed, OddValuesSaveAsTheyAreAndLoadBack) {
  ConfigurationRecord edited = FullRecord();
  edited.General.NOMBRE = "  \"=; lead and trail ";
  edited.TxAlarm.MACRO_TX = kNoSelection;
  edited.Digital[6].Modo = kNoSelection;  // saved as disabled
  edited.General.Habil_Restore = false;   // the restore text is then saved empty
  std::string bytes;
  ASSERT_TRUE(SaveConfigBytes(edited, {}, bytes).ok);
  EXPECT_NE(bytes.find("\nNOMBRE=  \"=; lead and trail \r\n"), std::string::npos);
  EXPECT_NE(bytes.find("\nMACRO_TX=-1\r\n"), std::string::npos);
  ConfigurationRecord loaded;
  ASSERT_TRUE(LoadConfigBytes(bytes, loaded).loaded());
  edited.Digital[6].Modo = ModeDisabled;
  edited.General.REST_TEXT = "";  // the restore text replaces the typed one
  EXPECT_EQ(loaded, edited);
}

TEST(ConfigFileKeyed, ListPositionsReadTheLeadingNumberAndRefuseTheRest) {
  const struct { const char* text; int position; } rows[] = {  // -9: the load fails
      {" 3", 3}, {"14x", 14}, {"2.5", 2}, {"3.5", 4}, {"-1.4", -1}, {"", 0}, {"abc", 0},
      {"15", -9}, {"-2", -9}, {"-1.6", -9}, {"1e9", -9}, {"99999999999999999999", -9},
  };
  for (const auto& row : rows) {
    ConfigurationRecord r = FullRecord();
    const LoadOutcome outcome =
        LoadConfigBytes(std::string("[General]\nVERSION=ZDL410\nMACRO_GSMOK=") + row.text, r);
    EXPECT_EQ(r.General.MACRO_GSMOK, row.position == -9 ? 2 : row.position) << row.text;
    const std::string named = std::string("[General], key MACRO_GSMOK: the value \"") + row.text + '"';
    const std::string& english = outcome.description.In(Lang::English);
    EXPECT_EQ(english.find(named) != std::string::npos, row.position == -9) << row.text;
  }
  ConfigurationRecord r;  // a timer's list has one item fewer
  EXPECT_TRUE(LoadConfigBytes("[General]\nVERSION=ZDL410\n[Timer]\nMACRO7=13\n", r).loaded());
  EXPECT_FALSE(LoadConfigBytes("[General]\nVERSION=ZDL410\n[Timer]\nMACRO7=14\n", r).loaded());
}

TEST(ConfigFileKeyed, ALoadDependsOnlyOnTheFileAndOnlyExactlyOneSetsAFlag) {
  const char* file = "[General]\nVERSION=ZDL410\n[Telefonos]\nTLF0=600,PRV0\nTLF5=601,PRV0\n"
                     "[Digital]\nHABIL3=0\nNC3=1\nBI3=1\nHABIL4=1 \nNC4=true\nHABIL5=1\nNC5=1\nBI5=1\n";
  ConfigurationRecord used = FullRecord(), fresh;
  used.SetPinHabil(true);
  used.General.PIN = "9999";
  ASSERT_TRUE(LoadConfigBytes(file, used).loaded() && LoadConfigBytes(file, fresh).loaded());
  EXPECT_EQ(used, fresh);
  EXPECT_EQ(used.ListaTlf, (std::vector<Text>{"600,PRV0", "601,PRV0"}));
  EXPECT_EQ(used.Timers[0], (Timer{false, "", "", {}, 0}));  // an absent key reads as an empty text
  const auto& d = used.Digital;  // flags are remembered while disabled
  EXPECT_EQ(std::tuple(d[3].Modo, d[3].NcFlag, d[3].BiFlag), std::tuple(ModeDisabled, true, true));
  EXPECT_EQ(std::tuple(d[4].Modo, d[4].NcFlag), std::tuple(ModeDisabled, false));
  EXPECT_EQ(d[5].Modo, ModeBistable);
}

TEST(ConfigFileSequential, VersionsAndThePinEnable) {
  const TxAlarmGroup tx{true, "Fallo de transmisi\xF3n", true, 14};
  const struct { std::string bytes; LoadStatus status; int version; bool tx; const char* pin; } rows[] = {
      {Fixture("seq_v1.ncf"), LoadStatus::Loaded, 1, false, "1234"},
      {Fixture("seq_v2.ncf"), LoadStatus::Loaded, 2, true, "1234"},
      {Fixture("seq_v3.ncf"), LoadStatus::LoadedNewer, 3, true, "1234"},  // read as version 2
      {SeqV2With(1, "ZDL410V3"), LoadStatus::Loaded, 0, false, "1234"},  // "V3" reads 0
      {SeqV2With(216, "2"), LoadStatus::Loaded, 2, true, ""},  // PIN enable grayed: unchecked
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    ConfigurationRecord r = FullRecord();
    const LoadOutcome outcome = LoadConfigBytes(row.bytes, r);
    EXPECT_EQ(outcome.status, row.status);
    EXPECT_EQ(outcome.version, row.version);
    EXPECT_EQ(r.General.PIN, row.pin);
    EXPECT_EQ(r.TxAlarm, row.tx ? tx : TxAlarmGroup());
    EXPECT_EQ(r.ListaTlf, (std::vector<Text>{"600,Prio=3,PRV2", "612345678,PRV0"}));
    for (std::size_t i = 0; i < kDigitalInputs; ++i) {
      EXPECT_EQ(r.Digital[i].Modo, (std::array{1, 2, 3, 0, 1, 0, 2, 3})[i]) << i;
      EXPECT_EQ(r.Digital[i].MACRO_FALSE, static_cast<int>(i) + 2) << i;
    }
    EXPECT_TRUE(r.Digital[3].NcFlag && r.Digital[3].BiFlag);  // remembered on the disabled input
    EXPECT_FALSE(r.Digital[3].RING);                           // check state 2 counts as unchecked
    EXPECT_EQ(r.Analog[3].TEXT, "Anal\xF3gica 3");
    EXPECT_EQ(std::tuple(r.Analog[2].MACRO_HIGH, r.Analog[3].MACRO_NOM, r.General.MACRO_GSMMAL),
              std::tuple(kNoSelection, 14, kNoSelection));
    EXPECT_EQ(r.Digital[3].RST, "40");
    EXPECT_EQ(r.Timers, ConfigurationRecord().Timers);  // not carried by the format
  }
}

// The line and the item, in each language.
TEST(ConfigFileSequential, BadItemsFailNamingTheLineAndChangeNothing) {
  const struct {
    std::size_t line; const char* text; const char* expected;
  } rows[] = {
      {20, "7", "line 20: the check state 7 of RING of digital input 0"},
      {17, "x", "line 17: expected a number for HABIL of digital input 0, found \"x\""},
      {169, "15", "line 169: the list position 15 of MACRO_INICIO is outside its list"},
      {153, "1,2,5,-2", "line 153: the list position -2 of MACRO_FALSE of digital input 4"},
      {225, nullptr, "line 225: the file ends before MACRO_TX"},
  };
  for (const auto& row : rows) {
    ConfigurationRecord r = FullRecord();
    const LoadOutcome outcome = LoadConfigBytes(SeqV2With(row.line, row.text), r);
    EXPECT_EQ(outcome.status, LoadStatus::Failed);
    const std::string english = LoadMessage(outcome, Lang::English);
    EXPECT_EQ(english.rfind(row.expected, 0), 0u) << english;
    EXPECT_EQ(LoadMessage(outcome, Lang::Spanish).rfind("línea " + std::to_string(row.line) + ": ", 0),
              0u);
    EXPECT_EQ(r, FullRecord());
  }
}

TEST(ConfigFileLoad, WhatIsNoConfigurationFileChangesNothing) {
  const std::string cases[] = {
      "", "\r\n", "[General]\r\nNOMBRE=x\r\n", "[General]\nVERSION=zdl410\n",
      "[General]\nVERSION=ZDL410 \n", "zdl410v02\r\n", "first line\r\nZDL410V02\r\n",
      std::string(10'000'000, 'Z') + "\nZDL410V02\n",
  };
  ConfigurationRecord r = FullRecord();
  for (const std::string& bytes : cases) {
    EXPECT_EQ(LoadConfigBytes(bytes, r).status, LoadStatus::NotConfigFile) << bytes.substr(0, 40);
  }
  EXPECT_EQ(LoadConfigFile(ZDL_TEST_DATA "/absent.ncf", r).status, LoadStatus::FileNotFound);
  EXPECT_EQ(r, FullRecord());
}

// What is not a regular file of a configuration's size is refused with its reason, on a
// load and on a save: nothing is opened that could block (a FIFO without a writer) or grow
// without end, nothing is replaced, the record stays and no temporary is left.
TEST(ConfigFileDisk, OnlyRegularFilesUpToTheSizeLimitLoadOrAreReplaced) {
  testing::TempDir dir;
  const std::string fifo = dir.File("fifo.ncf"), big = dir.File("big.ncf"), limit = dir.File("limit.ncf");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string bigBytes(kMaxConfigFileSize + 1, 'x');
  testing::WriteFileBytes(big, bigBytes);
  testing::WriteFileBytes(limit, std::string(kMaxConfigFileSize, 'x'));
  const struct {
    std::string path;
    LoadStatus status;
    const char* reason;  // the end of the English message
  } rows[] = {
      {fifo, LoadStatus::Failed, ": not a regular file"},
      {big, LoadStatus::Failed, ": larger than 1 MiB"},
      {limit, LoadStatus::NotConfigFile, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    ConfigurationRecord r = FullRecord();
    const LoadOutcome outcome = LoadConfigFile(row.path, r);
    EXPECT_EQ(outcome.status, row.status);
    EXPECT_EQ(r, FullRecord());
    if (row.status != LoadStatus::Failed) continue;
    EXPECT_EQ(LoadMessage(outcome, Lang::English), "Cannot read " + row.path + row.reason);
    EXPECT_EQ(LoadMessage(outcome, Lang::Spanish).rfind("No se puede leer " + row.path, 0), 0u);
    const SaveOutcome saved = SaveConfigFile(row.path, FullRecord());
    EXPECT_FALSE(saved.ok);
    EXPECT_EQ(saved.description.In(Lang::English).rfind("Cannot write " + row.path + ": ", 0), 0u);
  }
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  EXPECT_EQ(ReadFileBytes(big), bigBytes);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3);
}

struct stat StatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st;
}

// A save replaces the file whole or not at all, and keeps what it replaces: every line the
// save does not write, the mode, the owner and group (where the process may set them: as
// root, another user's), a symbolic link (also a relative chain to a target that does not
// exist yet), and works beside a name as long as the folder allows. No temporary is left.
TEST(ConfigFileDisk, ASaveReplacesWholeOrNotAtAllAndKeepsModeOwnerGroupAndLinks) {
  testing::TempDir dir;
  const std::string shared = dir.File("shared.ncf");
  testing::WriteFileBytes(shared, "; by hand\n[Extra]\nKEY = value ; not a comment\n\n"
                                  "[General]\nVERSION=ZDL410\nNOMBRE=old\nCUSTOM=mine\n");
  ASSERT_EQ(::chmod(shared.c_str(), 0640), 0);
  const bool root = ::geteuid() == 0;
  const uid_t owner = root ? 4321 : ::geteuid();
  const gid_t group = root ? 8765 : ::getegid();
  ASSERT_EQ(::chown(shared.c_str(), owner, group), 0);
  ASSERT_TRUE(SaveConfigFile(shared, FullRecord()).ok);
  const struct stat after = StatOf(shared);
  EXPECT_EQ(std::tuple(after.st_mode & 07777, after.st_uid, after.st_gid), std::tuple(0640u, owner, group));
  const std::string saved = ReadFileBytes(shared);
  EXPECT_EQ(saved.rfind("; by hand\r\n[Extra]\r\nKEY = value ; not a comment\r\n\r\n[General]\r\nVERSION="
                        "ZDL410\r\nNOMBRE=Dep\xF3sito n\xBA 3 \x80\r\nCUSTOM=mine\r\nSMSC=", 0),
            0u);
  ConfigurationRecord bad = FullRecord();
  bad.Macros[9].MACRO_COM = "two\nlines";  // a keyed value cannot carry a line break
  const SaveOutcome refused = SaveConfigFile(shared, bad);
  for (const Lang lang : {Lang::English, Lang::Spanish}) {
    EXPECT_NE(refused.description.In(lang).find("MACRO_COM 9"), std::string::npos);
  }
  EXPECT_EQ(ReadFileBytes(shared), saved);
  // A write that fails part-way (here at the file size limit) leaves the old file whole.
  struct rlimit limit {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
  struct rlimit small = limit;
  small.rlim_cur = 100;
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool savedOverTheLimit = SaveConfigFile(shared, FullRecord()).ok;
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(savedOverTheLimit);
  EXPECT_EQ(ReadFileBytes(shared), saved);

  // An old sequential file saved over is replaced whole, not kept above the new sections.
  const std::string old = dir.File("old.ncf");
  testing::WriteFileBytes(old, Fixture("seq_v2.ncf"));
  ASSERT_TRUE(SaveConfigFile(old, FullRecord()).ok);
  EXPECT_EQ(ReadFileBytes(old), Fixture("full.ncf"));

  // Links: a dangling one, and a relative chain of two, each written at its end.
  std::filesystem::create_directory(dir.File("sub"));
  const std::string dangling = dir.File("dangling.ncf"), chain = dir.File("chain.ncf");
  std::filesystem::create_symlink("sub/new.ncf", dangling);
  std::filesystem::create_symlink("sub/../dangling.ncf", chain);
  ASSERT_TRUE(SaveConfigFile(chain, FullRecord()).ok);
  EXPECT_TRUE(std::filesystem::is_symlink(chain));
  EXPECT_TRUE(std::filesystem::is_symlink(dangling));
  EXPECT_EQ(ReadFileBytes(dir.File("sub/new.ncf")), Fixture("full.ncf"));

  // A name of the longest length a folder takes: the temporary beside it must be shorter.
  const std::string longName = dir.File(std::string(251, 'n') + ".ncf");
  ASSERT_TRUE(SaveConfigFile(longName, FullRecord()).ok);
  ASSERT_TRUE(SaveConfigFile(longName, FullRecord()).ok);  // and again, over it
  EXPECT_EQ(ReadFileBytes(longName), Fixture("full.ncf"));

  // Backups: readable by their owner only, new or replaced.
  const std::string backup = dir.File("backup.ncf");
  ASSERT_TRUE(SaveConfigFile(backup, FullRecord(), FileAccess::OwnerOnly).ok);
  EXPECT_EQ(StatOf(backup).st_mode & 0777, 0600u);
  ASSERT_EQ(::chmod(backup.c_str(), 0644), 0);
  ASSERT_TRUE(SaveConfigFile(backup, FullRecord(), FileAccess::OwnerOnly).ok);
  EXPECT_EQ(StatOf(backup).st_mode & 0777, 0600u);

  // shared, old, the two links, sub, the long name, the backup; in sub the link's target.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 7);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("sub")), {}), 1);
}

// A trace or log: created readable by its owner only, an old one emptied and made so (a
// FIFO is refused without blocking: the command line's trace row).
TEST(FileAccess, LogFilesArePrivate) {
  testing::TempDir dir;
  const std::string fresh = dir.File("fresh.log"), old = dir.File("old.log");
  testing::WriteFileBytes(old, "older and longer text");
  ASSERT_EQ(::chmod(old.c_str(), 0644), 0);
  for (const std::string& path : {fresh, old}) {
    LogFile log;
    ASSERT_TRUE(log.Open(path).ok()) << path;
    log.Stream() << "line" << std::endl;
    EXPECT_TRUE(log.Stream().good());
    EXPECT_EQ(ReadFileBytes(path), "line\n");
    EXPECT_EQ(StatOf(path).st_mode & 0777, 0600u) << path;
  }
}

TEST(FileAccess, SameFileByIdentityOrByNormalisedPath) {
  testing::TempDir dir;
  const std::string file = dir.File("a.ncf");
  testing::WriteFileBytes(file, "x");
  std::filesystem::create_directory(dir.File("sub"));
  std::filesystem::create_hard_link(file, dir.File("hard.ncf"));
  std::filesystem::create_symlink(file, dir.File("link.ncf"));
  std::filesystem::create_symlink(dir.File("sub/none.ncf"), dir.File("dangling.ncf"));
  const struct {
    std::string a, b;
    bool same;
  } rows[] = {
      {file, dir.File("sub/../a.ncf"), true},
      {file, dir.File("hard.ncf"), true},
      {file, dir.File("link.ncf"), true},
      {dir.File("dangling.ncf"), dir.File("sub/none.ncf"), true},
      {file, dir.File("none.ncf"), false},
  };
  for (const auto& row : rows) EXPECT_EQ(SameFile(row.a, row.b), row.same) << row.a << " " << row.b;
}

}  // namespace
}  // namespace zdl
