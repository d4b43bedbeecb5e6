// Grid indentation at scale: 10 000 indents, a two-column mixture fitted for k = 1 ... 5 and
// the property map interpolated.

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "core/phases/map_data.h"
#include "core/phases/mixture.h"

namespace marvek {
namespace {

// A 100 x 100 grid at 1 µm: three phases of 50, 30 and 20 %.
struct Grid {
    std::vector<std::vector<double>> properties;
    std::vector<phases::MapPoint> points;
};

Grid MakeGrid() {
    Grid g;
    std::mt19937_64 rng(11);
    std::normal_distribution<double> z;
    std::uniform_real_distribution<double> u;
    for (int j = 0; j < 100; ++j)
        for (int i = 0; i < 100; ++i) {
            const double r = u(rng);
            const double e = r < 0.5   ? 70 + 5 * z(rng)
                             : r < 0.8 ? 140 + 8 * z(rng)
                                       : 230 + 12 * z(rng);
            const double h = e * 30 + 150 * z(rng);
            g.properties.push_back({e, h});
            g.points.push_back({1.0 * i, 1.0 * j, h});
        }
    return g;
}

void PhasesOf10000(benchmark::State& state) {
    const Grid g = MakeGrid();
    for (auto _ : state) {
        const phases::MixtureFit fit = phases::FitPhases(g.properties, {});
        benchmark::DoNotOptimize(fit.k);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(g.properties.size()));
}

void MapOf10000(benchmark::State& state) {
    const Grid g = MakeGrid();
    for (auto _ : state) {
        const phases::MapGrid map = phases::InterpolateMap(g.points);
        benchmark::DoNotOptimize(map.values.data());
    }
}

BENCHMARK(PhasesOf10000)
    ->Name("B14_phases_10000_indents_k1_5")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(MapOf10000)->Name("B14_map_10000_indents")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace marvek
