#include "peers/crowd.h"

namespace linkwell::win32::peers {

void Crowd::Start(const std::wstring& exe, const std::wstring& args, int copies) {
    for (int i = 0; i < copies; ++i) {
        copies_.push_back(std::make_unique<SecondCopy>());
        copies_.back()->Start(exe, false, args);
    }
}

void Crowd::Look(const std::function<void(const std::string&)>& line) {
    for (auto& copy : copies_) copy->Look(line);
}

}  // namespace linkwell::win32::peers
