// clang-format off
// The world's header first: it keeps the Windows headers' macros off the
// platform's names.
#include "win32/world.h"
#include "win32/not_logged_writer.h"
#include "win32/not_logged_folder.h"
// clang-format on

#include <utility>

#include "win32/wintext.h"

namespace linkwell::win32 {

namespace {

bool WriteAll(HANDLE f, const std::string& bytes) {
    DWORD written = 0;
    return bytes.empty() ||
           (WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size());
}

}  // namespace

// A new file beside the old one, flushed, then renamed over it: a crash or
// a power cut leaves the old file or the new one, never half of either. The
// earlier run's records are converted on their own, not copied into one
// text with this run's first.
bool WriteWhole(const std::wstring& path, const platform::NotLoggedText& text) {
    const std::wstring folder = NotLoggedFolder();
    if (text.Empty()) {
        if (DeleteFileW(path.c_str())) return true;
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return false;
    }
    wchar_t temp[MAX_PATH] = {};
    if (GetTempFileNameW(folder.c_str(), L"nl", 0, temp) == 0) return false;
    HANDLE f =
        CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool ok = f != INVALID_HANDLE_VALUE;
    if (ok) {
        ok = WriteAll(f, ToAnsi(text.header));
        if (ok && text.HasEarlier()) ok = WriteAll(f, ToAnsi(*text.earlier)) && WriteAll(f, "\r\n");
        ok = ok && WriteAll(f, ToAnsi(text.records)) && FlushFileBuffers(f);
        CloseHandle(f);
    }
    ok = ok && MoveFileExW(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileW(temp);
    return ok;
}

// Both events or neither: without them the writes are made at once.
NotLoggedWriter::NotLoggedWriter()
    : wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      idle_(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {
    if (wake_ != nullptr && idle_ != nullptr) return;
    if (wake_ != nullptr) CloseHandle(std::exchange(wake_, nullptr));
    if (idle_ != nullptr) CloseHandle(std::exchange(idle_, nullptr));
}

NotLoggedWriter::~NotLoggedWriter() {
    if (thread_ != nullptr) {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        SetEvent(wake_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    if (wake_ != nullptr) CloseHandle(wake_);
    if (idle_ != nullptr) CloseHandle(idle_);
}

bool NotLoggedWriter::StartThread() {
    if (thread_ != nullptr) return true;
    if (wake_ == nullptr) return false;
    thread_ = CreateThread(nullptr, 0, &NotLoggedWriter::Serve, this, 0, nullptr);
    return thread_ != nullptr;
}

std::optional<std::uint64_t> NotLoggedWriter::Ask(std::wstring path, platform::NotLoggedText text,
                                                  HWND notify, UINT message) {
    if (!StartThread()) return std::nullopt;
    std::uint64_t number = 0;
    {
        const std::lock_guard lock(mutex_);
        number = ++lastNumber_;
        asked_ = Job{number, std::move(path), std::move(text), notify, message};
        ResetEvent(idle_);
    }
    SetEvent(wake_);
    return number;
}

std::optional<bool> NotLoggedWriter::Result(std::uint64_t number) {
    const std::lock_guard lock(mutex_);
    if (ended_ != number) return std::nullopt;
    return endedWell_;
}

DWORD WINAPI NotLoggedWriter::Serve(void* self) {
    static_cast<NotLoggedWriter*>(self)->WriteWhatIsAsked();
    return 0;
}

void NotLoggedWriter::WriteWhatIsAsked() {
    for (;;) {
        std::optional<Job> job;
        {
            const std::lock_guard lock(mutex_);
            if (stop_) return;
            job = std::exchange(asked_, std::nullopt);
        }
        if (!job) {
            WaitForSingleObject(wake_, INFINITE);
            continue;
        }
        const bool done = WriteWhole(job->path, job->text);
        {
            const std::lock_guard lock(mutex_);
            ended_ = job->number;
            endedWell_ = done;
            if (!asked_) SetEvent(idle_);
        }
        PostMessageW(job->notify, job->message, static_cast<WPARAM>(job->number), 0);
    }
}

}  // namespace linkwell::win32
