// procstat NAME.exe [--end]: finds the running process of that executable
// name (in this Wine prefix or Windows session) and prints, as key=value
// lines, what Windows counts for it: CPU time (kernel + user), peak working
// set, working set and private bytes. --end then ends that process (it is
// one that the measuring script started). Exits 1 when none is running.
//
// procstat --calls: prints how many GetIDsOfNames and Invoke calls the
// stand-in MixW2 object of the test peers has served so far.
// clang-format off
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
// clang-format on

#include <cstdio>
#include <cwchar>

namespace {

unsigned long long Ms(const FILETIME& t) {
    ULARGE_INTEGER v;
    v.LowPart = t.dwLowDateTime;
    v.HighPart = t.dwHighDateTime;
    return v.QuadPart / 10000;  // 100 ns units
}

DWORD FindProcess(const wchar_t* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, name) == 0) {
            found = entry.th32ProcessID;
            break;
        }
    }
    CloseHandle(snapshot);
    return found;
}

// The stand-in MixW2's counters (tests/wine/peers/mixw_automation.cpp).
int PrintMixWCalls() {
    struct CallCounts {
        LONG getIdsOfNames;
        LONG invokes;
    };
    HANDLE block = OpenFileMappingW(FILE_MAP_READ, FALSE, L"LinkwellPeersMixWCalls");
    if (block == nullptr) {
        std::printf("mixw_calls=none\n");
        return 1;
    }
    const auto* counts = static_cast<const CallCounts*>(
        MapViewOfFile(block, FILE_MAP_READ, 0, 0, sizeof(CallCounts)));
    if (counts != nullptr) {
        std::printf("mixw_getids=%ld\nmixw_invokes=%ld\n", static_cast<long>(counts->getIdsOfNames),
                    static_cast<long>(counts->invokes));
        UnmapViewOfFile(counts);
    }
    CloseHandle(block);
    return counts != nullptr ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: procstat NAME.exe [--end] | procstat --calls\n");
        return 2;
    }
    if (std::wcscmp(argv[1], L"--calls") == 0) return PrintMixWCalls();
    const DWORD pid = FindProcess(argv[1]);
    if (pid == 0) {
        std::printf("running=no\n");
        return 1;
    }
    HANDLE process =
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE, FALSE, pid);
    if (process == nullptr) {
        std::printf("running=yes\nopened=no\n");
        return 1;
    }
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        std::printf("cpu_ms=%llu\nkernel_ms=%llu\nuser_ms=%llu\n", Ms(kernel) + Ms(user),
                    Ms(kernel), Ms(user));
    }
    PROCESS_MEMORY_COUNTERS_EX mem{};
    mem.cb = sizeof mem;
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&mem),
                             sizeof mem)) {
        std::printf("peak_ws_kb=%llu\nws_kb=%llu\nprivate_kb=%llu\n",
                    static_cast<unsigned long long>(mem.PeakWorkingSetSize / 1024),
                    static_cast<unsigned long long>(mem.WorkingSetSize / 1024),
                    static_cast<unsigned long long>(mem.PrivateUsage / 1024));
    }
    std::printf("pid=%lu\n", static_cast<unsigned long>(pid));
    if (argc > 2 && std::wcscmp(argv[2], L"--end") == 0) TerminateProcess(process, 0);
    CloseHandle(process);
    return 0;
}
