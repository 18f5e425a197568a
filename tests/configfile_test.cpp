#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>

#include "configfile/config_file.h"
#include "configfile/ini_document.h"

namespace zdl {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

fs::path Fixture(const char* name) { return fs::path(ZDL_TEST_DATA) / name; }

std::string Replace(std::string text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The lines of a CRLF file, and back.
std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::istringstream in(bytes);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

// A fresh directory, removed with its content at the end of the test.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "zdl_configfile_XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }
  std::size_t Entries() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(path_), {}));
  }

 private:
  fs::path path_;
};

// The record that tests/data/full.ncf holds: every field set, Windows-1252 texts, values
// with blanks, quotes, "=" and ";". It mirrors full_sections() of make_fixtures.py.
ConfigurationRecord FullRecord() {
  ConfigurationRecord r;
  GeneralGroup& g = r.General;
  g.NOMBRE = "Estaci\xF3n de bombeo";
  g.SMSC = "+34609090909";
  g.RENVN = "3";
  g.RENVT = "7";
  g.PTLF = "+34600111222";
  g.AINFO = "2";
  g.ASINC = "15";
  g.REST_TEXT = " restablecida ";
  g.Habil_Restore = true;
  g.NORMAL = "60";
  g.MACRO_INICIO = 1;
  g.MACRO_GSMOK = 2;
  g.MACRO_GSMMAL = kNoSelection;
  r.TxAlarm = {true, "Alarma fallo de transmisi\xF3n", true, 14};
  r.ListaTlf = {"600,Prio=3,PRV2,D0,A1,TXA", "+34611222333,RXD,PRV0", "612345678,Prio=1,PRV3"};
  for (int i = 0; i < kDigitalInputs; ++i) {
    DigitalInput& d = r.Digital[static_cast<std::size_t>(i)];
    const int mode = i % 4;
    r.SetDigitalHabil(i, mode != ModeDisabled);
    r.SetDigitalNC(i, mode == ModeNormallyClosed);
    r.SetDigitalBi(i, mode == ModeBistable);
    d.TEXT = "Entrada digital " + std::to_string(i) + " \x80";
    d.RING = i % 2 == 0;
    d.RENV = i % 3 == 0;
    d.PERSIST = i % 2 == 1;
    d.PVAL = std::to_string(10 + i);
    d.CICLOS = i >= 4;
    d.CVAL = std::to_string(i);
    d.RST = std::to_string(100 + i);
    d.MACRO_TRUE = i + 1;
    d.MACRO_FALSE = i == 7 ? kNoSelection : 14 - i;
  }
  for (int j = 0; j < kAnalogInputs; ++j) {
    AnalogInput& a = r.Analog[static_cast<std::size_t>(j)];
    a.HABIL = j % 2 == 0;
    a.TEXT = "Entrada anal\xF3gica " + std::to_string(j);
    a.RING = j == 1;
    a.RENV = j == 2;
    a.IE = "4";
    a.FE = "20";
    a.UN = "mA";
    a.MIN = std::to_string(5 + j);
    a.MAX = "18.5";
    a.HIST = "0.5";
    a.PERSIST = j == 3;
    a.PVAL = std::to_string(2 * j);
    a.MACRO_HIGH = j + 1;
    a.MACRO_LOW = j + 5;
    a.MACRO_NOM = 0;
  }
  for (int n = 0; n < kMacros; ++n) {
    r.Macros[static_cast<std::size_t>(n)] = {"Macro " + std::to_string(n) + " =;\"x\"",
                                             " OUT" + std::to_string(n) + "=1 "};
  }
  r.DataLogger.DIGITAL_REARM = "30";
  r.DataLogger.LOG_TIME = "600";
  for (std::size_t i = 0; i < kDigitalInputs; ++i) r.DataLogger.REG_D[i] = i % 2 == 0;
  for (std::size_t j = 0; j < kAnalogInputs; ++j) r.DataLogger.REG_A[j] = j < 2;
  for (int t = 0; t < kTimers; ++t) {
    Timer& timer = r.Timers[static_cast<std::size_t>(t)];
    timer.HABIL = t % 2 == 1;
    char time[8];
    std::snprintf(time, sizeof time, "%02d:%02d", t, 5 * t);
    timer.TIME = time;
    timer.VP = std::to_string(30 + t);
    for (int day = 0; day < kWeekDays; ++day) {
      timer.Days[static_cast<std::size_t>(day)] = (day + t) % 3 == 0;
    }
    timer.MACRO = t == 7 ? 13 : t;
  }
  r.CSMCheck();
  return r;
}

// A record with something in every field a load must replace or clear.
ConfigurationRecord Cluttered() {
  ConfigurationRecord r = FullRecord();
  r.SetPinHabil(true);
  r.General.PIN = "9999";
  for (Timer& t : r.Timers) t.HABIL = true;
  r.DataLogger.REG_D.fill(true);
  r.DataLogger.REG_A.fill(true);
  for (DigitalInput& d : r.Digital) d.RST = "77";
  r.TxAlarm = {true, "old", true, 5};
  return r;
}

std::string SavedBytes(const ConfigurationRecord& record, std::string_view existing = {}) {
  std::string bytes;
  EXPECT_TRUE(SaveConfigBytes(record, existing, bytes).ok);
  return bytes;
}

// ---------------------------------------------------------------------------------------
// The INI document

TEST(ConfigFileIni, ValuesAreTakenUntouchedAndNamesTrimmed) {
  const IniDocument doc = IniDocument::Parse(
      "[General]\r\n"
      "  NOMBRE  = a b \r\n"
      "Q=\"quoted\"\r\n"
      "EQ=x=y;z\r\n"
      "EMPTY=\r\n"
      "; NOMBRE=comment\r\n"
      "  [ Other ]  \r\n"
      "nombre=lower\r\n");
  EXPECT_EQ(doc.Get("General", "NOMBRE"), " a b ");
  EXPECT_EQ(doc.Get("General", "Q"), "\"quoted\"");
  EXPECT_EQ(doc.Get("General", "EQ"), "x=y;z");
  EXPECT_EQ(doc.Get("General", "EMPTY"), "");
  EXPECT_TRUE(doc.Has("General", "EMPTY"));
  EXPECT_EQ(doc.Get("Other", "nombre"), "lower");
  EXPECT_EQ(doc.Get("Other", "NOMBRE"), "");    // names are case-sensitive
  EXPECT_EQ(doc.Get("general", "NOMBRE"), "");
  EXPECT_FALSE(doc.Has("General", "MISSING"));
  EXPECT_FALSE(doc.Has("Nowhere", "NOMBRE"));
}

TEST(ConfigFileIni, FirstSectionAndFirstKeyWin) {
  const IniDocument doc = IniDocument::Parse(
      "K=before any section\n[S]\nK=1\nK=2\n[T]\nK=t\n[S]\nK=3\nL=later\n");
  EXPECT_EQ(doc.Get("S", "K"), "1");
  EXPECT_EQ(doc.Get("S", "L"), "");  // a repeated section is never read...
  IniDocument changed = doc;
  changed.Set("S", "L", "new");      // ...nor written
  EXPECT_EQ(changed.Serialise(),
            "K=before any section\r\n[S]\r\nK=1\r\nK=2\r\nL=new\r\n[T]\r\nK=t\r\n"
            "[S]\r\nK=3\r\nL=later\r\n");
}

TEST(ConfigFileIni, LineEndsAndByteOrderMark) {
  const std::string bom = "\xEF\xBB\xBF";
  const struct {
    std::string bytes, written;
  } rows[] = {
      {"[S]\nK=v\nL=w", "[S]\r\nK=v\r\nL=w\r\n"},
      {"[S]\r\nK=v\r\nL=w\r\n", "[S]\r\nK=v\r\nL=w\r\n"},
      {bom + "[S]\r\nK=v\nL=w\n", bom + "[S]\r\nK=v\r\nL=w\r\n"},
      // A second mark belongs to the first line and is kept behind the first.
      {bom + bom + "[S]\nK=v\n[S]\nL=w\n", bom + bom + "[S]\r\nK=v\r\n[S]\r\nL=w\r\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.bytes);
    const IniDocument doc = IniDocument::Parse(row.bytes);
    EXPECT_EQ(doc.Get("S", "L"), "w");
    EXPECT_EQ(doc.Serialise(), row.written);
    EXPECT_EQ(IniDocument::Parse(doc.Serialise()).Serialise(), row.written);
  }
  EXPECT_EQ(IniDocument::Parse("[S]\r\nK=v\r\n").Get("S", "K"), "v");
  // Only the CR just before the LF ends a line; another CR belongs to the value.
  EXPECT_EQ(IniDocument::Parse("[S]\nK=a\rb\r\r\n").Get("S", "K"), "a\rb\r");
}

TEST(ConfigFileIni, SetReplacesInPlaceAppendsToItsSectionOrAddsASection) {
  IniDocument doc = IniDocument::Parse(
      "; kept comment\n[A]\n K = old\n\n[B]\nX=1\n\n  \n[Unknown]\nKEEP=me\n");
  doc.Set("A", "K", "new");
  doc.Set("B", "Y", "2");
  doc.Set("C", "Z", " 3");
  EXPECT_EQ(doc.Serialise(),
            "; kept comment\r\n[A]\r\n K =new\r\n\r\n[B]\r\nX=1\r\nY=2\r\n\r\n  \r\n"
            "[Unknown]\r\nKEEP=me\r\n\r\n[C]\r\nZ= 3\r\n");
  EXPECT_EQ(doc.Get("A", "K"), "new");
  EXPECT_EQ(doc.Get("C", "Z"), " 3");
}

TEST(ConfigFileIni, HugeInputsParseInOnePass) {
  const std::string long_line = "[S]\nK=" + std::string(10'000'000, 'x') + "\n";
  EXPECT_EQ(IniDocument::Parse(long_line).Get("S", "K").size(), 10'000'000u);
  std::string garbage(10'000'000, '\0');
  for (std::size_t i = 0; i < garbage.size(); ++i) {
    garbage[i] = static_cast<char>((i * 2654435761u) >> 13);
  }
  EXPECT_EQ(IniDocument::Parse(garbage).Get("General", "VERSION"), "");
}

// ---------------------------------------------------------------------------------------
// The keyed format

TEST(ConfigFileKeyed, KeysInTheWritersOrder) {
  const std::vector<KeyedValue> values = KeyedValues(FullRecord());
  ASSERT_EQ(values.size(), 13u + 4 + 1 + 8 + 8 * 13 + 4 * 15 + 14 * 2 + 14 + 8 * 11);
  const struct {
    std::size_t at;
    const char *section, *key, *value;
  } rows[] = {
      {0, "General", "VERSION", "ZDL410"},
      {12, "General", "MACRO_GSMMAL", "-1"},
      {16, "TxAlarm", "MACRO_TX", " 14"},
      {17, "General", "RESTORE_TEXT", " restablecida "},
      {18, "Telefonos", "TLF0", "600,Prio=3,PRV2,D0,A1,TXA"},
      {26 + 13 * 2, "Digital", "HABIL2", "1"},
      {26 + 13 * 2 + 1, "Digital", "NC2", "1"},
      {26 + 13 * 3 + 2, "Digital", "BI3", "1"},
      {130, "Analog", "HABIL0", "1"},
      {144, "Analog", "MACRO_NOM0", " 0"},
      {190 + 20, "Macros", "MACRO_TEXT 10", "Macro 10 =;\"x\""},
      {218, "DataLogger", "DIGITAL_REARM", "30"},
      {227, "DataLogger", "LOG_TIME", "600"},
      {242, "Timer", "MACRO0", " 0"},
      {319, "Timer", "MACRO7", " 13"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.at);
    EXPECT_EQ(values[row.at].section, row.section);
    EXPECT_EQ(values[row.at].key, row.key);
    EXPECT_EQ(values[row.at].value, row.value);
  }
}

TEST(ConfigFileKeyed, ModesAndRestoreTextAsTheQueriesReadThem) {
  ConfigurationRecord r;
  r.Digital[0].Modo = kNoSelection;  // reads as disabled, and is not changed by the save
  r.Digital[1].Modo = ModeBistable;
  r.General.REST_TEXT = "vuelta";
  r.General.Habil_Restore = false;
  std::map<std::string, std::string> v;
  for (const KeyedValue& kv : KeyedValues(r)) v[kv.section + "/" + kv.key] = kv.value;
  EXPECT_EQ(r.Digital[0].Modo, kNoSelection);
  EXPECT_EQ(v["Digital/HABIL0"] + v["Digital/NC0"] + v["Digital/BI0"], "000");
  EXPECT_EQ(v["Digital/HABIL1"] + v["Digital/NC1"] + v["Digital/BI1"], "101");
  EXPECT_EQ(v["General/REST_TEXT"], "vuelta");
  EXPECT_EQ(v["General/RESTORE_TEXT"], "");
}

TEST(ConfigFileKeyed, GoldenFileBothWays) {
  const std::string golden = ReadBytes(Fixture("full.ncf"));
  ASSERT_FALSE(golden.empty());
  EXPECT_EQ(SavedBytes(FullRecord()), golden);  // CRLF, sections in the writer's order

  ConfigurationRecord r = Cluttered();
  const LoadOutcome outcome = LoadConfigFile(Fixture("full.ncf"), r);
  EXPECT_EQ(outcome.status, LoadStatus::Loaded);
  EXPECT_EQ(outcome.format, FileFormat::Keyed);
  EXPECT_EQ(r, FullRecord());
  EXPECT_EQ(r.General.Csm, SmsCentre::CSMMovi);
  // Windows-1252 bytes arrive unchanged.
  EXPECT_EQ(r.TxAlarm.TEXT, "Alarma fallo de transmisi\xF3n");
  EXPECT_EQ(r.Digital[5].TEXT.back(), '\x80');
}

TEST(ConfigFileKeyed, LfCrlfAndByteOrderMarkReadAlike) {
  const std::string crlf = ReadBytes(Fixture("full.ncf"));
  const std::string lf = Replace(crlf, "\r\n", "\n");
  for (const std::string& bytes : {lf, "\xEF\xBB\xBF" + crlf, "\xEF\xBB\xBF" + lf}) {
    ConfigurationRecord r;
    EXPECT_EQ(LoadConfigBytes(bytes, r).status, LoadStatus::Loaded);
    EXPECT_EQ(r, FullRecord());
  }
}

TEST(ConfigFileKeyed, AFileWithAByteOrderMarkIsReadAsUtf8) {
  // Written by a UTF-8 editor: the accents come in as the unit's characters, and a save
  // over it leaves one character set, Windows-1252, without the mark.
  const std::string utf8 =
      "\xEF\xBB\xBF[General]\r\nVERSION=ZDL410\r\nNOMBRE=Dep\xC3\xB3sito \xE2\x82\xAC\r\n"
      "[Notas]\r\nA=ma\xC3\xB1" "ana\r\n";
  ConfigurationRecord r;
  ASSERT_EQ(LoadConfigBytes(utf8, r).status, LoadStatus::Loaded);
  EXPECT_EQ(r.General.NOMBRE, "Dep\xF3sito \x80");
  std::string saved;
  ASSERT_TRUE(SaveConfigBytes(r, utf8, saved).ok);
  EXPECT_EQ(saved.rfind("[General]\r\nVERSION=ZDL410\r\nNOMBRE=Dep\xF3sito \x80\r\n", 0), 0u);
  EXPECT_NE(saved.find("A=ma\xF1" "ana\r\n"), std::string::npos);
}

TEST(ConfigFileKeyed, SaveThenLoadGivesTheSameRecord) {
  ConfigurationRecord edited = FullRecord();
  edited.General.NOMBRE = "  \"=; lead and trail ";
  edited.Macros[3].MACRO_COM = "=";
  edited.Timers[2].MACRO = kNoSelection;
  edited.TxAlarm.MACRO_TX = kNoSelection;
  edited.Digital[4].TEXT = "\x80\x81\xFF";
  ConfigurationRecord loaded;
  EXPECT_TRUE(LoadConfigBytes(SavedBytes(edited), loaded).loaded());
  EXPECT_EQ(loaded, edited);
}

TEST(ConfigFileKeyed, VersionTagMustBeExact) {
  for (const char* version : {"zdl410", "ZDL410 ", "ZDL41", ""}) {
    SCOPED_TRACE(version);
    ConfigurationRecord r = FullRecord();
    const std::string bytes = std::string("[General]\r\nVERSION=") + version + "\r\nNOMBRE=x\r\n";
    EXPECT_EQ(LoadConfigBytes(bytes, r).status, LoadStatus::NotConfigFile);
    EXPECT_EQ(r, FullRecord());
  }
}

TEST(ConfigFileKeyed, AbsentKeysAndMissingTimerSection) {
  ConfigurationRecord r = Cluttered();
  const LoadOutcome outcome =
      LoadConfigBytes("[General]\nVERSION=ZDL410\n[Telefonos]\nTLF0=600,PRV0\nTLF5=601,PRV0\n", r);
  ASSERT_EQ(outcome.status, LoadStatus::Loaded);
  for (const Timer& t : r.Timers) {
    EXPECT_FALSE(t.HABIL);
    EXPECT_EQ(t.TIME, "");
    EXPECT_EQ(t.VP, "");
    EXPECT_EQ(t.Days, (std::array<bool, kWeekDays>{}));
    EXPECT_EQ(t.MACRO, 0);
  }
  EXPECT_EQ(r.ListaTlf, (std::vector<Text>{"600,PRV0", "601,PRV0"}));
  EXPECT_EQ(r.General.RENVN, "");  // an absent key reads as an empty text
  EXPECT_FALSE(r.General.PinHabil);
  EXPECT_EQ(r.General.PIN, "");
  EXPECT_FALSE(r.Digital[0].RING);  // check boxes the clearing keeps are read too
  EXPECT_EQ(r.Digital[6].RST, "");
  EXPECT_EQ(r.DataLogger.REG_D, (std::array<bool, kDigitalInputs>{}));
  EXPECT_FALSE(r.TxAlarm.HABIL);
}

TEST(ConfigFileKeyed, ThreePhoneEntriesSaveEightKeysAndLoadThree) {
  ConfigurationRecord r;
  r.ListaTlf = {"1,PRV0", "2,PRV0", "3,Prio=1,PRV0"};
  const IniDocument doc = IniDocument::Parse(SavedBytes(r));
  EXPECT_EQ(doc.Get("Telefonos", "TLF2"), "3,Prio=1,PRV0");
  for (const char* key : {"TLF3", "TLF4", "TLF5", "TLF6", "TLF7"}) {
    EXPECT_TRUE(doc.Has("Telefonos", key));
    EXPECT_EQ(doc.Get("Telefonos", key), "");
  }
  ConfigurationRecord loaded;
  LoadConfigBytes(SavedBytes(r), loaded);
  EXPECT_EQ(loaded.ListaTlf, r.ListaTlf);
}

TEST(ConfigFileKeyed, FlagsAndDigitalModesFromTheirKeys) {
  const struct {
    const char *habil, *nc, *bi;
    int mode;
    bool nc_flag, bi_flag;
  } rows[] = {
      {"1", "0", "0", ModeNormallyOpen, false, false},
      {"1", "1", "0", ModeNormallyClosed, true, false},
      {"1", "0", "1", ModeBistable, false, true},
      {"1", "1", "1", ModeBistable, true, true},
      {"0", "1", "1", ModeDisabled, true, true},  // remembered while disabled
      {"1 ", "1", "0", ModeDisabled, true, false},  // only exactly "1" sets a flag
      {"true", "", "", ModeDisabled, false, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.habil) + "/" + row.nc + "/" + row.bi);
    ConfigurationRecord r;
    const std::string bytes = std::string("[General]\nVERSION=ZDL410\n[Digital]\nHABIL3=") +
                              row.habil + "\nNC3=" + row.nc + "\nBI3=" + row.bi + "\nRING3=1\n";
    ASSERT_TRUE(LoadConfigBytes(bytes, r).loaded());
    EXPECT_EQ(r.Digital[3].Modo, row.mode);
    EXPECT_EQ(r.Digital[3].NcFlag, row.nc_flag);
    EXPECT_EQ(r.Digital[3].BiFlag, row.bi_flag);
    EXPECT_TRUE(r.Digital[3].RING);
  }
}

TEST(ConfigFileKeyed, ListSelectionsReadTheLeadingNumber) {
  const struct {
    const char* text;
    int position;  // -99: the load fails
  } rows[] = {
      {" 3", 3},   {"3", 3},     {"-1", -1},   {"14", 14},  {"14x", 14}, {"2.5", 2},
      {"3.5", 4},  {"-1.4", -1}, {"", 0},      {"abc", 0},  {"15", -99}, {"-2", -99},
      {"-1.6", -99}, {"1e9", -99}, {"99999999999999999999", -99},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    ConfigurationRecord r;
    const std::string bytes =
        std::string("[General]\r\nVERSION=ZDL410\r\nMACRO_GSMOK=") + row.text + "\r\n";
    const LoadOutcome outcome = LoadConfigBytes(bytes, r);
    if (row.position == -99) {
      EXPECT_EQ(outcome.status, LoadStatus::Failed);
      EXPECT_NE(outcome.description.find("[General]"), std::string::npos);
      EXPECT_NE(outcome.description.find("MACRO_GSMOK"), std::string::npos);
      EXPECT_NE(outcome.description.find(row.text), std::string::npos);
      EXPECT_EQ(r, ConfigurationRecord());
    } else {
      EXPECT_EQ(outcome.status, LoadStatus::Loaded);
      EXPECT_EQ(r.General.MACRO_GSMOK, row.position);
    }
  }
  // A timer's macro list has one item fewer.
  ConfigurationRecord r;
  EXPECT_TRUE(LoadConfigBytes("[General]\nVERSION=ZDL410\n[Timer]\nMACRO7=13\n", r).loaded());
  EXPECT_EQ(r.Timers[7].MACRO, 13);
  const LoadOutcome outcome =
      LoadConfigBytes("[General]\nVERSION=ZDL410\n[Timer]\nMACRO7=14\n", r);
  EXPECT_EQ(outcome.status, LoadStatus::Failed);
  EXPECT_NE(outcome.description.find("MACRO7"), std::string::npos);
}

TEST(ConfigFileKeyed, RestoreTextReplacesTheTypedText) {
  ConfigurationRecord r;
  LoadConfigBytes("[General]\nVERSION=ZDL410\nREST_TEXT=typed\nRESTORE_TEXT=\n", r);
  EXPECT_EQ(r.General.REST_TEXT, "");
  EXPECT_FALSE(r.General.Habil_Restore);
  LoadConfigBytes("[General]\nVERSION=ZDL410\nREST_TEXT=typed\nRESTORE_TEXT=on\n", r);
  EXPECT_EQ(r.General.REST_TEXT, "on");
  EXPECT_TRUE(r.General.Habil_Restore);
}

TEST(ConfigFileKeyed, ALineBreakInATextIsRefused) {
  for (const char* text : {"two\r\nlines", "a\nb", "trailing\r"}) {
    ConfigurationRecord r;
    r.Macros[9].MACRO_COM = text;
    std::string bytes = "untouched";
    const SaveOutcome outcome = SaveConfigBytes(r, {}, bytes);
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.description.find("MACRO_COM 9"), std::string::npos);
    EXPECT_EQ(bytes, "");
  }
}

// ---------------------------------------------------------------------------------------
// The sequential format

void ExpectSequentialV2Fields(const ConfigurationRecord& r) {
  EXPECT_EQ(r.ListaTlf, (std::vector<Text>{"600,Prio=3,PRV2", "612345678,PRV0"}));
  EXPECT_EQ(r.General.NOMBRE, "Dep\xF3sito norte");
  EXPECT_EQ(r.General.SMSC, "+34607003110");
  EXPECT_EQ(r.General.Csm, SmsCentre::CSMVoda);
  const int modes[] = {1, 2, 3, 0, 1, 0, 2, 3};
  for (std::size_t i = 0; i < kDigitalInputs; ++i) {
    SCOPED_TRACE(i);
    const DigitalInput& d = r.Digital[i];
    EXPECT_EQ(d.Modo, modes[i]);
    EXPECT_EQ(d.TEXT, "Entrada " + std::to_string(i));
    EXPECT_EQ(d.MACRO_TRUE, static_cast<int>(i) + 1);
    EXPECT_EQ(d.MACRO_FALSE, static_cast<int>(i) + 2);
  }
  EXPECT_TRUE(r.Digital[3].NcFlag);  // remembered on the disabled input
  EXPECT_TRUE(r.Digital[3].BiFlag);
  EXPECT_FALSE(r.Digital[3].RING);   // check state 2 counts as unchecked
  EXPECT_TRUE(r.Digital[5].RING);
  EXPECT_TRUE(r.Digital[0].RENV);
  EXPECT_TRUE(r.Digital[1].PERSIST);
  EXPECT_TRUE(r.Digital[2].CICLOS);
  EXPECT_TRUE(r.Analog[2].HABIL);
  EXPECT_FALSE(r.Analog[3].HABIL);
  EXPECT_EQ(r.Analog[3].TEXT, "Anal\xF3gica 3");
  EXPECT_EQ(r.Analog[0].MACRO_HIGH, 1);
  EXPECT_EQ(r.Analog[0].MACRO_NOM, 3);
  EXPECT_EQ(r.Analog[2].MACRO_HIGH, kNoSelection);
  EXPECT_EQ(r.Analog[3].MACRO_NOM, 14);
  EXPECT_EQ(r.General.MACRO_INICIO, 1);
  EXPECT_EQ(r.General.MACRO_GSMMAL, kNoSelection);
  EXPECT_EQ(r.Macros[13].MACRO_TEXT, "Macro 13");
  EXPECT_EQ(r.DataLogger.DIGITAL_REARM, "45");
  EXPECT_EQ(r.DataLogger.LOG_TIME, "900");
  EXPECT_EQ(r.DataLogger.REG_D, (std::array<bool, 8>{true, false, true, false}));
  EXPECT_EQ(r.DataLogger.REG_A, (std::array<bool, 4>{true, false}));
  EXPECT_EQ(r.General.REST_TEXT, "Restablecida");
  EXPECT_TRUE(r.General.Habil_Restore);
  EXPECT_TRUE(r.General.PinHabil);
  EXPECT_EQ(r.General.PIN, "1234");
  EXPECT_EQ(r.General.NORMAL, "30");
  EXPECT_EQ(r.Digital[3].RST, "40");
  // Not carried by the format: as the clearing left them.
  EXPECT_EQ(r.Digital[4].RST, "");
  EXPECT_EQ(r.Timers, ConfigurationRecord().Timers);
}

TEST(ConfigFileSequential, Version2) {
  ConfigurationRecord r = Cluttered();
  const LoadOutcome outcome = LoadConfigFile(Fixture("seq_v2.ncf"), r);
  ASSERT_EQ(outcome.status, LoadStatus::Loaded) << outcome.description;
  EXPECT_EQ(outcome.format, FileFormat::Sequential);
  EXPECT_EQ(outcome.version, 2);
  ExpectSequentialV2Fields(r);
  EXPECT_EQ(r.TxAlarm, (TxAlarmGroup{true, "Fallo de transmisi\xF3n", true, 14}));
}

TEST(ConfigFileSequential, Version1HasNoTransmissionFailBlock) {
  ConfigurationRecord r = Cluttered();
  const LoadOutcome outcome = LoadConfigFile(Fixture("seq_v1.ncf"), r);
  ASSERT_EQ(outcome.status, LoadStatus::Loaded) << outcome.description;
  EXPECT_EQ(outcome.version, 1);
  ExpectSequentialV2Fields(r);
  EXPECT_EQ(r.TxAlarm, TxAlarmGroup());
}

TEST(ConfigFileSequential, NewerVersionLoadsAsVersion2WithAWarning) {
  ConfigurationRecord r;
  const LoadOutcome outcome = LoadConfigFile(Fixture("seq_v3.ncf"), r);
  ASSERT_EQ(outcome.status, LoadStatus::LoadedNewer) << outcome.description;
  EXPECT_TRUE(outcome.loaded());
  EXPECT_EQ(outcome.version, 3);
  ExpectSequentialV2Fields(r);
  EXPECT_TRUE(r.TxAlarm.HABIL);
  EXPECT_EQ(LoadMessage(outcome, Lang::English), LangText(Lang::English, 183));
  EXPECT_EQ(LoadMessageTitle(outcome, Lang::English), "");
}

TEST(ConfigFileSequential, HeaderVersionIsTheNumberAtTheStartOfItsLastTwoCharacters) {
  // "V3" reads 0, which is not above 1: no transmission-fail block is expected.
  std::vector<std::string> lines = Lines(ReadBytes(Fixture("seq_v1.ncf")));
  lines[0] = "ZDL410V3";
  ConfigurationRecord r;
  const LoadOutcome outcome = LoadConfigBytes(Join(lines), r);
  EXPECT_EQ(outcome.status, LoadStatus::Loaded) << outcome.description;
  EXPECT_EQ(outcome.version, 0);
}

TEST(ConfigFileSequential, PinDisabledEmptiesThePin) {
  std::vector<std::string> lines = Lines(ReadBytes(Fixture("seq_v2.ncf")));
  ASSERT_EQ(lines[214], "1234");
  lines[215] = "2";
  ConfigurationRecord r;
  ASSERT_TRUE(LoadConfigBytes(Join(lines), r).loaded());
  EXPECT_FALSE(r.General.PinHabil);
  EXPECT_EQ(r.General.PIN, "");
}

TEST(ConfigFileSequential, BadItemsFailNamingTheLine) {
  const std::string v2 = ReadBytes(Fixture("seq_v2.ncf"));
  const struct {
    int line;             // 1-based; 0: cut the file after `cut` lines
    const char* text;
    std::size_t cut;
    const char* expected;  // start of the description
  } rows[] = {
      {20, "7", 0, "line 20: the check state 7 of RING of digital input 0"},
      {20, "-1", 0, "line 20: the check state -1"},
      {17, "x", 0, "line 17: expected a number for HABIL of digital input 0, found \"x\""},
      {18, "", 0, "line 18: expected a number for NC of digital input 0"},
      {169, "15", 0, "line 169: the list position 15 of MACRO_INICIO is outside its list"},
      {153, "1,2,5,-2", 0, "line 153: the list position -2 of MACRO_FALSE of digital input 4"},
      {153, "1,2,5,", 0,
       "line 153: expected a number for MACRO_FALSE of digital input 4, found \"\""},
      {0, nullptr, 224, "line 225: the file ends before MACRO_TX"},
      {0, nullptr, 1, "line 2: the file ends before TLF of phone entry 0"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.expected);
    std::vector<std::string> lines = Lines(v2);
    if (row.line > 0) lines[static_cast<std::size_t>(row.line - 1)] = row.text;
    if (row.cut > 0) lines.resize(row.cut);
    ConfigurationRecord r = FullRecord();
    const LoadOutcome outcome = LoadConfigBytes(Join(lines), r);
    EXPECT_EQ(outcome.status, LoadStatus::Failed);
    EXPECT_EQ(outcome.description.substr(0, std::strlen(row.expected)), row.expected)
        << outcome.description;
    EXPECT_EQ(r, FullRecord());  // nothing changed
    EXPECT_EQ(LoadMessage(outcome, Lang::Spanish), outcome.description);
    EXPECT_EQ(LoadMessageTitle(outcome, Lang::Spanish), "Error");
  }
}

TEST(ConfigFileSequential, TruncatedFixture) {
  ConfigurationRecord r = FullRecord();
  const LoadOutcome outcome = LoadConfigFile(Fixture("seq_truncated.ncf"), r);
  EXPECT_EQ(outcome.status, LoadStatus::Failed);
  EXPECT_EQ(outcome.description.rfind("line 51: the file ends before", 0), 0u)
      << outcome.description;
  EXPECT_EQ(r, FullRecord());
}

TEST(ConfigFileSequential, NotAConfigurationFile) {
  std::string garbage(4096, '\0');
  for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 7919 >> 3);
  const std::string cases[] = {
      "", "\r\n", garbage, "[General]\r\nNOMBRE=x\r\n", "zdl410v02\r\n",
      "first line\r\nZDL410V02\r\n", std::string(10'000'000, 'Z') + "\nZDL410V02\n",
  };
  for (const std::string& bytes : cases) {
    ConfigurationRecord r = FullRecord();
    const LoadOutcome outcome = LoadConfigBytes(bytes, r);
    EXPECT_EQ(outcome.status, LoadStatus::NotConfigFile);
    EXPECT_EQ(r, FullRecord());
    EXPECT_EQ(LoadMessage(outcome, Lang::English), LangText(Lang::English, 184));
    EXPECT_EQ(LoadMessageTitle(outcome, Lang::English), "");
  }
}

// ---------------------------------------------------------------------------------------
// Files on disk

TEST(ConfigFileDisk, MissingOrUnreadableFile) {
  TempDir dir;
  ConfigurationRecord r = FullRecord();
  LoadOutcome outcome = LoadConfigFile(dir.path() / "absent.ncf", r);
  EXPECT_EQ(outcome.status, LoadStatus::FileNotFound);
  EXPECT_EQ(LoadMessage(outcome, Lang::English), "File not found");
  EXPECT_EQ(LoadMessageTitle(outcome, Lang::English), "Error");
  EXPECT_EQ(LoadMessage(outcome, Lang::Spanish), "El fichero no existe");

  outcome = LoadConfigFile(dir.path(), r);  // a directory cannot be read as a file
  EXPECT_EQ(outcome.status, LoadStatus::Failed);
  EXPECT_NE(outcome.description.find("directory"), std::string::npos) << outcome.description;
  EXPECT_EQ(r, FullRecord());
}

TEST(ConfigFileDisk, SaveWritesANewFileAndLoadsBack) {
  TempDir dir;
  const fs::path file = dir.path() / "plant.ncf";
  const SaveOutcome saved = SaveConfigFile(file, FullRecord());
  ASSERT_TRUE(saved.ok) << saved.description;
  EXPECT_EQ(ReadBytes(file), ReadBytes(Fixture("full.ncf")));
  EXPECT_EQ(dir.Entries(), 1u);  // no temporary left behind
  ConfigurationRecord r;
  EXPECT_EQ(LoadConfigFile(file, r).status, LoadStatus::Loaded);
  EXPECT_EQ(r, FullRecord());
}

TEST(ConfigFileDisk, SaveKeepsWhatItDoesNotWrite) {
  TempDir dir;
  const fs::path file = dir.path() / "plant.ncf";
  WriteBytes(file,
             "; written by hand\n[Extra]\nKEY = value ; not a comment\n\n"
             "[General]\nVERSION=ZDL410\nNOMBRE=old\nCUSTOM=mine\n");
  ASSERT_TRUE(SaveConfigFile(file, FullRecord()).ok);
  const std::string bytes = ReadBytes(file);
  EXPECT_EQ(bytes.rfind("; written by hand\r\n[Extra]\r\nKEY = value ; not a comment\r\n\r\n"
                        "[General]\r\nVERSION=ZDL410\r\nNOMBRE=Estaci\xF3n de bombeo\r\n"
                        "CUSTOM=mine\r\nSMSC=+34609090909\r\n",
                        0),
            0u)
      << bytes.substr(0, 200);
  const IniDocument doc = IniDocument::Parse(bytes);
  EXPECT_EQ(doc.Get("Extra", "KEY"), " value ; not a comment");
  ConfigurationRecord r;
  EXPECT_TRUE(LoadConfigFile(file, r).loaded());
  EXPECT_EQ(r, FullRecord());
}

TEST(ConfigFileDisk, FailedSaveLeavesTheOldFile) {
  TempDir dir;
  const fs::path file = dir.path() / "plant.ncf";
  WriteBytes(file, "old content");
  ConfigurationRecord bad = FullRecord();
  bad.General.NOMBRE = "line\nbreak";
  SaveOutcome outcome = SaveConfigFile(file, bad);
  EXPECT_FALSE(outcome.ok);
  EXPECT_NE(outcome.description.find("NOMBRE"), std::string::npos);
  EXPECT_EQ(ReadBytes(file), "old content");
  EXPECT_EQ(dir.Entries(), 1u);

  outcome = SaveConfigFile(dir.path() / "no such dir" / "x.ncf", FullRecord());
  EXPECT_FALSE(outcome.ok);
  EXPECT_NE(outcome.description.find("No such file or directory"), std::string::npos)
      << outcome.description;

  fs::create_directory(dir.path() / "sub.ncf");
  outcome = SaveConfigFile(dir.path() / "sub.ncf", FullRecord());
  EXPECT_FALSE(outcome.ok);
  EXPECT_TRUE(fs::is_directory(dir.path() / "sub.ncf"));
  EXPECT_EQ(dir.Entries(), 2u);
}

TEST(ConfigFileDisk, SaveThroughASymbolicLinkKeepsTheLink) {
  TempDir dir;
  const fs::path file = dir.path() / "real.ncf";
  const fs::path link = dir.path() / "link.ncf";
  WriteBytes(file, "[Extra]\nK=v\n");
  fs::create_symlink(file, link);
  ASSERT_TRUE(SaveConfigFile(link, FullRecord()).ok);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(IniDocument::Parse(ReadBytes(file)).Get("Extra", "K"), "v");
  EXPECT_EQ(IniDocument::Parse(ReadBytes(file)).Get("General", "VERSION"), "ZDL410");
}

}  // namespace
}  // namespace zdl
