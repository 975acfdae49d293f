// Starts linkwell.exe, waits for its window and hooks the watcher
// (linkwell-watch.dll) into the bridge's thread.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace linkwell::win32::peers {

class BridgeProcess {
public:
    BridgeProcess() = default;
    ~BridgeProcess();
    BridgeProcess(const BridgeProcess&) = delete;
    BridgeProcess& operator=(const BridgeProcess&) = delete;

    // False, with a word on standard error, when the bridge did not start,
    // its windows did not appear within 20 s, or it cannot be watched.
    // Prints `FIGURE launch-ms N`: from the ask to the bridge's clock start.
    // `args`: " ARG ..." after the program's name. `alongside` runs as soon
    // as the process is made (other copies started at the same moment).
    // When the process ends before its window shows (one of those copies
    // took the instance name first), `successor` names the copy that runs
    // instead, once its window is there, and that one is the bridge.
    using Successor = std::function<std::optional<std::pair<HANDLE, DWORD>>()>;
    bool Launch(const std::wstring& exe, const std::wstring& args, const std::wstring& watchDll,
                const std::function<void()>& alongside = {}, const Successor& successor = {});
    // When the bridge's clock started (its about window appeared), and
    // when Windows was asked to start it.
    [[nodiscard]] ULONGLONG AppearedAt() const { return appeared_; }
    [[nodiscard]] ULONGLONG AskedAt() const { return asked_; }
    [[nodiscard]] HWND Form() const { return form_; }
    [[nodiscard]] DWORD Pid() const { return pid_; }
    [[nodiscard]] HANDLE Process() const { return process_; }
    // Unhooks the watcher and ends the bridge unless it has ended itself.
    void Finish(bool ended);
    // Ends the bridge as Task Manager does (TerminateProcess), at once.
    void Kill();

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    HWND form_ = nullptr;
    HHOOK hook_ = nullptr;
    ULONGLONG appeared_ = 0;
    ULONGLONG asked_ = 0;
};

// A second linkwell.exe started while the first runs: it must end by
// itself. Prints `SECOND box "TITLE" "TEXT"` for a message box it shows
// (and presses OK), then `SECOND ended CODE`, and for a copy started with a
// trace `SECOND trace-file absent` or `SECOND trace-file created`.
class SecondCopy {
public:
    SecondCopy() = default;
    ~SecondCopy();
    SecondCopy(const SecondCopy&) = delete;
    SecondCopy& operator=(const SecondCopy&) = delete;

    // `args`: " ARG ..." after the program's name, before a --trace of its own.
    void Start(const std::wstring& exe, bool traced, const std::wstring& args = {});
    // Looks at it once; `line` prints a trace line (kind SECOND).
    void Look(const std::function<void(const std::string&)>& line);
    // The copy while it runs: its pid, and its handle given up to another owner.
    [[nodiscard]] DWORD Pid() const { return process_ == nullptr ? 0 : pid_; }
    [[nodiscard]] HANDLE Release() { return std::exchange(process_, nullptr); }

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    bool traced_ = false;
    std::wstring tracePath_;
    HWND box_ = nullptr;
};

}  // namespace linkwell::win32::peers
