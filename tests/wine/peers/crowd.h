// Copies of linkwell.exe started at one moment beside the run's own (a
// double click, the start-up folder and a shortcut at once): one of them
// runs, and every other must end by itself.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "peers/launcher.h"

namespace linkwell::win32::peers {

class Crowd {
public:
    // Starts `copies` copies, one right after the other, with `args`.
    void Start(const std::wstring& exe, const std::wstring& args, int copies);
    // Once every copy has ended by itself, one line: `N copies ended by
    // themselves` (kind SECOND). Which box a copy shows, and so its exit
    // code, depends on how far the running one had come, so each copy's own
    // lines go to standard error.
    void Look(const std::function<void(const std::string&)>& line);
    // The run's own copy ended by itself: the copy whose window is up runs
    // instead (its process handle and pid, now the caller's), none while no
    // copy has its window yet.
    [[nodiscard]] std::optional<std::pair<HANDLE, DWORD>> Successor();

private:
    std::vector<std::unique_ptr<SecondCopy>> copies_;
    std::size_t total_ = 0;
    std::size_t ended_ = 0;
    bool told_ = false;
};

}  // namespace linkwell::win32::peers
