// Starts linkwell.exe, waits for its window and hooks the watcher
// (linkwell-watch.dll) into the bridge's thread.
#pragma once

#include <windows.h>

#include <string>

namespace linkwell::win32::peers {

class BridgeProcess {
public:
    BridgeProcess() = default;
    ~BridgeProcess();
    BridgeProcess(const BridgeProcess&) = delete;
    BridgeProcess& operator=(const BridgeProcess&) = delete;

    // False, with a word on standard error, when the bridge did not start,
    // its window did not appear within 20 s, or it cannot be watched.
    // `args`: " ARG ..." after the program's name.
    bool Launch(const std::wstring& exe, const std::wstring& args, const std::wstring& watchDll);
    // When the bridge window appeared (its timers start with it).
    [[nodiscard]] ULONGLONG AppearedAt() const { return appeared_; }
    [[nodiscard]] HWND Form() const { return form_; }
    [[nodiscard]] DWORD Pid() const { return pid_; }
    [[nodiscard]] HANDLE Process() const { return process_; }
    // Unhooks the watcher and ends the bridge unless it has ended itself.
    void Finish(bool ended);

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    HWND form_ = nullptr;
    HHOOK hook_ = nullptr;
    ULONGLONG appeared_ = 0;
};

}  // namespace linkwell::win32::peers
