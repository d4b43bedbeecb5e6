// Depth profiles of continuous-stiffness tests: the per-sample formulas against hand-computed
// rows, the window average at its edges, the mean profile and the size-effect fit, and the
// fused-silica workbook against the instrument's own per-sample results and averages.

#include "core/profiles/depth_profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/io/number_format.h"
#include "core/io/parsed_curve.h"

namespace marvek::profiles {
namespace {

// The full area function of the fused-silica workbook's tip, recovered from its own Contact
// Area and Contact Depth columns (the workbook records only C0..C2, C0 rounded).
const std::vector<double> kFsTipArea = {24.69536429, 395.7700812, -16.13158277, 133.4058147,
                                        106.4571602};

double Percentile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    const double pos = q * static_cast<double>(v.size() - 1);
    const auto lo = static_cast<std::size_t>(pos);
    const std::size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (pos - static_cast<double>(lo)) * (v[hi] - v[lo]);
}

const io::ParsedFile& FusedSilica() {
    static const io::ParsedFile file = io::ReadFile(MARVEK_TEST_DATA "/vendor/FS_XP.xls");
    return file;
}

// The instrument's value of `name` in the curve's metadata ("E Average Over Defined Range [GPa]").
double MetaValue(const io::ParsedCurve& c, const std::string& name) {
    for (const auto& [key, value] : c.meta.values)
        if (key == name) return ParseDouble(value);
    return kNaN;
}

TEST(FusedSilicaWorkbook, PerSampleHardnessAndModulusMatchTheInstrument) {
    const io::ParsedFile& file = FusedSilica();
    ASSERT_TRUE(file.status.ok()) << file.status.message();
    ASSERT_EQ(file.curves.size(), 9u);
    for (bool raw : {false, true}) {
        ProfileSettings s;
        s.areaCoefficients = kFsTipArea;
        if (raw) s.harmonicFrameStiffness = 5.5e6;  // what the workbook records per sample
        std::vector<double> dh, de;
        for (const io::ParsedCurve& c : file.curves) {
            const DepthProfile p = ComputeProfile(c, s);
            ASSERT_TRUE(p.ok()) << c.test << ": " << p.status.reason();
            EXPECT_EQ(p.stiffnessSource, raw ? StiffnessSource::RawHarmonics
                                             : StiffnessSource::ContactStiffnessColumn);
            const io::Channel* h = c.FindChannel("Hardness");
            const io::Channel* e = c.FindChannel("Modulus");
            ASSERT_TRUE(h && e);
            for (std::size_t k = 0; k < p.size(); ++k) {
                if (p.depth[k] < 50) continue;
                const std::size_t i = p.index[k];
                if (!(h->values[i] > 0 && h->values[i] < 1e300)) continue;
                dh.push_back(std::fabs(p.hardness[k] / h->values[i] - 1));
                de.push_back(std::fabs(p.modulus[k] / e->values[i] - 1));
            }
        }
        ASSERT_GT(dh.size(), 1000u);
        SCOPED_TRACE(raw ? "raw harmonics" : "contact stiffness column");
        EXPECT_LE(Percentile(dh, 0.5), 0.005);
        EXPECT_LE(Percentile(dh, 0.95), 0.02);
        EXPECT_LE(Percentile(de, 0.5), 0.005);
        EXPECT_LE(Percentile(de, 0.95), 0.02);
    }
}

TEST(FusedSilicaWorkbook, WindowAveragesMatchTheResultsSheet) {
    const io::ParsedFile& file = FusedSilica();
    ASSERT_TRUE(file.status.ok()) << file.status.message();
    ProfileSettings s;
    s.areaCoefficients = kFsTipArea;
    for (const io::ParsedCurve& c : file.curves) {
        const DepthProfile p = ComputeProfile(c, s);
        ASSERT_TRUE(p.ok());
        EXPECT_EQ(p.from, 100);
        EXPECT_EQ(p.to, 200);
        EXPECT_DOUBLE_EQ(p.samplePoisson, 0.18);
        const ProfileAverage a = AverageProfile(p);
        const double e = MetaValue(c, "E Average Over Defined Range [GPa]");
        const double h = MetaValue(c, "H Average Over Defined Range [GPa]");
        EXPECT_NEAR(a.modulus / e, 1, 0.005) << c.test;
        EXPECT_NEAR(a.hardness / h, 1, 0.005) << c.test;
    }
}

// A loading curve of the given samples with continuous-stiffness channels (name, unit, values).
struct ChannelSpec {
    std::string name, unit;
    std::vector<double> values;
};
io::ParsedCurve MakeCurve(const std::vector<double>& depth, const std::vector<double>& load,
                          const std::vector<ChannelSpec>& channels,
                          std::vector<char> segment = {}) {
    io::ParsedCurve c;
    for (std::size_t i = 0; i < depth.size(); ++i)
        c.push(depth[i], load[i], static_cast<double>(i), segment.empty() ? 'L' : segment[i]);
    for (const ChannelSpec& ch : channels) c.channels.push_back({ch.name, ch.unit, ch.values});
    c.meta.poissonRatio = 0.25;
    return c;
}

ProfileSettings Ideal() {
    ProfileSettings s;
    s.areaCoefficients = {24.5};
    return s;
}

// Rows worked out by hand, and a row of the fused-silica workbook (test 1 at 193 nm) where the
// instrument's own values are the reference: once from its contact stiffness column, once from
// the raw amplitudes and phase (K = F0/z0 cos phi - Ks, 1/S = 1/K - 1/Kf).
TEST(ProfileFormulas, HandComputedRows) {
    struct Case {
        const char* what;
        io::ParsedCurve curve;
        ProfileSettings settings;
        double stiffness, contactDepth, area, hardness, reducedModulus, modulus, tolerance;
    };
    ProfileSettings fs;
    fs.areaCoefficients = kFsTipArea;
    fs.samplePoisson = 0.18;
    ProfileSettings beta = Ideal();
    beta.beta = 1.034;  // the Berkovich correction some users prefer to the instruments' 1
    const std::vector<double> h = {193.4059765}, p = {4.724032708};
    const std::vector<Case> cases = {
        // hc = 100 - 0.75 * 1 mN / 30000 N/m = 100 - 25 = 75 nm; A = 24.5 * 75^2;
        // H = 1 mN / 137812.5 nm^2; Er = sqrt(pi) 30000 / (2 * 371.231); E with nu = 0.25.
        {"ideal Berkovich", MakeCurve({100}, {1}, {{"Harmonic Contact Stiffness", "N/m", {30000}}}),
         Ideal(), 30000, 75, 137812.5, 7.256235827664399, 71.61795070374288, 71.61490603011414,
         1e-12},
        {"beta 1.034: Er divided by beta",
         MakeCurve({100}, {1}, {{"Harmonic Contact Stiffness", "N/m", {30000}}}), beta, 30000, 75,
         137812.5, 7.256235827664399, 69.2630084175463, 69.10867143092324, 1e-12},
        {"stiffness in mN/nm",
         MakeCurve({100}, {1}, {{"Harmonic Contact Stiffness", "mN/nm", {0.03}}}), Ideal(), 30000,
         75, 137812.5, 7.256235827664399, 71.61795070374288, 71.61490603011414, 1e-12},
        {"fused silica, contact stiffness column",
         MakeCurve(h, p, {{"Harmonic Contact Stiffness", "N/m", {56188.39605}}}), fs, 56188.39605,
         130.3498158, 471651.6107, 10.01593677, 72.50716332, 74.89389549, 1e-8},
        {"fused silica, raw harmonics",
         MakeCurve(h, p,
                   {{"Harmonic Load", "uN", {57.36192296}},
                    {"Harmonic Displacement", "nm", {1.047363971}},
                    {"Phase Angle", "deg", {3.350001199}},
                    {"Harmonic System Stiffness", "N/m", {-945.8657512}},
                    {"Harmonic Frame Stiffness", "N/m", {5.5e6}}}),
         fs, 56188.39605, 130.3498158, 471651.6107, 10.01593677, 72.50716332, 74.89389549, 1e-7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const DepthProfile pr = ComputeProfile(c.curve, c.settings);
        ASSERT_TRUE(pr.ok()) << pr.status.reason();
        ASSERT_EQ(pr.size(), 1u);
        EXPECT_NEAR(pr.stiffness[0] / c.stiffness, 1, c.tolerance);
        EXPECT_NEAR(pr.contactDepth[0] / c.contactDepth, 1, c.tolerance);
        EXPECT_NEAR(pr.area[0] / c.area, 1, c.tolerance);
        EXPECT_NEAR(pr.hardness[0] / c.hardness, 1, c.tolerance);
        EXPECT_NEAR(pr.reducedModulus[0] / c.reducedModulus, 1, c.tolerance);
        EXPECT_NEAR(pr.modulus[0] / c.modulus, 1, c.tolerance);
    }
}

TEST(ProfileFormulas, AreaFunctionTermsHalveTheirExponent) {
    // 1 hc^2 + 2 hc + 3 hc^(1/2) + 4 hc^(1/4) + 5 hc^(1/8) at hc = 256.
    EXPECT_DOUBLE_EQ(ProjectedArea({1, 2, 3, 4, 5}, 256), 65536 + 512 + 48 + 16 + 5 * 2);
    EXPECT_TRUE(std::isnan(ProjectedArea({24.5}, 0)));
    EXPECT_TRUE(std::isnan(ProjectedArea({24.5}, -3)));
}

// Every kind of invalid sample is left out and counted under its reason; the valid ones stay.
TEST(ProfileFormulas, InvalidSamplesAreSkippedAndCounted) {
    const double nan = kNaN, big = std::numeric_limits<double>::max();
    // 1 valid, 2 stiffness 1.797e308, 3 empty, 4 instrument modulus ~1e-158, 5 modulus 0,
    // 6 S < 0, 7 S so small that hc < 0, 8 valid.
    const io::ParsedCurve c = MakeCurve(
        {100, 110, 120, 130, 140, 150, 160, 170}, {1, 1, 1, 1, 1, 1, 1, 1},
        {{"Harmonic Contact Stiffness", "N/m", {30000, big, nan, 30000, 30000, -5, 100, 30000}},
         {"Modulus", "GPa", {70, 70, 70, 1.1e-158, 0, 70, 70, big}}});
    const DepthProfile p = ComputeProfile(c, Ideal());
    ASSERT_TRUE(p.ok());
    EXPECT_EQ(p.index, (std::vector<std::size_t>{0}));
    EXPECT_EQ(p.skipped.missing, 2u);
    EXPECT_EQ(p.skipped.instrumentInvalid, 3u);
    EXPECT_EQ(p.skipped.nonPositiveStiffness, 1u);
    EXPECT_EQ(p.skipped.nonPositiveArea, 1u);
    EXPECT_EQ(p.skipped.Total(), 7u);
    for (double v : p.hardness) EXPECT_TRUE(std::isfinite(v));
}

TEST(ProfileFormulas, WorkbookWithoutStiffnessColumnsHasNoProfile) {
    const DepthProfile p = ComputeProfile(MakeCurve({100, 200}, {1, 2}, {}), Ideal());
    EXPECT_FALSE(p.ok());
    EXPECT_NE(p.status.reason().find("continuous-stiffness"), std::string::npos);
    EXPECT_EQ(AverageProfile(p).n, 0u);
    EXPECT_EQ(AverageProfile(p).reason, p.status.reason());
}

// Which value is used and where it came from: settings over tip list over workbook.
TEST(ProfileSources, SettingsTipListAndWorkbook) {
    io::ParsedCurve c = MakeCurve({100}, {1}, {{"Harmonic Contact Stiffness", "N/m", {30000}}});
    c.meta.areaCoefficients = {24.6954, 395.77, -16.13};
    c.meta.tipName = "Berk-1";
    c.meta.averageFrom = 50;
    c.meta.averageTo = 150;
    const auto from = [](const DepthProfile& p, const std::string& name) {
        for (const UsedValue& u : p.used)
            if (u.name == name) return u.from;
        return std::string("?");
    };
    ProfileSettings s;
    DepthProfile p = ComputeProfile(c, s);
    EXPECT_EQ(p.areaCoefficients, c.meta.areaCoefficients);
    EXPECT_EQ(from(p, "area function"), "workbook");
    ASSERT_FALSE(p.warnings.empty());
    EXPECT_NE(p.warnings[0].find("incomplete"), std::string::npos);
    EXPECT_EQ(from(p, "poisson"), "workbook");
    EXPECT_EQ(p.from, 50);
    EXPECT_EQ(p.to, 150);
    EXPECT_EQ(from(p, "from_nm"), "workbook");

    s.tips = {{"Other", {1}}, {"Berk-1", kFsTipArea}};
    p = ComputeProfile(c, s);
    EXPECT_EQ(p.areaCoefficients, kFsTipArea);
    EXPECT_EQ(from(p, "area function"), "tip list Berk-1");
    EXPECT_TRUE(p.warnings.empty());

    s.areaCoefficients = {24.5};
    s.samplePoisson = 0.4;
    s.from = 10, s.to = 20;
    p = ComputeProfile(c, s);
    EXPECT_EQ(p.areaCoefficients, (std::vector<double>{24.5}));
    EXPECT_EQ(from(p, "area function"), "settings");
    EXPECT_EQ(p.samplePoisson, 0.4);
    EXPECT_EQ(from(p, "poisson"), "settings");
    EXPECT_EQ(p.from, 10);
    EXPECT_EQ(from(p, "to_nm"), "settings");

    c.meta = {};
    p = ComputeProfile(c, ProfileSettings{});
    EXPECT_EQ(p.from, 100);
    EXPECT_EQ(p.to, 200);
    EXPECT_EQ(p.samplePoisson, ProfileSettings{}.fallbackPoisson);
    EXPECT_EQ(from(p, "area function"), "default");
}

// The harmonic frame stiffness applies to raw harmonic stiffness only: the settings' value
// replaces the per-sample one, and the frame-corrected contact stiffness column is never
// corrected again.
TEST(ProfileSources, FrameStiffnessOnlyForRawHarmonics) {
    const std::vector<ChannelSpec> raw = {{"Harmonic Load", "mN", {0.05}},
                                          {"Harmonic Displacement", "nm", {1}},
                                          {"Phase Angle", "deg", {0}},
                                          {"Harmonic System Stiffness", "N/m", {0}},
                                          {"Harmonic Frame Stiffness", "N/m", {1e6}}};
    // K = 0.05 mN / 1 nm = 50000 N/m; 1/S = 1/50000 - 1/1e6.
    DepthProfile p = ComputeProfile(MakeCurve({300}, {1}, raw), Ideal());
    ASSERT_EQ(p.size(), 1u);
    EXPECT_NEAR(p.stiffness[0], 1 / (1 / 50000.0 - 1 / 1e6), 1e-6);
    ProfileSettings s = Ideal();
    s.harmonicFrameStiffness = 2e6;
    p = ComputeProfile(MakeCurve({300}, {1}, raw), s);
    EXPECT_NEAR(p.stiffness[0], 1 / (1 / 50000.0 - 1 / 2e6), 1e-6);
    std::vector<ChannelSpec> both = raw;
    both.push_back({"Harmonic Contact Stiffness", "N/m", {40000}});
    p = ComputeProfile(MakeCurve({300}, {1}, both), Ideal());
    EXPECT_EQ(p.stiffnessSource, StiffnessSource::ContactStiffnessColumn);
    EXPECT_EQ(p.stiffness[0], 40000);
    p = ComputeProfile(MakeCurve({300}, {1}, {both.back()}), s);
    EXPECT_EQ(p.stiffness[0], 40000);  // no raw columns: the flag is ignored, with a warning
    EXPECT_FALSE(p.warnings.empty());
}

// A profile of given depths, the first `loading` of them the loading; hardness = depth / 100
// so that an average tells which samples it took.
DepthProfile ProfileOf(std::vector<double> depth, std::size_t loading) {
    DepthProfile p;
    p.status = Status();
    p.depth = depth;
    for (double d : depth) p.hardness.push_back(d / 100), p.modulus.push_back(d);
    p.loadingSamples = loading;
    return p;
}

TEST(ProfileAverageRule, WindowEdges) {
    // Loading 95 105 150 196 205, then a hold sample at 150 that must never count.
    const DepthProfile p = ProfileOf({95, 105, 150, 196, 205, 150}, 5);
    struct Case {
        double from, to;
        std::size_t n, first, last;
        const char* reason;  // part of the reason when n = 0
    };
    const std::vector<Case> cases = {
        {100, 200, 3, 1, 3, ""},  // 95 and 105 tie at 5 nm: the inside one; 205 is 5 vs 196's 4
        {99, 200, 4, 0, 3, ""},   // 95 is 4 nm below, 105 6 nm above: the neighbour
        {100, 202, 4, 1, 4, ""},  // 205 is 3 nm past, 196 6 nm before
        {151, 152, 1, 2, 2, ""},  // only 150, taken from both sides as the closer neighbour
        {0, 1000, 5, 0, 4, ""},   // everything of the loading, not the hold
        {300, 400, 0, 0, 0, "at or past 300"},
        {10, 50, 0, 0, 0, "at or before 50"},
        {200, 100, 0, 0, 0, "empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + "-" + std::to_string(c.to));
        const ProfileAverage a = AverageProfile(p, c.from, c.to);
        EXPECT_EQ(a.n, c.n);
        if (c.n == 0) {
            EXPECT_NE(a.reason.find(c.reason), std::string::npos) << a.reason;
            EXPECT_TRUE(std::isnan(a.hardness));
            continue;
        }
        EXPECT_EQ(a.first, c.first);
        EXPECT_EQ(a.last, c.last);
        double sum = 0;
        for (std::size_t k = c.first; k <= c.last; ++k) sum += p.depth[k];
        EXPECT_DOUBLE_EQ(a.modulus, sum / static_cast<double>(c.n));
        EXPECT_DOUBLE_EQ(a.hardness, sum / 100 / static_cast<double>(c.n));
    }
}

TEST(ProfileAverageRule, InvalidSamplesInsideTheWindowDoNotCount) {
    const double big = std::numeric_limits<double>::max();
    const io::ParsedCurve c =
        MakeCurve({90, 120, 150, 180, 210}, {1, 1.2, 1.5, 1.8, 2.1},
                  {{"Harmonic Contact Stiffness", "N/m", {30000, 30000, big, 30000, 30000}}});
    const DepthProfile p = ComputeProfile(c, Ideal());
    // 120 is 10 nm past 110 (90 is 20 before), 180 10 nm before 190 (210 is 20 past).
    const ProfileAverage a = AverageProfile(p, 110, 190);
    ASSERT_EQ(a.n, 2u);
    EXPECT_DOUBLE_EQ(a.hardness, (p.hardness[1] + p.hardness[2]) / 2);
    EXPECT_EQ(p.depth[2], 180);
}

TEST(ProfileAverageRule, LoadingEndsAtTheFirstHold) {
    const io::ParsedCurve c =
        MakeCurve({100, 150, 200, 200, 150}, {1, 1.5, 2, 2, 1},
                  {{"Harmonic Contact Stiffness", "N/m", {30000, 30000, 30000, 30000, 30000}}},
                  {'L', 'L', 'L', 'T', 'U'});
    const DepthProfile p = ComputeProfile(c, Ideal());
    EXPECT_EQ(p.size(), 5u);
    EXPECT_EQ(p.loadingSamples, 3u);
    EXPECT_EQ(AverageProfile(p, 0, 1000).n, 3u);
}

TEST(MeanProfiles, MeanAndSdOnTheCommonGrid) {
    // Two profiles over 100-300 nm with hardness h/100 and h/100 + 2; a third, excluded, far off;
    // a fourth covering only 100-200 nm.
    DepthProfile a = ProfileOf({100, 200, 300}, 3), b = a, excluded = a, shortOne;
    for (double& h : b.hardness) h += 2;
    for (double& h : excluded.hardness) h += 100;
    shortOne = ProfileOf({100, 200}, 2);
    const MeanProfile m =
        ComputeMeanProfile({a, b, excluded, shortOne}, {true, true, false, true}, 5);
    ASSERT_EQ(m.depth, (std::vector<double>{100, 150, 200, 250, 300}));
    EXPECT_EQ(m.n, (std::vector<std::size_t>{3, 3, 3, 2, 2}));
    // At 250 nm: 2.5 and 4.5.
    EXPECT_DOUBLE_EQ(m.hardness[3], 3.5);
    EXPECT_DOUBLE_EQ(m.hardnessSd[3], std::sqrt(2.0));
    // At 150 nm: 1.5, 3.5, 1.5.
    EXPECT_DOUBLE_EQ(m.hardness[1], 6.5 / 3);
    EXPECT_NEAR(m.hardnessSd[1],
                std::sqrt((2 * std::pow(1.5 - 6.5 / 3, 2) + std::pow(3.5 - 6.5 / 3, 2)) / 2),
                1e-12);
    EXPECT_DOUBLE_EQ(m.modulus[2], 200);
    // A loading whose depth falls back is taken in depth order.
    const MeanProfile back = ComputeMeanProfile({ProfileOf({100, 300, 200}, 3)}, {}, 5);
    EXPECT_EQ(back.hardness, (std::vector<double>{1, 1.5, 2, 2.5, 3}));
    const MeanProfile logGrid = ComputeMeanProfile({a}, {}, 3, true);
    EXPECT_NEAR(logGrid.depth[1], std::sqrt(100.0 * 300), 1e-9);
    EXPECT_TRUE(std::isnan(logGrid.hardnessSd[1]));  // one profile: no SD
}

TEST(WindowAveragesOverIndents, MeanAndSdOfTheIndentAverages) {
    // Hardness depth/100, so an indent's average over a window is its mean depth / 100; the
    // second indent is shifted by 2 GPa. The third is excluded, the fourth has no sample in
    // the window, the fifth is no profile at all.
    DepthProfile a = ProfileOf({100, 150, 200, 250}, 4), b = a, excluded = a;
    for (double& h : b.hardness) h += 2;
    for (double& h : excluded.hardness) h += 50;
    const DepthProfile shallow = ProfileOf({10, 20}, 2);
    DepthProfile failed;
    failed.status = Status::Error("no stiffness columns", ErrorCode::NoResult);
    const std::vector<DepthProfile> all = {a, b, excluded, shallow, failed};
    const std::vector<bool> include = {true, true, false, true, true};
    struct Case {
        double from, to;
        std::size_t n;
        double hardness, hardnessSd;
    };
    const std::vector<Case> cases = {
        {100, 200, 2, 2.5, std::sqrt(2.0)},  // 1.5 and 3.5
        {140, 260, 2, 3.0, std::sqrt(2.0)},  // 150..250: 2 and 4
        {240, 400, 2, 3.5, std::sqrt(2.0)},  // 250 only: 2.5 and 4.5
        {500, 600, 0, profiles::kNaN, profiles::kNaN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + "-" + std::to_string(c.to));
        const WindowAverages w = AverageProfiles(all, include, c.from, c.to);
        ASSERT_EQ(w.indents.size(), all.size());
        EXPECT_EQ(w.n, c.n);
        EXPECT_EQ(w.indents[2].n, 0u);
        EXPECT_EQ(w.indents[2].reason, "excluded");
        EXPECT_EQ(w.indents[3].n, 0u);
        EXPECT_EQ(w.indents[4].reason, "no stiffness columns");
        if (c.n == 0) {
            EXPECT_TRUE(std::isnan(w.hardness));
            EXPECT_NE(w.reason.find("no indent"), std::string::npos) << w.reason;
            continue;
        }
        // Each indent's entry is AverageProfile's, and the mean is over those entries.
        EXPECT_EQ(w.indents[0].n, AverageProfile(a, c.from, c.to).n);
        EXPECT_DOUBLE_EQ(w.hardness, c.hardness);
        EXPECT_DOUBLE_EQ(w.hardnessSd, c.hardnessSd);
        EXPECT_DOUBLE_EQ(w.modulus, (w.indents[0].modulus + w.indents[1].modulus) / 2);
        EXPECT_DOUBLE_EQ(w.modulusSd, 0);
    }
    // Everything included when the list is empty; one indent: a mean without SD.
    EXPECT_EQ(AverageProfiles(all, {}, 100, 200).n, 3u);
    const WindowAverages one = AverageProfiles({a}, {}, 100, 200);
    EXPECT_EQ(one.n, 1u);
    EXPECT_DOUBLE_EQ(one.hardness, 1.5);
    EXPECT_TRUE(std::isnan(one.hardnessSd));
}

TEST(WindowAveragesOverIndents, ViewTopLeavesTheFirstSpikesOut) {
    std::vector<double> values(100, 10.0);
    values[99] = 400, values[98] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_DOUBLE_EQ(ProfileViewTop(values), 12.5);
    // Nothing above 1.25 x the 95th percentile: no limit.
    EXPECT_TRUE(std::isnan(ProfileViewTop(std::vector<double>(100, 10.0))));
    EXPECT_TRUE(std::isnan(ProfileViewTop({})));
}

TEST(NixGao, RecoversTheSizeEffectAndRefusesNone) {
    // H = H0 sqrt(1 + h*/h) with H0 = 2 GPa, h* = 300 nm.
    DepthProfile p = ProfileOf({50, 80, 120, 200, 350, 600, 900}, 7);
    for (std::size_t k = 0; k < p.size(); ++k) p.hardness[k] = 2 * std::sqrt(1 + 300 / p.depth[k]);
    NixGaoFit f = FitNixGao(p, 60, 1000);
    ASSERT_TRUE(f.ok()) << f.status.reason();
    EXPECT_EQ(f.n, 6u);
    EXPECT_NEAR(f.h0, 2, 1e-9);
    EXPECT_NEAR(f.hStar, 300, 1e-6);
    EXPECT_NEAR(f.rSquared, 1, 1e-12);
    // Hardness rising with depth: no size effect.
    for (std::size_t k = 0; k < p.size(); ++k) p.hardness[k] = 1 + p.depth[k] / 1000;
    f = FitNixGao(p, 0, 1000);
    EXPECT_FALSE(f.ok());
    EXPECT_NE(f.status.reason().find("no size effect fit"), std::string::npos);
    EXPECT_TRUE(std::isnan(f.hStar));
    f = FitNixGao(p, 100, 150);  // one sample
    EXPECT_FALSE(f.ok());
    EXPECT_NE(f.status.reason().find("fewer than 3"), std::string::npos);
}

TEST(ProfileCorrections, DynamicUnloadingAndPeakValues) {
    // The oscillation (rms amplitudes F0, z0) swings 2 sqrt(2) z0 peak to peak down the elastic
    // unloading P = Pmax ((h - hf)/(hmax - hf))^m from the peak, whose tangent is the true S.
    const double trueS = 50000, m = 1.5, load = 5, f0 = 0.2, z0 = 2;  // N/m, mN, mN, nm
    const double pmax = load + std::sqrt(2.0) * f0, dh = std::sqrt(2.0) * z0;
    const double span = m * pmax / (trueS * 1e-6);  // hmax - hf, nm
    const double drop = pmax - pmax * std::pow((span - 2 * dh) / span, m);
    const double measured = drop / (2 * dh) * 1e6;
    const io::ParsedCurve c = MakeCurve({500}, {load},
                                        {{"Harmonic Contact Stiffness", "N/m", {measured}},
                                         {"Harmonic Load", "mN", {f0}},
                                         {"Harmonic Displacement", "nm", {z0}}});
    ProfileSettings s = Ideal();
    DepthProfile p = ComputeProfile(c, s);
    EXPECT_DOUBLE_EQ(p.stiffness[0], measured);  // off by default
    EXPECT_LT(measured, trueS * 0.995);
    s.corrections.dynamicUnloading = true;
    p = ComputeProfile(c, s);
    EXPECT_NEAR(p.stiffness[0], trueS, 1e-6);
    EXPECT_EQ(p.depth[0], 500);
    s.corrections.peakLoadAndDepth = true;
    p = ComputeProfile(c, s);
    EXPECT_DOUBLE_EQ(p.depth[0], 500 + dh);
    EXPECT_DOUBLE_EQ(p.load[0], pmax);
}

TEST(ProfileCorrections, ThermalDriftFromTheDriftHold) {
    // Time = index; depth drifts 0.5 nm/s through the drift hold (samples 3-6).
    const io::ParsedCurve c = MakeCurve(
        {100, 200, 300, 101.5, 102, 102.5, 103}, {1, 2, 3, 0.1, 0.1, 0.1, 0.1},
        {{"Harmonic Contact Stiffness", "N/m", {30000, 30000, 30000, 30000, 30000, 30000, 30000}}},
        {'L', 'L', 'L', 'B', 'B', 'B', 'B'});
    ProfileSettings s = Ideal();
    s.corrections.thermalDrift = true;
    const DepthProfile p = ComputeProfile(c, s);
    EXPECT_NEAR(p.driftRate, 0.5, 1e-12);
    EXPECT_NEAR(p.depth[1], 200 - 0.5 * 1, 1e-9);
    EXPECT_NEAR(p.depth[2], 300 - 0.5 * 2, 1e-9);
}

TEST(FusedSilicaWorkbook, ChannelsStayAlignedWithThePoints) {
    const io::ParsedFile& file = FusedSilica();
    ASSERT_TRUE(file.status.ok());
    const io::ParsedCurve& c = file.curves.back();  // Test 001
    EXPECT_EQ(c.test, "Test 001");
    ASSERT_NE(c.FindChannel("Harmonic Contact Stiffness"), nullptr);
    for (const io::Channel& ch : c.channels) EXPECT_EQ(ch.values.size(), c.size()) << ch.name;
    // The instrument's contact depth is h - 0.75 P / S of the same row wherever it has one.
    const io::Channel& s = *c.FindChannel("Harmonic Contact Stiffness");
    const io::Channel& hc = *c.FindChannel("Contact Depth");
    std::size_t checked = 0;
    for (std::size_t i = 0; i < c.size(); ++i) {
        if (!(s.values[i] > 0 && s.values[i] < 1e300 && hc.values[i] < 1e300)) continue;
        EXPECT_NEAR(hc.values[i], c.depth[i] - 0.75 * c.load[i] / s.values[i] * 1e6, 1e-6);
        ++checked;
    }
    EXPECT_GT(checked, 200u);
    EXPECT_EQ(c.meta.tipName, "Berk-20210318");
    EXPECT_EQ(c.meta.areaCoefficients.size(), 3u);
    EXPECT_EQ(c.meta.averageFrom, 100);
    EXPECT_EQ(c.meta.averageTo, 200);
}

TEST(TipList, NamesWithSpacesCommentsAndBadLines) {
    std::vector<TipAreaFunction> tips;
    std::string error;
    ASSERT_TRUE(
        ParseTipList("# my tips\r\nBerk-1 24.5,100,-3\r\n\n  Cube corner\t2.598  \n", tips, error))
        << error;
    ASSERT_EQ(tips.size(), 2u);
    EXPECT_EQ(tips[0].name, "Berk-1");
    EXPECT_EQ(tips[0].coefficients, (std::vector<double>{24.5, 100, -3}));
    EXPECT_EQ(tips[1].name, "Cube corner");
    EXPECT_EQ(tips[1].coefficients, (std::vector<double>{2.598}));
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"Berk 1,2,x\n", "line 1"},
        {"ok 1\nOnlyName\n", "line 2"},
        {"ten 1,2,3,4,5,6,7,8,9,10\n", "line 1"},
        {"Berk 1,,2\n", "line 1"},
        {"Berk 1e999\n", "line 1"},
    };
    for (const auto& [text, where] : bad) {
        tips.clear();
        error.clear();
        EXPECT_FALSE(ParseTipList(text, tips, error)) << text;
        EXPECT_NE(error.find(where), std::string::npos) << text << " -> " << error;
    }
}

}  // namespace
}  // namespace marvek::profiles
