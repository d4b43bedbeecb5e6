#include "core/config/settings_validation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "core/config/parameter_file.h"
#include "support/curve_generator.h"  // TempDir

namespace marvek {
namespace {

TEST(SettingsValidation, EachUnusableValueIsNamedAndRestored) {
    struct Case {
        const char* expected;  // part of the sentence
        std::function<void(Settings&)> spoil;
    };
    const Case cases[] = {
        {"Oliver-Pharr force range 120--5 %",
         [](Settings& s) {
             s.strategy.m_fOPMinPercent = 120;
             s.strategy.m_fOPMaxPercent = -5;
         }},
        {"Doerner-Nix force range 90-90 %",
         [](Settings& s) {
             s.strategy.m_fDNMinPercent = 90;
             s.strategy.m_fDNMaxPercent = 90;
         }},
        {"zero-point fit range 50-40 %",
         [](Settings& s) {
             s.strategy.m_bZeroPointCorrection = 1;
             s.strategy.m_fZeroFitMinPercent = 50;
             s.strategy.m_fZeroFitMaxPercent = 40;
         }},
        {"material epsilon -3 is outside (0, 1]", [](Settings& s) { s.strategy.m_fEpsilon = -3; }},
        {"material epsilon nan", [](Settings& s) { s.strategy.m_fEpsilon = NAN; }},
        {"section size -10 %", [](Settings& s) { s.strategy.m_fSectionSizePercent = -10; }},
        {"sample Poisson ratio 0.6", [](Settings& s) { s.m_fPoisson = 0.6f; }},
        {"indenter Poisson ratio -1 ", [](Settings& s) { s.areaFunction.m_fIndenterPoisson = -1; }},
        {"indenter modulus 0 GPa", [](Settings& s) { s.areaFunction.m_fIndenterModulus = 0; }},
        {"frame compliance -0.1 nm/mN", [](Settings& s) { s.compliance.m_fCompliance = -0.1f; }},
        {"number of area-function terms 10",
         [](Settings& s) { s.areaFunction.m_nFunctionTerms = 10; }},
        {"projected-area function coefficients",
         [](Settings& s) { s.areaFunction.m_dApCoef[3] = INFINITY; }},
    };
    ASSERT_TRUE(Validate(Settings{}).empty()) << DescribeProblems(Validate(Settings{}));
    for (const Case& c : cases) {
        Settings s;
        c.spoil(s);
        const auto problems = Validate(s);
        ASSERT_EQ(problems.size(), 1u) << c.expected << ": " << DescribeProblems(problems);
        EXPECT_NE(problems[0].message.find(c.expected), std::string::npos) << problems[0].message;
        EXPECT_EQ(RestoreInvalidToDefaults(s).size(), 1u) << c.expected;
        EXPECT_TRUE(Validate(s).empty()) << c.expected;
    }
    // The zero-point window is not checked while the correction is off.
    Settings off;
    off.strategy.m_fZeroFitMinPercent = 50;
    off.strategy.m_fZeroFitMaxPercent = 40;
    EXPECT_TRUE(Validate(off).empty());
}

// A value the file holds but Validate refuses keeps its default, and the reader says which.
TEST(SettingsValidation, ParameterFileKeepsTheDefaultForAnInvalidValue) {
    testing::TempDir dir;
    Settings s;
    const ParameterFileResult r =
        LoadParameters(dir.Write("p.par", "0.5\n-3\n5\n100\n120\n80\n"), s);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(s.compliance.m_fCompliance, 0.5f);
    EXPECT_EQ(s.strategy.m_fEpsilon, Settings{}.strategy.m_fEpsilon);
    EXPECT_EQ(s.strategy.m_fOPMinPercent, Settings{}.strategy.m_fOPMinPercent);
    EXPECT_EQ(s.strategy.m_fOPMaxPercent, Settings{}.strategy.m_fOPMaxPercent);
    ASSERT_EQ(r.warnings.size(), 2u);
    EXPECT_NE(r.warnings[0].find("p.par: The material epsilon -3"), std::string::npos);
    EXPECT_NE(r.warnings[1].find("Oliver-Pharr force range 120-5 %"), std::string::npos);
    EXPECT_NE(r.warnings[1].find("The default is used instead."), std::string::npos);
}

}  // namespace
}  // namespace marvek
