#include "win32/world.h"

// clang-format off
#include <shlobj.h>
#include <knownfolders.h>
// clang-format on

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "win32/about.h"
#include "win32/automation.h"
#include "win32/control_ids.h"
#include "win32/window_classes.h"
#include "win32/wintext.h"

namespace linkwell::win32 {
namespace {

using window::ControlId;
using window::ControlKind;

constexpr DWORD kFormStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kAboutStyle = WS_POPUP | WS_CAPTION | WS_BORDER;

// A hung Logger32 must not hang the bridge: synchronous sends give up after
// this long, and the text is lost like any other undelivered text. Messages
// sent to the bridge meanwhile are still handled (SMTO_NORMAL).
constexpr UINT kSendTimeoutMs = 3000;
// The watch's probe of a program that did not answer: one short wait a second.
constexpr UINT kProbeTimeoutMs = 100;
// The sender thread's word that a text send has ended (wParam: its number).
constexpr UINT kTextSendEnded = WM_APP + 1;
// Windows ends the session: whatever the unload still waits for, the
// process is gone after this long, so that the shut-down never waits on us.
constexpr DWORD kEndSessionLimitMs = 5000;

COLORREF Resolve(std::uint32_t colour) {
    if ((colour & window::kSystemColour) != 0) return GetSysColor(static_cast<int>(colour & 0xFFu));
    return static_cast<COLORREF>(colour);
}

HWND Hwnd(WindowHandle h) {
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(h.value));
}
WindowHandle Handle(HWND h) {
    return WindowHandle{static_cast<std::uint64_t>(reinterpret_cast<UINT_PTR>(h))};
}

// Places a window of the given client size in the middle of the work area.
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

WinWorld* WinWorld::self_ = nullptr;

WinWorld::WinWorld(HINSTANCE instance, field_trace::Output* fieldTrace)
    : instance_(instance), fieldTrace_(fieldTrace) {
    self_ = this;
    HDC screen = GetDC(nullptr);
    dpi_ = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    if (dpi_ <= 0) dpi_ = 96;
    font_ = CreateFontW(-MulDiv(825, dpi_, 7200), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                        DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
    aboutFont_ = CreateFontW(-MulDiv(10, dpi_, 72), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
}

WinWorld::~WinWorld() {
    for (auto& [colour, brush] : brushes_) DeleteObject(brush);
    DeleteObject(font_);
    DeleteObject(aboutFont_);
    self_ = nullptr;
}

void WinWorld::Start() {
    CreateForm();
    // The trace's 0 is the window's load, as in the simulated world.
    started_ = GetTickCount64();
    if (fieldTrace_ != nullptr) {
        recorder_ = std::make_unique<field_trace::Recorder>(*this, *this, *fieldTrace_, [this] {
            return static_cast<std::int64_t>(GetTickCount64() - started_);
        });
        bridge_ = std::make_unique<Bridge>(*recorder_, *recorder_);
        recorder_->Attach(*bridge_);
    } else {
        bridge_ = std::make_unique<Bridge>(*this, *this);
    }
    bridge_->Start();
}

// Only WM_QUIT ends the loop. GetMessage gives -1 on an error of its own
// (Wine does so after another program sent a text of a million characters
// or more): that message is lost, the loop goes on.
int WinWorld::Run() {
    RunDeferred();
    while (!quitSeen_) {
        MSG msg;
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            exitCode_ = static_cast<int>(msg.wParam);
            break;
        }
        if (got == -1) {
            // Not a busy loop should the error persist.
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            continue;
        }
        DispatchOne(msg);
        RunDeferred();
    }
    return exitCode_;
}

void WinWorld::DispatchOne(MSG& msg) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

// --- waiting without blocking the window ------------------------------------------------------

// Why the bridge does not simply block in its waits: a thread that takes no
// message for 5 s is "hung" to Windows, and every program that broadcasts
// (a setting change, a DDE initiate) waits for it. Why it does not simply
// pump either: a nested handler of the bridge would run inside the one that
// waits, and with MixW's DDE sending the dial frequency at 20 Hz, nesting
// piles up until the stack overflows. So the thread serves its messages
// (paint, sends from other threads, input) and hands the bridge's own
// events to this queue.
class WinWorld::Busy {
public:
    explicit Busy(WinWorld& world) : world_(world) { ++world_.busy_; }
    ~Busy() { --world_.busy_; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    WinWorld& world_;
};

void WinWorld::IntoBridge(std::function<void()> event) {
    if (busy_ > 0) {
        deferred_.push_back(std::move(event));
        return;
    }
    event();
}

void WinWorld::RunDeferred() {
    while (busy_ == 0 && !deferred_.empty()) {
        auto event = std::move(deferred_.front());
        deferred_.pop_front();
        event();
    }
}

bool WinWorld::PumpFor(DWORD ms, HANDLE done) {
    // The longest the thread goes without serving its messages.
    constexpr ULONGLONG kSliceMs = 100;
    const ULONGLONG until = GetTickCount64() + ms;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= until) return done != nullptr && WaitForSingleObject(done, 0) == WAIT_OBJECT_0;
        const auto slice = static_cast<DWORD>(std::min(until - now, kSliceMs));
        const DWORD r = MsgWaitForMultipleObjectsEx(done != nullptr ? 1 : 0, &done, slice,
                                                    QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (done != nullptr && r == WAIT_OBJECT_0) return true;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quitSeen_ = true;
                exitCode_ = static_cast<int>(msg.wParam);
                continue;
            }
            DispatchOne(msg);
            if (done != nullptr && WaitForSingleObject(done, 0) == WAIT_OBJECT_0) return true;
        }
    }
}

// --- the bridge window ---------------------------------------------------------------

HBRUSH WinWorld::Brush(std::uint32_t colour) {
    const COLORREF c = Resolve(colour);
    auto [it, added] = brushes_.try_emplace(c, nullptr);
    if (added) it->second = CreateSolidBrush(c);
    return it->second;
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
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
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
        case WM_COMMAND: {
            const auto id = ControlOfId(LOWORD(wParam));
            if (!id) break;
            const auto kind = window::Design(*id).kind;
            if (kind == ControlKind::TextBox && HIWORD(wParam) == EN_CHANGE) {
                if (showing_) return 0;
                IntoBridge([this, box = *id, text = WindowText(reinterpret_cast<HWND>(lParam))] {
                    bridge_->TextArrived(box, text);
                });
            } else if (kind == ControlKind::Button && HIWORD(wParam) == BN_CLICKED) {
                // A button disabled when it is clicked takes no click, also
                // while the bridge waits.
                if (form.Enabled(*id)) IntoBridge([this, button = *id] { bridge_->Click(button); });
            }
            return 0;
        }
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
        case WM_TIMER: {
            // Every slot, the watch's included. Ticks missed while the
            // bridge waited come once, as Windows' own timers do.
            const int slot = static_cast<int>(wParam) - 1;
            if (slot < 0 || slot >= window::kTimerSlotCount) return 0;
            const auto i = static_cast<std::size_t>(slot);
            if (!timerRunning_[i] || tickPending_[i]) return 0;
            tickPending_[i] = true;
            IntoBridge([this, i, slot] {
                tickPending_[i] = false;
                if (timerRunning_[i]) bridge_->TimerTick(slot);
            });
            return 0;
        }
        case WM_CLOSE:
            // During a start-up wait the close runs at once (the wait never
            // returns); during any other wait, once the waiting handler is over.
            if (inStartupWait_ || busy_ == 0) {
                bridge_->Close();
            } else {
                deferred_.push_back([this] { SendMessageW(form_, WM_CLOSE, 0, 0); });
            }
            return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        case kTextSendEnded: OnTextSendEnded(static_cast<std::uint64_t>(wParam)); return 0;
        // Windows ends the session: no question asked of the operator, and
        // the unload runs at once, also while the bridge waits or a box is
        // open (Windows does not wait for either).
        case WM_QUERYENDSESSION: return TRUE;
        case WM_ENDSESSION:
            if (wParam != FALSE) {
                std::thread([] {
                    ::Sleep(kEndSessionLimitMs);
                    TerminateProcess(GetCurrentProcess(), 0);
                }).detach();
                bridge_->EndSession();
            }
            return 0;
        default: break;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
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
    HGDIOBJ old = SelectObject(item.hDC, font_);
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
    HGDIOBJ old = SelectObject(dc, self_->aboutFont_);
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

// --- Platform: windows and messages ------------------------------------------------------------

WindowHandle WinWorld::FindWindowByTitle(const Text& title) {
    return Handle(FindWindowA(nullptr, ToAnsi(title).c_str()));
}

MessageId WinWorld::RegisterMessage(const Text& name) {
    return RegisterWindowMessageA(ToAnsi(name).c_str());
}

namespace {

platform::Delivery Failure(DWORD error) {
    switch (error) {
        case ERROR_TIMEOUT: return platform::Delivery::NotAnswering;
        case ERROR_ACCESS_DENIED: return platform::Delivery::Refused;
        default: return platform::Delivery::NoWindow;
    }
}

}  // namespace

platform::Delivery WinWorld::PostMessage(WindowHandle to, MessageId msg, WParam code,
                                         LParam value) {
    if (to.isNull()) return platform::Delivery::NoWindow;
    if (PostMessageA(Hwnd(to), msg, static_cast<WPARAM>(code), static_cast<LPARAM>(value))) {
        return platform::Delivery::Delivered;
    }
    return Failure(GetLastError());
}

// A send waits at most kSendTimeoutMs, handling what is sent to the bridge
// meanwhile. Once a window's thread has let one time out, later sends to it
// give up at once, without waiting, until the watch's probe (Answers) finds
// it answering: a hung Logger32 would otherwise cost every text its wait,
// and the texts of a MixW being tuned would queue up behind one another.
// Threads, not processes: a program whose text window hangs on a thread of
// its own still takes the leaving notice on its main window.
platform::Delivery WinWorld::BoundedSend(HWND to, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (to == nullptr || !IsWindow(to)) return platform::Delivery::NoWindow;
    DWORD pid = 0;
    const DWORD thread = GetWindowThreadProcessId(to, &pid);
    if (notAnswering_.count(thread) != 0) return platform::Delivery::NotAnswering;
    DWORD_PTR result = 0;
    SetLastError(ERROR_SUCCESS);
    LRESULT sent = 0;
    {
        const Busy busy(*this);
        sent =
            SendMessageTimeoutA(to, msg, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
    }
    if (sent != 0) {
        notAnswering_.erase(thread);
        return platform::Delivery::Delivered;
    }
    DWORD error = GetLastError();
    // A hung receiver may give no error code at all.
    if (error == ERROR_SUCCESS) error = ERROR_TIMEOUT;
    const auto d = Failure(error);
    if (d == platform::Delivery::NotAnswering) notAnswering_[thread] = {pid, to};
    return d;
}

bool WinWorld::Probe(HWND window) {
    DWORD_PTR result = 0;
    const Busy busy(*this);
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kProbeTimeoutMs, &result) !=
           0;
}

platform::Delivery WinWorld::SendMessageWithReference(WindowHandle to, MessageId msg, WParam code) {
    return BoundedSend(Hwnd(to), msg, static_cast<WPARAM>(code), reinterpret_cast<LPARAM>(&zero_));
}

// A text for another program goes through the sender thread with a plain
// SendMessage: a timed-out SendMessageTimeout leaves it unknown whether the
// window got the text, and a logging must reach Logger32 exactly once.
struct WinWorld::TextSend {
    std::uint64_t id = 0;
    HWND to = nullptr;
    DWORD thread = 0;
    std::string ansi;
    HANDLE done = nullptr;  // set by the sender once the send has returned
    platform::Delivery result = platform::Delivery::NoWindow;
    bool pending = false;  // the bridge stopped waiting for it
    TextSend() = default;
    TextSend(const TextSend&) = delete;
    TextSend& operator=(const TextSend&) = delete;
    ~TextSend() {
        if (done != nullptr) CloseHandle(done);
    }
};

namespace {

// One thread sends the texts, one at a time, for as long as each takes.
class TextSender {
public:
    using Job = std::function<void()>;
    static TextSender& Get() {
        // Never destroyed: the thread may still be inside a send at exit.
        static TextSender* const sender = new TextSender();
        return *sender;
    }
    void Run(Job job) {
        {
            const std::lock_guard lock(mutex_);
            jobs_.push_back(std::move(job));
        }
        ready_.notify_one();
    }

private:
    TextSender() {
        std::thread([this] { Serve(); }).detach();
    }
    void Serve() {
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [this] { return !jobs_.empty(); });
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            job();
        }
    }
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Job> jobs_;
};

}  // namespace

bool WinWorld::IsOwnWindow(HWND h) const {
    if (h == form_) return true;
    return std::find(controls_.begin(), controls_.end(), h) != controls_.end();
}

platform::Delivery WinWorld::SendText(WindowHandle to, const Text& text) {
    HWND h = Hwnd(to);
    if (h != nullptr && IsOwnWindow(h)) {
        const std::string ansi = ToAnsi(text);
        return BoundedSend(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ansi.c_str()));
    }
    if (sending_) return platform::Delivery::NotAnswering;
    if (h == nullptr || !IsWindow(h)) return platform::Delivery::NoWindow;
    auto send = std::make_shared<TextSend>();
    send->id = ++sendCount_;
    send->to = h;
    DWORD pid = 0;
    send->thread = GetWindowThreadProcessId(h, &pid);
    send->ansi = ToAnsi(text);
    send->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (send->done == nullptr) return platform::Delivery::NotAnswering;
    sending_ = send;
    TextSender::Get().Run([send, form = form_] {
        SetLastError(ERROR_SUCCESS);
        const LRESULT r =
            SendMessageA(send->to, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(send->ansi.c_str()));
        const DWORD error = GetLastError();
        // A window that returned FALSE still took the text; only one that
        // is gone (or refused us) did not.
        if (r != 0) {
            send->result = platform::Delivery::Delivered;
        } else if (error == ERROR_ACCESS_DENIED) {
            send->result = platform::Delivery::Refused;
        } else {
            send->result =
                IsWindow(send->to) ? platform::Delivery::Delivered : platform::Delivery::NoWindow;
        }
        SetEvent(send->done);
        PostMessageW(form, kTextSendEnded, static_cast<WPARAM>(send->id), 0);
    });
    bool settled = false;
    {
        const Busy busy(*this);
        settled = PumpFor(kSendTimeoutMs, send->done);
    }
    if (settled) {
        sending_.reset();
        return send->result;
    }
    send->pending = true;
    notAnswering_[send->thread] = {pid, h};
    return platform::Delivery::Pending;
}

// The bridge hears of a pending send's end in its turn, after what came
// before; until then no other text goes out.
void WinWorld::OnTextSendEnded(std::uint64_t id) {
    if (!sending_ || sending_->id != id || !sending_->pending) return;
    IntoBridge([this, id] {
        if (!sending_ || sending_->id != id) return;
        const platform::Delivery d = sending_->result;
        notAnswering_.erase(sending_->thread);
        sending_.reset();
        bridge_->TextSendEnded(d);
    });
}

std::uint32_t WinWorld::ProcessOf(WindowHandle window) {
    HWND h = Hwnd(window);
    if (h == nullptr || !IsWindow(h)) return 0;
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    return pid;
}

// The window answers, and so does every window of its program that let a
// send time out (each probe waits at most kProbeTimeoutMs).
bool WinWorld::Answers(WindowHandle window) {
    HWND h = Hwnd(window);
    if (h == nullptr || !IsWindow(h) || !Probe(h)) return false;
    DWORD pid = 0;
    notAnswering_.erase(GetWindowThreadProcessId(h, &pid));
    for (auto it = notAnswering_.begin(); it != notAnswering_.end();) {
        const auto& [process, sentTo] = it->second;
        if (process != pid) {
            ++it;
        } else if (!IsWindow(sentTo) || Probe(sentTo)) {
            it = notAnswering_.erase(it);
        } else {
            return false;
        }
    }
    return true;
}

WindowProc WinWorld::SetWindowProc(WindowHandle window, WindowProc proc) {
    const LONG_PTR old =
        SetWindowLongPtrW(Hwnd(window), GWLP_WNDPROC, static_cast<LONG_PTR>(proc.value));
    return WindowProc{static_cast<std::uint64_t>(old)};
}

LResult WinWorld::CallWindowProc(WindowProc proc, WindowHandle window, MessageId msg, WParam wParam,
                                 LParam lParam) {
    return CallWindowProcW(reinterpret_cast<WNDPROC>(static_cast<UINT_PTR>(proc.value)),
                           Hwnd(window), msg, static_cast<WPARAM>(wParam),
                           static_cast<LPARAM>(lParam));
}

LRESULT CALLBACK WinWorld::HookTrampoline(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (self_ == nullptr || !self_->bridge_) return DefWindowProcW(window, msg, wParam, lParam);
    // Logger32's messages (registered ones) wait while the bridge waits;
    // the rest goes straight on to the form's procedure, which sorts it:
    // through the hook it would be an event of the bridge's inside the one
    // that waits.
    if (self_->busy_ > 0) {
        if (msg < 0xC000 || msg > 0xFFFF) return FormProc(window, msg, wParam, lParam);
        self_->deferred_.push_back([h = Handle(window), msg, wParam, lParam] {
            if (self_ != nullptr && self_->bridge_)
                (void)self_->bridge_->HookProc(h, msg, wParam, lParam);
        });
        return 0;
    }
    return static_cast<LRESULT>(self_->bridge_->HookProc(Handle(window), msg, wParam, lParam));
}

WindowProc WinWorld::HookProcedure() {
    return WindowProc{static_cast<std::uint64_t>(reinterpret_cast<UINT_PTR>(&HookTrampoline))};
}

void WinWorld::MakeTopmost(WindowHandle window) {
    SetWindowPos(Hwnd(window), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

// --- Platform: the thread
// --------------------------------------------------------------------------

// The window stays alive while the bridge sleeps; a close runs at once.
void WinWorld::Sleep(int milliseconds) {
    const bool outer = inStartupWait_;
    inStartupWait_ = true;
    {
        const Busy busy(*this);
        PumpFor(static_cast<DWORD>(milliseconds < 0 ? 0 : milliseconds), nullptr);
    }
    inStartupWait_ = outer;
}

// Modal: the bridge's messages are handled while the box is open, those
// kept from a wait first.
void WinWorld::MessageBox(const Text& text, const Text& title) {
    const int busy = std::exchange(busy_, 0);
    const bool wait = std::exchange(inStartupWait_, false);
    RunDeferred();
    const std::wstring t = Wide(text);
    const std::wstring c = Wide(title);
    MessageBoxW(form_, t.c_str(), c.c_str(), MB_OK);
    busy_ = busy;
    inStartupWait_ = wait;
}

void WinWorld::EndProgram() {
    ExitProcess(0);
}

void WinWorld::StartTimer(int slot, int intervalMs) {
    timerRunning_[static_cast<std::size_t>(slot)] = true;
    SetTimer(form_, static_cast<UINT_PTR>(slot) + 1, static_cast<UINT>(intervalMs), nullptr);
}

void WinWorld::StopTimer(int slot) {
    timerRunning_[static_cast<std::size_t>(slot)] = false;
    KillTimer(form_, static_cast<UINT_PTR>(slot) + 1);
}

// --- Platform: MixW2 and the locale
// ------------------------------------------------------------------

std::unique_ptr<platform::Automation> WinWorld::GetActiveObject(const Text& progId) {
    return GetRunningObject(progId, [this](HANDLE done, DWORD ms) {
        const Busy busy(*this);
        return PumpFor(ms, done);
    });
}

platform::LinkStatus WinWorld::ActivateLink(const platform::LinkTarget& link,
                                            platform::LinkSink sink) {
    // Values sent later wait while the bridge waits; the current value is
    // the bridge's at once.
    std::optional<Text> now;
    platform::LinkStatus status = platform::LinkStatus::Refused;
    {
        const Busy busy(*this);
        status = links_.Activate(
            link, [this, sink](const Text& v) { IntoBridge([sink, v] { sink(v); }); }, now);
    }
    if (status == platform::LinkStatus::Active && now) sink(*now);
    return status;
}

Text WinWorld::UtcDate() {
    SYSTEMTIME t{};
    GetSystemTime(&t);
    wchar_t buf[16] = {};
    swprintf(buf, 16, L"%04u%02u%02u", t.wYear, t.wMonth, t.wDay);
    return FromWide(buf);
}

// --- Platform: the file of QSOs Logger32 did not take ------------------------------------

namespace {

std::wstring LocalAppData() {
    PWSTR known = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known)) &&
        known != nullptr) {
        folder = known;
    }
    CoTaskMemFree(known);
    if (!folder.empty()) return folder;
    wchar_t buf[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", buf, MAX_PATH);
    if (n > 0 && n < MAX_PATH) folder = buf;
    return folder;
}

std::wstring NotLoggedFolder() {
    return LocalAppData() + L"\\Linkwell";
}

}  // namespace

Text WinWorld::NotLoggedPath() {
    return FromWide(NotLoggedFolder() + L"\\not-logged.adi");
}

std::optional<Text> WinWorld::ReadNotLogged() {
    const std::wstring path = Wide(NotLoggedPath());
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes;
    bool ok = true;
    for (;;) {
        char buf[65536];
        DWORD got = 0;
        if (!ReadFile(f, buf, sizeof buf, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        bytes.append(buf, got);
    }
    CloseHandle(f);
    if (!ok) return std::nullopt;
    return FromAnsi(bytes);
}

// A new file beside the old one, flushed, then renamed over it: a crash or
// a power cut leaves the old file or the new one, never half of either.
bool WinWorld::WriteNotLogged(const Text& content) {
    const std::wstring folder = NotLoggedFolder();
    const std::wstring path = Wide(NotLoggedPath());
    if (content.empty()) {
        if (DeleteFileW(path.c_str())) return true;
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return false;
    }
    wchar_t temp[MAX_PATH] = {};
    if (GetTempFileNameW(folder.c_str(), L"nl", 0, temp) == 0) return false;
    const std::string ansi = ToAnsi(content);
    HANDLE f =
        CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool ok = f != INVALID_HANDLE_VALUE;
    if (ok) {
        DWORD written = 0;
        ok = WriteFile(f, ansi.data(), static_cast<DWORD>(ansi.size()), &written, nullptr) &&
             written == ansi.size() && FlushFileBuffers(f);
        CloseHandle(f);
    }
    ok = ok && MoveFileExW(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileW(temp);
    return ok;
}

Text WinWorld::DecimalSeparator() {
    wchar_t buf[8] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, 8) <= 0) return u".";
    return FromWide(buf);
}

}  // namespace linkwell::win32
