#include "core/series/series.h"
#include "core/series/table_workbook.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "support/curve_generator.h"

namespace marvek {
namespace {

using testing::CurveShape;
using testing::CurveText;
using testing::GenerateCurve;
using testing::TempDir;

// An independent textbook computation (one pass, long double) to hold the summary against.
void ExpectMeanAndSd(const std::vector<double>& v, const QuantityStatistics& s) {
    long double sum = 0, sq = 0;
    for (double x : v) sum += x;
    const long double mean = sum / v.size();
    for (double x : v) sq += (x - mean) * (x - mean);
    const double sd = static_cast<double>(std::sqrt(sq / (v.size() - 1)));
    EXPECT_NEAR(s.mean, static_cast<double>(mean), 1e-12 * std::fabs(static_cast<double>(mean)));
    EXPECT_NEAR(s.sd, sd, 1e-9 * sd);
}

TEST(SeriesStatistics, StudentTAgreesWithTablesAndTheSummaryWithAnIndependentSum) {
    // Reference quantiles t(0.975, dof) to 16 digits.
    const std::pair<double, double> table[] = {
        {1, 12.706204736174707},  {2, 4.302652729749464},   {4, 2.7764451051977987},
        {15, 2.1314495455597742}, {30, 2.0422724563012373}, {1000, 1.9623390808264078}};
    for (const auto& [dof, t] : table) EXPECT_NEAR(StudentTQuantile(0.975, dof), t, 1e-12 * t);
    EXPECT_NEAR(StudentTQuantile(0.025, 4), -2.7764451051977987, 1e-12);
    EXPECT_TRUE(std::isnan(StudentTQuantile(1.0, 3)));

    const std::vector<double> v = {1, 2, 3, 4, 10, std::nan(""), INFINITY};
    const QuantityStatistics s = ComputeStatistics(v);
    EXPECT_EQ(s.n, 5u);  // not-a-number values do not count
    ExpectMeanAndSd({1, 2, 3, 4, 10}, s);
    EXPECT_DOUBLE_EQ(s.cov, 100 * std::sqrt(12.5) / 4);
    EXPECT_DOUBLE_EQ(s.se, std::sqrt(12.5) / std::sqrt(5.0));
    EXPECT_NEAR(s.ciHigh - s.mean, 2.7764451051977987 * s.se, 1e-12);
    EXPECT_EQ(s.median, 3);
    EXPECT_EQ(s.min, 1);
    EXPECT_EQ(s.max, 10);
    EXPECT_EQ(ComputeStatistics({4, 1, 3, 2}).median, 2.5);

    // One value: a mean but no spread; none: nothing at all (never zeros).
    const QuantityStatistics one = ComputeStatistics({7});
    EXPECT_EQ(one.n, 1u);
    EXPECT_EQ(one.mean, 7);
    EXPECT_EQ(one.median, 7);
    EXPECT_TRUE(std::isnan(one.sd) && std::isnan(one.cov) && std::isnan(one.se) &&
                std::isnan(one.ciLow));
    const QuantityStatistics none = ComputeStatistics({});
    EXPECT_EQ(none.n, 0u);
    EXPECT_TRUE(std::isnan(none.mean) && std::isnan(none.min) && std::isnan(none.median));
}

// Eight similar indents with noise and one that went far deeper.
struct SeriesFiles {
    TempDir dir;
    std::vector<SeriesInput> inputs;
    SeriesFiles(int count, int deepOne) {
        for (int k = 0; k < count; ++k) {
            CurveShape shape;
            shape.seed = static_cast<unsigned>(k + 1);
            shape.topHoldPoints = 20;
            shape.unloadToFraction = 0.05;
            shape.bottomHoldPoints = 30;
            shape.noiseLoad = 0.001;
            shape.hMax = 100 + 0.7 * k;
            if (k == deepOne) shape.hMax = 160, shape.hf = 90;
            const std::string name = "indent_" + std::to_string(k) + ".csv";
            const auto file = dir.Write(name, CurveText(GenerateCurve(shape), {}));
            inputs.push_back({file.string(), file.string(), ""});
        }
    }
};

std::vector<std::string> Codes(const SeriesCurve& c) {
    std::vector<std::string> codes;
    for (const QualityFlag& f : c.flags) codes.push_back(f.code);
    return codes;
}

TEST(Series, TheDeepIndentIsTheOnlyFlaggedOneAndParallelRowsEqualOneThread) {
    SeriesFiles files(9, 4);
    Settings settings;
    Series one, many;
    std::size_t calls = 0, last = 0;
    SeriesOptions o1;
    o1.threads = 1;
    ASSERT_TRUE(RunSeries(files.inputs, settings, {}, one, o1));
    SeriesOptions o4;
    o4.threads = 4;
    o4.progress = [&](std::size_t done, std::size_t total) {
        ++calls;
        last = done;
        EXPECT_EQ(total, 9u);
    };
    ASSERT_TRUE(RunSeries(files.inputs, settings, {}, many, o4));
    EXPECT_EQ(calls, 9u);
    EXPECT_EQ(last, 9u);

    ASSERT_EQ(one.curves.size(), 9u);
    for (std::size_t i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        const SeriesCurve& a = one.curves[i];
        const SeriesCurve& b = many.curves[i];
        ASSERT_TRUE(a.ok) << a.error;
        for (std::size_t k = 0; k < a.values.size(); ++k)
            EXPECT_EQ(std::memcmp(&a.values[k], &b.values[k], sizeof(double)), 0);
        EXPECT_EQ(Codes(a), Codes(b));
        if (i == 4) {
            const std::vector<std::string> codes = Codes(a);
            EXPECT_NE(std::find(codes.begin(), codes.end(), "outlier-hmax"), codes.end());
            const QualityFlag& f = a.flags.front();
            EXPECT_NE(f.sentence.find("maximum depth"), std::string::npos) << f.sentence;
            EXPECT_FALSE(f.numbers.empty());
        } else {
            EXPECT_TRUE(a.flags.empty()) << FlagSentencesText(a);
        }
    }
    // Flags inform: the deep indent stays in until the user or a rule leaves it out.
    const int hmax = FindSeriesQuantity("hmax");
    std::vector<double> all, kept;
    for (const SeriesCurve& c : one.curves) {
        all.push_back(c.values[hmax]);
        if (&c != &one.curves[4]) kept.push_back(c.values[hmax]);
    }
    EXPECT_EQ(one.summary.quantities[hmax].n, 9u);
    ExpectMeanAndSd(all, one.summary.quantities[hmax]);

    Series byRule = one;
    byRule.excludeCodes = {"outlier-hmax"};
    RefreshSeries(byRule);
    EXPECT_FALSE(byRule.curves[4].included);
    EXPECT_EQ(byRule.curves[4].exclusionReason, "flagged outlier-hmax");
    ASSERT_EQ(byRule.summary.excluded.size(), 1u);
    EXPECT_EQ(byRule.summary.quantities[hmax].n, 8u);
    ExpectMeanAndSd(kept, byRule.summary.quantities[hmax]);

    // The user's choice: no analysis runs again, only the summary and outliers follow.
    Series byUser = one;
    byUser.curves[4].userExcluded = true;
    byUser.curves[4].values[hmax] = 1e6;  // would show if the summary still counted it
    RefreshSeries(byUser);
    EXPECT_EQ(byUser.summary.excluded[0].reason, "excluded by the user");
    ExpectMeanAndSd(kept, byUser.summary.quantities[hmax]);
}

TEST(Series, FailedCurvesAreNamedAndGiveNoStatisticsNotZeros) {
    TempDir dir;
    const auto bad = dir.Write("bad.csv", "no header here\n1,2\n");
    std::vector<SeriesInput> inputs = {{"missing.csv", (dir.path() / "missing.csv").string(), ""},
                                       {"bad.csv", bad.string(), ""}};
    Series s;
    ASSERT_TRUE(RunSeries(inputs, Settings{}, {}, s));
    EXPECT_EQ(s.summary.failed, 2u);
    EXPECT_EQ(s.summary.included, 0u);
    ASSERT_EQ(s.summary.excluded.size(), 2u);
    EXPECT_NE(s.summary.excluded[0].reason.find("missing.csv"), std::string::npos);
    for (const QuantityStatistics& q : s.summary.quantities) {
        EXPECT_EQ(q.n, 0u);
        EXPECT_TRUE(std::isnan(q.mean));
    }
    // One good curve among them: n = 1 and no standard deviation.
    SeriesFiles one(1, -1);
    inputs.push_back(one.inputs[0]);
    ASSERT_TRUE(RunSeries(inputs, Settings{}, {}, s));
    EXPECT_EQ(s.summary.quantities[FindSeriesQuantity("EIT")].n, 1u);
    EXPECT_TRUE(std::isnan(s.summary.quantities[FindSeriesQuantity("EIT")].sd));
    const std::string csv = FormatSeriesCsv(s);
    EXPECT_NE(csv.find("summary,,,,sd,,,,,,,,,,,,,,,,,,,\n"), std::string::npos) << csv;

    std::atomic<bool> cancel{true};
    SeriesOptions o;
    o.cancel = &cancel;
    EXPECT_FALSE(RunSeries(inputs, Settings{}, {}, s, o));
}

// Each per-curve flag on a curve built to earn it, and its threshold as a setting.
TEST(Series, CurveFlagsFollowTheirThresholds) {
    TempDir dir;
    auto row = [&](const CurveShape& shape, const Settings& settings, bool dropStart = false) {
        std::vector<testing::GeneratedPoint> points = GenerateCurve(shape);
        if (dropStart) points.erase(points.begin(), points.begin() + 100);
        const auto file = dir.Write("c.csv", CurveText(points, {}));
        Series s;
        EXPECT_TRUE(RunSeries({{file.string(), file.string(), ""}}, settings, {}, s));
        return Codes(s.curves[0]);
    };
    using V = std::vector<std::string>;
    CurveShape clean;
    clean.topHoldPoints = 10;
    clean.bottomHoldPoints = 30;
    clean.unloadToFraction = 0.05;
    Settings settings;
    EXPECT_EQ(row(clean, settings), V{});

    CurveShape loadOnly = clean;
    loadOnly.unloadPoints = 0;
    loadOnly.bottomHoldPoints = 0;
    EXPECT_EQ(row(loadOnly, settings), V{"no-unload"});

    CurveShape sparse = clean;
    sparse.unloadPoints = 20;  // about 12 points in the 20-82 % section
    EXPECT_EQ(row(sparse, settings), V{"few-fit-points"});
    Settings fewer = settings;
    fewer.quality.m_dMinFitPoints = 5;
    EXPECT_EQ(row(sparse, fewer), V{});

    CurveShape drifting = clean;
    drifting.driftRate = 0.5;
    EXPECT_EQ(row(drifting, settings), V{});  // drift correction off: nothing to judge
    Settings drift = settings;
    drift.strategy.m_bDriftCorrection = 1;
    EXPECT_EQ(row(drifting, drift), V{});  // the rate measured on this hold is about 0.014
    drift.quality.m_dMaxDriftRate = 0.01;
    EXPECT_EQ(row(drifting, drift), V{"drift"});

    // Starting at (100/200)^2 = 25 % of the maximum load.
    EXPECT_EQ(row(clean, settings, true), V{"zero-offset"});

    CurveShape noisy = clean;
    noisy.noiseDepth = 3;
    const V codes = row(noisy, settings);
    EXPECT_NE(std::find(codes.begin(), codes.end(), "slip"), codes.end());
    Settings tolerant = settings;
    tolerant.quality.m_dSlipDepth = 100;
    tolerant.quality.m_dMinRSquared = 0;
    EXPECT_EQ(row(noisy, tolerant), V{});
}

TEST(Series, WorkbookHasThreeSheetsAndNamesStayText) {
    SeriesFiles files(3, -1);
    files.inputs[0].address = "=HYPERLINK(\"x\")";
    Series s;
    ASSERT_TRUE(RunSeries(files.inputs, Settings{}, {}, s));
    const auto book = files.dir.path() / "out.xlsx";
    const Status written = WriteSeriesWorkbook(s, book);
    ASSERT_TRUE(written.ok()) << written.message();
    auto member = [&](const char* name) {
        const std::string command = "unzip -p '" + book.string() + "' " + name;
        FILE* pipe = ::popen(command.c_str(), "r");
        std::string text;
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
        ::pclose(pipe);
        return text;
    };
    const std::string workbook = member("xl/workbook.xml");
    for (const char* sheet : {"Curves", "Summary", "Settings"})
        EXPECT_NE(workbook.find(std::string("name=\"") + sheet + "\""), std::string::npos);
    EXPECT_NE(member("xl/sharedStrings.xml").find("=HYPERLINK"), std::string::npos);
    EXPECT_EQ(member("xl/worksheets/sheet1.xml").find("<f>"), std::string::npos);
    EXPECT_NE(member("xl/sharedStrings.xml").find("Marvek "), std::string::npos);

    const Status failed = WriteSeriesWorkbook(s, files.dir.path() / "no" / "x.xlsx");
    EXPECT_FALSE(failed.ok());
    EXPECT_NE(failed.message().find("x.xlsx"), std::string::npos) << failed.message();
}

// A table longer than a sheet goes on on a second sheet with its header; texts stay text.
TEST(Series, TableWorkbookSplitsALongTableAtTheSheetsLastRow) {
    SeriesFiles files(1, -1);
    const auto book = files.dir.path() / "long.xlsx";
    WorkbookSheet sheet{"T", {"n", "name"}, kWorkbookSheetRows + 2, {}};
    sheet.fill = [](std::size_t row, std::vector<WorkbookCell>& c) {
        c[0].number = static_cast<double>(row);
        if (row + 1 == kWorkbookSheetRows + 2) c[1] = {0, "=last", true};
    };
    const Status written = WriteTableWorkbook({sheet}, book);
    ASSERT_TRUE(written.ok()) << written.message();
    const auto member = [&](const char* name) {
        std::string text;
        FILE* pipe = ::popen(("unzip -p '" + book.string() + "' " + name).c_str(), "r");
        char buffer[65536];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            text.append(buffer, n);
        ::pclose(pipe);
        return text;
    };
    EXPECT_NE(member("xl/workbook.xml").find("name=\"T 2\""), std::string::npos);
    // The first sheet ends at the last row a sheet has; the second holds the header and the
    // last two rows, numbered on.
    const std::string first = member("xl/worksheets/sheet1.xml");
    EXPECT_NE(first.find("<row r=\"1048576\""), std::string::npos);
    EXPECT_NE(first.find("<v>1048574</v>"), std::string::npos);
    const std::string second = member("xl/worksheets/sheet2.xml");
    EXPECT_NE(second.find("<v>1048575</v>"), std::string::npos);
    EXPECT_NE(second.find("<v>1048576</v>"), std::string::npos);
    EXPECT_EQ(second.find("<row r=\"4\""), std::string::npos);
    EXPECT_NE(second.find("=last"), std::string::npos);
    EXPECT_EQ(second.find("<f>"), std::string::npos);
}

// A curve's own unloading fit range is the settings with that range and nothing else, for
// either method; the row says so with its flag and the others are untouched.
TEST(Series, ACustomFitRangeGivesTheResultsOfSettingsWithThatRange) {
    SeriesFiles files(3, -1);
    for (int method : {0, 1}) {
        SCOPED_TRACE(method);
        Settings settings;
        settings.strategy.m_nMethod = method;
        const UnloadFitRange range{method == 0 ? 35.5f : 60.0f, method == 0 ? 92.0f : 97.5f};
        std::vector<SeriesInput> inputs = files.inputs;
        inputs[1].fitRange = range;
        Series custom, plain, ranged;
        ASSERT_TRUE(RunSeries(inputs, settings, {}, custom, {1}));
        ASSERT_TRUE(RunSeries(files.inputs, settings, {}, plain, {1}));
        ASSERT_TRUE(RunSeries(files.inputs, WithFitRange(settings, range), {}, ranged, {1}));
        EXPECT_EQ(FitRangeOf(WithFitRange(settings, range)), range);
        for (std::size_t q = 0; q < SeriesQuantities().size(); ++q) {
            const auto same = [](double a, double b) { return a == b || (a != a && b != b); };
            EXPECT_TRUE(same(custom.curves[1].values[q], ranged.curves[1].values[q]))
                << SeriesQuantities()[q].key;
            EXPECT_TRUE(same(custom.curves[0].values[q], plain.curves[0].values[q]))
                << SeriesQuantities()[q].key;
        }
        const int eit = FindSeriesQuantity("EIT");
        EXPECT_NE(custom.curves[1].values[static_cast<std::size_t>(eit)],
                  plain.curves[1].values[static_cast<std::size_t>(eit)]);
        EXPECT_TRUE(custom.curves[1].HasFlag(flag::kCustomRange));
        EXPECT_FALSE(custom.curves[0].HasFlag(flag::kCustomRange));
        EXPECT_NE(FlagSentencesText(custom.curves[1]).find("Custom range"), std::string::npos);
    }
}

// Each test of a workbook is its own row, not the file's first test again.
TEST(Series, EveryTestOfAWorkbookIsAnalysedAsItself) {
    const std::string file = std::string(MARVEK_TEST_DATA) + "/vendor/FS_XP.xls";
    std::vector<SeriesInput> inputs;
    for (const char* test : {"Test 008", "Test 009"})
        inputs.push_back({file + "#" + test, file, test});
    Series s;
    ASSERT_TRUE(RunSeries(inputs, Settings{}, {}, s, {1}));
    const auto hmax = static_cast<std::size_t>(FindSeriesQuantity("hmax"));
    ASSERT_TRUE(s.curves[0].ok && s.curves[1].ok) << s.curves[0].error << s.curves[1].error;
    EXPECT_NE(s.curves[0].values[hmax], s.curves[1].values[hmax]);
    for (std::size_t k = 0; k < 2; ++k) {
        CCurveAnalyzer a;
        a.SetAddresses({inputs[k].address});
        CurveDisplay d;
        ASSERT_TRUE(AnalyzeCurve(a, 0, Settings{}, d).ok());
        EXPECT_EQ(s.curves[k].values[hmax], a.m_dHmax) << k;
    }
}

}  // namespace
}  // namespace marvek
