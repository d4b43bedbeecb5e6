// Long run: one marvek-cli process over 20000 curve files keeps its memory flat.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "support/curve_generator.h"

namespace {

long ResidentKiB(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

TEST(Soak, TwentyThousandFilesInOneProcessWithFlatMemory) {
    constexpr int kFiles = 20000;
    marvek::testing::TempDir dir;
    marvek::testing::CurveShape shape;
    shape.loadPoints = 150;
    shape.topHoldPoints = 10;
    shape.unloadPoints = 100;
    shape.unloadToFraction = 0.1;
    shape.noiseLoad = 0.002;
    std::ofstream list(dir.path() / "files.txt");
    for (int k = 0; k < kFiles; ++k) {
        shape.seed = static_cast<unsigned>(k + 1);
        const auto file =
            dir.Write("c" + std::to_string(k) + ".csv",
                      marvek::testing::CurveText(marvek::testing::GenerateCurve(shape), {}));
        list << file.string() << '\n';
    }
    list.close();
    // The shell prints its pid, then becomes marvek-cli.
    const std::string command = "sh -c 'echo $$; exec " + std::string(MARVEK_CLI) +
                                " analyze --json --defaults --files-from " +
                                (dir.path() / "files.txt").string() + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[65536];
    ASSERT_NE(std::fgets(line, sizeof line, pipe), nullptr);
    int pid = std::atoi(line);
    long early = -1, late = -1;
    int rows = 0;
    while (std::fgets(line, sizeof line, pipe)) {
        ++rows;
        if (rows == 1000) early = ResidentKiB(pid);
        if (rows == kFiles - 1000) late = ResidentKiB(pid);
    }
    ::pclose(pipe);
    EXPECT_EQ(rows, kFiles);
    ASSERT_GT(early, 0);
    constexpr long kAllowedGrowthKiB = 4096;  // allocator noise, not per-file growth
    EXPECT_LT(late - early, kAllowedGrowthKiB) << "early " << early << " KiB, late " << late;
}

}  // namespace
