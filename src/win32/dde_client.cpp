#include "win32/dde_client.h"

#include <algorithm>
#include <cwctype>
#include <string>

#include "win32/wintext.h"
#include "window/timing.h"

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

// The links, conversations and the instance go with the members, in that
// order; the callback hears nothing of it.
DdeLinks::~DdeLinks() {
    if (instance_ == this) instance_ = nullptr;
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
        if (DdeQueryConvInfo(it->second.get(), QID_SYNC, &info) != 0 &&
            (info.wStatus & ST_CONNECTED) != 0) {
            return it->second.get();
        }
        // The server has gone without a word: start a new conversation.
        Forget(it->second.get());
    }
    const std::wstring s = Wide(service);
    const std::wstring t = Wide(topic);
    const DdeString hszService(dde_.get(), s.c_str());
    const DdeString hszTopic(dde_.get(), t.c_str());
    OwnedConversation conv;
    const ULONGLONG now = GetTickCount64();
    if (now >= probeAgainAt_) {
        if (EveryTopLevelWindowAnswers()) {
            conv.reset(DdeConnect(dde_.get(), hszService.get(), hszTopic.get(), nullptr));
            if (!conv) Failed();
        } else {
            probeAgainAt_ = now + kProbeAgainMs;
        }
    }
    if (!conv) return nullptr;
    return conversations_.insert_or_assign(key, std::move(conv)).first->second.get();
}

void DdeLinks::Forget(HCONV conv) {
    for (auto it = conversations_.begin(); it != conversations_.end();) {
        if (it->second.get() == conv) {
            it = conversations_.erase(it);
        } else {
            ++it;
        }
    }
}

platform::LinkStatus DdeLinks::Activate(const platform::LinkTarget& target, LinkSink sink,
                                        std::optional<platform::Text>& now) {
    lastError_.reset();
    if (!dde_) {
        instance_ = this;
        DWORD dde = 0;
        if (const UINT error = DdeInitializeW(&dde, Callback, APPCMD_CLIENTONLY, 0);
            error != DMLERR_NO_ERROR) {
            lastError_ = error;
            return platform::LinkStatus::Refused;
        }
        dde_.reset(dde);
    }
    HCONV conv = Conversation(target.service, target.topic);
    if (conv == nullptr) return platform::LinkStatus::Unreachable;
    const std::wstring itemName = Wide(target.item);
    DdeString item(dde_.get(), itemName.c_str());
    DWORD result = 0;
    if (DdeClientTransaction(nullptr, 0, conv, item.get(), CF_TEXT, XTYP_ADVSTART,
                             kTransactionTimeoutMs, &result) == nullptr) {
        Failed();
        return platform::LinkStatus::Refused;
    }
    const HSZ itemHandle = item.get();
    links_.push_back({conv, std::move(item), std::move(sink)});
    // The hot link sends only changes: take the current value now.
    const OwnedDdeData current(DdeClientTransaction(nullptr, 0, conv, itemHandle, CF_TEXT,
                                                    XTYP_REQUEST, kTransactionTimeoutMs, &result));
    if (current) now = Read(current.get());
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
    conversations_.clear();
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
        if (link.conv == conv && DdeCmpStringHandles(link.item.get(), item) == 0)
            sinks.push_back(link.sink);
    }
    for (const auto& sink : sinks) sink(value);
}

}  // namespace linkwell::win32
