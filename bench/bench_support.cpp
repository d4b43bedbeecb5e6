#include "bench_support.h"

#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "core/io/number_format.h"
#include "support/temp_dir.h"

namespace marvek::bench {
namespace {

std::mutex g_mutex;

testing::TempDir& Scratch() {
    static testing::TempDir dir;
    return dir;
}

}  // namespace

const SyntheticCurve& Curve(int points, std::uint64_t seed) {
    static std::map<std::pair<int, std::uint64_t>, std::unique_ptr<SyntheticCurve>> cache;
    std::lock_guard lock(g_mutex);
    auto& slot = cache[{points, seed}];
    if (!slot) slot = std::make_unique<SyntheticCurve>(MakeSyntheticCurve(points, seed));
    return *slot;
}

const std::filesystem::path& CurveFile(int points, std::uint64_t seed) {
    static std::map<std::pair<int, std::uint64_t>, std::filesystem::path> cache;
    const SyntheticCurve& curve = Curve(points, seed);
    std::lock_guard lock(g_mutex);
    auto& slot = cache[{points, seed}];
    if (slot.empty()) {
        slot = Scratch().path() / ("curve_" + FormatInt(points) + "_" +
                                   FormatInt(static_cast<long long>(seed)) + ".csv");
        WriteLayoutA(curve, slot);
    }
    return slot;
}

namespace {
std::vector<Check>& CheckList() {
    static std::vector<Check> checks;
    return checks;
}
}  // namespace

void RecordCheck(const std::string& what, double largestRelativeDifference) {
    std::lock_guard lock(g_mutex);
    for (Check& c : CheckList()) {
        if (c.what == what) {
            c.difference = std::max(c.difference, largestRelativeDifference);
            return;
        }
    }
    CheckList().push_back({what, largestRelativeDifference});
}

const std::vector<Check>& Checks() { return CheckList(); }

}  // namespace marvek::bench
