#include "support/synthetic_curve.h"

#include <atomic>
#include <cmath>
#include <fstream>
#include <numbers>
#include <random>
#include <stdexcept>

#include <unistd.h>

#include "core/io/number_format.h"

namespace marvek::bench {
namespace {

// mt19937_64 is fully specified; the distributions of the standard library are not, so the
// uniform and normal draws are made here to keep a seed's curve the same everywhere.
class Noise {
public:
    explicit Noise(std::uint64_t seed) : m_engine(seed) {}
    double Uniform() { return static_cast<double>(m_engine() >> 11) * 0x1.0p-53; }
    double Between(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
    double Normal(double sigma) {
        const double u1 = 1.0 - Uniform();  // (0, 1]
        const double u2 = Uniform();
        return sigma * std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
    }

private:
    std::mt19937_64 m_engine;
};

const char* Keyword(char code) {
    switch (code) {
        case 'L': return "LOAD";
        case 'T': return "TOP_HOLD";
        case 'U': return "UNLOAD";
        case 'B': return "BOTTOM_HOLD";
        default: return "";
    }
}

}  // namespace

SyntheticCurve MakeSyntheticCurve(int points, std::uint64_t seed) {
    if (points < 16) throw std::invalid_argument("a synthetic curve needs at least 16 points");
    Noise noise(seed);
    const double hmax = noise.Between(400, 1600);  // nm
    const double fmax = noise.Between(5, 40);      // mN
    const double m = noise.Between(1.3, 1.6);
    const double hf = hmax * noise.Between(0.45, 0.75);     // nm
    const double creep = hmax * noise.Between(0.01, 0.02);  // depth gained during the top hold
    const double drift = noise.Between(-0.08, 0.08);        // nm/s during the bottom hold
    const double loadNoise = fmax * 2e-4;                   // mN
    const double depthNoise = 0.3;                          // nm
    const double alpha = fmax / std::pow(hmax - hf, m);
    const double hLoaded = hmax - creep;
    const double fBottom = 0.1 * fmax;

    // Shares of the points, which are sampled at a constant rate: loading, top hold, unloading,
    // bottom hold.
    const int nLoad = points * 46 / 100;
    const int nTop = points * 22 / 100;
    const int nUnload = points * 22 / 100;
    const int nBottom = points - nLoad - nTop - nUnload;
    const double dt = 66.0 / points;

    SyntheticCurve curve;
    curve.alpha = alpha;
    curve.m = m;
    curve.hf = hf;
    curve.depth.reserve(points);
    curve.load.reserve(points);
    curve.time.reserve(points);
    curve.segment.reserve(points);
    auto add = [&](double h, double f, char code) {
        curve.time.push_back(static_cast<double>(curve.depth.size()) * dt);
        curve.depth.push_back(h + noise.Normal(depthNoise));
        curve.load.push_back(f + noise.Normal(loadNoise));
        curve.segment.push_back(code);
    };
    for (int i = 0; i < nLoad; ++i) {
        const double h = 2.0 + (hLoaded - 2.0) * (i + 1) / nLoad;
        add(h, fmax * (h / hLoaded) * (h / hLoaded), 'L');
    }
    for (int i = 0; i < nTop; ++i) {
        // Creep slows down over the hold.
        const double s = static_cast<double>(i + 1) / nTop;
        add(hLoaded + creep * (1.0 - std::exp(-4.0 * s)) / (1.0 - std::exp(-4.0)), fmax, 'T');
    }
    for (int i = 0; i < nUnload; ++i) {
        const double f = fmax - (fmax - fBottom) * (i + 1) / nUnload;
        add(hf + std::pow(f / alpha, 1.0 / m), f, 'U');
    }
    const double hBottom = hf + std::pow(fBottom / alpha, 1.0 / m);
    for (int i = 0; i < nBottom; ++i) add(hBottom + drift * (i + 1) * dt, fBottom, 'B');
    return curve;
}

std::string FormatLayoutA(const SyntheticCurve& curve) {
    std::string text = "Depth (nm),Load (mN),Time (s),Segment\n";
    text.reserve(curve.depth.size() * 40);
    for (std::size_t i = 0; i < curve.depth.size(); ++i) {
        text += FormatSignificant(curve.depth[i], 7);
        text += ',';
        text += FormatSignificant(curve.load[i], 7);
        text += ',';
        text += FormatSignificant(curve.time[i], 7);
        text += ',';
        text += Keyword(curve.segment[i]);
        text += '\n';
    }
    return text;
}

void WriteLayoutA(const SyntheticCurve& curve, const std::filesystem::path& file) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    const std::string text = FormatLayoutA(curve);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace marvek::bench
