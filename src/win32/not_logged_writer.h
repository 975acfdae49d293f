// The writer thread of not-logged.adi: a file an earlier run left may hold a
// hundred megabytes, and converting and writing it takes seconds that the
// bridge window must not spend unanswered. The bridge asks for the newest
// text; the thread writes it whole (a new file, then a rename) and posts its
// end to the window, which tells the bridge in its turn. A text asked while
// one is being written replaces any not yet begun: only the newest counts.
#pragma once

#include <windows.h>
// The platform layer names its operations as Windows does; keep the
// character-set macros off them.
#undef CallWindowProc
#undef MessageBox
#undef PostMessage

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "win32/owned.h"

namespace linkwell::win32 {

// Replaces the file at `path` whole, as not-logged.adi and
// not-logged-unsaved.adi are written: in the ANSI code page, through a new
// file beside it renamed over it; an empty text removes it. ERROR_SUCCESS
// when it worked, else GetLastError's code for what failed.
[[nodiscard]] DWORD WriteWhole(const std::wstring& path, const platform::NotLoggedText& text);

class NotLoggedWriter {
public:
    NotLoggedWriter();
    // Waits for the write under way, then ends the thread.
    ~NotLoggedWriter();
    NotLoggedWriter(const NotLoggedWriter&) = delete;
    NotLoggedWriter& operator=(const NotLoggedWriter&) = delete;

    // Hands the newest text to the thread (started on first use) and gives
    // its number; nullopt when no thread can be had (the caller writes at
    // once). Its end is posted to `notify` as `message` with the number.
    [[nodiscard]] std::optional<std::uint64_t> Ask(std::wstring path, platform::NotLoggedText text,
                                                   HWND notify, UINT message);
    // Signalled while no write is asked or under way.
    [[nodiscard]] HANDLE Idle() const { return idle_.get(); }
    // How write `number` ended (as WriteWhole says), once it has ended and
    // is the last that did; nullopt before.
    [[nodiscard]] std::optional<DWORD> Result(std::uint64_t number);

private:
    static DWORD WINAPI Serve(void* self);
    void WriteWhatIsAsked();
    [[nodiscard]] bool StartThread();

    struct Job {
        std::uint64_t number = 0;
        std::wstring path;
        platform::NotLoggedText text;
        HWND notify = nullptr;
        UINT message = 0;
    };

    OwnedHandle wake_;  // auto-reset: a text was asked, or the end
    OwnedHandle idle_;  // manual-reset
    OwnedHandle thread_;
    std::mutex mutex_;
    std::optional<Job> asked_;
    std::uint64_t lastNumber_ = 0;
    std::uint64_t ended_ = 0;  // the number of the last write that ended
    DWORD endedError_ = ERROR_SUCCESS;
    bool stop_ = false;
};

}  // namespace linkwell::win32
