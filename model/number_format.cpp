#include "model/number_format.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <system_error>

namespace zdl {
namespace {

// A value the formats can write: a text never yields NaN or infinity, but a product
// such as tenths of the largest value can; it is written as the nearest finite value.
double Finite(double value) {
  if (std::isnan(value)) return 0;
  if (std::isinf(value)) {
    return value > 0 ? std::numeric_limits<double>::max()
                     : std::numeric_limits<double>::lowest();
  }
  return value;
}

}  // namespace

std::string SignSpaced(double value) {
  value = Finite(value);
  if (value == 0) return " 0";  // -0 too
  // Fifteen significant digits, as %.15g but independent of the locale's decimal point.
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::general, 15);
  std::string text(buffer.data(), result.ptr);
  for (char& c : text) {
    if (c == 'e') c = 'E';
  }
  return value < 0 ? text : " " + text;
}

double RoundHalfEven(double value) {
  if (!std::isfinite(value)) return value;
  const double floor = std::floor(value);
  const double fraction = value - floor;
  if (fraction < 0.5) return floor;
  if (fraction > 0.5) return floor + 1;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

double RoundHalfAway(double value) { return std::round(value); }

std::string ZeroPadded(double value, int digits) {
  double rounded = RoundHalfAway(Finite(value));
  if (rounded == 0) rounded = 0;  // -0.4 rounds to -0, written "0000"
  // Every digit of the whole number, written exactly and independent of the locale.
  std::array<char, 400> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                    std::fabs(rounded), std::chars_format::fixed, 0);
  std::string magnitude(buffer.data(), result.ptr);
  if (digits > 0 && magnitude.size() < static_cast<std::size_t>(digits)) {
    magnitude.insert(0, static_cast<std::size_t>(digits) - magnitude.size(), '0');
  }
  return rounded < 0 ? "-" + magnitude : magnitude;
}

std::string Hex4(std::uint16_t value) {
  std::array<char, 8> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%04X", static_cast<unsigned>(value));
  return std::string(buffer.data());
}

}  // namespace zdl
