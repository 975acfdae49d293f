#include "peers/mixw_process.h"

#include <cstring>
#include <iostream>
#include <string>
#include <utility>

#include "peers/peer_channel.h"
#include "scenario/mixw_items.h"
#include "win32/wintext.h"

namespace linkwell::win32::peers {
namespace {

// DDE names are plain ASCII atoms: each byte becomes one UTF-16 unit.
platform::Text Widen(std::wstring_view s) {
    return {s.begin(), s.end()};
}
platform::Text Widen(std::string_view s) {
    return {s.begin(), s.end()};
}

std::string Narrow(std::wstring_view s) {
    std::string out;
    for (const wchar_t c : s) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

// A report's fixed head and its UTF-16 tail (without the terminating zero).
template <typename Head>
bool Split(const COPYDATASTRUCT& report, Head& head, std::wstring_view& tail) {
    if (report.cbData < sizeof head) return false;
    std::memcpy(&head, report.lpData, sizeof head);
    const auto* t =
        reinterpret_cast<const wchar_t*>(static_cast<const char*>(report.lpData) + sizeof head);
    tail = std::wstring_view(t, (report.cbData - sizeof head) / sizeof(wchar_t));
    if (!tail.empty() && tail.back() == L'\0') tail.remove_suffix(1);
    return true;
}

// A value into a conversation of MixW2's DDE server.
void SendData(HWND control, const channel::Conversation& c, const std::string& item,
              const platform::Text& value, bool response) {
    const std::wstring tail = std::wstring(item.begin(), item.end()) + L'\0' + Wide(value);
    std::vector<char> data(sizeof(channel::Data) + (tail.size() + 1) * sizeof(wchar_t));
    const channel::Data head{c, response ? TRUE : FALSE};
    std::memcpy(data.data(), &head, sizeof head);
    std::memcpy(data.data() + sizeof head, tail.c_str(), (tail.size() + 1) * sizeof(wchar_t));
    Tell(control, channel::kData, data.data(), static_cast<DWORD>(data.size()));
}

}  // namespace

MixWProcess* MixWProcess::self_ = nullptr;

MixWProcess::MixWProcess(scenario::MixWStandIn& mixw, Activity& activity, bool hungCallOutlives)
    : mixw_(mixw), activity_(activity), hungCallOutlives_(hungCallOutlives) {
    self_ = this;
    WNDCLASSW wc{};
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpfnWndProc = RelayProc;
    wc.lpszClassName = channel::kMixWRelayClass;
    RegisterClassW(&wc);
    relay_ = CreateWindowExW(0, channel::kMixWRelayClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             wc.hInstance, nullptr);
    // The counters of the object's calls (mixw_automation.cpp) for a
    // benchmark in the same prefix: kept while the run lasts.
    counts_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 2 * sizeof(LONG),
                                 L"LinkwellPeersMixWCalls");
    StartSpare();
}

MixWProcess::~MixWProcess() {
    Kill(running_.process);
    Kill(spare_.process);
    for (auto& run : abandoned_) Kill(run.process);
    for (auto& p : closing_) Kill(p);
    if (relay_ != nullptr) DestroyWindow(relay_);
    if (counts_ != nullptr) CloseHandle(counts_);
    self_ = nullptr;
}

void MixWProcess::StartSpare() {
    spare_.process =
        LaunchPeer(L"linkwell-peer-mixw.exe",
                   std::to_wstring(static_cast<std::uint64_t>(reinterpret_cast<UINT_PTR>(relay_))));
    if (spare_.process.handle == nullptr) std::cerr << "linkwell-peers: cannot start MixW2\n";
}

void MixWProcess::Start() {
    mixw_.Start();
    if (!PeerReady(spare_.process)) std::cerr << "linkwell-peers: MixW2 did not start\n";
    if (spare_.process.control != nullptr) {
        running_ = std::exchange(spare_, Run{});
        running_.object = mixw_.Object();
        Ask(running_.process.control, channel::kStart);
    }
    StartSpare();
}

void MixWProcess::Stop() {
    mixw_.Stop();
    PeerProcess& p = running_.process;
    if (p.handle == nullptr) return;
    const bool hung = p.control != nullptr && Ask(p.control, channel::kHungFor) > 0;
    if (hung && hungCallOutlives_) {
        Ask(p.control, channel::kAbandon);
        abandoned_.push_back(std::exchange(running_, Run{}));
        return;
    }
    if (hung) {
        // Task Manager's end of a program that does not answer.
        Kill(p);
    } else {
        Close(p, closing_);
    }
    running_ = Run{};
}

void MixWProcess::Hang(std::int64_t ms) {
    if (running_.process.control == nullptr || ms <= 0) return;
    Ask(running_.process.control, channel::kHang, static_cast<WPARAM>(ms));
}

MixWProcess::Run* MixWProcess::Of(DWORD pid) {
    if (running_.process.pid == pid && pid != 0) return &running_;
    if (spare_.process.pid == pid && pid != 0) return &spare_;
    for (auto& run : abandoned_) {
        if (run.process.pid == pid) return &run;
    }
    return nullptr;
}

LRESULT CALLBACK MixWProcess::RelayProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_COPYDATA || self_ == nullptr) return DefWindowProcW(window, msg, wParam, lParam);
    return self_->OnReport(static_cast<DWORD>(wParam),
                           *reinterpret_cast<const COPYDATASTRUCT*>(lParam));
}

LRESULT MixWProcess::OnReport(DWORD pid, const COPYDATASTRUCT& report) {
    Run* run = Of(pid);
    if (run == nullptr) return 0;
    activity_.Touch();
    switch (report.dwData) {
        case channel::kHello: {
            if (report.cbData != sizeof(channel::Hello)) return 0;
            const auto& hello = *static_cast<const channel::Hello*>(report.lpData);
            run->process.control = reinterpret_cast<HWND>(static_cast<UINT_PTR>(hello.control));
            return 1;
        }
        case channel::kCall: return OnCall(*run, report);
        case channel::kAdvise: return OnAdvise(*run, report);
        case channel::kRequest: return OnRequest(*run, report);
        default: return 0;
    }
}

LRESULT MixWProcess::OnCall(Run& run, const COPYDATASTRUCT& report) {
    channel::Call call{};
    std::wstring_view text;
    if (!Split(report, call, text) || !run.object) return 0;
    // What the bridge posted to the peers before it called comes first.
    activity_.CatchUp();
    using platform::CallStatus;
    switch (call.member) {
        case channel::kExecuteMacros:
            return run.object->ExecuteMacros(FromWide(text)) == CallStatus::Done ? 1 : 0;
        case channel::kSetQsoData: {
            platform::Text value = FromWide(text);
            return run.object->SetQsoData(static_cast<std::int16_t>(call.field), value) ==
                           CallStatus::Done
                       ? 1
                       : 0;
        }
        case channel::kFqA:
        case channel::kAudioFq: {
            const auto v = call.member == channel::kFqA ? run.object->FqA() : run.object->AudioFq();
            if (!v) return 0;
            const double value = *v;
            return Tell(run.process.control, channel::kNumber, &value, sizeof value);
        }
        default: return 0;
    }
}

LRESULT MixWProcess::OnAdvise(const Run& run, const COPYDATASTRUCT& report) {
    channel::Conversation conversation{};
    std::wstring_view names;
    if (!Split(report, conversation, names)) return 0;
    const std::size_t zero = names.find(L'\0');
    if (zero == std::wstring_view::npos) return 0;
    const std::string item = Narrow(names.substr(zero + 1));
    const platform::LinkTarget target{Widen(scenario::kMixWService), Widen(names.substr(0, zero)),
                                      Widen(names.substr(zero + 1))};
    // Values go through the link only after the advise is acknowledged.
    auto armed = std::make_shared<bool>(false);
    const auto status = mixw_.Advise(target, [armed, control = run.process.control, conversation,
                                              item](const platform::Text& v) {
        if (*armed) SendData(control, conversation, item, v, false);
    });
    *armed = status == platform::LinkStatus::Active;
    return *armed ? 1 : 0;
}

LRESULT MixWProcess::OnRequest(const Run& run, const COPYDATASTRUCT& report) {
    channel::Conversation conversation{};
    std::wstring_view name;
    if (!Split(report, conversation, name)) return 0;
    const std::string item = Narrow(name);
    const auto value = mixw_.Running() ? mixw_.Item(item) : std::nullopt;
    if (!value) return 0;
    SendData(run.process.control, conversation, item, *value, true);
    return 1;
}

}  // namespace linkwell::win32::peers
