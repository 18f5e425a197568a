#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "model/number_format.h"
#include "model/validators.h"

namespace zdl {
namespace {

struct SampleText {
  const char* text;
  bool num;
  bool integer;
  bool time;
  double value;
};

// The sample texts every validator must agree on.
const SampleText kSamples[] = {
    {"", false, false, false, 0},
    {"30000", true, true, false, 30000},
    {"2.5", true, false, false, 2.5},
    {"2,5", false, false, false, 2},
    {"-7", true, true, false, -7},
    {"+34609090909", true, true, false, 34609090909},
    {"1E3", true, true, false, 1000},
    {"12abc", false, false, false, 12},
    {"12:00", false, false, true, 12},
    {"00:00", false, false, true, 0},
    {"23:59", false, false, true, 23},
    {"24:00", false, false, false, 24},
    {"12:60", false, false, false, 12},
    {"1200", true, true, false, 1200},
    {":30", false, false, false, 0},
    {"9:30", false, false, true, 9},     // minute part "0"
    {"12:5", false, false, false, 12},   // minute part ":5"
    {"12:345", false, false, true, 12},  // minute part "45"
    {"-1:00", false, false, false, -1},
    {" 12 ", true, true, false, 12},
    {"5.", true, false, false, 5},
    {"2.0", true, false, false, 2},
};

TEST(Validators, SampleTable) {
  for (const SampleText& s : kSamples) {
    SCOPED_TRACE(std::string("text \"") + s.text + "\"");
    EXPECT_EQ(CheckNum(s.text), s.num);
    EXPECT_EQ(CheckInt(s.text), s.integer);
    EXPECT_EQ(CheckTime(s.text), s.time);
    EXPECT_DOUBLE_EQ(NumericValue(s.text), s.value);
  }
}

TEST(Validators, NumberTextForms) {
  const std::pair<const char*, bool> cases[] = {
      {".5", true},      {"5.", true},       {"-.5", true},      {"+0", true},
      {"1e3", true},     {"1E+3", true},     {"1E-3", true},     {"\t7\t", true},
      {"   ", false},    {".", false},       {"-", false},       {"+", false},
      {"1E", false},     {"E3", false},      {"1E+", false},     {"1.2.3", false},
      {"1 2", false},    {"- 5", false},     {"&H10", false},    {"0x10", false},
      {"1,000", false},  {"1D3", false},     {"++1", false},     {"1e3.5", false},
      {"1E999", false},  {"-1E999", false},  {"1E-999", true},   {"12\n", false},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(IsNumberText(text), expected) << '"' << text << '"';
  }
}

TEST(Validators, CheckTimeLooksOnlyAtBothEnds) {
  EXPECT_TRUE(CheckTime("1:2"));
  EXPECT_TRUE(CheckTime("12:xx30"));  // characters in between are not looked at
  EXPECT_FALSE(CheckTime("1:"));      // minute part is the colon itself
  EXPECT_FALSE(CheckTime("12"));
  EXPECT_FALSE(CheckTime("a:00"));
  EXPECT_TRUE(CheckTime(" 8:0 "));    // hour " 8", minute "0 "
  EXPECT_FALSE(CheckTime("23:-1"));
}

TEST(Validators, NumericValueReadsTheLeadingNumber) {
  const std::pair<const char*, double> cases[] = {
      {"30x", 30},        {"abc", 0},          {"1 2", 12},      {" - 5", -5},
      {"1.5.2", 1.5},     {"12E", 12},         {"1e+5x", 1e5},   {"2E-1", 0.2},
      {".25", 0.25},      {"+", 0},            {"-", 0},         {"E5", 0},
      {"0x1F", 0},        {"1E-999", 0},       {"\t4\t2", 42},   {"7:30", 7},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_DOUBLE_EQ(NumericValue(text), expected) << '"' << text << '"';
  }
}

TEST(Validators, NumericValueSaturatesBeyondDoubleRange) {
  EXPECT_EQ(NumericValue("1E999"), std::numeric_limits<double>::max());
  EXPECT_EQ(NumericValue("-1E999"), std::numeric_limits<double>::lowest());
  EXPECT_EQ(NumericValue(std::string(400, '9')), std::numeric_limits<double>::max());
}

TEST(NumberFormat, SignSpaced) {
  const std::pair<double, const char*> cases[] = {
      {3, " 3"},
      {14, " 14"},
      {2.5, " 2.5"},
      {-0.25, "-0.25"},
      {0.5, " 0.5"},
      {0, " 0"},
      {-0.0, " 0"},
      {-1, "-1"},
      {34609090909, " 34609090909"},
      {2.3 * 10, " 23"},       // 15 significant digits hide the binary error
      {0.1 + 0.2, " 0.3"},
      {1e15, " 1E+15"},
      {1e-5, " 1E-05"},
      {-123456789012345678.0, "-1.23456789012346E+17"},
      {std::numeric_limits<double>::infinity(), " 1.79769313486232E+308"},
  };
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(SignSpaced(value), expected) << value;
  }
}

TEST(NumberFormat, Rounding) {
  const struct {
    double value, even, away;
  } cases[] = {
      {0.5, 0, 1},   {1.5, 2, 2},    {2.5, 2, 3},    {-0.5, 0, -1},
      {-2.5, -2, -3}, {2.4, 2, 2},   {2.6, 3, 3},    {-2.6, -3, -3},
      {7, 7, 7},     {1e300, 1e300, 1e300},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RoundHalfEven(c.value), c.even) << c.value;
    EXPECT_EQ(RoundHalfAway(c.value), c.away) << c.value;
  }
}

TEST(NumberFormat, ZeroPadded) {
  const struct {
    double value;
    int digits;
    const char* expected;
  } cases[] = {
      {120, 5, "00120"},  {5, 4, "0005"},        {0, 5, "00000"},
      {2.5, 4, "0003"},   {-2.5, 4, "-0003"},    {-5, 4, "-0005"},
      {-0.4, 4, "0000"},  {123456, 5, "123456"}, {1e20, 5, "100000000000000000000"},
      {7, 0, "7"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ZeroPadded(c.value, c.digits), c.expected) << c.value;
  }
  EXPECT_EQ(ZeroPadded(std::numeric_limits<double>::max(), 5).size(), 309u);
}

TEST(NumberFormat, Hex4) {
  EXPECT_EQ(Hex4(0), "0000");
  EXPECT_EQ(Hex4(9), "0009");
  EXPECT_EQ(Hex4(255), "00FF");
  EXPECT_EQ(Hex4(0xABCD), "ABCD");
  EXPECT_EQ(Hex4(0xFFFF), "FFFF");
}

}  // namespace
}  // namespace zdl
