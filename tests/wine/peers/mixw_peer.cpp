// linkwell-peer-mixw.exe: MixW2 of the Wine tests as a process of its own,
// started and ended by linkwell-peers (the player), which keeps the
// stand-in's logic and the trace. It serves "MixW2.Application" from the
// running-object table and the DDE service "MixW" from its main thread:
// each call into the object, each link and each request is reported to the
// player and answered as the player says. While hung no call into the
// object returns (the thread goes on serving DDE); a hung MixW2 is ended by
// the player with TerminateProcess, as Task Manager ends it.
//
//   linkwell-peer-mixw RELAY
// clang-format off
#include <windows.h>
#include <objbase.h>
// clang-format on

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "peers/messages.h"
#include "peers/mixw_automation.h"
#include "peers/mixw_dde.h"
#include "peers/peer_channel.h"
#include "win32/wintext.h"

namespace {

using namespace linkwell;
using namespace linkwell::win32::peers;

constexpr UINT kStartHere = WM_APP + 1;
constexpr UINT kAbandonHere = WM_APP + 2;
constexpr UINT kCloseHere = WM_APP + 3;
constexpr wchar_t kHostClass[] = L"LinkwellPeerMixWHost";
constexpr wchar_t kControlClass[] = L"LinkwellPeerMixWControl";

HWND relay = nullptr;    // the player's
HWND host = nullptr;     // on the main thread
HWND control = nullptr;  // on the control thread
std::atomic<ULONGLONG> hungUntil{0};
std::atomic<double> answer{0};
AutomationServer* automation = nullptr;
DdeServer* dde = nullptr;

// A report with a fixed head and a UTF-16 tail (its own terminating zero included).
template <typename Head>
LRESULT Report(channel::Report kind, const Head& head, const std::wstring& tail) {
    std::vector<char> data(sizeof head + (tail.size() + 1) * sizeof(wchar_t));
    std::memcpy(data.data(), &head, sizeof head);
    std::memcpy(data.data() + sizeof head, tail.c_str(), (tail.size() + 1) * sizeof(wchar_t));
    COPYDATASTRUCT cds{kind, static_cast<DWORD>(data.size()), data.data()};
    return SendMessageW(relay, WM_COPYDATA, static_cast<WPARAM>(GetCurrentProcessId()),
                        reinterpret_cast<LPARAM>(&cds));
}

// The object's calls, each answered by the player's stand-in.
class RemoteMixW final : public platform::Automation {
public:
    platform::CallStatus ExecuteMacros(const platform::Text& macros) override {
        return Status(Call(channel::kExecuteMacros, 0, macros));
    }
    platform::CallStatus SetQsoData(std::int16_t field, platform::Text& value) override {
        return Status(Call(channel::kSetQsoData, field, value));
    }
    platform::NumberResult FqA() override { return Number(channel::kFqA); }
    platform::NumberResult AudioFq() override { return Number(channel::kAudioFq); }
    bool ServerGone() override { return false; }
    bool StillThere() override { return true; }

private:
    static bool Call(int member, int field, const platform::Text& text) {
        return Report(channel::kCall, channel::Call{member, field}, win32::Wide(text)) != 0;
    }
    static platform::CallStatus Status(bool done) {
        return done ? platform::CallStatus::Done : platform::CallStatus::Failed;
    }
    static platform::NumberResult Number(int member) {
        if (!Call(member, 0, {})) return std::nullopt;
        return answer.load();
    }
};

// A call that comes while MixW2 hangs waits here; the thread goes on
// serving what else comes (DDE, nested calls, which wait too).
void WhileHung() {
    for (ULONGLONG now = GetTickCount64(); now < hungUntil; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                  static_cast<DWORD>(std::min<ULONGLONG>(hungUntil - now, 20)),
                                  QS_ALLINPUT);
        Pump();
    }
}

channel::Conversation Of(HWND server, HWND client) {
    return {static_cast<std::uint64_t>(reinterpret_cast<UINT_PTR>(server)),
            static_cast<std::uint64_t>(reinterpret_cast<UINT_PTR>(client))};
}

std::wstring Wide(const std::string& ascii) {
    return {ascii.begin(), ascii.end()};
}

LRESULT CALLBACK HostProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case kStartHere:
            automation->Start(std::make_unique<RemoteMixW>());
            automation->Hang(~0ULL, [](ULONGLONG) { WhileHung(); });
            dde->Start();
            return 0;
        case kAbandonHere:
        case kCloseHere:
            // Gone as a closing MixW2: the object cut off, the DDE windows closed.
            automation->Stop();
            dde->Stop();
            if (msg == kCloseHere) PostQuitMessage(0);
            return 0;
        default: return DefWindowProcW(window, msg, wParam, lParam);
    }
}

// What the player answers: a number for the call waiting, or a value into a
// DDE conversation.
LRESULT Answered(const COPYDATASTRUCT& cds) {
    if (cds.dwData == channel::kNumber && cds.cbData == sizeof(double)) {
        double v = 0;
        std::memcpy(&v, cds.lpData, sizeof v);
        answer = v;
        return 1;
    }
    if (cds.dwData != channel::kData || cds.cbData < sizeof(channel::Data)) return 0;
    channel::Data head{};
    std::memcpy(&head, cds.lpData, sizeof head);
    const auto* tail =
        reinterpret_cast<const wchar_t*>(static_cast<const char*>(cds.lpData) + sizeof head);
    const std::size_t units = (cds.cbData - sizeof head) / sizeof(wchar_t);
    const std::wstring_view all(tail, units);
    const std::size_t zero = all.find(L'\0');
    if (zero == std::wstring_view::npos) return 0;
    const std::string item(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(zero));
    std::wstring_view value = all.substr(zero + 1);
    if (!value.empty() && value.back() == L'\0') value.remove_suffix(1);
    DdeServer::PostData(reinterpret_cast<HWND>(static_cast<UINT_PTR>(head.conversation.server)),
                        reinterpret_cast<HWND>(static_cast<UINT_PTR>(head.conversation.client)),
                        item, win32::FromWide(value), head.response != FALSE);
    return 1;
}

LRESULT CALLBACK ControlProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case channel::kStart: SendMessageW(host, kStartHere, 0, 0); return 1;
        case channel::kHang:
            hungUntil = GetTickCount64() + static_cast<ULONGLONG>(wParam);
            return 0;
        case channel::kHungFor: {
            const ULONGLONG now = GetTickCount64();
            return now < hungUntil ? static_cast<LRESULT>(hungUntil - now) : 0;
        }
        case channel::kAbandon: SendMessageW(host, kAbandonHere, 0, 0); return 0;
        case channel::kClose: SendMessageW(host, kCloseHere, 0, 0); return 0;
        case WM_COPYDATA: return Answered(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        default: return DefWindowProcW(window, msg, wParam, lParam);
    }
}

void RegisterClasses() {
    WNDCLASSW wc{};
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpfnWndProc = HostProc;
    wc.lpszClassName = kHostClass;
    RegisterClassW(&wc);
    wc.lpfnWndProc = ControlProc;
    wc.lpszClassName = kControlClass;
    RegisterClassW(&wc);
}

bool Advise(HWND server, HWND client, const std::string& topic, const std::string& item) {
    return Report(channel::kAdvise, Of(server, client), Wide(topic) + L'\0' + Wide(item)) != 0;
}

bool Request(HWND server, HWND client, const std::string& item) {
    return Report(channel::kRequest, Of(server, client), Wide(item)) != 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 1;
    relay = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::wcstoull(argv[1], nullptr, 10)));
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    int rc = 0;
    {
        AutomationServer server(nullptr);
        DdeServer service(Advise, Request);
        automation = &server;
        dde = &service;
        RegisterClasses();
        host = CreateWindowExW(0, kHostClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
        control = channel::StartControlThread(kControlClass);
        const channel::Hello hello{GetCurrentProcessId(),
                                   static_cast<std::uint64_t>(reinterpret_cast<UINT_PTR>(control))};
        COPYDATASTRUCT cds{channel::kHello, sizeof hello, const_cast<channel::Hello*>(&hello)};
        if (SendMessageW(relay, WM_COPYDATA, static_cast<WPARAM>(GetCurrentProcessId()),
                         reinterpret_cast<LPARAM>(&cds)) == 0) {
            rc = 1;
        } else {
            MSG m;
            while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
        }
        server.Stop();
        service.Stop();
    }
    CoUninitialize();
    return rc;
}
