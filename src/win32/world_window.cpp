// The bridge window, its controls and the about window: created from the
// window model, drawn, and their input handed to the bridge.
// clang-format off
// The world first: it keeps the character-set macros off the platform layer.
#include "win32/world.h"
// clang-format on

#include <algorithm>
#include <thread>
#include <utility>

#include "win32/about.h"
#include "win32/control_ids.h"
#include "win32/window_classes.h"
#include "win32/wintext.h"
#include "win32/world_internal.h"

namespace linkwell::win32 {
namespace {

using window::ControlId;
using window::ControlKind;

constexpr DWORD kFormStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kAboutStyle = WS_POPUP | WS_CAPTION | WS_BORDER;

RECT Centred(int clientWidth, int clientHeight, DWORD style, DWORD exStyle) {
    RECT r{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    const int x = work.left + ((work.right - work.left) - w) / 2;
    const int y = work.top + ((work.bottom - work.top) - h) / 2;
    return {x, y, x + w, y + h};
}

}  // namespace

// --- the bridge window ---------------------------------------------------------------

HBRUSH WinWorld::Brush(std::uint32_t colour) {
    const COLORREF c = Resolve(colour);
    auto [it, added] = brushes_.try_emplace(c);
    if (added) it->second.reset(CreateSolidBrush(c));
    return it->second.get();
}

void WinWorld::CreateForm() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = FormProc;
    wc.hInstance = instance_;
    wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(1));
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = Brush(window::kLightOrange);
    wc.lpszClassName = kFormClass;
    RegisterClassExW(&wc);

    const RECT r =
        Centred(Pixels(window::kFormWidthTwips), Pixels(window::kFormHeightTwips), kFormStyle, 0);
    const std::wstring caption = Wide(Text(window::kFormCaption));
    form_ =
        CreateWindowExW(0, kFormClass, caption.c_str(), kFormStyle, r.left, r.top, r.right - r.left,
                        r.bottom - r.top, nullptr, nullptr, instance_, nullptr);

    for (const auto& design : window::Controls()) {
        const wchar_t* cls = nullptr;
        DWORD style =
            WS_CHILD | (design.visible ? WS_VISIBLE : 0u) | (design.enabled ? 0u : WS_DISABLED);
        DWORD exStyle = 0;
        switch (design.kind) {
            case ControlKind::TextBox:
                cls = L"EDIT";
                style |= WS_TABSTOP | ES_AUTOHSCROLL;
                exStyle = WS_EX_CLIENTEDGE;
                break;
            case ControlKind::Label:
                cls = L"STATIC";
                style |= SS_LEFT | SS_NOPREFIX;
                break;
            case ControlKind::Button:
                cls = L"BUTTON";
                style |= WS_TABSTOP | BS_OWNERDRAW;
                break;
            case ControlKind::Timer: continue;
        }
        const std::wstring text = Wide(Text(design.initial));
        HWND h =
            CreateWindowExW(exStyle, cls, text.c_str(), style, Pixels(design.left),
                            Pixels(design.top), Pixels(design.width), Pixels(design.height), form_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlDlgId(design.id))),
                            instance_, nullptr);
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        if (design.kind == ControlKind::TextBox) SendMessageW(h, EM_SETLIMITTEXT, 0, 0);
        if (design.kind == ControlKind::Button) {
            SetPropW(h, kFaceColourProp,
                     reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(Resolve(design.backColor))));
        }
        controls_[static_cast<std::size_t>(window::Index(design.id))] = h;
    }
}

std::optional<ControlId> WinWorld::ControlOfId(int id) const {
    const int index = id - kFirstControlId;
    if (index < 0 || index >= window::kControlCount) return std::nullopt;
    return static_cast<ControlId>(index);
}

LRESULT CALLBACK WinWorld::FormProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (self_ == nullptr) return DefWindowProcW(window, msg, wParam, lParam);
    return self_->OnFormMessage(window, msg, wParam, lParam);
}

LRESULT WinWorld::OnFormMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!bridge_) return DefWindowProcW(window, msg, wParam, lParam);
    auto& form = bridge_->State().form;
    switch (msg) {
        case WM_COMMAND: OnCommand(wParam, lParam); return 0;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC: {
            const auto id = ControlOfId(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
            if (!id) break;
            const std::uint32_t colour = form.BackColor(*id);
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkColor(dc, Resolve(colour));
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            return reinterpret_cast<LRESULT>(Brush(colour));
        }
        case WM_DRAWITEM: DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
        case WM_TIMER: OnTimer(wParam); return 0;
        case WM_CLOSE:
            // During a start-up wait the close runs at once (the wait never
            // returns); during any other wait, once the waiting handler is over.
            if (thread_.CloseAnsweredAtOnce() || !thread_.Busy()) {
                bridge_->Close();
            } else {
                thread_.IntoBridge([this] { SendMessageW(form_, WM_CLOSE, 0, 0); });
            }
            return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        case kTextSendEnded: OnTextSendEnded(static_cast<std::uint64_t>(wParam)); return 0;
        case kNotLoggedWritten: OnNotLoggedWritten(static_cast<std::uint64_t>(wParam)); return 0;
        // Windows ends the session: no question asked of the operator, and
        // the unload runs at once, also while the bridge waits or a box is
        // open (Windows does not wait for either).
        case WM_QUERYENDSESSION: return TRUE;
        case WM_ENDSESSION:
            if (wParam != FALSE) OnEndSession();
            return 0;
        default: break;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

void WinWorld::OnCommand(WPARAM wParam, LPARAM lParam) {
    const auto id = ControlOfId(LOWORD(wParam));
    if (!id) return;
    const auto kind = window::Design(*id).kind;
    if (kind == ControlKind::TextBox && HIWORD(wParam) == EN_CHANGE) {
        if (showing_) return;
        thread_.IntoBridge([this, box = *id, text = WindowText(reinterpret_cast<HWND>(lParam))] {
            bridge_->TextArrived(box, text);
        });
    } else if (kind == ControlKind::Button && HIWORD(wParam) == BN_CLICKED) {
        // A button disabled when it is clicked takes no click, also while
        // the bridge waits.
        if (bridge_->State().form.Enabled(*id)) {
            thread_.IntoBridge([this, button = *id] { bridge_->Click(button); });
        }
    }
}

// Every slot, the watch's included. Ticks missed while the bridge waited
// come once, as Windows' own timers do.
void WinWorld::OnTimer(WPARAM id) {
    const int slot = static_cast<int>(id) - 1;
    if (slot < 0 || slot >= window::kTimerSlotCount) return;
    const auto i = static_cast<std::size_t>(slot);
    if (!timerRunning_[i] || tickPending_[i]) return;
    tickPending_[i] = true;
    thread_.IntoBridge([this, i, slot] {
        tickPending_[i] = false;
        if (timerRunning_[i]) bridge_->TimerTick(slot);
    });
}

void WinWorld::OnEndSession() {
    std::thread([] {
        ::Sleep(kEndSessionLimitMs);
        TerminateProcess(GetCurrentProcess(), 0);
    }).detach();
    bridge_->EndSession();
}

void WinWorld::DrawButton(const DRAWITEMSTRUCT& item) {
    const auto id = ControlOfId(static_cast<int>(item.CtlID));
    if (!id) return;
    const auto& form = bridge_->State().form;
    RECT r = item.rcItem;
    FillRect(item.hDC, &r, Brush(form.BackColor(*id)));
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    DrawEdge(item.hDC, &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    const std::wstring caption = Wide(form.GetText(*id));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(form.Enabled(*id) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    HGDIOBJ old = SelectObject(item.hDC, font_.get());
    if (pressed) OffsetRect(&r, 1, 1);
    DrawTextW(item.hDC, caption.c_str(), static_cast<int>(caption.size()), &r,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(item.hDC, old);
    if ((item.itemState & ODS_FOCUS) != 0) {
        RECT focus = item.rcItem;
        InflateRect(&focus, -4, -4);
        DrawFocusRect(item.hDC, &focus);
    }
}

// --- the about window ---------------------------------------------------------------------

void WinWorld::CreateAbout() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = AboutProc;
    wc.hInstance = instance_;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = Brush(window::kButtonFace);
    wc.lpszClassName = kAboutClass;
    RegisterClassExW(&wc);
    const RECT r = Centred(Pixels(window::kAboutWidthTwips), Pixels(window::kAboutHeightTwips),
                           kAboutStyle, 0);
    const std::wstring caption = Wide(Text(window::kAboutCaption));
    about_ =
        CreateWindowExW(WS_EX_TOOLWINDOW, kAboutClass, caption.c_str(), kAboutStyle, r.left, r.top,
                        r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance_, nullptr);
}

LRESULT CALLBACK WinWorld::AboutProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_PAINT || self_ == nullptr) return DefWindowProcW(window, msg, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    // Picture sizes are pixels at 96 dots per inch.
    auto px = [](int v) { return MulDiv(v, self_->dpi_, 96); };
    const int m = px(8);
    const RECT image3{m, m, m + px(75), m + px(60)};
    const RECT image2{m, image3.bottom + m, m + px(100), image3.bottom + m + px(79)};
    RECT client{};
    GetClientRect(window, &client);
    const RECT image1{client.right - m - px(76), m, client.right - m, m + px(103)};
    DrawTransceiver(dc, image3);
    DrawGlobe(dc, image2);
    DrawMast(dc, image1);
    RECT label{image2.right + m, image1.bottom + m, client.right - m, client.bottom - m};
    const std::wstring text = Wide(Text(window::kAboutLabel));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    HGDIOBJ old = SelectObject(dc, self_->aboutFont_.get());
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &label,
              DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    EndPaint(window, &ps);
    return 0;
}

// --- FormView ---------------------------------------------------------------------------------

WindowHandle WinWorld::HandleOf(window::WindowId window) {
    if (window == window::WindowId::About) {
        if (about_ == nullptr) CreateAbout();
        return Handle(about_);
    }
    return Handle(form_);
}

WindowHandle WinWorld::HandleOf(ControlId control) {
    return Handle(controls_[static_cast<std::size_t>(window::Index(control))]);
}

void WinWorld::ControlChanged(ControlId control) {
    HWND h = controls_[static_cast<std::size_t>(window::Index(control))];
    if (h == nullptr) return;  // timers
    const auto& form = bridge_->State().form;
    const Text& text = form.GetText(control);
    if (WindowText(h) != text) {
        const std::wstring w = Wide(text);
        // The box's echo of the bridge's own change is no arrival: the
        // form ran the change handler already.
        const bool outer = std::exchange(showing_, true);
        SetWindowTextW(h, w.c_str());
        showing_ = outer;
    }
    if (window::Design(control).kind == ControlKind::Button) {
        const bool enabled = form.Enabled(control);
        if ((IsWindowEnabled(h) != FALSE) != enabled) EnableWindow(h, enabled ? TRUE : FALSE);
        SetPropW(h, kFaceColourProp,
                 reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(Resolve(form.BackColor(control)))));
    }
    InvalidateRect(h, nullptr, TRUE);
}

void WinWorld::WindowChanged(window::WindowId window) {
    HWND h = Hwnd(HandleOf(window));
    const bool visible = bridge_->State().form.WindowVisible(window);
    ShowWindow(h, visible ? SW_SHOWNOACTIVATE : SW_HIDE);
    if (visible) UpdateWindow(h);
}

}  // namespace linkwell::win32
