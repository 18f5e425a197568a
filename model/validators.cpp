#include "model/validators.h"

#include <charconv>
#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <system_error>

namespace zdl {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSign(char c) { return c == '+' || c == '-'; }

// Scans a decimal number from `pos`: optional sign, digits with at most one decimal
// point (at least one digit), and an exponent when "E" is followed by an optionally
// signed whole number. Returns the position after the number, or npos when none begins
// there. An unfinished exponent ("12E") is not part of the number.
std::size_t ScanNumber(std::string_view text, std::size_t pos) {
  const std::size_t n = text.size();
  if (pos < n && IsSign(text[pos])) ++pos;
  std::size_t digits = 0;
  while (pos < n && IsDigit(text[pos])) ++pos, ++digits;
  if (pos < n && text[pos] == '.') {
    ++pos;
    while (pos < n && IsDigit(text[pos])) ++pos, ++digits;
  }
  if (digits == 0) return std::string_view::npos;
  if (pos < n && (text[pos] == 'E' || text[pos] == 'e')) {
    std::size_t e = pos + 1;
    if (e < n && IsSign(text[e])) ++e;
    const std::size_t exponent_digits = e;
    while (e < n && IsDigit(text[e])) ++e;
    if (e > exponent_digits) pos = e;
  }
  return pos;
}

// The power of ten of the first significant digit of a scanned unsigned number that is
// not zero ("123.4" -> 2, "0.05E3" -> 1). The exponent saturates, so nothing overflows.
long long DecimalOrder(std::string_view number) {
  const std::size_t exp_pos = number.find_first_of("Ee");
  const std::string_view mantissa = number.substr(0, exp_pos);
  const std::size_t point = mantissa.find('.');
  const std::string_view whole = mantissa.substr(0, point);
  const std::size_t first_whole = whole.find_first_not_of('0');
  long long order = 0;
  if (first_whole != std::string_view::npos) {
    order = static_cast<long long>(whole.size() - first_whole) - 1;
  } else {
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view{} : mantissa.substr(point + 1);
    const std::size_t first_fraction = fraction.find_first_not_of('0');
    if (first_fraction == std::string_view::npos) return -1;  // zero: never out of range
    order = -static_cast<long long>(first_fraction) - 1;
  }
  if (exp_pos == std::string_view::npos) return order;
  std::string_view exponent = number.substr(exp_pos + 1);
  const bool negative = !exponent.empty() && exponent.front() == '-';
  if (!exponent.empty() && IsSign(exponent.front())) exponent.remove_prefix(1);
  long long e = 0;
  for (const char c : exponent) {
    if (e < 1'000'000) e = e * 10 + (c - '0');
  }
  return order + (negative ? -e : e);
}

// The value of a scanned number ("-12.5E3"). std::from_chars ignores the locale, so the
// decimal point is always the full stop; it takes no sign, which is split off here.
// Empty when the value is too large for a double; a value too small for one reads 0.
std::optional<double> ValueOf(std::string_view number) {
  bool negative = false;
  if (!number.empty() && IsSign(number.front())) {
    negative = number.front() == '-';
    number.remove_prefix(1);
  }
  double value = 0;
  const char* first = number.data();
  const char* last = first + number.size();
  const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    if (DecimalOrder(number) >= 0) return std::nullopt;
    value = 0;
  } else if (error != std::errc{} || end != last) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

}  // namespace

bool IsNumberText(std::string_view text) {
  std::size_t first = 0;
  while (first < text.size() && IsBlank(text[first])) ++first;
  const std::size_t end = ScanNumber(text, first);
  if (end == std::string_view::npos) return false;
  for (std::size_t i = end; i < text.size(); ++i) {
    if (!IsBlank(text[i])) return false;
  }
  // The platform's conversion fails on a number too large for a double.
  return ValueOf(text.substr(first, end - first)).has_value();
}

bool CheckNum(std::string_view text) {
  return text.find(',') == std::string_view::npos && IsNumberText(text);
}

bool CheckInt(std::string_view text) {
  return text.find(',') == std::string_view::npos &&
         text.find('.') == std::string_view::npos && IsNumberText(text);
}

bool CheckTime(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  // The hour part is what stands before the colon; the minute part is as many
  // characters taken from the end of the text.
  const std::string_view hour = text.substr(0, colon);
  const std::string_view minute = text.substr(text.size() - colon);
  if (!IsNumberText(hour) || !IsNumberText(minute)) return false;
  const double h = NumericValue(hour);
  const double m = NumericValue(minute);
  return h >= 0 && h < 24 && m >= 0 && m < 60;
}

double NumericValue(std::string_view text) {
  // Blanks anywhere within the leading number are skipped ("1 2" reads 12), so the
  // text is first gathered without them and then scanned.
  std::string compact;
  compact.reserve(text.size());
  for (const char c : text) {
    if (!IsBlank(c)) compact.push_back(c);
  }
  const std::size_t end = ScanNumber(compact, 0);
  if (end == std::string::npos) return 0;
  const auto value = ValueOf(std::string_view(compact).substr(0, end));
  if (value) return *value;
  // Beyond the range of a double: the nearest value, which every range test refuses.
  return compact.front() == '-' ? std::numeric_limits<double>::lowest()
                                : std::numeric_limits<double>::max();
}

LineTextFault CheckLineText(std::string_view text, std::size_t maxLength) {
  for (const char c : text) {
    if (IsControlByte(c)) {
      return {LineTextFault::ControlCharacter, static_cast<unsigned char>(c)};
    }
  }
  if (maxLength != 0 && text.size() > maxLength) return {LineTextFault::TooLong, 0};
  return {};
}

}  // namespace zdl
