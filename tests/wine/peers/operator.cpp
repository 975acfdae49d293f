#include "peers/operator.h"

#include "peers/messages.h"
#include "win32/control_ids.h"
#include "win32/window_classes.h"
#include "win32/wintext.h"

namespace linkwell::win32::peers {

Operator::~Operator() {
    if (userDecimal_) SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, userDecimal_->c_str());
}

HWND Operator::Control(window::ControlId id) const {
    return GetDlgItem(bridge_.Form(), ControlDlgId(id));
}

void Operator::Click(window::ControlId button) {
    HWND form = bridge_.Form();
    if (form != nullptr && IsWindowEnabled(form)) {
        PostMessageW(form, WM_COMMAND, MAKEWPARAM(ControlDlgId(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(Control(button)));
    }
}

HWND Operator::PressOk() {
    HWND box = watcher_.TakeInnermostBox();
    if (box != nullptr) PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return box;
}

void Operator::Close() {
    HWND form = bridge_.Form();
    if (form != nullptr && IsWindowEnabled(form)) PostMessageW(form, WM_CLOSE, 0, 0);
}

void Operator::SetDecimalSeparator(const platform::Text& separator) {
    if (!userDecimal_) {
        wchar_t old[8] = {};
        const int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, old, 8);
        if (n > 0) userDecimal_ = std::wstring(old, static_cast<std::size_t>(n - 1));
    }
    const std::wstring sep = Wide(separator);
    SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, sep.c_str());
}

std::optional<scenario::ControlLook> Operator::LookAt(window::ControlId id) {
    const auto kind = window::Design(id).kind;
    if (kind == window::ControlKind::Timer) return std::nullopt;  // not seen from outside
    HWND h = Control(id);
    scenario::ControlLook look;
    look.text = ReadText(h);
    if (kind == window::ControlKind::Button) {
        look.enabled = IsWindowEnabled(h) != FALSE;
        look.backColour =
            static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(GetPropW(h, kFaceColourProp)));
        look.visible = (GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE) != 0;
    }
    return look;
}

scenario::WindowLook Operator::LookAt(window::WindowId window) {
    HWND w = window == window::WindowId::Bridge ? bridge_.Form()
                                                : TopLevelOf(bridge_.Pid(), kAboutClass);
    const LONG style = w == nullptr ? 0 : GetWindowLongW(w, GWL_STYLE);
    const LONG ex = w == nullptr ? 0 : GetWindowLongW(w, GWL_EXSTYLE);
    return {(style & WS_VISIBLE) != 0, (ex & WS_EX_TOPMOST) != 0};
}

platform::Text Operator::ReadText(HWND h) {
    // One message, so the text cannot change between its length and its reading.
    std::wstring w(32768, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD_PTR got = 0;
        LRESULT ok = 0;
        WhilePumping([&] {
            ok = SendMessageTimeoutW(h, WM_GETTEXT, w.size(), reinterpret_cast<LPARAM>(w.data()),
                                     SMTO_NORMAL, 3000, &got);
        });
        if (ok != 0) {
            w.resize(static_cast<std::size_t>(got));
            return FromWide(w);
        }
        Pump();
    }
    return u"?";
}

}  // namespace linkwell::win32::peers
