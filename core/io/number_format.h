#pragma once
// The one place where numbers become text and text becomes numbers. Everything here is
// independent of the C and C++ locales.

#include <string>
#include <string_view>

namespace marvek {

// printf("%.*f", decimals, value) in the C locale.
std::string FormatFixed(double value, int decimals);
// printf("%.*g", digits, value) in the C locale; FormatSignificant(v, 7) is the export format.
std::string FormatSignificant(double value, int digits);
// The shortest text that reads back to the same double ("nan", "inf", "-inf" when not finite).
std::string FormatShortest(double value);
// printf("%d").
std::string FormatInt(long long value);

// strtod in the C locale: skips leading white space and converts the longest prefix that forms
// a number (decimal, hexadecimal, inf, nan); 0 when there is none. `consumed` receives the
// number of characters used, 0 when no number was found.
double ParseDouble(std::string_view text, std::size_t* consumed = nullptr);
// ParseDouble of `text` with every comma taken for a decimal point (as if each were replaced by
// '.'), for files written with decimal commas; plain decimals need no copy.
double ParseDoubleDecimalComma(std::string_view text, std::size_t* consumed = nullptr);
// strtof in the C locale (for single-precision settings); same rules as ParseDouble.
float ParseFloat(std::string_view text, std::size_t* consumed = nullptr);
// strtol(text, nullptr, 10) clamped to int.
int ParseInt(std::string_view text, std::size_t* consumed = nullptr);

}  // namespace marvek
