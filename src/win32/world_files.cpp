// The Windows world's clock and files: today's date in UTC and the file
// of QSOs Logger32 did not take.
// clang-format off
// The world's header first: it keeps the Windows headers' macros off the
// platform's names.
#include "win32/world.h"
#include "win32/not_logged_folder.h"
// clang-format on

#include <cwchar>

#include "win32/wintext.h"

namespace linkwell::win32 {

Text WinWorld::UtcDate() {
    SYSTEMTIME t{};
    GetSystemTime(&t);
    wchar_t buf[16] = {};
    swprintf(buf, 16, L"%04u%02u%02u", t.wYear, t.wMonth, t.wDay);
    return FromWide(buf);
}

// --- Platform: the file of QSOs Logger32 did not take ------------------------------------

Text WinWorld::NotLoggedPath() {
    return FromWide(NotLoggedFolder() + L"\\not-logged.adi");
}

std::optional<Text> WinWorld::ReadNotLogged() {
    const std::wstring path = Wide(NotLoggedPath());
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
bool WinWorld::WriteNotLogged(const Text& content) {
    const std::wstring folder = NotLoggedFolder();
    const std::wstring path = Wide(NotLoggedPath());
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

}  // namespace linkwell::win32
