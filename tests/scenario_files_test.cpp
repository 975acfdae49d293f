// Every scenario file under tests/scenarios runs through the simulated world
// and must print its .trace file line for line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "scenario/scenario.h"
#include "sim/world.h"

namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<fs::path> Scenarios() {
    std::vector<fs::path> out;
    // The tests' own scenarios and the demo's station session.
    for (const char* dir : {LINKWELL_SCENARIO_DIR, LINKWELL_DEMO_DIR}) {
        for (const auto& e : fs::directory_iterator(dir)) {
            if (e.path().extension() == ".scn") out.push_back(e.path());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

class ScenarioFile : public testing::TestWithParam<fs::path> {};

TEST_P(ScenarioFile, PrintsItsExpectedTrace) {
    const auto scn = GetParam();
    auto expectedPath = scn;
    expectedPath.replace_extension(".trace");
    ASSERT_TRUE(fs::exists(expectedPath)) << "no trace for " << scn;
    std::ostringstream out;
    auto scenario = linkwell::scenario::ReadScenario(Slurp(scn), scn.string());
    linkwell::sim::World world(std::move(scenario.actions), out);
    if (scenario.udp) world.AnnounceOnUdp(*scenario.udp);
    (void)world.Run();
    EXPECT_EQ(out.str(), Slurp(expectedPath)) << scn;
}

INSTANTIATE_TEST_SUITE_P(Files, ScenarioFile, testing::ValuesIn(Scenarios()),
                         [](const testing::TestParamInfo<fs::path>& tpi) {
                             std::string name = tpi.param.stem().string();
                             for (auto& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

}  // namespace
