#include "peers/watcher.h"

#include <string>
#include <utility>

#include "peers/class_names.h"
#include "peers/watch.h"
#include "text/text.h"
#include "win32/wintext.h"

namespace linkwell::win32::peers {

Watcher* Watcher::self_ = nullptr;

Watcher::Watcher(scenario::Trace& trace, Activity& activity) : trace_(trace), activity_(activity) {
    self_ = this;
    WNDCLASSW wc{};
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpfnWndProc = WatchProc;
    wc.lpszClassName = kWatchWindowClass;
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, kWatchWindowClass, kWatchWindowTitle, WS_POPUP, 0, 0, 0, 0,
                              nullptr, nullptr, wc.hInstance, nullptr);
}

Watcher::~Watcher() {
    if (window_ != nullptr) DestroyWindow(window_);
    self_ = nullptr;
}

HWND Watcher::TakeInnermostBox() {
    while (!boxes_.empty()) {
        HWND box = boxes_.back();
        boxes_.pop_back();
        if (IsWindow(box)) return box;
    }
    return nullptr;
}

LRESULT CALLBACK Watcher::WatchProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if ((msg != kStatusChanged && msg != kBoxOpened && msg != kTextPiece) || self_ == nullptr) {
        return DefWindowProcW(window, msg, wParam, lParam);
    }
    self_->activity_.Touch();
    wchar_t buf[260] = {};
    const UINT n = GlobalGetAtomNameW(static_cast<ATOM>(wParam), buf, 260);
    GlobalDeleteAtom(static_cast<ATOM>(wParam));
    const std::wstring carried(buf, n);
    const std::wstring piece = carried.empty() ? carried : carried.substr(1);
    if (msg == kTextPiece) {
        self_->pieces_ += piece;
        return 0;
    }
    const std::wstring text = std::exchange(self_->pieces_, std::wstring()) + piece;
    if (msg == kStatusChanged) {
        self_->trace_.Line("STATUS", text::Quote(FromWide(text)));
    } else {
        const auto split = text.find(L'\x01');
        const std::wstring title = text.substr(0, split);
        const std::wstring body = split == std::wstring::npos ? L"" : text.substr(split + 1);
        self_->trace_.Line("BOX", text::Quote(FromWide(title)) + " " + text::Quote(FromWide(body)));
        self_->boxes_.push_back(reinterpret_cast<HWND>(lParam));
    }
    return 0;
}

}  // namespace linkwell::win32::peers
