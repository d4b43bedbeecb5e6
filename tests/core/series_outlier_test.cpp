// Outliers of a series judged against the median and scaled MAD of its reference curves, on rows
// built directly (no analysis runs): which curves are flagged, and the numbers the flag carries.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/series/series.h"

namespace marvek {
namespace {

struct Row {
    double value;
    bool userExcluded = false;
};

// A series whose only finite value per curve is `quantity`.
Series SeriesOf(const char* quantity, const std::vector<Row>& rows) {
    Series s;
    const int k = FindSeriesQuantity(quantity);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SeriesCurve c;
        c.input.address = "c" + std::to_string(i);
        c.ok = true;
        c.values.assign(SeriesQuantities().size(), std::numeric_limits<double>::quiet_NaN());
        c.values[static_cast<std::size_t>(k)] = rows[i].value;
        c.userExcluded = rows[i].userExcluded;
        s.curves.push_back(c);
    }
    return s;
}

std::vector<std::size_t> Flagged(const Series& s, const std::string& code) {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < s.curves.size(); ++i)
        if (s.curves[i].HasFlag(code)) out.push_back(i);
    return out;
}

double Number(const QualityFlag& f, const std::string& name) {
    for (const auto& [key, value] : f.numbers)
        if (key == name) return value;
    return std::numeric_limits<double>::quiet_NaN();
}

struct OutlierCase {
    const char* name;
    const char* quantity;
    const char* code;
    std::vector<Row> rows;
    std::vector<std::size_t> flagged;
    double median, scaledMad;  // of the reference curves
};

// Limit 3 scaled MADs (the default). The scale is 1/Phi^-1(3/4) = 1.4826 (Rousseeuw & Croux,
// J. Am. Stat. Assoc. 88 (1993) 1273).
const OutlierCase kCases[] = {
    // The user's four deep indents stay out of the median and MAD: 110 stands out among the kept
    // five; had they counted, the median would move to 107 and hide it.
    {"UserExcludedCurvesAreNotPartOfTheReference",
     "hmax",
     flag::kOutlierHmax,
     {{100}, {101}, {102}, {103}, {104}, {110}, {200, true}, {201, true}, {202, true}, {203, true}},
     {5, 6, 7, 8, 9},
     102.5,
     1.5 * 1.4826},
    // 103.5 lies 3.5 raw MADs from the median but only 2.36 scaled ones: not an outlier.
    {"TheMadIsScaledToTheStandardDeviation",
     "EIT",
     flag::kOutlierEIT,
     {{90}, {100}, {100}, {101}, {99}, {100}, {102}, {98}, {103.5}},
     {0},
     100,
     1.4826},
    {"HardnessIsJudgedOnItsOwnColumn",
     "HIT",
     flag::kOutlierHIT,
     {{5000}, {5100}, {4900}, {5050}, {4950}, {9000}},
     {5},
     5025,
     75 * 1.4826},
    {"ProfileAveragesAreJudgedAsTheUnloadResults",
     kProfileModulus,
     flag::kOutlierProfileModulus,
     {{72.1}, {72.4}, {71.8}, {72.0}, {60.2}, {72.3}},
     {4},
     72.05,
     0.25 * 1.4826},
};

class SeriesOutliers : public ::testing::TestWithParam<OutlierCase> {};

TEST_P(SeriesOutliers, FlagsExactlyTheCurvesBeyondTheLimit) {
    const OutlierCase& c = GetParam();
    Series s = SeriesOf(c.quantity, c.rows);
    RefreshSeries(s);
    EXPECT_EQ(Flagged(s, c.code), c.flagged);
    ASSERT_FALSE(c.flagged.empty());
    const SeriesCurve& first = s.curves[c.flagged.front()];
    ASSERT_FALSE(first.flags.empty());
    EXPECT_DOUBLE_EQ(Number(first.flags.front(), "median"), c.median);
    EXPECT_NEAR(Number(first.flags.front(), "scaled MAD"), c.scaledMad, 1e-4 * c.scaledMad);
    // A refresh starts from the rows' own flags: doing it twice changes nothing.
    RefreshSeries(s);
    EXPECT_EQ(Flagged(s, c.code), c.flagged);
}

INSTANTIATE_TEST_SUITE_P(Cases, SeriesOutliers, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<OutlierCase>& p) {
                             return std::string(p.param.name);
                         });

}  // namespace
}  // namespace marvek
