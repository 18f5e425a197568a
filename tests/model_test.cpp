#include <gtest/gtest.h>

#include "model/configuration_record.h"

namespace zdl {
namespace {

TEST(DigitalMode, FlagsArrivingInAnyOrderGiveTheRightMode) {
  ConfigurationRecord r;
  // N.C. on a disabled input is only remembered...
  r.SetDigitalNC(2, true);
  EXPECT_EQ(r.Digital[2].Modo, ModeDisabled);
  // ...and HABIL afterwards gives N.C.
  r.SetDigitalHabil(2, true);
  EXPECT_EQ(r.Digital[2].Modo, ModeNormallyClosed);

  // Both remembered flags: bistable wins.
  r.SetDigitalBi(5, true);
  r.SetDigitalNC(5, true);
  r.SetDigitalHabil(5, true);
  EXPECT_EQ(r.Digital[5].Modo, ModeBistable);

  // BI cleared on an enabled input whose NC flag is set: N.C.
  r.SetDigitalBi(5, false);
  EXPECT_EQ(r.Digital[5].Modo, ModeNormallyClosed);
  r.SetDigitalNC(5, false);
  EXPECT_EQ(r.Digital[5].Modo, ModeNormallyOpen);
  r.SetDigitalHabil(5, false);
  EXPECT_EQ(r.Digital[5].Modo, ModeDisabled);
}

TEST(DigitalMode, QueriesReadTheThreeFlags) {
  ConfigurationRecord r;
  const struct {
    int mode;
    bool habil, nc, bi;
  } rows[] = {{ModeDisabled, false, false, false},
              {ModeNormallyOpen, true, false, false},
              {ModeNormallyClosed, true, true, false},
              {ModeBistable, true, false, true}};
  for (const auto& row : rows) {
    r.Digital[0].Modo = row.mode;
    EXPECT_EQ(r.DigitalHabil(0), row.habil) << row.mode;
    EXPECT_EQ(r.DigitalNC(0), row.nc) << row.mode;
    EXPECT_EQ(r.DigitalBi(0), row.bi) << row.mode;
  }
}

TEST(DigitalMode, NoSelectionReadsDisabledAndIsReset) {
  ConfigurationRecord r;
  r.Digital[3].Modo = kNoSelection;
  EXPECT_EQ(EffectiveMode(r.Digital[3]), ModeDisabled);
  EXPECT_EQ(r.Digital[3].Modo, kNoSelection);  // the const view changes nothing
  EXPECT_FALSE(r.DigitalHabil(3));
  EXPECT_EQ(r.Digital[3].Modo, ModeDisabled);
}

TEST(Clear, GeneralRestoresDefaultsAndEmptiesThePhoneList) {
  ConfigurationRecord r;
  r.General.RENVN = "3";
  r.General.RENVT = "9";
  r.General.ASINC = "1";
  r.General.AINFO = "2";
  r.General.NORMAL = "7";
  r.General.PinHabil = true;
  r.General.PIN = "1234";
  r.ListaTlf = {"600,PRV0"};
  r.SelectSmsCentre(SmsCentre::CSMVoda);
  r.TxAlarm = {true, "fallo", true, 4};
  r.ClearGeneral();
  EXPECT_EQ(r.General.RENVN, "10");
  EXPECT_EQ(r.General.RENVT, "5");
  EXPECT_EQ(r.General.ASINC, "30");
  EXPECT_EQ(r.General.AINFO, "0");
  EXPECT_EQ(r.General.NORMAL, "0");
  EXPECT_EQ(r.General.Csm, SmsCentre::CSMOtro);
  EXPECT_TRUE(r.ListaTlf.empty());
  EXPECT_TRUE(r.General.PIN.empty());
  EXPECT_EQ(r.TxAlarm, TxAlarmGroup{});
}

TEST(Clear, AlarmFormsKeepTheirCheckMarksButNotTheirTexts) {
  ConfigurationRecord r;
  for (DigitalInput& d : r.Digital) {
    d = {ModeBistable, true, true, "t", true, true, true, "5", true, "3", "60", 2, 3};
  }
  r.Analog[3].HABIL = true;
  r.Analog[3].RING = true;
  r.Analog[3].IE = "4";
  r.ClearAlarmas();
  EXPECT_TRUE(r.Digital[0].RST.empty());
  EXPECT_EQ(r.Digital[0].Modo, ModeDisabled);
  EXPECT_FALSE(r.Digital[0].NcFlag);
  EXPECT_TRUE(r.Digital[0].RING);
  EXPECT_TRUE(r.Digital[0].CICLOS);
  EXPECT_EQ(r.Digital[4].TEXT, "t");  // the other form is untouched
  r.ClearAlarmas2();
  EXPECT_TRUE(r.Digital[7].RST.empty());
  EXPECT_FALSE(r.Analog[3].HABIL);
  EXPECT_TRUE(r.Analog[3].RING);
  EXPECT_TRUE(r.Analog[3].IE.empty());
}

TEST(Clear, TimersGoBackToNoonSixtyAndMacroOne) {
  ConfigurationRecord r;
  r.Timers[6] = {true, "08:30", "5", {true, true}, 9};
  r.ClearTemporizadores();
  EXPECT_EQ(r.Timers[6], Timer{});
  EXPECT_EQ(r.Timers[6].TIME, "12:00");
  EXPECT_EQ(r.Timers[6].VP, "60");
}

TEST(CleanUp, BlanksOnlyInputsThatAreNotEnabled) {
  ConfigurationRecord r;
  for (DigitalInput& d : r.Digital) d = {ModeDisabled, false, false, "t", true, true, true, "5", true, "3", "60", 2, 3};
  r.Digital[1].Modo = ModeNormallyOpen;
  r.Analog[0] = {false, "a", true, true, "0", "10", "V", "1", "9", "1", true, "2", 1, 2, 3};
  r.Analog[1] = r.Analog[0];
  r.Analog[1].HABIL = true;
  r.CleanUp();
  EXPECT_EQ(r.Digital[0].TEXT, "");
  EXPECT_FALSE(r.Digital[0].RING);
  EXPECT_EQ(r.Digital[0].RST, "60");   // not blanked
  EXPECT_EQ(r.Digital[0].MACRO_TRUE, 2);  // not blanked
  EXPECT_EQ(r.Digital[1].TEXT, "t");
  EXPECT_EQ(r.Analog[0].IE, "");
  EXPECT_FALSE(r.Analog[0].PERSIST);
  EXPECT_EQ(r.Analog[0].MACRO_LOW, 3);
  EXPECT_EQ(r.Analog[1].IE, "0");
}

TEST(SmsCentre, CheckPicksTheMatchingOperator) {
  ConfigurationRecord r;
  r.General.SMSC = "+34607003110";
  r.CSMCheck();
  EXPECT_EQ(r.General.Csm, SmsCentre::CSMVoda);
  r.General.SMSC = "+34607003110 ";
  r.CSMCheck();
  EXPECT_EQ(r.General.Csm, SmsCentre::CSMOtro);
  EXPECT_EQ(r.General.SMSC, "+34607003110 ");
  r.SelectSmsCentre(SmsCentre::CSMMovi);
  EXPECT_EQ(r.General.SMSC, "+34609090909");
  r.SelectSmsCentre(SmsCentre::CSMOtro);
  EXPECT_EQ(r.General.SMSC, "+34609090909");
  r.SelectSmsCentre(SmsCentre::CSMAmen);
  EXPECT_EQ(r.General.SMSC, "+34656000311");
}

TEST(TxAlarm, UncheckingEmptiesTextAndRingButCheckingAgainDoesNotRestore) {
  ConfigurationRecord r;
  r.SetTxAlarmHabil(true);
  r.TxAlarm.TEXT = "fallo";
  r.TxAlarm.RING = true;
  r.SetTxAlarmHabil(false);
  EXPECT_EQ(r.TxAlarm.TEXT, "");
  EXPECT_FALSE(r.TxAlarm.RING);
  // Setting an unchecked box to unchecked again is no change: the text stays.
  r.TxAlarm.TEXT = "kept";
  r.SetTxAlarmHabil(false);
  EXPECT_EQ(r.TxAlarm.TEXT, "kept");
}

TEST(PhoneList, EntriesAreBuiltInTheirFixedOrder) {
  PhoneEntryChoice c;
  c.number = "600";
  c.priority = 3;
  c.privilege = Privilege::Administrator;
  c.mask = true;
  c.maskD[0] = true;
  c.maskA[1] = true;
  c.maskTxAlm = true;
  EXPECT_EQ(BuildPhoneEntry(c), "600,Prio=3,PRV2,D0,A1,TXA");

  PhoneEntryChoice plain;
  plain.number = "+34600111222";
  plain.privilege = Privilege::User;
  plain.maskD[3] = true;  // ignored while the mask is off
  EXPECT_EQ(BuildPhoneEntry(plain), "+34600111222,PRV0");

  PhoneEntryChoice all;
  all.number = "1";
  all.priority = 8;
  all.rxd = true;
  all.privilege = Privilege::Apex;
  all.mask = true;
  all.maskD.fill(true);
  all.maskA.fill(true);
  all.maskTxAlm = all.maskInfo = true;
  EXPECT_EQ(BuildPhoneEntry(all), "1,Prio=8,RXD,PRV3,D0,D1,D2,D3,A0,A1,TXA,AIN,D4,D5,D6,D7,A2,A3");

  PhoneEntryChoice advanced;
  advanced.number = "7";
  advanced.privilege = Privilege::Advanced;
  EXPECT_EQ(BuildPhoneEntry(advanced), "7,PRV1");
}

TEST(PhoneList, AddingChecksTheNumberAndTheLimitOfEight) {
  ConfigurationRecord r;
  PhoneEntryChoice c;
  EXPECT_EQ(r.AddPhoneEntry(c), AddPhoneResult::EmptyNumber);
  c.number = "600,1";
  EXPECT_EQ(r.AddPhoneEntry(c), AddPhoneResult::InvalidNumber);
  c.number = "6.5";
  EXPECT_EQ(r.AddPhoneEntry(c), AddPhoneResult::InvalidNumber);
  c.number = "600";
  for (int i = 0; i < kPhoneListSize; ++i) EXPECT_EQ(r.AddPhoneEntry(c), AddPhoneResult::Added);
  EXPECT_EQ(r.AddPhoneEntry(c), AddPhoneResult::ListFull);
  EXPECT_FALSE(r.AppendPhoneEntry("9"));
  EXPECT_EQ(r.ListaTlf.size(), 8u);
  EXPECT_FALSE(r.HasPriorityNumber());
  r.ListaTlf[7] = "5,Prio=1,PRV2";
  EXPECT_TRUE(r.HasPriorityNumber());
  r.DeletePhoneEntry(7);
  r.DeletePhoneEntry(99);  // no selection: nothing happens
  EXPECT_EQ(r.ListaTlf.size(), 7u);
  EXPECT_FALSE(r.HasPriorityNumber());
}

TEST(ListRules, ANoSelectionMacroBecomesNoWhenItsInputChanges) {
  ConfigurationRecord r;
  r.Digital[0].MACRO_FALSE = kNoSelection;
  r.SetDigitalHabil(0, true);
  EXPECT_EQ(r.Digital[0].MACRO_FALSE, 0);
  r.Timers[2].MACRO = kNoSelection;
  r.SetTimerHabil(2, true);
  EXPECT_EQ(r.Timers[2].MACRO, 0);
  r.Analog[1].MACRO_NOM = kNoSelection;
  r.SetAnalogHabil(1, false);
  EXPECT_EQ(r.Analog[1].MACRO_NOM, 0);
  r.SetPinHabil(true);
  r.General.PIN = "12";
  r.SetPinHabil(false);
  EXPECT_EQ(r.General.PIN, "");
}

}  // namespace
}  // namespace zdl
