// Depth profiles of continuous-stiffness tests: the per-sample formulas against hand-computed
// rows, the window average at its edges, the mean profile and the size-effect fit, and the
// fused-silica workbook against the instrument's own per-sample results and averages.

#include "core/profiles/depth_profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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
    ASSERT_EQ(file.status, ReadStatus::Ok) << file.error;
    ASSERT_EQ(file.curves.size(), 9u);
    for (bool raw : {false, true}) {
        ProfileSettings s;
        s.areaCoefficients = kFsTipArea;
        if (raw) s.harmonicFrameStiffness = 5.5e6;  // what the workbook records per sample
        std::vector<double> dh, de;
        for (const io::ParsedCurve& c : file.curves) {
            const DepthProfile p = ComputeProfile(c, s);
            ASSERT_TRUE(p.ok) << c.test << ": " << p.error;
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
        std::printf("median %g %g p95 %g %g max %g %g n %zu\n", Percentile(dh, 0.5), Percentile(de, 0.5),
                    Percentile(dh, 0.95), Percentile(de, 0.95), Percentile(dh, 1), Percentile(de, 1), dh.size());
    }
}

TEST(FusedSilicaWorkbook, WindowAveragesMatchTheResultsSheet) {
    const io::ParsedFile& file = FusedSilica();
    ASSERT_EQ(file.status, ReadStatus::Ok) << file.error;
    ProfileSettings s;
    s.areaCoefficients = kFsTipArea;
    for (const io::ParsedCurve& c : file.curves) {
        const DepthProfile p = ComputeProfile(c, s);
        ASSERT_TRUE(p.ok);
        EXPECT_EQ(p.from, 100);
        EXPECT_EQ(p.to, 200);
        EXPECT_DOUBLE_EQ(p.samplePoisson, 0.18);
        const ProfileAverage a = AverageProfile(p);
        const double e = MetaValue(c, "E Average Over Defined Range [GPa]");
        const double h = MetaValue(c, "H Average Over Defined Range [GPa]");
        std::printf("%s n %zu E %g/%g H %g/%g\n", c.test.c_str(), a.n, a.modulus, e, a.hardness, h);
        EXPECT_NEAR(a.modulus / e, 1, 0.005) << c.test;
        EXPECT_NEAR(a.hardness / h, 1, 0.005) << c.test;
    }
}

}  // namespace
}  // namespace marvek::profiles
