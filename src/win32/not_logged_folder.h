// Where the bridge keeps not-logged.adi: %LOCALAPPDATA%\Linkwell (the known
// folder, else the environment variable). The Windows peers look there too.
#pragma once

// clang-format off
#include <windows.h>
#include <shlobj.h>
#include <knownfolders.h>
// clang-format on

#include <string>

namespace linkwell::win32 {

inline std::wstring NotLoggedFolder() {
    PWSTR known = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known)) &&
        known != nullptr) {
        folder = known;
    }
    CoTaskMemFree(known);
    if (folder.empty()) {
        wchar_t buf[MAX_PATH] = {};
        const DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", buf, MAX_PATH);
        if (n > 0 && n < MAX_PATH) folder = buf;
    }
    return folder + L"\\Linkwell";
}

}  // namespace linkwell::win32
