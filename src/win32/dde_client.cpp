#include "win32/dde_client.h"

#include <algorithm>
#include <cwctype>
#include <string>

#include "win32/wintext.h"
#include "window/intervals.h"

namespace linkwell::win32 {
namespace {

// Long enough for a busy server on a loaded machine, short enough that a
// hung one does not freeze the window for long.
constexpr DWORD kTransactionTimeoutMs = 1000;

// How long one program's windows may take to answer the probe before a
// connect: a busy program has half a second, a hung one costs no more.
constexpr UINT kProbeTimeoutMs = window::kDdeProbeMs;
// After a window did not answer, connects are refused at once for this
// long: a hung program seldom answers again within seconds, and each probe
// would cost its bound again.
constexpr ULONGLONG kProbeAgainMs = window::kDdeProbeAgainMs;

// DdeConnect asks every top-level window with a broadcast send that has no
// bound: one hung program anywhere (a hung Logger32) would hold the bridge
// for as long as it hangs. So a connect is made only when each other
// thread that owns a top-level window answers a probe within its bound;
// otherwise the link is refused, as when MixW2 does not offer it. (A program
// that hangs between the probe and the connect still holds it; that gap is
// a few milliseconds.)
struct Probe {
    DWORD ownProcess = GetCurrentProcessId();
    std::vector<DWORD> threads;
    bool allAnswer = true;
};

BOOL CALLBACK ProbeWindow(HWND window, LPARAM param) {
    auto& p = *reinterpret_cast<Probe*>(param);
    DWORD pid = 0;
    const DWORD thread = GetWindowThreadProcessId(window, &pid);
    if (pid == p.ownProcess) return TRUE;
    for (const DWORD t : p.threads) {
        if (t == thread) return TRUE;
    }
    p.threads.push_back(thread);
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kProbeTimeoutMs, &result) ==
        0) {
        p.allAnswer = false;
        return FALSE;
    }
    return TRUE;
}

bool EveryTopLevelWindowAnswers() {
    Probe probe;
    EnumWindows(ProbeWindow, reinterpret_cast<LPARAM>(&probe));
    return probe.allAnswer;
}

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

}  // namespace

DdeLinks* DdeLinks::instance_ = nullptr;

DdeLinks::~DdeLinks() {
    if (dde_ == 0) return;
    for (auto& [key, conv] : conversations_) DdeDisconnect(conv);
    for (auto& link : links_) DdeFreeStringHandle(dde_, link.item);
    DdeUninitialize(dde_);
    instance_ = nullptr;
}

HDDEDATA CALLBACK DdeLinks::Callback(UINT type, UINT, HCONV conv, HSZ, HSZ hsz2, HDDEDATA data,
                                     ULONG_PTR, ULONG_PTR) {
    if (instance_ == nullptr) return nullptr;
    switch (type) {
        case XTYP_ADVDATA:
            instance_->Deliver(conv, hsz2, data);
            return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK));
        case XTYP_DISCONNECT:
            for (const auto& link : instance_->links_) {
                if (link.conv == conv) instance_->ended_ = true;
            }
            instance_->Forget(conv);
            return nullptr;
        default: return nullptr;
    }
}

HCONV DdeLinks::Conversation(const platform::Text& service, const platform::Text& topic) {
    const std::wstring key = Lower(Wide(service) + L"|" + Wide(topic));
    if (auto it = conversations_.find(key); it != conversations_.end()) {
        CONVINFO info{};
        info.cb = sizeof info;
        if (DdeQueryConvInfo(it->second, QID_SYNC, &info) != 0 &&
            (info.wStatus & ST_CONNECTED) != 0) {
            return it->second;
        }
        // The server has gone without a word: start a new conversation.
        Forget(it->second);
    }
    const std::wstring s = Wide(service);
    const std::wstring t = Wide(topic);
    HSZ hszService = DdeCreateStringHandleW(dde_, s.c_str(), CP_WINUNICODE);
    HSZ hszTopic = DdeCreateStringHandleW(dde_, t.c_str(), CP_WINUNICODE);
    HCONV conv = nullptr;
    const ULONGLONG now = GetTickCount64();
    if (now >= probeAgainAt_) {
        if (EveryTopLevelWindowAnswers()) {
            conv = DdeConnect(dde_, hszService, hszTopic, nullptr);
        } else {
            probeAgainAt_ = now + kProbeAgainMs;
        }
    }
    DdeFreeStringHandle(dde_, hszService);
    DdeFreeStringHandle(dde_, hszTopic);
    if (conv != nullptr) {
        conversations_[key] = conv;
    }
    return conv;
}

void DdeLinks::Forget(HCONV conv) {
    for (auto it = conversations_.begin(); it != conversations_.end();) {
        if (it->second == conv) {
            DdeDisconnect(conv);
            it = conversations_.erase(it);
        } else {
            ++it;
        }
    }
}

platform::LinkStatus DdeLinks::Activate(const platform::LinkTarget& target, LinkSink sink,
                                        std::optional<platform::Text>& now) {
    if (dde_ == 0) {
        instance_ = this;
        if (DdeInitializeW(&dde_, Callback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) {
            dde_ = 0;
            return platform::LinkStatus::Refused;
        }
    }
    HCONV conv = Conversation(target.service, target.topic);
    if (conv == nullptr) return platform::LinkStatus::Unreachable;
    const std::wstring itemName = Wide(target.item);
    HSZ item = DdeCreateStringHandleW(dde_, itemName.c_str(), CP_WINUNICODE);
    DWORD result = 0;
    if (DdeClientTransaction(nullptr, 0, conv, item, CF_TEXT, XTYP_ADVSTART, kTransactionTimeoutMs,
                             &result) == nullptr) {
        DdeFreeStringHandle(dde_, item);
        return platform::LinkStatus::Refused;
    }
    links_.push_back({conv, item, std::move(sink)});
    // The hot link sends only changes: take the current value now.
    HDDEDATA current = DdeClientTransaction(nullptr, 0, conv, item, CF_TEXT, XTYP_REQUEST,
                                            kTransactionTimeoutMs, &result);
    if (current != nullptr) {
        now = Read(current);
        DdeFreeDataHandle(current);
    }
    return platform::LinkStatus::Active;
}

// Once a second, so it asks the system as little as it can: a conversation
// that ended with a word has said so already (XTYP_DISCONNECT), and for one
// whose server exited without a word one look at its partner window is
// enough, however many links it carries.
bool DdeLinks::Connected() {
    if (ended_) return false;
    std::vector<HCONV> checked;
    for (const auto& link : links_) {
        if (std::find(checked.begin(), checked.end(), link.conv) != checked.end()) continue;
        CONVINFO info{};
        info.cb = sizeof info;
        // A server that exits says nothing: its window is simply gone.
        if (DdeQueryConvInfo(link.conv, QID_SYNC, &info) == 0 ||
            (info.wStatus & ST_CONNECTED) == 0 || IsWindow(info.hwndPartner) == FALSE) {
            return false;
        }
        checked.push_back(link.conv);
    }
    return true;
}

void DdeLinks::CloseAll() {
    for (auto& [key, conv] : conversations_) DdeDisconnect(conv);
    conversations_.clear();
    for (auto& link : links_) DdeFreeStringHandle(dde_, link.item);
    links_.clear();
    ended_ = false;
}

platform::Text DdeLinks::Read(HDDEDATA data) const {
    const DWORD size = DdeGetData(data, nullptr, 0, 0);
    std::string bytes(size, '\0');
    if (size > 0) DdeGetData(data, reinterpret_cast<LPBYTE>(bytes.data()), size, 0);
    if (auto nul = bytes.find('\0'); nul != std::string::npos) bytes.resize(nul);
    return FromAnsi(bytes);
}

void DdeLinks::Deliver(HCONV conv, HSZ item, HDDEDATA data) {
    if (data == nullptr) return;
    const platform::Text value = Read(data);
    // A delivery may run bridge code that opens further links: copy first.
    std::vector<LinkSink> sinks;
    for (const auto& link : links_) {
        if (link.conv == conv && DdeCmpStringHandles(link.item, item) == 0)
            sinks.push_back(link.sink);
    }
    for (const auto& sink : sinks) sink(value);
}

}  // namespace linkwell::win32
