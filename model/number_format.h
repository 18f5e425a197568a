// Number texts as the unit and the editors write them.
#pragma once

#include <cstdint>
#include <string>

namespace zdl {

// One leading blank when zero or positive, "-" when negative; a whole number has no
// decimal point, any other uses "." and no trailing zeros: 3 -> " 3", 2.5 -> " 2.5",
// -0.25 -> "-0.25", 34609090909 -> " 34609090909".
std::string SignSpaced(double value);

// Round half to even (the rounding of list indexes, times and tenths read back).
double RoundHalfEven(double value);
// Round half away from zero (the zero-padded decimal fields).
double RoundHalfAway(double value);

// The value rounded (halves away from zero) and written with at least `digits` digits,
// zeros on the left; a negative number gets a leading "-".
std::string ZeroPadded(double value, int digits);

// Upper-case hexadecimal, zero-padded to four digits: 9 -> "0009", 255 -> "00FF".
std::string Hex4(std::uint16_t value);

}  // namespace zdl
