// linkwell-peers.exe: plays a scenario against the real linkwell.exe under
// Windows or Wine, in real time. It is Logger32, MixW2 and the operator, and
// prints the trace (see docs/scenarios.md). Logger32 and MixW2 run as
// processes of their own, started beside this program.
//
//   linkwell-peers BRIDGE.exe WATCH.dll FILE.scn [--logger32-log FILE] [BRIDGE ARG ...]
//
// --logger32-log: where the Logger32 stand-ins keep their log (every
// logging text taken, with its moment), made anew for the run.
// clang-format off
#include <windows.h>
#include <objbase.h>
// clang-format on

#include <cwchar>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <utility>

#include "peers/profile.h"
#include "peers/session.h"
#include "scenario/scenario.h"
#include "text/text.h"

int wmain(int argc, wchar_t** argv) {
    using namespace linkwell;
    if (argc < 4) {
        std::cerr << "usage: linkwell-peers BRIDGE.exe WATCH.dll FILE.scn [--logger32-log FILE] "
                     "[BRIDGE ARG ...]\n";
        return 1;
    }
    std::ifstream in(argv[3], std::ios::binary);
    if (!in) {
        std::cerr << "linkwell-peers: cannot open the scenario\n";
        return 2;
    }
    const std::string source((std::istreambuf_iterator<char>(in)), {});
    const std::string fileName = text::ToUtf8(platform::Text(argv[3], argv[3] + wcslen(argv[3])));
    try {
        auto scenario = scenario::ReadScenario(source, fileName);
        // What the run must also meet, for scripts/test-wine to check.
        for (const auto& [name, max] : scenario.wine.limits) {
            std::cerr << "CHECK limit " << name << ' ' << max << '\n';
        }
        if (scenario.wine.toleranceMs) {
            std::cerr << "CHECK tolerance " << *scenario.wine.toleranceMs << '\n';
        }
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
        int rc = 1;
        {
            // Before the session looks for not-logged.adi: in the run's profile.
            const win32::peers::UserProfile profile(scenario.peers);
            // In a profile of its own the bridge traces there; the stage
            // gets a copy where it asked for it.
            std::wstring asked;
            std::wstring bridgeArgs;
            std::wstring logger32Log;
            int first = 4;
            if (argc >= 6 && std::wstring(argv[4]) == L"--logger32-log") {
                logger32Log = argv[5];
                first = 6;
            }
            for (int i = first; i < argc; ++i) {
                std::wstring arg = argv[i];
                if (i > first && !profile.TracePath().empty() &&
                    std::wstring(argv[i - 1]) == L"--trace") {
                    asked = std::exchange(arg, profile.TracePath());
                }
                bridgeArgs += L" \"" + arg + L"\"";
            }
            win32::peers::Session session(std::move(scenario), argv[1], bridgeArgs, argv[2],
                                          std::move(logger32Log));
            if (!profile.TracePath().empty()) session.WatchTraceFile(profile.TracePath());
            rc = session.Run();
            if (!asked.empty()) CopyFileW(profile.TracePath().c_str(), asked.c_str(), FALSE);
        }
        CoUninitialize();
        return rc;
    } catch (const scenario::ScenarioError& e) {
        std::cerr << e.what() << '\n';
        return 2;
    }
}
