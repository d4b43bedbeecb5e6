#include "core/io/number_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>

namespace marvek {
namespace {

std::string CFormat(const char* format, double v) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, v);
    return buffer;
}

// Our formatting must be byte-identical to the C library's in the C locale, including rounding
// of halfway cases and the exponent form of %g.
TEST(NumberFormat, MatchesCLibraryInCLocale) {
    std::setlocale(LC_ALL, "C");
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> mantissa(-10, 10);
    std::uniform_int_distribution<int> exponent(-12, 12);
    for (int k = 0; k < 20000; ++k) {
        const double v = mantissa(rng) * std::pow(10.0, exponent(rng));
        ASSERT_EQ(FormatFixed(v, 2), CFormat("%.2f", v)) << v;
        ASSERT_EQ(FormatFixed(v, 6), CFormat("%.6f", v)) << v;
        ASSERT_EQ(FormatSignificant(v, 7), CFormat("%.7g", v)) << v;
        ASSERT_EQ(FormatSignificant(v, 20), CFormat("%.20g", v)) << v;
    }
    for (double v : {0.0, -0.0, 0.125, 2.5, 1e21, 1e-5, 123456789.0, 0.5e-7}) {
        EXPECT_EQ(FormatFixed(v, 2), CFormat("%.2f", v));
        EXPECT_EQ(FormatSignificant(v, 7), CFormat("%.7g", v));
    }
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::infinity(), 2), "inf");
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::quiet_NaN(), 2), "nan");
}

TEST(NumberFormat, ParsesLikeStrtodInTheCLocale) {
    struct Case {
        const char* text;
        double value;
        std::size_t consumed;
    };
    const Case cases[] = {
        {"17.26392, 0.1", 17.26392, 8},
        {"  -3e2x", -300, 6},
        {"+.5", 0.5, 3},
        {"abc", 0, 0},
        {"", 0, 0},
        {" 0x10", 16, 5},
        {"5.", 5, 2},
        {"1e", 1, 1},
        {"\t\n7", 7, 3},
    };
    for (const Case& c : cases) {
        std::size_t consumed = 99;
        EXPECT_EQ(ParseDouble(c.text, &consumed), c.value) << c.text;
        EXPECT_EQ(consumed, c.consumed) << c.text;
    }
    EXPECT_TRUE(std::isinf(ParseDouble("1e999")));
    EXPECT_TRUE(std::isinf(ParseDouble("-inf")));
    EXPECT_TRUE(std::isnan(ParseDouble("nan")));
    EXPECT_EQ(ParseDouble("1e-999"), 0.0);
    EXPECT_EQ(ParseInt(" 42abc"), 42);
    EXPECT_EQ(ParseInt("-7"), -7);
    EXPECT_EQ(ParseInt("99999999999"), std::numeric_limits<int>::max());
    EXPECT_EQ(ParseFloat("0.070000"), 0.07f);
}

// A desktop locale with decimal commas must not change a single byte of what we write or read.
TEST(NumberFormat, IgnoresTheProcessLocale) {
    const char* commaLocales[] = {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "C.UTF-8"};
    for (const char* name : commaLocales) {
        if (!std::setlocale(LC_ALL, name)) continue;
        EXPECT_EQ(FormatFixed(1.5, 2), "1.50");
        EXPECT_EQ(FormatSignificant(0.1234567891, 7), "0.1234568");
        EXPECT_EQ(ParseDouble("2.25"), 2.25);
    }
    std::setlocale(LC_ALL, "C");
}

// Plain decimals take a short path of their own; it must give from_chars' double bit for bit and
// stop where from_chars stops, at the edges of its range (19 digits, 2^53, 22 decimals) too.
TEST(NumberFormat, PlainDecimalsReadAsFromChars) {
    auto fromChars = [](const std::string& t, std::size_t& used) {
        double v = 0;
        const auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
        used = ec == std::errc() ? static_cast<std::size_t>(ptr - t.data()) : 0;
        return v;
    };
    auto same = [&](const std::string& t) {
        std::size_t expectUsed = 0, used = 0;
        const double expect = fromChars(t, expectUsed);
        const double got = ParseDouble(t, &used);
        ASSERT_EQ(used, expectUsed) << t;
        if (used) {
            ASSERT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(expect)) << t;
        }
    };
    for (const char* t : {"0",
                          "0.0",
                          "5.",
                          ".5",
                          ".",
                          "1.5.3",
                          "12,5",
                          "1e5",
                          "2.5E-3",
                          "1e",
                          "9007199254740992",
                          "9007199254740993",
                          "90071992547409921",
                          "0.1234567890123456789",
                          "1234567890123456789",
                          "12345678901234567890",
                          "0.0000000000000000000001",
                          "0.00000000000000000000001",
                          "007.50x",
                          "4503599627370497.5",
                          "0.30000000000000004"})
        same(t);
    std::mt19937_64 rng(11);
    for (int k = 0; k < 200000; ++k) {
        std::string t;
        const int digits = 1 + static_cast<int>(rng() % 20);
        const int point = static_cast<int>(rng() % (digits + 2));
        for (int i = 0; i < digits; ++i) {
            if (i == point) t += '.';
            t += static_cast<char>('0' + rng() % 10);
        }
        same(t);
    }
}

// Decimal commas are read where they stand, as if every comma had been made a point first.
TEST(NumberFormat, DecimalCommasReadAsPoints) {
    std::mt19937_64 rng(5);
    const char pool[] = "0123456789,,..e-+ x";
    for (int k = 0; k < 100000; ++k) {
        std::string t;
        for (int i = 0, n = 1 + static_cast<int>(rng() % 12); i < n; ++i)
            t += pool[rng() % (sizeof pool - 1)];
        std::string points = t;
        std::replace(points.begin(), points.end(), ',', '.');
        std::size_t used = 0, expectUsed = 0;
        const double got = ParseDoubleDecimalComma(t, &used);
        const double expect = ParseDouble(points, &expectUsed);
        ASSERT_EQ(used, expectUsed) << t;
        ASSERT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(expect)) << t;
    }
}

TEST(NumberFormat, ShortestRoundTrips) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> d(-1e6, 1e6);
    for (int k = 0; k < 5000; ++k) {
        const double v = d(rng);
        EXPECT_EQ(ParseDouble(FormatShortest(v)), v);
    }
    EXPECT_EQ(FormatShortest(-std::numeric_limits<double>::quiet_NaN()), "nan");
}

}  // namespace
}  // namespace marvek
