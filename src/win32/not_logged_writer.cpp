// clang-format off
// The world's header first: it keeps the Windows headers' macros off the
// platform's names.
#include "win32/world.h"
#include "win32/not_logged_writer.h"
#include "win32/not_logged_folder.h"
// clang-format on

#include <atomic>
#include <cwchar>
#include <string>
#include <utility>

#include "win32/wintext.h"

namespace linkwell::win32 {

namespace {

bool WriteAll(HANDLE f, const std::string& bytes) {
    SetLastError(ERROR_SUCCESS);
    DWORD written = 0;
    return bytes.empty() ||
           (WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size());
}

// GetLastError's code for what just failed; one that left none (a short
// write) is still a failure.
DWORD Error() {
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? ERROR_WRITE_FAULT : error;
}

// A new file in the folder, by a name of the bridge's own, "nl", eight hex
// digits and ".tmp": no longer than "not-logged.adi", so a folder that can
// hold the file can hold it too. Not GetTempFileNameW: it writes into a
// buffer of MAX_PATH whatever the folder's length, and Wine, which takes
// longer paths, runs past its end there.
OwnedFile NewFileIn(const std::wstring& folder, std::wstring& path) {
    static std::atomic<unsigned> made{0};
    for (int attempt = 0; attempt < 64; ++attempt) {
        wchar_t name[16] = {};
        swprintf(name, 16, L"nl%04x%04x.tmp", static_cast<unsigned>(GetCurrentProcessId() & 0xFFFF),
                 static_cast<unsigned>((GetTickCount() + made++) & 0xFFFF));
        path = folder + L"\\" + name;
        OwnedFile f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (f || (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)) {
            return f;
        }
    }
    return OwnedFile();
}

}  // namespace

// A new file beside the old one, flushed, then renamed over it: a crash or
// a power cut leaves the old file or the new one, never half of either. The
// earlier run's records are converted on their own, not copied into one
// text with this run's first.
DWORD WriteWhole(const std::wstring& path, const platform::NotLoggedText& text) {
    const std::wstring folder = NotLoggedFolder();
    if (text.Empty()) {
        if (DeleteFileW(path.c_str())) return ERROR_SUCCESS;
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS
                                                                              : error;
    }
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return Error();
    }
    std::wstring temp;
    DWORD error = ERROR_SUCCESS;
    {
        const OwnedFile f = NewFileIn(folder, temp);
        if (!f) return Error();
        bool ok = WriteAll(f.get(), ToAnsi(text.header));
        if (ok && text.HasEarlier()) {
            ok = WriteAll(f.get(), ToAnsi(*text.earlier)) && WriteAll(f.get(), "\r\n");
        }
        ok = ok && WriteAll(f.get(), ToAnsi(text.records)) && FlushFileBuffers(f.get());
        if (!ok) error = Error();
    }
    if (error == ERROR_SUCCESS &&
        !MoveFileExW(temp.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = Error();
    }
    if (error != ERROR_SUCCESS) DeleteFileW(temp.c_str());
    return error;
}

// Both events or neither: without them the writes are made at once.
NotLoggedWriter::NotLoggedWriter() : wake_(MakeEvent(false, false)), idle_(MakeEvent(true, true)) {
    if (wake_ && idle_) return;
    wake_.reset();
    idle_.reset();
}

NotLoggedWriter::~NotLoggedWriter() {
    if (!thread_) return;
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    SetEvent(wake_.get());
    WaitForSingleObject(thread_.get(), INFINITE);
}

bool NotLoggedWriter::StartThread() {
    if (thread_) return true;
    if (!wake_) return false;
    thread_.reset(CreateThread(nullptr, 0, &NotLoggedWriter::Serve, this, 0, nullptr));
    return static_cast<bool>(thread_);
}

std::optional<std::uint64_t> NotLoggedWriter::Ask(std::wstring path, platform::NotLoggedText text,
                                                  HWND notify, UINT message) {
    if (!StartThread()) return std::nullopt;
    std::uint64_t number = 0;
    {
        const std::lock_guard lock(mutex_);
        number = ++lastNumber_;
        asked_ = Job{number, std::move(path), std::move(text), notify, message};
        ResetEvent(idle_.get());
    }
    SetEvent(wake_.get());
    return number;
}

std::optional<DWORD> NotLoggedWriter::Result(std::uint64_t number) {
    const std::lock_guard lock(mutex_);
    if (ended_ != number) return std::nullopt;
    return endedError_;
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
            WaitForSingleObject(wake_.get(), INFINITE);
            continue;
        }
        const DWORD error = WriteWhole(job->path, job->text);
        {
            const std::lock_guard lock(mutex_);
            ended_ = job->number;
            endedError_ = error;
            if (!asked_) SetEvent(idle_.get());
        }
        PostMessageW(job->notify, job->message, static_cast<WPARAM>(job->number), 0);
    }
}

}  // namespace linkwell::win32
