// linkwell-peers.exe: plays a scenario against the real linkwell.exe under
// Windows or Wine, in real time. It is Logger32 (a top-level window titled
// "Logger32" with a text window), MixW2 (the automation object and the DDE
// server) and the operator (clicks, OK, close, dump on the real window), and
// prints the trace with the milliseconds since the bridge window appeared.
//
//   linkwell-peers BRIDGE.exe WATCH.dll FILE.scn [BRIDGE ARG ...]
// clang-format off
#include <windows.h>
#include <objbase.h>
// clang-format on

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "logger32/link.h"
#include "peers/mixw_server.h"
#include "peers/watch.h"
#include "scenario/logger32_standin.h"
#include "scenario/mixw_standin.h"
#include "scenario/scenario.h"
#include "scenario/standin_actions.h"
#include "scenario/text.h"
#include "scenario/trace.h"
#include "win32/control_ids.h"
#include "win32/wintext.h"
#include "window/controls.h"

namespace linkwell::win32::peers {
namespace {

using platform::LParam;
using platform::MessageId;
using platform::Text;
using platform::WindowHandle;
using platform::WParam;
using scenario::Action;
using scenario::ActionKind;

constexpr wchar_t kLogger32Class[] = L"LinkwellPeersLogger32";
constexpr wchar_t kLogger32TextClass[] = L"LinkwellPeersLogger32Text";
constexpr wchar_t kHungTextClass[] = L"LinkwellPeersHungText";
// How long the hung text window keeps a text: longer than any run.
constexpr DWORD kHungMs = 60000;

// What the peers go on printing after the scenario's last action.
constexpr std::int64_t kSettleMs = 400;

// Actions that make the bridge act.
bool IntoBridge(ActionKind k) {
    switch (k) {
        case ActionKind::Logger32Post:
        case ActionKind::Logger32SetText:
        case ActionKind::MixWDde:
        case ActionKind::Click:
        case ActionKind::Ok:
        case ActionKind::Close: return true;
        default: return false;
    }
}

HWND Hwnd(WindowHandle h) {
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(h.value));
}
WindowHandle Handle(HWND h) {
    return WindowHandle{static_cast<std::uint64_t>(reinterpret_cast<UINT_PTR>(h))};
}

// A top-level window of the process by its class (found by walking the
// windows: a class registered by another process is not known here by name).
struct Search {
    DWORD pid;
    const wchar_t* cls;
    HWND found;
};

BOOL CALLBACK Match(HWND h, LPARAM p) {
    auto& s = *reinterpret_cast<Search*>(p);
    DWORD owner = 0;
    GetWindowThreadProcessId(h, &owner);
    wchar_t name[64] = {};
    GetClassNameW(h, name, 64);
    if (owner == s.pid && wcscmp(name, s.cls) == 0) {
        s.found = h;
        return FALSE;
    }
    return TRUE;
}

HWND TopLevelOf(DWORD pid, const wchar_t* cls) {
    Search search{pid, cls, nullptr};
    EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class Peers final : private scenario::Logger32Port {
public:
    Peers(std::vector<Action> actions, std::wstring bridgeExe, std::wstring watchDll,
          std::wstring bridgeArgs)
        : actions_(std::move(actions)),
          bridgeExe_(std::move(bridgeExe)),
          bridgeArgs_(std::move(bridgeArgs)),
          watchDll_(std::move(watchDll)),
          trace_(std::cout),
          logger32_(*this, trace_),
          mixwServer_(mixw_, [this] { CatchUp(); }) {
        self_ = this;
        trace_.SetClock([this] { return frozen_ ? *frozen_ : Now(); });
        trace_.SetHandleNames([this](std::int64_t v) { return HandleName(v); });
        WNDCLASSW wc{};
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpfnWndProc = Logger32Proc;
        wc.lpszClassName = kLogger32Class;
        RegisterClassW(&wc);
        wc.lpfnWndProc = Logger32TextProc;
        wc.lpszClassName = kLogger32TextClass;
        RegisterClassW(&wc);
        wc.lpfnWndProc = WatchProc;
        wc.lpszClassName = kWatchWindowClass;
        RegisterClassW(&wc);
        watch_ = CreateWindowExW(0, kWatchWindowClass, kWatchWindowTitle, WS_POPUP, 0, 0, 0, 0,
                                 nullptr, nullptr, wc.hInstance, nullptr);
    }

    int Run();

private:
    // --- Logger32Port ------------------------------------------------------------------
    MessageId Register(const Text& name) override {
        return RegisterWindowMessageA(ToAnsi(name).c_str());
    }
    void Post(WindowHandle to, MessageId msg, WParam code, LParam value) override {
        PostMessageA(Hwnd(to), msg, static_cast<WPARAM>(code), static_cast<LPARAM>(value));
    }
    void SetTextOf(WindowHandle to, const Text& text) override {
        const std::string ansi = ToAnsi(text);
        WhilePumping([&] {
            DWORD_PTR result = 0;
            SendMessageTimeoutA(Hwnd(to), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ansi.c_str()),
                                SMTO_NORMAL, 5000, &result);
        });
    }

    static LRESULT CALLBACK Logger32Proc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK Logger32TextProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK HungTextProc(HWND, UINT, WPARAM, LPARAM);
    HWND HungTextWindow();
    static LRESULT CALLBACK WatchProc(HWND, UINT, WPARAM, LPARAM);

    [[nodiscard]] std::int64_t Now() const {
        return static_cast<std::int64_t>(GetTickCount64() - start_);
    }
    void Apply(const Action& a);
    void CatchUp();
    void Pump();
    bool LaunchBridge();
    void Dump(const std::vector<std::string>& names);
    void DumpOne(const std::string& name);
    [[nodiscard]] std::optional<std::string> HandleName(std::int64_t v) const;
    [[nodiscard]] std::int64_t ResolveParam(const scenario::ParamToken& p) const;
    [[nodiscard]] HWND Control(window::ControlId id) const {
        return GetDlgItem(form_, ControlDlgId(id));
    }
    [[nodiscard]] Text ReadText(HWND h);
    void Settle(HWND box);
    void WhilePumping(const std::function<void()>& send);
    void Touch() { lastActivity_ = GetTickCount64(); }
    void BridgeEnded();

    static Peers* self_;
    std::vector<Action> actions_;
    std::size_t next_ = 0;
    std::wstring bridgeExe_;
    std::wstring bridgeArgs_;  // " ARG ..." after the program's name
    std::wstring watchDll_;
    scenario::Trace trace_;
    scenario::Logger32StandIn logger32_;
    scenario::MixWStandIn mixw_{trace_};
    MixWServer mixwServer_;
    ULONGLONG start_ = GetTickCount64();
    std::optional<std::int64_t> frozen_;
    HWND watch_ = nullptr;
    HWND form_ = nullptr;
    HANDLE process_ = nullptr;
    DWORD bridgePid_ = 0;
    HHOOK hook_ = nullptr;
    bool ended_ = false;
    ULONGLONG lastActivity_ = 0;
    int catchingUp_ = 0;
    std::vector<HWND> boxes_;  // open message boxes, innermost last
    HWND logger32Main_ = nullptr;
    HWND settleBox_ = nullptr;
    // LINKWELL_PEERS_HUNG_LOGGER32=1: Logger32's text window stops answering
    // on the first text it gets (a hung Logger32), on a thread of its own.
    bool hungTextWindow_ = GetEnvironmentVariableW(L"LINKWELL_PEERS_HUNG_LOGGER32", nullptr, 0) > 0;
    HWND logger32Text_ = nullptr;
};

Peers* Peers::self_ = nullptr;

// Logger32's main window: the registered messages reach the stand-in.
LRESULT CALLBACK Peers::Logger32Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= 0xC000 && msg <= 0xFFFF && self_ != nullptr) {
        self_->Touch();
        // Posts that CatchUp dispatches run inside a send's handler.
        const bool sent = InSendMessage() != FALSE && self_->catchingUp_ == 0;
        if (sent) self_->CatchUp();
        const auto how = !sent                                ? scenario::Delivery::Posted
                         : wParam == logger32::code::kLeaving ? scenario::Delivery::SentReference
                                                              : scenario::Delivery::Sent;
        if (self_->logger32_.Receive(msg, static_cast<WParam>(wParam), static_cast<LParam>(lParam),
                                     how))
            return 0;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

LRESULT CALLBACK Peers::Logger32TextProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SETTEXT && self_ != nullptr) {
        self_->CatchUp();
        const wchar_t* text = reinterpret_cast<const wchar_t*>(lParam);
        self_->logger32_.ReceiveText(text == nullptr ? Text() : FromWide(text));
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

LRESULT CALLBACK Peers::WatchProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if ((msg != kStatusChanged && msg != kBoxOpened) || self_ == nullptr) {
        return DefWindowProcW(window, msg, wParam, lParam);
    }
    self_->Touch();
    wchar_t buf[260] = {};
    const UINT n = GlobalGetAtomNameW(static_cast<ATOM>(wParam), buf, 260);
    GlobalDeleteAtom(static_cast<ATOM>(wParam));
    const std::wstring carried(buf, n);
    const std::wstring text = carried.empty() ? carried : carried.substr(1);
    if (msg == kStatusChanged) {
        self_->trace_.Line("STATUS", scenario::Quote(FromWide(text)));
    } else {
        const auto split = text.find(L'\x01');
        const std::wstring title = text.substr(0, split);
        const std::wstring body = split == std::wstring::npos ? L"" : text.substr(split + 1);
        self_->trace_.Line(
            "BOX", scenario::Quote(FromWide(title)) + " " + scenario::Quote(FromWide(body)));
        self_->boxes_.push_back(reinterpret_cast<HWND>(lParam));
    }
    return 0;
}

// A synchronous call from the bridge: what it posted before it called is
// already queued here; take that first, so the trace keeps the bridge's order.
void Peers::CatchUp() {
    Touch();
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE | PM_QS_POSTMESSAGE)) {
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        ++catchingUp_;
        DispatchMessageW(&m);
        --catchingUp_;
    }
}

bool Peers::LaunchBridge() {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + bridgeExe_ + L"\"" + bridgeArgs_;
    if (!CreateProcessW(bridgeExe_.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &si, &pi)) {
        std::cerr << "linkwell-peers: cannot start the bridge\n";
        return false;
    }
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    // The clock starts when the bridge window exists: its timers start with it.
    const ULONGLONG limit = GetTickCount64() + 20000;
    while (GetTickCount64() < limit) {
        if (HWND found = TopLevelOf(pi.dwProcessId, L"LinkwellForm")) {
            form_ = found;
            bridgePid_ = pi.dwProcessId;
            break;
        }
        if (WaitForSingleObject(process_, 1) == WAIT_OBJECT_0) break;
    }
    start_ = GetTickCount64();
    if (form_ == nullptr) {
        std::cerr << "linkwell-peers: the bridge window did not appear\n";
        return false;
    }
    HMODULE dll = LoadLibraryW(watchDll_.c_str());
    auto proc = dll == nullptr ? nullptr
                               : reinterpret_cast<HOOKPROC>(
                                     reinterpret_cast<void*>(GetProcAddress(dll, kWatchProcName)));
    if (proc != nullptr)
        hook_ = SetWindowsHookExW(WH_CALLWNDPROCRET, proc, dll,
                                  GetWindowThreadProcessId(form_, nullptr));
    if (hook_ == nullptr) {
        std::cerr << "linkwell-peers: cannot watch the bridge window (error " << GetLastError()
                  << ")\n";
        return false;
    }
    return true;
}

void Peers::BridgeEnded() {
    CatchUp();
    trace_.Line("END", "");
    ended_ = true;
}

int Peers::Run() {
    // Actions at 0 come before the bridge runs.
    while (next_ < actions_.size() && actions_[next_].time <= 0) Apply(actions_[next_++]);
    start_ = GetTickCount64();
    if (!LaunchBridge()) return 1;
    const std::int64_t last = actions_.empty() ? 0 : actions_.back().time;
    while (!ended_) {
        while (next_ < actions_.size() && actions_[next_].time <= Now()) {
            const Action& a = actions_[next_++];
            Apply(a);
            if (form_ != nullptr && IntoBridge(a.kind) && next_ < actions_.size() &&
                actions_[next_].time <= a.time) {
                Settle(settleBox_);
            }
            settleBox_ = nullptr;
        }
        if (next_ >= actions_.size() && Now() >= last + kSettleMs) break;
        const std::int64_t due = next_ < actions_.size() ? actions_[next_].time : last + kSettleMs;
        const DWORD wait = static_cast<DWORD>(std::clamp<std::int64_t>(due - Now(), 0, 20));
        const DWORD r = MsgWaitForMultipleObjects(1, &process_, FALSE, wait, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) {
            BridgeEnded();
            break;
        }
        Pump();
    }
    std::cout << "# end " << last << '\n';
    std::cout.flush();
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    if (!ended_) TerminateProcess(process_, 0);
    WaitForSingleObject(process_, 5000);
    mixwServer_.Stop();
    SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, L".");
    return 0;
}

void Peers::Pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

void Peers::Apply(const Action& a) {
    using window::ControlId;
    switch (a.kind) {
        case ActionKind::Nop: break;
        case ActionKind::Logger32Refuse:
        case ActionKind::Logger32Silent:
        case ActionKind::Logger32Post:
        case ActionKind::Logger32SetText:
        case ActionKind::MixWDde:
        case ActionKind::MixWRefuse:
        case ActionKind::MixWFqA:
        case ActionKind::MixWAudioFq:
            scenario::ApplyToStandIns(a, logger32_, mixw_, [this](const scenario::ParamToken& p) {
                return ResolveParam(p);
            });
            break;
        case ActionKind::Logger32Start: {
            if (logger32Main_ != nullptr) DestroyWindow(logger32Main_);
            if (logger32Text_ != nullptr) DestroyWindow(logger32Text_);
            HINSTANCE inst = GetModuleHandleW(nullptr);
            logger32Main_ = CreateWindowExW(0, kLogger32Class, L"Logger32", WS_OVERLAPPEDWINDOW, 0,
                                            0, 200, 100, nullptr, nullptr, inst, nullptr);
            logger32Text_ = hungTextWindow_
                                ? HungTextWindow()
                                : CreateWindowExW(0, kLogger32TextClass, L"", WS_POPUP, 0, 0, 10,
                                                  10, nullptr, nullptr, inst, nullptr);
            logger32_.Start(!a.flag, Handle(logger32Main_), Handle(logger32Text_));
            break;
        }
        case ActionKind::Logger32Stop:
            logger32_.Stop();
            DestroyWindow(logger32Main_);
            DestroyWindow(logger32Text_);
            logger32Main_ = logger32Text_ = nullptr;
            break;
        case ActionKind::MixWStart: mixwServer_.Start(); break;
        case ActionKind::MixWStop: mixwServer_.Stop(); break;
        case ActionKind::Click: {
            // What an operator can click: the window must take input (no box open).
            const auto id = *window::FindControl(a.name);
            if (form_ != nullptr && IsWindowEnabled(form_)) {
                PostMessageW(form_, WM_COMMAND, MAKEWPARAM(ControlDlgId(id), BN_CLICKED),
                             reinterpret_cast<LPARAM>(Control(id)));
            }
            break;
        }
        case ActionKind::Ok:
            while (!boxes_.empty()) {
                HWND box = boxes_.back();
                boxes_.pop_back();
                if (IsWindow(box)) {
                    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                    settleBox_ = box;
                    break;
                }
            }
            break;
        case ActionKind::Close:
            if (form_ != nullptr && IsWindowEnabled(form_)) PostMessageW(form_, WM_CLOSE, 0, 0);
            break;
        case ActionKind::LocaleDecimal: {
            const std::wstring sep = Wide(a.text);
            SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, sep.c_str());
            break;
        }
        case ActionKind::Dump: {
            frozen_ = Now();
            Dump(a.names);
            frozen_.reset();
            break;
        }
    }
}

// --- reading the real window -------------------------------------------------------------

Text Peers::ReadText(HWND h) {
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

LRESULT CALLBACK Peers::HungTextProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SETTEXT) Sleep(kHungMs);
    return DefWindowProcW(window, msg, wParam, lParam);
}

HWND Peers::HungTextWindow() {
    struct Start {
        HANDLE ready;
        HWND window;
    } start{CreateEventW(nullptr, TRUE, FALSE, nullptr), nullptr};
    std::thread([&start] {
        WNDCLASSW wc{};
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpfnWndProc = HungTextProc;
        wc.lpszClassName = kHungTextClass;
        RegisterClassW(&wc);
        // Message-only: the DDE initiate broadcast would wait for it too.
        start.window = CreateWindowExW(0, kHungTextClass, L"", 0, 0, 0, 10, 10, HWND_MESSAGE,
                                       nullptr, wc.hInstance, nullptr);
        SetEvent(start.ready);
        MSG m;
        while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
    }).detach();
    WaitForSingleObject(start.ready, INFINITE);
    CloseHandle(start.ready);
    return start.window;
}

// A send into the bridge, made from a helper thread while this one goes on
// serving the bridge: the bridge may be waiting for an answer from MixW's
// DDE server or Logger32 before it takes the send.
void Peers::WhilePumping(const std::function<void()>& send) {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread helper([&] {
        send();
        SetEvent(done);
    });
    while (MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0)
        Pump();
    helper.join();
    CloseHandle(done);
}

// What goes into the bridge runs there at once in the simulated world, before
// the next action of the same moment. Here the peers wait until the bridge
// has been quiet towards them for a moment (and a closed box is gone).
void Peers::Settle(HWND box) {
    constexpr ULONGLONG kQuietMs = 25;
    const ULONGLONG limit = GetTickCount64() + 2000;
    lastActivity_ = GetTickCount64();
    while (GetTickCount64() < limit) {
        Pump();
        const bool boxOpen = box != nullptr && IsWindow(box);
        if (!boxOpen && GetTickCount64() - lastActivity_ >= kQuietMs) break;
        MsgWaitForMultipleObjects(1, &process_, FALSE, 5, QS_ALLINPUT);
    }
}

void Peers::Dump(const std::vector<std::string>& names) {
    if (!names.empty()) {
        for (const auto& n : names) DumpOne(n);
        return;
    }
    for (const auto& c : window::Controls()) DumpOne(std::string(c.name));
    DumpOne("Linkwell");
    DumpOne("Form1");
}

void Peers::DumpOne(const std::string& name) {
    auto flag = [](bool b) { return b ? "true" : "false"; };
    if (name == "Linkwell" || name == "Form1") {
        HWND w = form_;
        if (name == "Form1") {
            w = TopLevelOf(bridgePid_, L"LinkwellAbout");
        }
        const LONG style = w == nullptr ? 0 : GetWindowLongW(w, GWL_STYLE);
        const LONG ex = w == nullptr ? 0 : GetWindowLongW(w, GWL_EXSTYLE);
        trace_.Line("CTRL", name + " visible=" + flag((style & WS_VISIBLE) != 0) +
                                " topmost=" + flag((ex & WS_EX_TOPMOST) != 0));
        return;
    }
    const auto id = *window::FindControl(name);
    const auto kind = window::Design(id).kind;
    if (kind == window::ControlKind::Timer) return;  // not seen from outside the bridge
    HWND h = Control(id);
    std::string details = name;
    if (kind == window::ControlKind::Button) {
        char colour[16];
        const auto face =
            static_cast<unsigned>(reinterpret_cast<UINT_PTR>(GetPropW(h, kFaceColourProp)));
        std::snprintf(colour, sizeof colour, "0x%08X", face);
        details += " caption=" + scenario::Quote(ReadText(h)) +
                   " enabled=" + flag(IsWindowEnabled(h) != FALSE) + " backcolor=" + colour +
                   " visible=" + flag((GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE) != 0);
    } else {
        details += " text=" + scenario::Quote(ReadText(h));
    }
    trace_.Line("CTRL", details);
}

std::optional<std::string> Peers::HandleName(std::int64_t value) const {
    HWND h = reinterpret_cast<HWND>(static_cast<UINT_PTR>(value));
    if (h == nullptr) return std::nullopt;
    if (h == form_) return "Linkwell";
    if (form_ != nullptr && h == Control(window::ControlId::Logger32TextBox)) return "Sent";
    if (form_ != nullptr && h == Control(window::ControlId::ClusterBox)) return "Cluster";
    if (h == logger32Main_) return "Logger32";
    if (h == logger32Text_) return "Logger32Text";
    return std::nullopt;
}

std::int64_t Peers::ResolveParam(const scenario::ParamToken& p) const {
    if (!p.handle) return p.number;
    const auto& n = *p.handle;
    HWND h = nullptr;
    if (n == "Linkwell") h = form_;
    if (n == "Sent") h = Control(window::ControlId::Logger32TextBox);
    if (n == "Cluster") h = Control(window::ControlId::ClusterBox);
    if (n == "Logger32") h = logger32Main_;
    if (n == "Logger32Text") h = logger32Text_;
    return static_cast<std::int64_t>(reinterpret_cast<UINT_PTR>(h));
}

}  // namespace
}  // namespace linkwell::win32::peers

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::cerr << "usage: linkwell-peers BRIDGE.exe WATCH.dll FILE.scn [BRIDGE ARG ...]\n";
        return 1;
    }
    std::ifstream in(argv[3], std::ios::binary);
    if (!in) {
        std::cerr << "linkwell-peers: cannot open the scenario\n";
        return 2;
    }
    const std::string source((std::istreambuf_iterator<char>(in)), {});
    const std::string fileName =
        linkwell::scenario::ToUtf8(linkwell::platform::Text(argv[3], argv[3] + wcslen(argv[3])));
    try {
        auto actions = linkwell::scenario::ParseScenario(source, fileName);
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
        std::wstring bridgeArgs;
        for (int i = 4; i < argc; ++i) bridgeArgs += L" \"" + std::wstring(argv[i]) + L"\"";
        linkwell::win32::peers::Peers peers(std::move(actions), argv[1], argv[2], bridgeArgs);
        const int rc = peers.Run();
        CoUninitialize();
        return rc;
    } catch (const linkwell::scenario::ScenarioError& e) {
        std::cerr << e.what() << '\n';
        return 2;
    }
}
