// The bridge's not-logged.adi in the prefix's local application data, as
// the peers see it: put in place before a run (`file put`), and watched
// while the bridge runs, one FILE line for each change of its content.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "scenario/trace.h"

namespace linkwell::win32::peers {

class NotLoggedFile {
public:
    // A run starts with no file, nor the files beside it, whatever an
    // earlier run left.
    NotLoggedFile();
    // The file holds `text` (in the ANSI code page), as an earlier run of
    // the bridge left it; no FILE line for it.
    void Put(const platform::Text& text);
    // Holds the file open without sharing, as a spreadsheet or an import
    // does (nothing is held when there is no file), or lets it go. It is
    // not polled while held: nobody else can change it then.
    void Lock(bool locked);
    // Prints `FILE "not-logged.adi" N` when the content differs from the
    // last one seen (N: the QSO records in it, 0 when there is no file),
    // and likewise `FILE "NAME" N` for each file beside it
    // (not-logged-unsaved.adi, a damaged file moved aside).
    void Poll(scenario::Trace& trace);
    // Polls when the last poll is `everyMs` or more ago.
    void PollEvery(scenario::Trace& trace, ULONGLONG everyMs);

private:
    std::wstring path_;
    std::optional<std::string> seen_;
    std::map<std::string, std::string> beside_;  // by file name
    HANDLE held_ = INVALID_HANDLE_VALUE;
    ULONGLONG polledAt_ = 0;
};

// The number of `<EOR>` markers (in any case) in an ADIF text.
[[nodiscard]] int CountRecords(const std::string& adif);

}  // namespace linkwell::win32::peers
