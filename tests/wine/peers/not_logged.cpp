#include "peers/not_logged.h"

#include <cctype>

#include "win32/not_logged_folder.h"
#include "win32/wintext.h"

namespace linkwell::win32::peers {
namespace {

// Where the bridge keeps it.
std::wstring Folder() {
    return NotLoggedFolder();
}

std::optional<std::string> Read(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) bytes.append(buf, got);
    CloseHandle(f);
    return bytes;
}

}  // namespace

int CountRecords(const std::string& adif) {
    int n = 0;
    for (std::size_t i = 0; i + 5 <= adif.size(); ++i) {
        if (adif[i] != '<' || adif[i + 4] != '>') continue;
        const auto up = [&](std::size_t k) {
            return static_cast<char>(std::toupper(static_cast<unsigned char>(adif[i + k])));
        };
        if (up(1) == 'E' && up(2) == 'O' && up(3) == 'R') ++n;
    }
    return n;
}

NotLoggedFile::NotLoggedFile() : path_(Folder() + L"\\not-logged.adi") {
    DeleteFileW(path_.c_str());
    // The files an earlier run left beside it too (not-logged-unsaved.adi, a
    // damaged file moved aside): each run starts from an empty folder.
    const std::wstring folder = Folder();
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\not-logged-*.adi").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            DeleteFileW((folder + L"\\" + found.cFileName).c_str());
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

void NotLoggedFile::Put(const platform::Text& text) {
    CreateDirectoryW(Folder().c_str(), nullptr);
    const std::string ansi = ToAnsi(text);
    HANDLE f = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(f, ansi.data(), static_cast<DWORD>(ansi.size()), &written, nullptr);
    CloseHandle(f);
    seen_ = ansi;
}

void NotLoggedFile::Lock(bool locked) {
    if (held_ != INVALID_HANDLE_VALUE) {
        CloseHandle(held_);
        held_ = INVALID_HANDLE_VALUE;
    }
    if (!locked) return;
    held_ = CreateFileW(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
}

void NotLoggedFile::Poll(scenario::Trace& trace) {
    polledAt_ = GetTickCount64();
    if (held_ == INVALID_HANDLE_VALUE) {
        auto now = Read(path_);
        if (now != seen_) {
            seen_ = std::move(now);
            trace.Line("FILE",
                       "\"not-logged.adi\" " + std::to_string(seen_ ? CountRecords(*seen_) : 0));
        }
    }
    // The files beside it, each by its name (ASCII: the bridge names them).
    const std::wstring folder = Folder();
    std::map<std::string, std::string> now;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\not-logged-*.adi").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            const std::wstring wide = found.cFileName;
            if (auto bytes = Read(folder + L"\\" + wide)) {
                now[std::string(wide.begin(), wide.end())] = std::move(*bytes);
            }
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    for (const auto& [name, bytes] : now) {
        const auto was = beside_.find(name);
        if (was == beside_.end() || was->second != bytes) {
            trace.Line("FILE", "\"" + name + "\" " + std::to_string(CountRecords(bytes)));
        }
    }
    for (const auto& [name, bytes] : beside_) {
        if (!now.contains(name)) trace.Line("FILE", "\"" + name + "\" 0");
    }
    beside_ = std::move(now);
}

void NotLoggedFile::PollEvery(scenario::Trace& trace, ULONGLONG everyMs) {
    if (GetTickCount64() - polledAt_ >= everyMs) Poll(trace);
}

}  // namespace linkwell::win32::peers
