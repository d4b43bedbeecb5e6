#include <unistd.h>

#include "support/graph_test_curves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "core/io/number_format.h"

namespace marvek::testing {

void WriteCurve(const std::filesystem::path& file, const PowerLawCurve& c) {
    std::ofstream out(file, std::ios::binary);
    out << "Depth (nm),Force (mN),Time (s),Segment\n";
    double t = 0;
    auto row = [&](double h, double f, const char* segment) {
        out << FormatSignificant(h, 17) << ',' << FormatSignificant(f, 17) << ','
            << FormatSignificant(t, 17) << ',' << segment << '\n';
        t += 0.1;
    };
    for (int i = 0; i <= c.loadPoints; ++i) {
        const double h = c.hMax * i / c.loadPoints;
        row(h, c.fMax * std::pow(h / c.hMax, c.loadExponent), "LOAD");
    }
    for (int i = 1; i <= c.unloadPoints; ++i) {
        const double h = c.hMax - (c.hMax - c.hf) * i / c.unloadPoints;
        row(h, c.fMax * std::pow((h - c.hf) / (c.hMax - c.hf), c.m), "UNLOAD");
    }
}

std::filesystem::path FreshFolder() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& ch : name)
        if (ch == '/') ch = '_';
    const std::filesystem::path folder =
        std::filesystem::path(::testing::TempDir()) /
        ("marvek_graphs_" + name + "_" + std::to_string(::getpid()));  // runs may overlap
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

ExpectedResults ExpectOliverPharr(const PowerLawCurve& c) {
    const double pi = 3.141592654;
    ExpectedResults e{};
    e.stiffness = c.m * c.fMax / (c.hMax - c.hf);
    e.hc = c.hMax - 0.75 * c.fMax / e.stiffness;
    const double ap = 24.5 * e.hc * e.hc;
    const double asHc = 26.44 * e.hc * e.hc;
    const double asHmax = 26.44 * c.hMax * c.hMax;
    const double er = std::sqrt(pi) / 2 * e.stiffness / std::sqrt(ap / 1e12);
    e.eit = (1 - 0.3 * 0.3) / (1 / er - (1 - 0.07 * 0.07) / 1141);
    e.hit = c.fMax / ap * 1e9;
    e.hop = c.fMax / asHc * 1e9;
    e.hv = e.hit * ap / (9.80665 * asHc);
    e.hm = c.fMax / asHmax * 1e9;
    e.alpha = c.fMax / std::pow(c.hMax - c.hf, c.m);
    return e;
}

}  // namespace marvek::testing
