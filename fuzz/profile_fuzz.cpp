// Depth profiles over arbitrary input: the tip-list parser over the bytes, and the profile, its
// average, the mean profile and the size-effect fit over samples made of the bytes (any double,
// NaN and DBL_MAX included). Nothing may crash, and every value kept must be a finite number.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/io/parsed_curve.h"
#include "core/profiles/depth_profile.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace marvek;
    std::vector<profiles::TipAreaFunction> tips;
    std::string error;
    const bool parsed = profiles::ParseTipList(
        std::string_view(reinterpret_cast<const char*>(data), size), tips, error);
    Require(parsed || !error.empty());
    for (const profiles::TipAreaFunction& t : tips)
        Require(!t.coefficients.empty() && t.coefficients.size() <= 9);

    // Samples of five doubles: depth, load, stiffness, harmonic load, harmonic displacement.
    io::ParsedCurve c;
    c.channels = {{"Harmonic Contact Stiffness", "N/m", {}},
                  {"Harmonic Load", "mN", {}},
                  {"Harmonic Displacement", "nm", {}}};
    const char codes[] = {'L', 'L', 'L', 'T', 'B', 'U'};
    for (std::size_t off = 0; off + 5 * sizeof(double) <= size; off += 5 * sizeof(double)) {
        double v[5];
        std::memcpy(v, data + off, sizeof v);
        c.push(v[0], v[1], static_cast<double>(off), codes[(off / 40) % 6]);
        for (int k = 0; k < 3; ++k)
            c.channels[static_cast<std::size_t>(k)].values.push_back(v[k + 2]);
    }
    profiles::ProfileSettings s;
    s.areaCoefficients = {24.5, 100};
    s.corrections.dynamicUnloading = size % 2 == 1;
    s.corrections.peakLoadAndDepth = size % 3 == 1;
    s.corrections.thermalDrift = size % 5 == 1;
    const profiles::DepthProfile p = profiles::ComputeProfile(c, s);
    Require(p.ok());
    Require(p.size() + p.skipped.Total() == c.size());
    Require(p.loadingSamples <= p.size());
    for (std::size_t k = 0; k < p.size(); ++k)
        Require(std::isfinite(p.hardness[k]) && std::isfinite(p.modulus[k]) && p.area[k] > 0 &&
                p.stiffness[k] > 0);
    const profiles::ProfileAverage a = profiles::AverageProfile(p, 10, 1e6);
    Require(a.n == 0 ? !a.reason.empty() : a.last < p.loadingSamples && a.first <= a.last);
    const profiles::MeanProfile m = profiles::ComputeMeanProfile({p, p}, {}, 17, size % 2 == 0);
    Require(m.depth.empty() || m.depth.size() == 17);
    const profiles::NixGaoFit f = profiles::FitNixGao(p, 1, 1e9);
    Require(f.ok() ? f.hStar > 0 && f.h0 > 0 : !f.status.reason().empty());
    return 0;
}
