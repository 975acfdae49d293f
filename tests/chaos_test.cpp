// The chaos run's generator and checker (soak/chaos.h, soak/chaos_check.h).
#include "soak/chaos.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>

#include "scenario/scenario.h"
#include "soak/chaos_check.h"
#include "support/played.h"

namespace linkwell::soak::chaos {
namespace {

TEST(ChaosDay, SameSeedSameScheduleAndEveryLoggingItsOwn) {
    const auto a = Generate(7, 30);
    const auto b = Generate(7, 30);
    ASSERT_EQ(a.sessions.size(), b.sessions.size());
    for (std::size_t i = 0; i < a.sessions.size(); ++i) {
        EXPECT_EQ(a.sessions[i].scenario, b.sessions[i].scenario);
    }
    EXPECT_EQ(LoggingsFile(a), LoggingsFile(b));
    EXPECT_NE(a.sessions[0].scenario, Generate(8, 30).sessions[0].scenario);

    std::set<std::string> calls, times;
    std::size_t made = 0;
    for (const auto& s : a.sessions) {
        for (const auto& l : s.loggings) {
            ++made;
            calls.insert(l.call);
            times.insert(l.time);
            // The call and time reach MixW's items before the logging.
            const auto set = s.scenario.find("mixw dde Call \"" + l.call + "\"\nmixw dde time \"" +
                                             l.time + "\"\n");
            ASSERT_NE(set, std::string::npos) << l.call;
            EXPECT_NE(s.scenario.find("at " + std::to_string(l.at) + "\n", set), std::string::npos)
                << l.call;
        }
    }
    EXPECT_GT(made, 50U);
    EXPECT_EQ(calls.size(), made);
    EXPECT_EQ(times.size(), made);
    // The file the checker reads gives the same loggings back.
    const auto read = ReadLoggingsFile(LoggingsFile(a));
    ASSERT_EQ(read.size(), made);
    EXPECT_EQ(read.back().call, a.sessions.back().loggings.back().call);
    EXPECT_EQ(read.back().at, a.sessions.back().loggings.back().at);
}

TEST(ChaosDay, SessionsAreScenariosThePeersCanPlay) {
    const auto day = Generate(20261210, 30);
    std::int64_t total = 0;
    bool kill = false, second = false, hang = false, lock = false;
    for (const auto& s : day.sessions) {
        const auto scenario = scenario::ReadScenario(s.scenario, "chaos.scn");
        const std::map<std::string, std::int64_t> limits(scenario.wine.limits.begin(),
                                                         scenario.wine.limits.end());
        EXPECT_EQ(limits.at("longest-unanswered-ms"), 250);
        EXPECT_EQ(limits.contains("session-end-ms"), s.endsBySessionEnd);
        EXPECT_EQ(limits.contains("close-ms"), !s.endsBySessionEnd);
        total += s.lengthMs;
        kill = kill || s.bridgeKilled;
        second = second || s.secondBridge;
        hang = hang || s.scenario.find("logger32 hang ") != std::string::npos;
        lock = lock || s.scenario.find("file lock") != std::string::npos;
    }
    // About the minutes asked for, each session's ending included.
    EXPECT_GE(total, 29 * 60'000);
    EXPECT_LE(total, 31 * 60'000);
    EXPECT_TRUE(kill && second && hang && lock);

    // The quiet day: no hang, stop, kill or second copy, but loggings and floods.
    std::size_t loggings = 0;
    for (const auto& s : Generate(20261210, 10, true).sessions) {
        for (const char* word :
             {" hang ", " stop", "file lock", "click Command1", "click Command2", "\npeers "}) {
            EXPECT_EQ(s.scenario.find(word), std::string::npos) << word;
        }
        EXPECT_NE(s.scenario.find("logger32 post 100 "), std::string::npos);
        loggings += s.loggings.size();
    }
    EXPECT_GT(loggings, 10U);
}

// The resource floors are judged on samples from quiet spells: each
// session must have them, both programs running, nothing hung or ended.
TEST(ChaosDay, EverySessionHasQuietSpellsForTheResourceSamples) {
    for (const auto& s : Generate(20261212, 30).sessions) {
        std::istringstream in(s.scenario);
        std::string line;
        std::int64_t at = 0, quietFrom = 0, longest = 0, spells = 0;
        std::map<std::string, bool> runs;
        auto upset = [&](std::int64_t until) {
            const bool both = runs["logger32"] && runs["mixw"];
            if (both && at - quietFrom >= 40'000) ++spells;
            if (both) longest = std::max(longest, at - quietFrom);
            quietFrom = std::max(quietFrom, until);
        };
        while (std::getline(in, line)) {
            std::istringstream words(line);
            std::string peer, what;
            std::int64_t ms = 0;
            words >> peer >> what;
            if (peer == "at") {
                at = std::stoll(what);
            } else if ((peer == "logger32" || peer == "mixw") && what == "hang" && words >> ms) {
                upset(at + ms);
            } else if ((peer == "logger32" || peer == "mixw") &&
                       (what == "start" || what == "stop")) {
                upset(at);
                runs[peer] = what == "start";
            } else if (peer == "click" && what.starts_with("Command") && what != "CommandSend") {
                upset(at);  // a handover
            }
        }
        upset(at);
        EXPECT_GE(spells, s.lengthMs / 120'000) << "session " << s.number;
        EXPECT_GE(longest, 40'000) << "session " << s.number;
    }
}

// The simulated world plays the sessions too (it ignores the peers' own
// lines): there every logging a day makes must count as made and land
// exactly once, or the generator schedules loggings the bridge cannot take.
TEST(ChaosDay, EveryLoggingLandsOnceInTheSimulatedWorld) {
    const auto day = Generate(3, 12);
    std::vector<Logging> made;
    std::vector<SessionRun> runs;
    for (const auto& s : day.sessions) {
        const auto played = testing::Play(s.scenario);
        std::string trace;
        for (const auto& line : played.lines) trace += line + "\n";
        SessionRun run;
        run.number = s.number;
        run.taken = ReadLogger32Log(s.number, trace, false);
        run.kept = ReadKept(played.file.value_or(""));
        runs.push_back(std::move(run));
        made.insert(made.end(), s.loggings.begin(), s.loggings.end());
    }
    ASSERT_GT(made.size(), 20U);
    const auto v = CheckExactlyOnce(3, made, runs);
    std::string all;
    for (const auto& [session, lines] : v) {
        for (const auto& line : lines) all += line + "\n";
    }
    EXPECT_EQ(all, "");
}

SessionRun RunOf(int number, const std::string& trace, const std::string& notLogged) {
    SessionRun run;
    run.number = number;
    run.trace = trace;
    run.taken = ReadLogger32Log(number, trace, false);
    run.kept = ReadKept(notLogged);
    return run;
}

const std::string kHeader = "Linkwell: QSOs<EOH>\r\n";

std::vector<Logging> Made() {
    return {{1, 20000, "CH0001", "0001", true}, {1, 30000, "CH0002", "0002", false}};
}

TEST(ChaosCheck, ADuplicateFailsWithTheMomentsOfBoth) {
    const std::string trace =
        "20130 L32 text \"<APP_LOGQSO:20><CALL:6>CH0001<APP_TIME_ON:4>0001\"\n"
        "30100 L32 text \"<APP_LOGQSO:20><CALL:6>CH0002<APP_TIME_ON:4>0002\"\n"
        "34100 L32 text \"<APP_LOGQSO:20><CALL:6>CH0002<APP_TIME_ON:4>0002\"\n";
    const auto v = CheckExactlyOnce(9, Made(), {RunOf(1, trace, "")});
    ASSERT_EQ(v.size(), 1U);
    ASSERT_EQ(v.at(1).size(), 1U);
    EXPECT_EQ(v.at(1)[0],
              "seed 9, session 1 at 34100 ms: CH0002 0002 is in Logger32's log 2 times "
              "(session 1 at 30100 ms, session 1 at 34100 ms)");
}

TEST(ChaosCheck, ADuplicateAcrossSessionsFailsTooFromTheLogFile) {
    SessionRun one, two;
    one.number = 1;
    one.taken = ReadLogger32Log(1, "20130 1 <APP_LOGQSO:10><CALL:6>CH0001\r\n", true);
    two.number = 2;
    two.taken = ReadLogger32Log(2,
                                "5000 2 <APP_LOGQSO:10><CALL:6>CH0001\r\n"
                                "6000 2 not a logging\r\n"
                                "6100 <APP_LOGQSO:10><CALL:6>CH0001\r\n",
                                true);
    ASSERT_EQ(two.taken.size(), 1U);
    const auto v = CheckExactlyOnce(9, {Made()[0]}, {one, two});
    ASSERT_EQ(v.at(2).size(), 1U);
    EXPECT_EQ(v.at(2)[0],
              "seed 9, session 2 at 5000 ms: CH0001 0001 is in Logger32's log 2 times "
              "(session 1 at 20130 ms, session 2 at 5000 ms)");
}

TEST(ChaosCheck, ALoggingInNeitherPlaceFails) {
    const std::string trace =
        "20130 L32 text \"<APP_LOGQSO:20><CALL:6>CH0001<APP_TIME_ON:4>0001\"\n";
    const auto v = CheckExactlyOnce(9, Made(), {RunOf(1, trace, kHeader)});
    ASSERT_EQ(v.at(1).size(), 1U);
    EXPECT_EQ(v.at(1)[0],
              "seed 9, session 1 at 30000 ms: CH0002 0002 is neither in Logger32's log nor in "
              "not-logged.adi");
}

TEST(ChaosCheck, InDoubtInBothPassesUnmarkedFails) {
    const std::string trace =
        "20130 L32 text \"<APP_LOGQSO:20><CALL:6>CH0001<APP_TIME_ON:4>0001\"\n";
    const std::string kept = kHeader +
                             "<CALL:6>CH0001<TIME_ON:4>0001<APP_LINKWELL_IN_DOUBT:1>Y<EOR>\r\n"
                             "<call:6>CH0002<TIME_ON:4>0002<eor>\r\n";
    EXPECT_TRUE(CheckExactlyOnce(9, Made(), {RunOf(1, trace, kept)}).empty());

    const std::string unmarked =
        kHeader + "<CALL:6>CH0001<TIME_ON:4>0001<EOR>\r\n" + "<CALL:6>CH0002<EOR>\r\n";
    const auto v = CheckExactlyOnce(9, Made(), {RunOf(1, trace, unmarked)});
    ASSERT_EQ(v.at(1).size(), 1U);
    EXPECT_EQ(v.at(1)[0],
              "seed 9, session 1 at 20130 ms: CH0001 0001 is in Logger32's log and in "
              "not-logged.adi, not marked in doubt");
}

TEST(ChaosCheck, FreezesLimitsAndAnEarlyEndBreakASession) {
    SessionRun run;
    run.number = 3;
    run.endsAt = 90000;
    run.trace = "4000 STATUS \"x\"\n61000 END\n# end 100000\n";
    run.err =
        "CHECK limit close-ms 9000\r\nCHECK limit longest-unanswered-ms 250\r\n"
        "FROZEN 41000 612\r\nFIGURE longest-unanswered-ms 612\r\n";
    const auto v = CheckSessionRun(5, run);
    ASSERT_EQ(v.size(), 4U);
    EXPECT_EQ(v[0], "seed 5, session 3 at 61000 ms: the bridge ended before it was closed");
    EXPECT_EQ(v[1], "seed 5, session 3: no figure close-ms");
    EXPECT_EQ(v[2], "seed 5, session 3 at 90000 ms: longest-unanswered-ms 612 > 250");
    EXPECT_EQ(v[3],
              "seed 5, session 3 at 41000 ms: the bridge window took 612 ms to answer WM_NULL "
              "(at most 250)");
    // Where the peers say when the longest answer was asked, that is the moment.
    run.err += "FIGURE longest-unanswered-at 40980\r\n";
    EXPECT_EQ(CheckSessionRun(5, run)[2],
              "seed 5, session 3 at 40980 ms: longest-unanswered-ms 612 > 250");
    // And how long the peers' own window took meanwhile: the machine's share.
    run.err += "FIGURE yardstick-during-longest-ms 590\r\n";
    EXPECT_EQ(CheckSessionRun(5, run)[2],
              "seed 5, session 3 at 40980 ms: longest-unanswered-ms 612 > 250 (the peers' own "
              "window took 590 ms meanwhile)");
    run.trace = "4000 STATUS \"x\"\n";
    run.err = "";
    const auto unfinished = CheckSessionRun(5, run);
    ASSERT_EQ(unfinished.size(), 1U);
    EXPECT_EQ(unfinished[0], "seed 5, session 3: the run did not finish (no \"# end\" line)");
}

TEST(ChaosLatency, EachPathFromItsActionToWhatItCauses) {
    // The dial set before the bridge works waits for its start-up: not a path.
    const std::string scenario =
        "mixw dde khz \"14000\"\n"
        "at 10000\nmixw dde khz \"14002\"\n"
        "at 11000\nlogger32 settext \" APP_DXSPOT_CLICKED    SP0001|7001.5|CW\"\n"
        "at 12000\nmixw dde Call \"CH0001\"\nat 12400\nmixw dde Command \"Save\"\n"
        "at 13000\nmixw dde khz \"14003\"\n";
    const std::string trace =
        "5930 L32 text \"<APP_FORCE_FREQ:5>14000\"\n"
        "10012 L32 text \"<APP_FORCE_FREQ:5>14002\"\n"
        "11530 MIXW ExecuteMacros \"<ZFQ:7001.5>\"\n"
        "12431 L32 text \"<APP_LOGQSO:14><CALL:6>CH0001\"\n";
    Latencies l;
    AddLatencies(scenario, trace, l);
    EXPECT_EQ(l.khzToForceFreq, std::vector<std::int64_t>{12});  // 14003 never reached Logger32
    EXPECT_EQ(l.spotToMacros, std::vector<std::int64_t>{530});
    EXPECT_EQ(l.saveToLogging, std::vector<std::int64_t>{31});
    EXPECT_EQ(Percentiles({5, 1, 9, 3}), "p50 3 ms, p99 9 ms, max 9 ms (4)");
    EXPECT_EQ(Percentiles({}), "-");
}

}  // namespace
}  // namespace linkwell::soak::chaos
