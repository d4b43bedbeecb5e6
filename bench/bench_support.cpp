#include "bench_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

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
        testing::WriteCurveFile(slot, curve.Points(), testing::kLayoutA);
    }
    return slot;
}

const std::vector<std::string>& CurveFiles(int count, int points) {
    static std::map<std::pair<int, int>, std::vector<std::string>> sets;
    std::lock_guard lock(g_mutex);
    std::vector<std::string>& files = sets[{count, points}];
    if (files.empty()) {
        const std::filesystem::path folder =
            Scratch().path() / ("set_" + FormatInt(count) + "_" + FormatInt(points));
        std::filesystem::create_directories(folder);
        for (int i = 0; i < count; ++i) {
            const auto file = folder / ("curve_" + FormatInt(i) + ".csv");
            const SyntheticCurve curve =
                MakeSyntheticCurve(points, 1000 + static_cast<std::uint64_t>(i));
            testing::WriteCurveFile(file, curve.Points(), testing::kLayoutA);
            files.push_back(file.string());
        }
    }
    return files;
}

int RunQuietly(const std::vector<std::string>& args, ChildUsage* usage) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    struct rusage r {};
    if (wait4(pid, &status, 0, &r) < 0) return -1;
    if (usage) {
        usage->cpuSeconds = static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
                            1e-6 * static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec);
        usage->pageFaults = r.ru_minflt;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
