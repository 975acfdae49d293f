// The chaos run's resource check (soak/chaos_resources.cpp): slopes and
// floors of the bridge's handles, threads, windows and memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "soak/chaos_check.h"

namespace linkwell::soak::chaos {
namespace {

TEST(ChaosCheck, ResourceSlopesPerProcess) {
    // Two bridges (one killed and started anew): each flat about its own level.
    const std::string err =
        "RESOURCES 30000 pid=10 handles=100 user=20 gdi=10 threads=6 private-kb=4000\n"
        "RESOURCES 90000 pid=10 handles=100 user=20 gdi=10 threads=6 private-kb=4000\n"
        "RESOURCES 120000 pid=11 handles=80 user=18 gdi=9 threads=5 private-kb=3000\n"
        "RESOURCES 180000 pid=11 handles=80 user=18 gdi=9 threads=5 private-kb=3000\n";
    const auto flat = ResourceSlopes({err});
    EXPECT_EQ(flat.samples, 4U);
    EXPECT_EQ(flat.perMinute.at("handles"), 0.0);
    EXPECT_TRUE(CheckSlopes(1, 1, flat).empty());

    // Sampled for a minute: a thread and its stack that come and go with
    // what the bridge waits for are no leak; the fitted slope sees them.
    auto samples = [](const std::string& pid, const std::vector<int>& threads,
                      const std::vector<int>& handles) {
        std::string lines;
        for (std::size_t i = 0; i < threads.size(); ++i) {
            lines += "RESOURCES " + std::to_string(30000 + 10000 * i) + " pid=" + pid +
                     " handles=" + std::to_string(handles[i]) + " user=0 gdi=0 windows=4" +
                     " threads=" + std::to_string(threads[i]) + " private-kb=4000\n";
        }
        return lines;
    };
    const auto waiting =
        ResourceSlopes({samples("10", {5, 5, 5, 5, 7, 7, 5}, {90, 90, 90, 90, 90, 90, 90})});
    EXPECT_GT(waiting.perMinute.at("threads"), 0.5);
    EXPECT_EQ(waiting.floorPerMinute.at("threads"), 0.0);
    EXPECT_TRUE(CheckSlopes(1, 2, waiting).empty());

    // Two handles more every 10 s: the floor rises 10 in 50 s, 2 of them a
    // first need's: 9.6 a minute.
    const auto leaking =
        ResourceSlopes({samples("10", {5, 5, 5, 5, 5, 5, 5}, {100, 102, 104, 106, 108, 110, 112})});
    EXPECT_DOUBLE_EQ(leaking.floorPerMinute.at("handles"), 9.6);
    const auto v = CheckSlopes(1, 2, leaking);
    ASSERT_EQ(v.size(), 1U);
    EXPECT_EQ(v[0], "seed 1, session 2: the floor of handles grows 9.60 a minute (at most 2.00)");

    // Under Wine the windows stand in for USER objects: a box left behind every 10 s.
    std::string boxes = samples("11", {5, 5, 5, 5, 5, 5, 5}, {90, 90, 90, 90, 90, 90, 90});
    for (int i = 0; i < 7; ++i) {
        const auto at = boxes.find("windows=4");
        boxes.replace(at, 9, "windows=" + std::to_string(10 + i));
    }
    const auto w = CheckSlopes(1, 3, ResourceSlopes({boxes}));
    ASSERT_EQ(w.size(), 1U);
    EXPECT_EQ(w[0], "seed 1, session 3: the floor of windows grows 6.00 a minute (at most 1.00)");

    // Too few samples to tell a floor: not judged.
    const auto brief = ResourceSlopes({samples("12", {3, 6, 9}, {10, 50, 90})});
    EXPECT_TRUE(brief.floorPerMinute.empty());
    EXPECT_TRUE(CheckSlopes(1, 4, brief).empty());
}

TEST(ChaosCheck, FloorsOfSettledSamplesNetOfWineResidue) {
    struct Sample {
        int threads, handles, settled, mixwGone;
        std::string atWork = "mixw";
    };
    auto lines = [](const std::vector<Sample>& samples) {
        std::string out;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const auto& s = samples[i];
            out += "RESOURCES " + std::to_string(30000 + 10000 * i) +
                   " pid=7 handles=" + std::to_string(s.handles) +
                   " user=0 gdi=0 windows=4 threads=" + std::to_string(s.threads) +
                   " private-kb=4000 settled=" + std::to_string(s.settled) +
                   " at-work=" + s.atWork + " mixw-gone=" + std::to_string(s.mixwGone) + "\n";
        }
        return out;
    };
    // The last samples wait on a hung peer (more threads): not the floor.
    const auto waiting = ResourceSlopes({lines({{5, 90, 1, 0},
                                                {5, 90, 1, 0},
                                                {5, 90, 1, 0},
                                                {5, 90, 1, 0},
                                                {5, 90, 1, 0},
                                                {5, 90, 1, 0},
                                                {5, 90, 1, 0},
                                                {8, 90, 0, 0},
                                                {8, 90, 0, 0},
                                                {8, 90, 0, 0}})});
    EXPECT_EQ(waiting.samples, 10U);
    EXPECT_EQ(waiting.floorPerMinute.at("threads"), 0.0);
    EXPECT_GT(waiting.perMinute.at("threads"), 0.5);
    EXPECT_TRUE(CheckSlopes(1, 1, waiting).empty());

    // Three handles for each MixW2 gone are Wine's; one more is the bridge's.
    std::vector<Sample> restarts;
    for (int i = 0; i < 7; ++i) restarts.push_back({5, 90 + 3 * i, 1, i});
    EXPECT_TRUE(CheckSlopes(1, 2, ResourceSlopes({lines(restarts)})).empty());
    for (int i = 0; i < 7; ++i) restarts[static_cast<std::size_t>(i)].handles += i;
    const auto leaking = CheckSlopes(1, 2, ResourceSlopes({lines(restarts)}));
    ASSERT_EQ(leaking.size(), 1U);
    EXPECT_EQ(leaking[0],
              "seed 1, session 2: the floor of handles grows 3.60 a minute (at most 2.00)");

    // With the rig at Logger32 the bridge has 2 threads fewer (Wine lets
    // the threads of its calls to MixW2 go): each state has its own floor.
    std::vector<Sample> handovers;
    for (const char* rig : {"logger32", "logger32", "logger32", "mixw", "mixw", "mixw", "mixw",
                            "logger32", "mixw", "mixw", "mixw", "mixw", "mixw", "mixw"}) {
        const bool atLogger32 = std::string_view(rig) == "logger32";
        handovers.push_back({atLogger32 ? 3 : 5, 90, 1, 0, rig});
    }
    EXPECT_TRUE(CheckSlopes(1, 4, ResourceSlopes({lines(handovers)})).empty());
    for (auto& h : handovers) h.atWork = "mixw";
    EXPECT_EQ(CheckSlopes(1, 4, ResourceSlopes({lines(handovers)})).size(), 1U);

    // A thread made on first need (the not-logged.adi writer's) raises the
    // floor once; one more later is growth.
    std::vector<Sample> firstNeed;
    for (const int threads : {5, 5, 5, 6, 6, 6, 6}) firstNeed.push_back({threads, 90, 1, 0});
    const auto once = ResourceSlopes({lines(firstNeed)});
    EXPECT_EQ(once.floorPerMinute.at("threads"), 0.0);
    EXPECT_EQ(once.bridges, 1U);
    EXPECT_EQ(once.bridgesJudged, 1U);
    firstNeed.back().threads = firstNeed[5].threads = 7;
    const auto twice = CheckSlopes(1, 3, ResourceSlopes({lines(firstNeed)}));
    ASSERT_EQ(twice.size(), 1U);
    EXPECT_EQ(twice[0],
              "seed 1, session 3: the floor of threads grows 1.20 a minute (at most 0.50)");
}

}  // namespace
}  // namespace linkwell::soak::chaos
