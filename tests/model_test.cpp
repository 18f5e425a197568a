#include "model/configuration_record.h"

#include <gtest/gtest.h>


#include "tests/support/sample_record.h"

namespace zdl {
namespace {

TEST(Clear, AlarmFormsKeepTheirCheckMarksButNotTheirTexts) {
  ConfigurationRecord r = testing::FullRecord();
  r.Digital[4].RST = "30";
  const DigitalInput other_form = r.Digital[4];
  r.ClearAlarmas();
  EXPECT_EQ(r.Digital[0], (DigitalInput{.TEXT = "", .RING = true, .RENV = true, .PERSIST = true,
                                        .PVAL = "", .CICLOS = true, .CVAL = "", .RST = ""}));
  EXPECT_EQ(r.Analog[0], (AnalogInput{.TEXT = "", .RING = true, .RENV = true, .IE = "", .FE = "",
                                      .UN = "", .MIN = "", .MAX = "", .HIST = "",
                                      .PERSIST = true, .PVAL = ""}));
  EXPECT_EQ(r.Digital[4], other_form);
  r.ClearAlarmas2();
  EXPECT_EQ(r.Digital[4].RST, "");
}

// After a read: disabled inputs lose their texts and check marks, not their reset time
// and macros; enabled inputs and everything else stay as they are.
TEST(CleanUp, BlanksInputsThatAreNotEnabled) {
  ConfigurationRecord r = testing::FullRecord();
  r.Digital[0].Modo = ModeDisabled;
  r.Analog[0].HABIL = false;
  ConfigurationRecord expected = r;
  expected.Digital[0] = {.NcFlag = true, .TEXT = "", .PVAL = "", .CVAL = "", .RST = "60",
                         .MACRO_TRUE = 3, .MACRO_FALSE = 5};
  expected.Analog[0] = {.TEXT = "", .IE = "", .FE = "", .UN = "", .MIN = "", .MAX = "",
                        .HIST = "", .PVAL = "", .MACRO_HIGH = 6, .MACRO_NOM = 7, .MACRO_LOW = 8};
  r.CleanUp();
  EXPECT_TRUE(r == expected);
}

TEST(PhoneList, EntriesAreBuiltInTheirFixedOrder) {
  PhoneEntryChoice c{"1", 8, true, Privilege::Apex, true, {}, {}, true, true};
  c.maskD.fill(true);
  c.maskA.fill(true);
  EXPECT_EQ(BuildPhoneEntry(c), "1,Prio=8,RXD,PRV3,D0,D1,D2,D3,A0,A1,TXA,AIN,D4,D5,D6,D7,A2,A3");
  c.number = std::string(maxlen::NewTlf, '9');  // the longest entry the editor builds
  EXPECT_EQ(BuildPhoneEntry(c).size(), kPhoneEntryMaxLength);
  // The mask boxes count only while the mask is on.
  c = {.number = "2", .privilege = Privilege::Advanced, .mask = false, .maskTxAlm = true};
  EXPECT_EQ(BuildPhoneEntry(c), "2,PRV1");
}

}  // namespace
}  // namespace zdl
