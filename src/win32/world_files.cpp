// The Windows world's clock and files: today's date in UTC and the file
// of QSOs Logger32 did not take.
// clang-format off
// The world's header first: it keeps the Windows headers' macros off the
// platform's names.
#include "win32/world.h"
#include "win32/not_logged_folder.h"
// clang-format on

#include <cwchar>
#include <string>

#include "win32/wintext.h"

namespace linkwell::win32 {

Text WinWorld::UtcDate() {
    SYSTEMTIME t{};
    GetSystemTime(&t);
    wchar_t buf[16] = {};
    swprintf(buf, 16, L"%04u%02u%02u", t.wYear, t.wMonth, t.wDay);
    return FromWide(buf);
}

// --- Platform: the files of QSOs Logger32 did not take ------------------------------------

namespace {

std::optional<Text> ReadWhole(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes;
    bool ok = true;
    for (;;) {
        char buf[65536];
        DWORD got = 0;
        if (!ReadFile(f, buf, sizeof buf, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        bytes.append(buf, got);
    }
    CloseHandle(f);
    if (!ok) return std::nullopt;
    return FromAnsi(bytes);
}

// A new file beside the old one, flushed, then renamed over it: a crash or
// a power cut leaves the old file or the new one, never half of either.
bool WriteWhole(const std::wstring& path, const Text& content) {
    const std::wstring folder = NotLoggedFolder();
    if (content.empty()) {
        if (DeleteFileW(path.c_str())) return true;
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return false;
    }
    wchar_t temp[MAX_PATH] = {};
    if (GetTempFileNameW(folder.c_str(), L"nl", 0, temp) == 0) return false;
    const std::string ansi = ToAnsi(content);
    HANDLE f =
        CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool ok = f != INVALID_HANDLE_VALUE;
    if (ok) {
        DWORD written = 0;
        ok = WriteFile(f, ansi.data(), static_cast<DWORD>(ansi.size()), &written, nullptr) &&
             written == ansi.size() && FlushFileBuffers(f);
        CloseHandle(f);
    }
    ok = ok && MoveFileExW(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileW(temp);
    return ok;
}

}  // namespace

Text WinWorld::NotLoggedPath() {
    return FromWide(NotLoggedFolder() + L"\\not-logged.adi");
}

std::optional<Text> WinWorld::ReadNotLogged() {
    return ReadWhole(Wide(NotLoggedPath()));
}

bool WinWorld::WriteNotLogged(const Text& content) {
    return WriteWhole(Wide(NotLoggedPath()), content);
}

// Renamed, never copied: the file stays byte for byte what it was. A name
// already taken (two moves in one second) is never replaced.
std::optional<Text> WinWorld::MoveNotLoggedAside() {
    const std::wstring path = Wide(NotLoggedPath());
    SYSTEMTIME t{};
    GetSystemTime(&t);
    wchar_t stamp[32] = {};
    swprintf(stamp, 32, L"not-logged-%04u%02u%02u-%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
             t.wMinute, t.wSecond);
    for (int n = 1; n <= 99; ++n) {
        const std::wstring name =
            std::wstring(stamp) + (n == 1 ? L"" : L"-" + std::to_wstring(n)) + L".adi";
        const std::wstring to = NotLoggedFolder() + L"\\" + name;
        if (MoveFileExW(path.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return FromWide(name);
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return std::nullopt;
    }
    return std::nullopt;
}

Text WinWorld::UnsavedPath() {
    return FromWide(NotLoggedFolder() + L"\\not-logged-unsaved.adi");
}

std::optional<Text> WinWorld::ReadUnsaved() {
    return ReadWhole(Wide(UnsavedPath()));
}

bool WinWorld::WriteUnsaved(const Text& content) {
    return WriteWhole(Wide(UnsavedPath()), content);
}

}  // namespace linkwell::win32
