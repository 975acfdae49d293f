// linkwell-watch.dll: a WH_CALLWNDPROCRET hook that the peers place on the
// bridge's thread. It reports what an operator sees change: the status line
// (Text1) and each message box, posting from the bridge's own thread so the
// reports keep their order among the bridge's posts.
#include <windows.h>

#include <string>

#include "peers/watch.h"
#include "win32/control_ids.h"
#include "win32/window_classes.h"
#include "window/controls.h"

namespace {

using namespace linkwell;

void Report(UINT msg, const std::wstring& text, HWND about) {
    HWND watch = FindWindowW(nullptr, win32::peers::kWatchWindowTitle);
    if (watch == nullptr) return;
    using win32::peers::kPieceLength;
    std::size_t at = 0;
    for (; text.size() - at > kPieceLength; at += kPieceLength) {
        const ATOM piece = GlobalAddAtomW((L"|" + text.substr(at, kPieceLength)).c_str());
        if (piece != 0) PostMessageW(watch, win32::peers::kTextPiece, piece, 0);
    }
    const ATOM atom = GlobalAddAtomW((L"|" + text.substr(at)).c_str());
    if (atom != 0) PostMessageW(watch, msg, atom, reinterpret_cast<LPARAM>(about));
}

std::wstring ClassOf(HWND h) {
    wchar_t name[64] = {};
    GetClassNameW(h, name, 64);
    return name;
}

std::wstring TextOf(HWND h) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(h)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(h, text.data(), static_cast<int>(text.size()))));
    return text;
}

BOOL CALLBACK LongestStatic(HWND child, LPARAM out) {
    auto& best = *reinterpret_cast<std::wstring*>(out);
    if (ClassOf(child) == L"Static") {
        std::wstring t = TextOf(child);
        if (t.size() > best.size()) best = std::move(t);
    }
    return TRUE;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    LinkwellWatchProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto& m = *reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (m.message == WM_SETTEXT &&
            GetDlgCtrlID(m.hwnd) == win32::ControlDlgId(window::ControlId::StatusLine) &&
            ClassOf(GetParent(m.hwnd)) == win32::kFormClass) {
            Report(win32::peers::kStatusChanged, reinterpret_cast<const wchar_t*>(m.lParam),
                   nullptr);
        } else if (m.message == WM_INITDIALOG && ClassOf(m.hwnd) == L"#32770") {
            std::wstring text;
            EnumChildWindows(m.hwnd, LongestStatic, reinterpret_cast<LPARAM>(&text));
            Report(win32::peers::kBoxOpened, TextOf(m.hwnd) + L"\x01" + text, m.hwnd);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
