#include "win32/trace_file.h"

#include "win32/wintext.h"

namespace linkwell::win32 {

TraceFileWin::TraceFileWin(std::u16string path) : path_(std::move(path)) {
    Open();
}

TraceFileWin::~TraceFileWin() = default;

void TraceFileWin::Open() {
    const std::wstring p = Wide(path_);
    file_.reset(CreateFileW(p.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool TraceFileWin::Append(std::string_view bytes) {
    if (!file_) return false;
    DWORD written = 0;
    // No buffer of our own: once WriteFile returns, the line survives the
    // end of this process, however it ends.
    return WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) != FALSE &&
           written == bytes.size();
}

std::uint64_t TraceFileWin::Size() {
    LARGE_INTEGER size{};
    if (!file_ || GetFileSizeEx(file_.get(), &size) == FALSE) return 0;
    return static_cast<std::uint64_t>(size.QuadPart);
}

bool TraceFileWin::StartAnew() {
    file_.reset();
    const std::wstring p = Wide(path_);
    const std::wstring old = p + L".1";
    if (MoveFileExW(p.c_str(), old.c_str(), MOVEFILE_REPLACE_EXISTING) == FALSE) return false;
    Open();
    return static_cast<bool>(file_);
}

}  // namespace linkwell::win32
