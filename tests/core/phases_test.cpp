// Grid indentation: the phases' mixture on samples drawn from known mixtures, the grid orders,
// the positions join and the interpolated map.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "core/phases/distribution.h"
#include "core/phases/map_data.h"
#include "core/phases/map_picture.h"
#include "core/phases/mixture.h"
#include "core/phases/positions.h"
#include "core/phases/table.h"

namespace marvek::phases {
namespace {

struct TruePhase {
    double weight, meanE, sdE, meanH, sdH, rho;
};

// Draws n indents (E, H) from the mixture (Box-Muller on mt19937_64: the same on every library).
std::vector<std::vector<double>> Draw(const std::vector<TruePhase>& mix, int n, std::uint64_t seed,
                                      int columns = 2) {
    std::mt19937_64 rng(seed);
    auto u = [&] { return (static_cast<double>(rng() >> 11) + 0.5) * 0x1.0p-53; };
    auto normal = [&] { return std::sqrt(-2 * std::log(u())) * std::cos(2 * M_PI * u()); };
    std::vector<std::vector<double>> out;
    int drawn = 0;
    for (std::size_t c = 0; c < mix.size(); ++c) {
        const int count =
            c + 1 == mix.size() ? n - drawn : static_cast<int>(std::lround(mix[c].weight * n));
        drawn += count;
        for (int i = 0; i < count; ++i) {
            const double z1 = normal(), z2 = normal();
            const double e = mix[c].meanE + mix[c].sdE * z1;
            const double h =
                mix[c].meanH +
                mix[c].sdH * (mix[c].rho * z1 + std::sqrt(1 - mix[c].rho * mix[c].rho) * z2);
            out.push_back(columns == 2 ? std::vector<double>{e, h} : std::vector<double>{e});
        }
    }
    return out;
}

TEST(PhaseMixture, RecoversKnownMixtures) {
    constexpr double kWeightTolerance = 0.03, kMeanTolerance = 0.02;
    const struct Case {
        const char* name;
        std::vector<TruePhase> mix;
        int columns;
    } cases[] = {
        {"one phase", {{1.0, 200, 8, 4000, 300, 0.5}}, 2},
        {"particle in matrix 3:1",
         {{0.75, 120, 8, 2500, 200, 0.6}, {0.25, 210, 12, 6000, 450, 0.3}},
         2},
        {"three unequal phases",
         {{0.5, 70, 5, 1000, 100, 0.2},
          {0.3, 140, 8, 3000, 250, 0.5},
          {0.2, 230, 12, 7000, 500, 0.0}},
         2},
        {"two phases, one column", {{0.6, 90, 6, 0, 1, 0}, {0.4, 160, 9, 0, 1, 0}}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto samples = Draw(c.mix, 600, 7, c.columns);
        const MixtureFit fit = FitPhases(samples, {});
        ASSERT_TRUE(fit.status.ok()) << fit.status.reason();
        ASSERT_EQ(fit.k, static_cast<int>(c.mix.size()));
        ASSERT_EQ(fit.bic.size(), 5u);
        double total = 0;
        for (std::size_t p = 0; p < c.mix.size(); ++p) {
            total += fit.phases[p].weight;
            EXPECT_NEAR(fit.phases[p].weight, c.mix[p].weight, kWeightTolerance);
            EXPECT_NEAR(fit.phases[p].mean[0], c.mix[p].meanE, kMeanTolerance * c.mix[p].meanE);
            EXPECT_NEAR(fit.phases[p].sd[0], c.mix[p].sdE, 0.2 * c.mix[p].sdE);
            if (c.columns == 2) {
                EXPECT_NEAR(fit.phases[p].mean[1], c.mix[p].meanH, kMeanTolerance * c.mix[p].meanH);
                EXPECT_NEAR(fit.phases[p].correlation, c.mix[p].rho, 0.15);
            }
        }
        EXPECT_NEAR(total, 1.0, 1e-9);
        ASSERT_EQ(fit.label.size(), samples.size());
        // Sorted by the first column's mean, and the labels follow that order.
        for (std::size_t p = 1; p < fit.phases.size(); ++p)
            EXPECT_LT(fit.phases[p - 1].mean[0], fit.phases[p].mean[0]);
        if (c.mix.size() > 1) {
            EXPECT_EQ(fit.label.front(), 0);
            EXPECT_EQ(fit.label.back(), static_cast<int>(c.mix.size()) - 1);
        }
    }
}

TEST(PhaseMixture, BicCountsEveryFreeParameterAndIsDeterministic) {
    EXPECT_EQ(MixtureParameterCount(1, 1), 2);
    EXPECT_EQ(MixtureParameterCount(2, 2), 11);  // 1 weight, 4 means, 6 covariance terms
    EXPECT_EQ(MixtureParameterCount(3, 2), 17);
    const auto samples = Draw({{0.5, 100, 5, 2000, 100, 0}, {0.5, 150, 5, 3000, 100, 0}}, 300, 3);
    const MixtureFit a = FitPhases(samples, {}), b = FitPhases(samples, {});
    ASSERT_EQ(a.bic.size(), b.bic.size());
    for (std::size_t k = 0; k < a.bic.size(); ++k) {
        EXPECT_EQ(a.bic[k], b.bic[k]);
        EXPECT_NEAR(a.bic[k],
                    -2 * a.logLikelihood[k] +
                        MixtureParameterCount(static_cast<int>(k) + 1, 2) * std::log(300.0),
                    1e-9 * std::abs(a.bic[k]));
    }
    // One Gaussian's maximum likelihood is known in closed form: the sample mean and the
    // (biased) sample covariance.
    const MixtureFit one = FitMixture(samples, 1, {});
    double m = 0;
    for (const auto& s : samples) m += s[0];
    m /= 300;
    double v = 0;
    for (const auto& s : samples) v += (s[0] - m) * (s[0] - m);
    EXPECT_NEAR(one.phases[0].mean[0], m, 1e-9 * m);
    EXPECT_NEAR(one.phases[0].sd[0], std::sqrt(v / 300), 1e-4);
}

TEST(PhaseMixture, TooFewSamplesSayWhy) {
    EXPECT_FALSE(FitPhases({}, {}).status.ok());
    const MixtureFit fit = FitPhases({{1.0, 2.0}, {1.5, 2.5}}, {});
    EXPECT_FALSE(fit.status.ok());
    EXPECT_EQ(fit.k, 0);
    EXPECT_FALSE(FitPhases({{1.0, 2.0}, {1.5}}, {}).status.ok());
}

TEST(GridPositions, EveryOrderAndStartingCorner) {
    // 2 rows x 3 columns, pitch 10 x 5 µm; indices 0..5 in list order.
    const struct Case {
        GridLayout::Order order;
        GridLayout::Corner start;
        std::vector<std::pair<double, double>> expected;
    } cases[] = {
        {GridLayout::Order::Raster,
         GridLayout::Corner::BottomLeft,
         {{0, 0}, {10, 0}, {20, 0}, {0, 5}, {10, 5}, {20, 5}}},
        {GridLayout::Order::Serpentine,
         GridLayout::Corner::BottomLeft,
         {{0, 0}, {10, 0}, {20, 0}, {20, 5}, {10, 5}, {0, 5}}},
        {GridLayout::Order::Raster,
         GridLayout::Corner::TopLeft,
         {{0, 5}, {10, 5}, {20, 5}, {0, 0}, {10, 0}, {20, 0}}},
        {GridLayout::Order::Serpentine,
         GridLayout::Corner::TopRight,
         {{20, 5}, {10, 5}, {0, 5}, {0, 0}, {10, 0}, {20, 0}}},
        {GridLayout::Order::Raster,
         GridLayout::Corner::BottomRight,
         {{20, 0}, {10, 0}, {0, 0}, {20, 5}, {10, 5}, {0, 5}}},
    };
    for (const auto& c : cases) {
        GridLayout g{2, 3, 10, 5, c.order, c.start};
        for (int i = 0; i < 6; ++i) {
            SCOPED_TRACE(i);
            const Position p = GridPosition(g, i);
            EXPECT_EQ(p.x_um, c.expected[i].first);
            EXPECT_EQ(p.y_um, c.expected[i].second);
        }
    }
    GridLayout parsed;
    ASSERT_TRUE(ParseGridLayout("2x3,pitch=10:5,serpentine,start=top-right", parsed).ok());
    EXPECT_EQ(parsed.rows, 2);
    EXPECT_EQ(parsed.columns, 3);
    EXPECT_EQ(parsed.pitchY_um, 5);
    EXPECT_EQ(parsed.order, GridLayout::Order::Serpentine);
    EXPECT_EQ(parsed.start, GridLayout::Corner::TopRight);
    for (const char* bad : {"3", "0x4", "2x3,pitch=-1", "2x3,zigzag", "2x3,pitch=5mm"})
        EXPECT_FALSE(ParseGridLayout(bad, parsed).ok()) << bad;
}

TEST(PositionsTable, JoinsOnFileAndTestAndNamesMissingOrDuplicateRows) {
    Table t;
    ASSERT_TRUE(ParseTable("file,test,x_um,y_um\nrun.xls,Test 001,0,0\nrun.xls,Test 002,5,0\n"
                           "b.csv,,1.5,2.5\n",
                           "pos.csv", t)
                    .ok());
    std::vector<Position> out;
    ASSERT_TRUE(
        JoinPositions(t, "pos.csv", {{"data/run.xls", "Test 002"}, {"b.csv", ""}}, out).ok());
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].x_um, 5);
    EXPECT_EQ(out[1].y_um, 2.5);
    const Status missing = JoinPositions(t, "pos.csv", {{"run.xls", "Test 003"}}, out);
    EXPECT_NE(missing.message().find("no position for run.xls#Test 003"), std::string::npos)
        << missing.message();
    ASSERT_TRUE(ParseTable("file,test,x_um,y_um\na,,0,0\na,,1,1\n", "pos.csv", t).ok());
    const Status twice = JoinPositions(t, "pos.csv", {{"a", ""}}, out);
    EXPECT_NE(twice.message().find("rows 2 and 3"), std::string::npos) << twice.message();
}

TEST(ResultTable, ColumnsByNameWithoutUnitAndRowsWithoutValuesCounted) {
    Table t;
    ASSERT_TRUE(ParseTable("\xEF\xBB\xBF"
                           "file,\"EIT [GPa]\",HIT [MPa]\r\n\"a,1.csv\",70,9000\r\n"
                           "b.csv,,8000\r\nc.csv,nan,7000\r\nd.csv,72.5,9100\r\n",
                           "t.csv", t)
                    .ok());
    EXPECT_EQ(FindColumn(t, "EIT"), 1);
    EXPECT_EQ(FindColumn(t, "hit"), 2);
    EXPECT_EQ(FindColumn(t, "HIT [MPa]"), 2);
    EXPECT_EQ(FindColumn(t, "HV"), -1);
    EXPECT_EQ(t.rows[0][0], "a,1.csv");
    Samples s;
    ASSERT_TRUE(SelectColumns(t, {"EIT", "HIT"}, s).ok());
    EXPECT_EQ(s.values.size(), 2u);
    EXPECT_EQ(s.leftOut, 2);
    EXPECT_EQ(s.rowOfSample, (std::vector<int>{0, 3}));
    EXPECT_EQ(s.values[1][0], 72.5);
    const Status unknown = SelectColumns(t, {"EIT", "HV"}, s);
    EXPECT_NE(unknown.message().find("no column 'HV'"), std::string::npos);
    EXPECT_FALSE(ParseTable("", "e.csv", t).ok());
    EXPECT_FALSE(ParseTable("a,\"b\n", "q.csv", t).ok());
}

TEST(PropertyMap, PassesThroughIndentsAndLeavesEmptyAreasBlank) {
    // A 5 x 5 grid at 2 µm with one value per indent; a hole where the top-right indents are.
    std::vector<MapPoint> pts;
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 5; ++i)
            if (!(i >= 3 && j >= 3) || (i == 4 && j == 4))
                pts.push_back({2.0 * i, 2.0 * j, 10.0 * i + j});
    pts.push_back({30, 30, std::nan("")});  // ignored
    const MapGrid g = InterpolateMap(pts, 100);
    ASSERT_GT(g.nx, 0);
    EXPECT_EQ(g.nx, g.ny);  // the grid is square, the cells too
    EXPECT_EQ(g.minValue, 0);
    EXPECT_EQ(g.maxValue, 44);
    auto at = [&](double x, double y) {
        const int cx = static_cast<int>((x - g.x0_um) / g.cell_um);
        const int cy = static_cast<int>((y - g.y0_um) / g.cell_um);
        return g.values[static_cast<std::size_t>(cy) * g.nx + cx];
    };
    // Near an indent the map is near its value; every value stays within the indents' range.
    EXPECT_NEAR(at(0.01, 0.01), 0, 1.0);
    EXPECT_NEAR(at(8.0, 4.0), 42, 1.5);
    for (double v : g.values)
        if (!std::isnan(v)) {
            EXPECT_GE(v, g.minValue);
            EXPECT_LE(v, g.maxValue);
        }
    // Far from every indent (beyond 1.5 spacings) nothing is drawn, and a stray indent does not
    // stretch the spacing.
    std::vector<MapPoint> dense;
    for (int j = 0; j <= 10; ++j)
        for (int i = 0; i <= 10; ++i) dense.push_back({1.0 * i, 1.0 * j, 1.0});
    dense.push_back({100, 100, 2});
    const MapGrid far = InterpolateMap(dense, 200);
    EXPECT_NEAR(far.spacing_um, 1.0, 1e-12);
    EXPECT_TRUE(std::isnan(far.values[static_cast<std::size_t>(far.ny / 2) * far.nx + far.nx / 2]));
}

TEST(PropertyMap, ColourScaleGetsLighterAllTheWaySoItSurvivesGreyscale) {
    double previous = -1;
    for (int i = 0; i <= 100; ++i) {
        const Rgb c = MapColour(i / 100.0);
        const double luminance = 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b;
        EXPECT_GT(luminance, previous) << i;
        previous = luminance;
    }
    EXPECT_EQ(MapColour(-1).b, MapColour(0).b);
    EXPECT_EQ(MapColour(2).r, MapColour(1).r);
}

TEST(PhaseHistogram, BinsCoverTheValuesByTheRules) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    // 144 indents of two well separated phases: the quartiles straddle both, so 2 sqrt(n) = 24
    // bins rule; 10 000 of one normal phase: Freedman-Diaconis asks for more than the cap.
    std::vector<double> twoPhases, onePhase;
    for (const auto& s : Draw({{0.7, 3000, 120, 0, 1, 0}, {0.3, 9000, 350, 0, 1, 0}}, 144, 5, 1))
        twoPhases.push_back(s[0]);
    for (const auto& s : Draw({{1.0, 100, 5, 0, 1, 0}}, 10000, 6, 1)) onePhase.push_back(s[0]);
    const struct Case {
        const char* name;
        std::vector<double> values;
        int bins;
        int samples;
    } cases[] = {
        {"two phases", twoPhases, 24, 144},
        {"many of one phase (capped)", onePhase, 80, 10000},
        {"few: Sturges", {1, 2, 3, 4, 5}, 5, 5},  // 2 sqrt 5 = 4.5 -> 5, Sturges 4
        {"not-a-number left out", {1, kNaN, 2, 3, 4, 5, INFINITY}, 5, 5},
        {"equal values: one bin", {7, 7, 7}, 1, 3},
    };
    for (const Case& c : cases) {
        const Histogram h = MakeHistogram(c.values);
        EXPECT_TRUE(h.status.ok()) << c.name;
        EXPECT_EQ(static_cast<int>(h.counts.size()), c.bins) << c.name;
        EXPECT_EQ(h.samples, c.samples) << c.name;
        int total = 0;
        for (int k : h.counts) total += k;
        EXPECT_EQ(total, c.samples) << c.name;  // the largest value counts in the last bin
        double lo = INFINITY, hi = -INFINITY;
        for (double v : c.values)
            if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
        EXPECT_LE(h.start, lo) << c.name;
        EXPECT_GE(h.start + h.width * static_cast<double>(h.counts.size()), hi) << c.name;
    }
    // Where each value lands: [1, 2) [2, 3) ... and 5 in the last.
    const Histogram h = MakeHistogram({1, 1.5, 2, 4.99, 5}, 4);
    ASSERT_EQ(h.counts.size(), 4u);
    EXPECT_EQ(h.counts, (std::vector<int>{2, 1, 0, 2}));
    EXPECT_FALSE(MakeHistogram({kNaN}).status.ok());
}

TEST(PhaseHistogram, PhaseCurvesStandOnTheCountsAndSumToTheMixture) {
    MixtureFit fit;
    fit.k = 2;
    fit.dimensions = 2;
    fit.phases = {{0.75, {100, 5}, {10, 1}, 0, {}}, {0.25, {200, 9}, {20, 2}, 0, {}}};
    const double scale = 400 * 5.0;  // 400 indents in bins 5 wide
    const PhaseCurves c = MixtureCurves(fit, 0, 0, 400, 4001, scale);
    ASSERT_EQ(c.phase.size(), 2u);
    ASSERT_EQ(c.x.size(), 4001u);
    EXPECT_EQ(c.x.front(), 0);
    EXPECT_EQ(c.x.back(), 400);
    // Each curve's area is its share of the counts; its peak at its mean, of height
    // scale * w / (sd sqrt(2 pi)).
    for (std::size_t p = 0; p < 2; ++p) {
        double area = 0;
        for (std::size_t i = 1; i < c.x.size(); ++i)
            area += 0.5 * (c.phase[p][i] + c.phase[p][i - 1]) * (c.x[i] - c.x[i - 1]);
        EXPECT_NEAR(area, scale * fit.phases[p].weight, 1e-6 * scale) << p;
        const auto top =
            std::max_element(c.phase[p].begin(), c.phase[p].end()) - c.phase[p].begin();
        EXPECT_EQ(c.x[static_cast<std::size_t>(top)], fit.phases[p].mean[0]);
        EXPECT_NEAR(c.phase[p][static_cast<std::size_t>(top)],
                    scale * fit.phases[p].weight / (fit.phases[p].sd[0] * std::sqrt(2 * M_PI)),
                    1e-9 * scale);
    }
    for (std::size_t i = 0; i < c.x.size(); i += 97)
        EXPECT_DOUBLE_EQ(c.total[i], c.phase[0][i] + c.phase[1][i]);
    // The second column has its own means and SDs.
    const PhaseCurves second = MixtureCurves(fit, 1, 0, 20, 201, 1);
    const auto top =
        std::max_element(second.phase[1].begin(), second.phase[1].end()) - second.phase[1].begin();
    EXPECT_EQ(second.x[static_cast<std::size_t>(top)], 9);
    // Nothing to draw: no phases, a column the fit does not have, an empty range.
    EXPECT_TRUE(MixtureCurves({}, 0, 0, 1, 10, 1).x.empty());
    EXPECT_TRUE(MixtureCurves(fit, 2, 0, 1, 10, 1).x.empty());
    EXPECT_TRUE(MixtureCurves(fit, 0, 1, 1, 10, 1).x.empty());
}

}  // namespace
}  // namespace marvek::phases
