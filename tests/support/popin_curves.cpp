#include "support/popin_curves.h"

#include <cmath>
#include <random>

#include "support/curve_generator.h"

namespace marvek::testing {

namespace {

// Depth of the Hertzian contact at load P (mN): h = h0 + (3P/(4 Er sqrt R))^(2/3), Er in mN/nm^2.
double HertzDepth(const PopinCurveShape& s, double load) {
    const double er = s.reducedModulus * 1e-6;
    return s.h0 + std::cbrt(std::pow(3 * load / (4 * er * std::sqrt(s.radius)), 2));
}

}  // namespace

PopinCurve MakePopinCurve(const PopinCurveShape& s) {
    PopinCurve c;
    PortableNoise noise(s.seed);
    double t = 0;
    auto add = [&](double h, double p) {
        c.depth.push_back(h + noise.Normal(s.noiseDepth));
        c.load.push_back(p + noise.Normal(s.noiseLoad));
        c.time.push_back(t);
        t += 0.1;
    };
    for (int k = s.approachPoints; k > 0; --k) add(s.h0 - k * s.approachStep, 0);
    double shift = 0;
    std::size_t next = 0;
    const double firstBurst = s.bursts.empty() ? s.maxLoad * 2 : s.bursts.front().load;
    auto depthAt = [&](double p) {
        const double plastic =
            p > firstBurst && next > 0 ? s.plasticCompliance * (p - firstBurst) : 0;
        return HertzDepth(s, p) + shift + plastic;
    };
    for (int k = 0; k <= s.points; ++k) {
        const double p = s.maxLoad * k / s.points;
        while (next < s.bursts.size() && s.bursts[next].load <= p) {
            const GeneratedBurst& b = s.bursts[next];
            const double before = depthAt(b.load);
            c.truth.push_back({b.load, before, b.width});
            for (int q = 1; q <= b.samples; ++q)
                add(before + b.width * q / (b.samples + 1), b.load);
            shift += b.width;
            ++next;
        }
        add(depthAt(p), p);
    }
    return c;
}

std::vector<double> DrawWeibullLoads(int n, double modulus, double scale, std::uint64_t seed) {
    PortableNoise noise(seed);
    std::vector<double> loads;
    for (int k = 0; k < n; ++k) {
        const double u = noise.Uniform();
        loads.push_back(scale * std::pow(-std::log(1 - u), 1 / modulus));
    }
    return loads;
}

std::vector<double> DrawNucleationLoads(int n, double a, double beta, std::uint64_t seed) {
    PortableNoise noise(seed);
    std::vector<double> loads;
    while (static_cast<int>(loads.size()) < n) {
        const double u = noise.Uniform();
        const double root = (std::log(-std::log(1 - u)) - a) / beta;
        if (root > 0) loads.push_back(root * root * root * 1e3);
    }
    return loads;
}

}  // namespace marvek::testing
