#include "model/validators.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "model/number_format.h"

namespace zdl {
namespace {

TEST(Validators, CheckNumAndCheckInt) {
  for (const char* text :
       {"30000", "-7", " 12 ", "+34609090909", "1E3", "1e+3", "1E-999", "\t7\t"}) {
    EXPECT_TRUE(CheckNum(text) && CheckInt(text)) << '"' << text << '"';
  }
  for (const char* text : {"2.5", ".5", "5.", "-.5"}) {
    EXPECT_TRUE(CheckNum(text) && !CheckInt(text)) << '"' << text << '"';
  }
  // Refused (the last two are beyond the range of a double).
  for (const char* text : {"", "   ", ".", "-", "2,5", "12abc", "1E", "E3", "1.2.3", "1 2", "- 5",
                           "&H10", "0x10", "1D3", "++1", "1e3.5", "12\n", "1E999", "-1E999"}) {
    EXPECT_FALSE(CheckNum(text) || CheckInt(text)) << '"' << text << '"';
  }
}

// The minute part is as many characters from the end as the hour part is long.
TEST(Validators, CheckTime) {
  const std::pair<const char*, bool> rows[] = {
      {"23:59", true},  {"9:30", true},   {"12:345", true}, {"24:00", false}, {"12:60", false},
      {"12:5", false},  {"-1:00", false}, {"1200", false},  {"a:00", false},  {"23:-1", false},
  };
  for (const auto& [text, expected] : rows) EXPECT_EQ(CheckTime(text), expected) << text;
}

TEST(Validators, NumericValueReadsTheLeadingNumber) {
  constexpr double kMax = std::numeric_limits<double>::max();
  const std::pair<const char*, double> rows[] = {
      {"", 0},       {"30x", 30},     {"1 2", 12},        {" - 5", -5},    {"\t4\t2", 42},
      {"1.5.2", 1.5}, {"12E", 12},     {"1e+5x", 1e5},     {"2E-1", 0.2},   {".25", 0.25},
      {"+", 0},      {"0x1F", 0},     {"1E-999", 0},      {"1E999", kMax}, {"-1E999", -kMax},
  };
  for (const auto& [text, expected] : rows) EXPECT_DOUBLE_EQ(NumericValue(text), expected) << text;
  EXPECT_EQ(NumericValue(std::string(400, '9')), kMax);
}

TEST(NumberFormat, SignSpaced) {
  // 0.1 + 0.2: fifteen significant digits hide the binary error.
  const std::pair<double, const char*> rows[] = {
      {3, " 3"}, {-0.25, "-0.25"}, {-0.0, " 0"}, {34609090909, " 34609090909"}, {0.1 + 0.2, " 0.3"},
      {1e15, " 1E+15"}, {1e-5, " 1E-05"}, {-123456789012345678.0, "-1.23456789012346E+17"},
      {std::numeric_limits<double>::infinity(), " 1.79769313486232E+308"},
  };
  for (const auto& [value, expected] : rows) EXPECT_EQ(SignSpaced(value), expected) << value;
}

TEST(NumberFormat, RoundingAndZeroPadding) {
  const std::pair<double, double> half_even[] = {{0.5, 0},   {1.5, 2},   {2.5, 2},     {-0.5, 0},
                                                 {-2.5, -2}, {-2.6, -3}, {1e300, 1e300}};
  for (const auto& [value, even] : half_even) EXPECT_EQ(RoundHalfEven(value), even) << value;
  EXPECT_EQ(ZeroPadded(-0.4, 4), "0000");
  EXPECT_EQ(ZeroPadded(std::numeric_limits<double>::max(), 5).size(), 309u);  // every digit
}

TEST(Validators, CheckLineText) {
  using F = LineTextFault;
  const struct { std::string text; std::size_t max; F fault; } rows[] = {
      {"12345", 5, {}},
      {"123456", 5, {F::TooLong, 0}},
      {std::string(100'000, 'x'), 0, {}},  // no limit
      {std::string("a\0", 2), 5, {F::ControlCharacter, 0}},
      {"\x1F", 5, {F::ControlCharacter, 0x1F}},
      {"\x7F", 5, {F::ControlCharacter, 0x7F}},
      {"long\x01text", 3, {F::ControlCharacter, 0x01}},  // reported before the length
      {" ~\x80\x81\xFF\"", 6, {}},  // blanks, quotes and bytes above DEL are characters
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CheckLineText(row.text, row.max), row.fault) << row.text.size();
  }
}

}  // namespace
}  // namespace zdl
