#include "support/indent_grid.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

#include "support/curve_generator.h"

namespace marvek::testing {

WrittenGrid WriteIndentGrid(const std::filesystem::path& folder, const IndentGrid& g) {
    WrittenGrid out;
    PortableNoise noise(g.seed);
    const double cx = (g.columns - 1) * g.pitch_um / 2, cy = (g.rows - 1) * g.pitch_um / 2;
    for (int r = 0; r < g.rows; ++r)
        for (int c = 0; c < g.columns; ++c) {
            const double x = c * g.pitch_um, y = r * g.pitch_um;
            const bool particle = std::hypot(x - cx, y - cy) <= g.radius_um;
            IndentModel m;
            m.fmax = g.fmax;
            m.hardness =
                (particle ? g.particleHardness : g.matrixHardness) * (1 + noise.Normal(g.spread));
            m.reducedModulus =
                (particle ? g.particleModulus : g.matrixModulus) * (1 + noise.Normal(g.spread));
            const IndentTruth t = SolveIndent(m);
            CurveShape s;
            s.fMax = m.fmax, s.hMax = t.hmax, s.m = m.unloadExponent;
            s.hf = t.hmax - s.m * m.fmax / t.stiffness;
            s.unloadAlpha = m.fmax / std::pow(t.hmax - s.hf, s.m);
            s.loadPoints = s.unloadPoints = g.pointsPerBranch;
            s.summedClock = true;
            const std::vector<GeneratedPoint> points = GenerateCurve(s);
            char name[40];
            std::snprintf(name, sizeof name, "grid_%03d_%03d.hld", r, c);
            out.files.push_back(folder / name);
            out.particle.push_back(particle);
            std::ofstream f(out.files.back(), std::ios::binary);
            f << "File Version: generated grid indent\r\n"
              << "Stage X: " << x << " um\r\nStage Y: " << y << " um\r\n"
              << "Test Data Points: " << points.size() << "\r\n"
              << "Time_s\tDisp_nm\tForce_uN\r\n";
            f.precision(10);
            for (const GeneratedPoint& p : points)
                f << p.time << '\t' << p.depth << '\t' << p.load * 1000 << "\r\n";
            if (!f) throw std::runtime_error("cannot write " + out.files.back().string());
        }
    return out;
}

}  // namespace marvek::testing
