#include "peers/crowd.h"

#include <iostream>

namespace linkwell::win32::peers {

void Crowd::Start(const std::wstring& exe, const std::wstring& args, int copies) {
    for (int i = 0; i < copies; ++i) {
        copies_.push_back(std::make_unique<SecondCopy>());
        copies_.back()->Start(exe, false, args);
    }
}

void Crowd::Look(const std::function<void(const std::string&)>& line) {
    for (std::size_t i = 0; i < copies_.size(); ++i) {
        copies_[i]->Look([&](const std::string& what) {
            std::cerr << "copy " << i + 1 << ": " << what << '\n';
            if (what.starts_with("ended ")) ++ended_;
        });
    }
    if (told_ || copies_.empty() || ended_ < copies_.size()) return;
    told_ = true;
    line(std::to_string(ended_) + " copies ended by themselves");
}

}  // namespace linkwell::win32::peers
