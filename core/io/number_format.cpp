#include "core/io/number_format.h"

#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace marvek {

namespace {

std::string ToChars(double value, std::chars_format format, int precision) {
    char buffer[512];  // fixed notation of 1e308 with a few decimals still fits
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
    if (ec != std::errc()) return "nan";
    return std::string(buffer, end);
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// strtod in the C locale for the rare inputs std::from_chars does not take (hexadecimal
// numbers, values out of range).
double CLocaleStrtod(const std::string& text, std::size_t* consumed) {
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    char* end = nullptr;
    double value = strtod_l(text.c_str(), &end, cLocale);
    if (consumed) *consumed = static_cast<std::size_t>(end - text.c_str());
    return value;
}

// Plain decimals, the numbers of nearly every curve file ("123", "-0.0125", ".5", "7."): at most
// 19 digits whose integer value m is at most 2^53, at most 22 of them after the point, no
// exponent. m and 10^k are then exact doubles and one IEEE division rounds m / 10^k correctly,
// the very double from_chars gives, at a fraction of its cost. False for anything else.
// `comma` also takes ',' as the point (text written with decimal commas).
bool PlainDecimal(const char* first, const char* last, double& value, const char*& end,
                  bool comma = false) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    std::uint64_t m = 0;
    int digits = 0, decimals = 0;
    const char* p = first;
    for (; p != last && *p >= '0' && *p <= '9'; ++p, ++digits)
        m = m * 10 + static_cast<unsigned>(*p - '0');
    if (p != last && (*p == '.' || (comma && *p == ','))) {
        for (++p; p != last && *p >= '0' && *p <= '9'; ++p, ++digits, ++decimals)
            m = m * 10 + static_cast<unsigned>(*p - '0');
    }
    if (digits == 0 || digits > 19 || decimals > 22 || m > (std::uint64_t{1} << 53)) return false;
    if (p != last && (*p == 'e' || *p == 'E')) return false;
    value = static_cast<double>(m) / kPowers[decimals];
    end = p;
    return true;
}

}  // namespace

std::string FormatFixed(double value, int decimals) {
    return ToChars(value, std::chars_format::fixed, decimals);
}

std::string FormatSignificant(double value, int digits) {
    return ToChars(value, std::chars_format::general, digits);
}

std::string FormatShortest(double value) {
    if (std::isnan(value)) return "nan";
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc()) return "nan";
    return std::string(buffer, end);
}

std::string FormatInt(long long value) {
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    (void)ec;
    return std::string(buffer, end);
}

double ParseDouble(std::string_view text, std::size_t* consumed) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    std::size_t start = i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    bool hex = last - first >= 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X');
    double value = 0;
    const char* plainEnd = nullptr;
    if (!hex && PlainDecimal(first, last, value, plainEnd)) {
        if (consumed) *consumed = static_cast<std::size_t>(plainEnd - text.data());
        return negative ? -value : value;
    }
    auto [ptr, ec] = hex ? std::from_chars_result{first, std::errc::invalid_argument}
                         : std::from_chars(first, last, value, std::chars_format::general);
    if (!hex && ec == std::errc()) {
        if (consumed) *consumed = static_cast<std::size_t>(ptr - text.data());
        return negative ? -value : value;
    }
    if (!hex && ec == std::errc::invalid_argument) {
        if (consumed) *consumed = 0;
        return 0;
    }
    // Hexadecimal or out of range: let the C library decide (inf, 0 or a denormal).
    std::size_t used = 0;
    std::string copy(text.substr(start, std::min<std::size_t>(text.size() - start, 4096)));
    double result = CLocaleStrtod(copy, &used);
    if (consumed) *consumed = used == 0 ? 0 : start + used;
    return result;
}

double ParseDoubleDecimalComma(std::string_view text, std::size_t* consumed) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    const bool hex = last - first >= 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X');
    double value = 0;
    const char* end = nullptr;
    if (!hex && PlainDecimal(first, last, value, end, true)) {
        if (consumed) *consumed = static_cast<std::size_t>(end - text.data());
        return negative ? -value : value;
    }
    std::string copy(text);
    std::replace(copy.begin(), copy.end(), ',', '.');
    return ParseDouble(copy, consumed);
}

float ParseFloat(std::string_view text, std::size_t* consumed) {
    std::size_t used = 0;
    const double wide = ParseDouble(text, &used);
    if (consumed) *consumed = used;
    if (used == 0 || !std::isfinite(wide)) return static_cast<float>(wide);
    // Convert the same characters straight to float, avoiding a second rounding.
    std::size_t i = 0;
    while (i < used && IsSpace(text[i])) ++i;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    float value = 0;
    auto [ptr, ec] = std::from_chars(text.data() + i, text.data() + used, value);
    if (ec != std::errc() || ptr != text.data() + used) return static_cast<float>(wide);
    return negative ? -value : value;
}

int ParseInt(std::string_view text, std::size_t* consumed) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    std::size_t signPos = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    std::size_t digitsStart = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (value < LLONG_MAX / 10) value = value * 10 + (text[i] - '0');
        ++i;
    }
    if (i == digitsStart) {
        if (consumed) *consumed = 0;
        (void)signPos;
        return 0;
    }
    if (consumed) *consumed = i;
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace marvek
