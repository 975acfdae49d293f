// The field trace's file on Windows: opened for appending and shared for
// reading (and for renaming, so that a viewer holding it open does not stop
// the move to FILE.1); each line goes to the system as it is written.
#pragma once

#include <windows.h>

#include <string>

#include "field_trace/output.h"
#include "win32/owned.h"

namespace linkwell::win32 {

class TraceFileWin final : public field_trace::TraceFile {
public:
    explicit TraceFileWin(std::u16string path);
    ~TraceFileWin() override;
    TraceFileWin(const TraceFileWin&) = delete;
    TraceFileWin& operator=(const TraceFileWin&) = delete;

    bool Append(std::string_view bytes) override;
    std::uint64_t Size() override;
    bool StartAnew() override;
    std::u16string Name() const override { return path_; }

private:
    void Open();

    std::u16string path_;
    OwnedFile file_;
};

}  // namespace linkwell::win32
