// MixW2 for the Wine tests: a process of its own (linkwell-peer-mixw.exe,
// serving "MixW2.Application" and the DDE service "MixW"), around the
// portable stand-in that the simulated world plays too, which stays here
// with the trace. The process reports each call, link and request to this
// side's relay window and answers as the stand-in says.
//
// Each `mixw start` is a new process; the next one is started ahead, so
// that a start costs no process launch in the middle of a run. `mixw stop`
// closes a MixW2 that answers as a closing MixW2 does (its object revoked
// and cut off, its DDE windows closed); a hung one is ended as Task Manager
// ends it, with TerminateProcess. With `peers mixw-hung-call=outlives-mixw`
// a hung one loses its object and DDE windows but the call stuck in it
// does not come back before its hang is over.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "peers/messages.h"
#include "peers/peer_process.h"
#include "platform/platform.h"
#include "scenario/mixw_standin.h"

namespace linkwell::win32::peers {

class MixWProcess {
public:
    MixWProcess(scenario::MixWStandIn& mixw, Activity& activity, bool hungCallOutlives);
    ~MixWProcess();
    MixWProcess(const MixWProcess&) = delete;
    MixWProcess& operator=(const MixWProcess&) = delete;

    // Waits until the next MixW2 to start runs (a launch costs the bridge's
    // start no time then).
    void Ready() const { (void)PeerReady(spare_.process); }
    // The stand-in starts, in a new process.
    void Start();
    void Stop();
    // No call into the object returns for `ms`.
    void Hang(std::int64_t ms);

private:
    struct Run {
        PeerProcess process;
        std::unique_ptr<platform::Automation> object;  // the stand-in's, of this run
    };

    static LRESULT CALLBACK RelayProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnReport(DWORD pid, const COPYDATASTRUCT& report);
    LRESULT OnCall(Run& run, const COPYDATASTRUCT& report);
    LRESULT OnAdvise(const Run& run, const COPYDATASTRUCT& report);
    LRESULT OnRequest(const Run& run, const COPYDATASTRUCT& report);
    [[nodiscard]] Run* Of(DWORD pid);
    void StartSpare();

    static MixWProcess* self_;
    scenario::MixWStandIn& mixw_;
    Activity& activity_;
    bool hungCallOutlives_;
    HWND relay_ = nullptr;
    Run running_;
    Run spare_;
    std::vector<Run> abandoned_;        // ended with a call stuck in them
    std::vector<PeerProcess> closing_;  // closed, not yet ended
    HANDLE counts_ = nullptr;           // keeps the calls' counters across runs
};

}  // namespace linkwell::win32::peers
