#include "peers/crowd.h"

#include <iostream>

#include "peers/messages.h"
#include "win32/window_classes.h"

namespace linkwell::win32::peers {

void Crowd::Start(const std::wstring& exe, const std::wstring& args, int copies) {
    for (int i = 0; i < copies; ++i) {
        copies_.push_back(std::make_unique<SecondCopy>());
        copies_.back()->Start(exe, false, args);
    }
    total_ = copies_.size();
}

std::optional<std::pair<HANDLE, DWORD>> Crowd::Successor() {
    for (auto copy = copies_.begin(); copy != copies_.end(); ++copy) {
        const DWORD pid = (*copy)->Pid();
        if (pid == 0 || TopLevelOf(pid, kFormClass) == nullptr) continue;
        std::pair<HANDLE, DWORD> next{(*copy)->Release(), pid};
        copies_.erase(copy);
        std::cerr << "copy " << pid << " runs in place of the run's own, which ended by itself\n";
        ++ended_;  // the run's own, in its place
        return next;
    }
    return std::nullopt;
}

void Crowd::Look(const std::function<void(const std::string&)>& line) {
    for (std::size_t i = 0; i < copies_.size(); ++i) {
        copies_[i]->Look([&](const std::string& what) {
            std::cerr << "copy " << i + 1 << ": " << what << '\n';
            if (what.starts_with("ended ")) ++ended_;
        });
    }
    if (told_ || total_ == 0 || ended_ < total_) return;
    told_ = true;
    line(std::to_string(ended_) + " copies ended by themselves");
}

}  // namespace linkwell::win32::peers
