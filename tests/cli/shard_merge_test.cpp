// marvek-cli analyze --shard K/N and marvek-cli merge: the merged shards are the one-process
// output byte for byte; shards that do not make one whole job are refused.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/curve_generator.h"
#include "support/temp_dir.h"

namespace {

using marvek::testing::CurveShape;
using marvek::testing::ReadWholeFile;

struct Job {
    marvek::testing::TempDir dir;
    std::string files;  // in path order, as `LC_ALL=C` globbing gives them

    // 40 curves (two far deeper, so outliers depend on the whole series), a file of ten tests
    // and one that cannot be read.
    Job() {
        std::vector<std::string> names;
        for (int k = 0; k < 40; ++k) {
            CurveShape shape;
            shape.seed = static_cast<unsigned>(k + 1);
            shape.unloadToFraction = 0.05;
            shape.noiseLoad = 0.001;
            shape.hMax = k % 17 == 5 ? 170 : 100 + k % 7;
            shape.hf = k % 17 == 5 ? 95 : 40;
            const std::string name = "c" + std::to_string(100 + k) + ".csv";
            dir.Write(name, CurveText(GenerateCurve(shape), {}));
        }
        std::filesystem::copy_file(std::filesystem::path(MARVEK_TEST_DATA) / "vendor" / "FS1.txt",
                                   dir.path() / "c120x.txt");
        dir.Write("c130x.csv", "not a curve\n");
        std::vector<std::string> sorted;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            sorted.push_back(e.path().string());
        std::sort(sorted.begin(), sorted.end());
        for (const std::string& f : sorted) files += " " + f;
    }

    std::string Path(const std::string& name) const { return (dir.path() / name).string(); }

    // Runs the cli with stdout to `out` (in the job's folder); the exit status.
    int Run(const std::string& args, const std::string& out) const {
        const std::string command =
            std::string(MARVEK_CLI) + " " + args + " >" + Path(out) + " 2>" + Path(out + ".err");
        const int raw = std::system(command.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    std::string Text(const std::string& name) const { return ReadWholeFile(Path(name)); }
};

TEST(ShardMerge, ThreeShardsMergeToTheOneProcessBytes) {
    const Job job;
    for (const std::string options :
         {"--json", "", "--json --summary --exclude-flagged outlier-hmax", "--summary"}) {
        SCOPED_TRACE(options);
        const std::string analyze = "analyze --defaults " + options;
        EXPECT_EQ(job.Run(analyze + job.files, "one"), 1);  // the unreadable file
        for (int k = 1; k <= 3; ++k)
            job.Run(analyze + " --shard " + std::to_string(k) + "/3" + job.files,
                    "s" + std::to_string(k));
        // Shards differ from the whole (their own rows, their own outliers).
        EXPECT_NE(job.Text("s1").find("marvekShard"), std::string::npos);
        ASSERT_EQ(job.Run("merge " + job.Path("s3") + " " + job.Path("s1") + " " + job.Path("s2"),
                          "merged"),
                  0)
            << job.Text("merged.err");
        EXPECT_EQ(job.Text("merged"), job.Text("one"));
    }
    // The series rows of a shard are judged again: the outliers of the whole run are not those
    // of one shard.
    EXPECT_NE(job.Text("one").find("outlier-hmax"), std::string::npos);
}

TEST(ShardMerge, SharesFollowTheSortedPathsAndKeepATestFileWhole) {
    const Job job;
    job.Run("analyze --defaults --json --shard 2/3" + job.files, "s2");
    const std::string s = job.Text("s2");
    // Sorted files c100..c120, c120x.txt (after c120.csv), c121..c130, c130x.csv, c131..c139:
    // 42 files; shard 2 holds the 2nd, 5th, ... (c101, c104, ...), shard 1 the 22nd, c120x.txt,
    // with all its ten tests.
    EXPECT_NE(s.find("\"entries\":14"), std::string::npos);
    EXPECT_NE(s.find("c101.csv"), std::string::npos);
    EXPECT_EQ(s.find("c100.csv"), std::string::npos);
    EXPECT_EQ(s.find("c120x.txt"), std::string::npos);
    job.Run("analyze --defaults --json --shard 1/3" + job.files, "s1");
    const std::string s1 = job.Text("s1");
    EXPECT_NE(s1.find("c120x.txt#10"), std::string::npos);
    EXPECT_NE(s1.find("c120x.txt#1\""), std::string::npos);
    EXPECT_EQ(job.Run("analyze --defaults --shard 0/3" + job.files, "bad"), 2);
    EXPECT_EQ(job.Run("analyze --defaults --shard 4/3" + job.files, "bad"), 2);
    EXPECT_EQ(job.Run("analyze --defaults --shard 1-3" + job.files, "bad"), 2);
    EXPECT_EQ(job.Run("analyze --defaults --text --shard 1/3" + job.files, "bad"), 2);
}

TEST(ShardMerge, RefusesShardsThatAreNotOneWholeJob) {
    const Job job;
    for (int k = 1; k <= 3; ++k) {
        job.Run(
            "analyze --defaults --json --summary --shard " + std::to_string(k) + "/3" + job.files,
            "j" + std::to_string(k));
        job.Run("analyze --defaults --shard " + std::to_string(k) + "/3" + job.files,
                "c" + std::to_string(k));
    }
    job.Run("analyze --defaults --json --summary --shard 3/3" + job.files.substr(0, 200), "other");
    const std::string j1 = job.Text("j1"), j2 = job.Text("j2");
    // A row of shard 1 also in shard 2, at its place in path order.
    const std::size_t row = j1.find('\n') + 1;
    const std::string stolen = j1.substr(row, j1.find('\n', row) + 1 - row);
    const std::size_t at = j2.find('\n') + 1;
    job.dir.Write("overlap", j2.substr(0, at) + stolen + j2.substr(at));
    job.dir.Write("cut", j2.substr(0, j2.size() - 40));
    job.dir.Write("cut_at_line", j2.substr(0, j2.rfind('\n', j2.size() - 2) + 1));

    const struct {
        std::string shards, message;
    } cases[] = {
        {"j1 j2", "missing shards: 3 (of 3)"},
        {"j1 j2 j3 j2", "shard 2 given twice"},
        {"j1 c2 j3", "mixed formats"},
        {"j1 j2 other", "different jobs"},
        {"j1 overlap j3", "overlapping rows"},
        {"j1 cut j3", "cut short"},
        {"j1 cut_at_line j3", "summary line is missing"},
        {"j1 c130x.csv j3", "not a shard file"},
        {"j1 nowhere j3", "cannot be opened"},
    };
    for (const auto& c : cases) {
        std::string args = "merge";
        for (std::size_t p = 0, q; p < c.shards.size(); p = q + 1) {
            q = c.shards.find(' ', p);
            if (q == std::string::npos) q = c.shards.size();
            args += " " + job.Path(c.shards.substr(p, q - p));
        }
        EXPECT_EQ(job.Run(args, "m"), 1) << c.shards;
        EXPECT_EQ(job.Text("m"), "") << c.shards;  // nothing half-merged
        EXPECT_NE(job.Text("m.err").find(c.message), std::string::npos)
            << c.shards << ": " << job.Text("m.err");
    }
    EXPECT_EQ(job.Run("merge", "m"), 2);
}

}  // namespace
