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
#include "win32/world_internal.h"

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

// `error`: GetLastError's code when there is no text.
std::optional<Text> ReadWhole(const std::wstring& path, DWORD& error) {
    const OwnedFile f(CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) {
        error = GetLastError();
        return std::nullopt;
    }
    std::string bytes;
    for (;;) {
        char buf[65536];
        DWORD got = 0;
        if (!ReadFile(f.get(), buf, sizeof buf, &got, nullptr)) {
            error = GetLastError();
            return std::nullopt;
        }
        if (got == 0) break;
        bytes.append(buf, got);
    }
    return FromAnsi(bytes);
}

}  // namespace

Text WinWorld::NotLoggedPath() {
    return FromWide(NotLoggedFolder() + L"\\not-logged.adi");
}

std::optional<Text> WinWorld::ReadNotLogged() {
    lastFailure_.reset();
    DWORD error = ERROR_SUCCESS;
    auto text = ReadWhole(Wide(NotLoggedPath()), error);
    if (!text) lastFailure_ = platform::FailureReason{error, {}, {}};
    return text;
}

bool WinWorld::NotLoggedThere() {
    if (GetFileAttributesW(Wide(NotLoggedPath()).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const DWORD error = GetLastError();
    // Only a file known to be missing is missing: one that cannot even be
    // looked at is left alone too.
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

// Written by the writer thread: a file an earlier run left may take
// seconds to convert and write. At once only when no thread can be had.
namespace {
// How long a write may keep the event that asked for it: well inside the
// 250 ms the window may go unanswered, which it does not meanwhile.
constexpr DWORD kWriteSettleMs = 150;
}  // namespace

platform::FileWrite WinWorld::WriteNotLogged(const platform::NotLoggedText& content) {
    const std::wstring path = Wide(NotLoggedPath());
    lastFailure_.reset();
    const auto number = writer_.Ask(path, content, form_, kNotLoggedWritten);
    if (!number) {
        return Written(WriteWhole(path, content)) ? platform::FileWrite::Done
                                                  : platform::FileWrite::Failed;
    }
    writeAsked_ = *number;
    writeReported_ = false;
    // A file of the usual size is written within a moment: its end is then
    // told at once, as the event that asked for it ends, and only a big one
    // goes on past that (the window is served meanwhile either way).
    {
        const BridgeThread::Wait wait(thread_);
        (void)thread_.PumpFor(kWriteSettleMs, writer_.Idle());
    }
    if (const auto error = writer_.Result(*number)) {
        writeReported_ = true;
        return Written(*error) ? platform::FileWrite::Done : platform::FileWrite::Failed;
    }
    return platform::FileWrite::Pending;
}

// The bridge hears of the newest write's end in its turn, once; an older
// one's end is of no use to it (its text is already replaced).
void WinWorld::OnNotLoggedWritten(std::uint64_t number) {
    if (number != writeAsked_ || writeReported_) return;
    thread_.IntoBridge([this, number] {
        if (number != writeAsked_ || writeReported_) return;
        const auto error = writer_.Result(number);
        if (!error) return;
        writeReported_ = true;
        lastFailure_.reset();
        bridge_->NotLoggedWritten(Written(*error));
    });
}

// The close and the session end: the window keeps answering meanwhile, and
// the session end's limit bounds the wait.
bool WinWorld::FinishNotLoggedWrite() {
    if (writeAsked_ == 0) return false;
    {
        const BridgeThread::Wait wait(thread_);
        while (!thread_.PumpFor(1000, writer_.Idle())) {
        }
    }
    writeReported_ = true;
    lastFailure_.reset();
    const auto error = writer_.Result(writeAsked_);
    return error && Written(*error);
}

bool WinWorld::Written(DWORD error) {
    if (error == ERROR_SUCCESS) return true;
    lastFailure_ = platform::FailureReason{error, {}, {}};
    return false;
}

namespace {

struct AsideWork {
    const std::function<void()>* work = nullptr;
    OwnedHandle done = MakeEvent(true, false);
};

DWORD WINAPI RunAsideWork(void* param) {
    auto* aside = static_cast<AsideWork*>(param);
    (*aside->work)();
    SetEvent(aside->done.get());
    return 0;
}

}  // namespace

// An earlier run's file is read, converted and checked on a thread of its
// own while the window answers (a hundred megabytes take a good second);
// without a thread, at once.
void WinWorld::RunAside(const std::function<void()>& work) {
    AsideWork aside;
    aside.work = &work;
    const OwnedHandle thread(
        aside.done ? CreateThread(nullptr, 0, &RunAsideWork, &aside, 0, nullptr) : nullptr);
    if (!thread) {
        work();
        return;
    }
    {
        const BridgeThread::Wait wait(thread_);
        while (!thread_.PumpFor(1000, aside.done.get())) {
        }
    }
    WaitForSingleObject(thread.get(), INFINITE);
}

// Renamed, never copied: the file stays byte for byte what it was. A name
// already taken (two moves in one second) is never replaced.
std::optional<Text> WinWorld::MoveNotLoggedAside() {
    lastFailure_.reset();
    const std::wstring path = Wide(NotLoggedPath());
    SYSTEMTIME t{};
    GetSystemTime(&t);
    wchar_t stamp[32] = {};
    swprintf(stamp, 32, L"not-logged-%04u%02u%02u-%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
             t.wMinute, t.wSecond);
    DWORD error = ERROR_SUCCESS;
    for (int n = 1; n <= 99; ++n) {
        const std::wstring name =
            std::wstring(stamp) + (n == 1 ? L"" : L"-" + std::to_wstring(n)) + L".adi";
        const std::wstring to = NotLoggedFolder() + L"\\" + name;
        if (MoveFileExW(path.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return FromWide(name);
        error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) break;
    }
    lastFailure_ = platform::FailureReason{error, {}, {}};
    return std::nullopt;
}

Text WinWorld::UnsavedPath() {
    return FromWide(NotLoggedFolder() + L"\\not-logged-unsaved.adi");
}

std::optional<Text> WinWorld::ReadUnsaved() {
    DWORD error = ERROR_SUCCESS;
    return ReadWhole(Wide(UnsavedPath()), error);
}

bool WinWorld::WriteUnsaved(const Text& content) {
    platform::NotLoggedText text;
    text.records = content;
    return WriteWhole(Wide(UnsavedPath()), text) == ERROR_SUCCESS;
}

}  // namespace linkwell::win32
