#include "peers/mixw_dde.h"

// clang-format off
#include <windows.h>
#include <dde.h>
// clang-format on

#include <algorithm>
#include <cctype>
#include <utility>

#include "peers/class_names.h"
#include "scenario/mixw_items.h"
#include "win32/wintext.h"

namespace linkwell::win32::peers {
namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string AtomName(ATOM atom) {
    if (atom == 0) return {};
    char name[256] = {};
    const UINT n = GlobalGetAtomNameA(atom, name, sizeof name);
    return std::string(name, n);
}

}  // namespace

DdeServer* DdeServer::self_ = nullptr;

DdeServer::DdeServer(Advise advise, Request request)
    : advise_(std::move(advise)), request_(std::move(request)) {
    self_ = this;
    WNDCLASSW wc{};
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpfnWndProc = ListenProc;
    wc.lpszClassName = kMixWDdeListenClass;
    RegisterClassW(&wc);
    wc.lpfnWndProc = ConversationProc;
    wc.lpszClassName = kMixWDdeConversationClass;
    RegisterClassW(&wc);
}

DdeServer::~DdeServer() {
    Stop();
    self_ = nullptr;
}

void DdeServer::Start() {
    listener_ = CreateWindowExW(0, kMixWDdeListenClass, L"MixW", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
}

void DdeServer::Stop() {
    // Gone without a word, as a process that exits.
    for (auto& c : conversations_) DestroyWindow(c.server);
    conversations_.clear();
    if (listener_ != nullptr) DestroyWindow(listener_);
    listener_ = nullptr;
}

LRESULT CALLBACK DdeServer::ListenProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DDE_INITIATE && self_ != nullptr)
        return self_->Initiate(reinterpret_cast<HWND>(wParam), lParam);
    return DefWindowProcW(window, msg, wParam, lParam);
}

LRESULT DdeServer::Initiate(HWND client, LPARAM lParam) {
    const std::string app = AtomName(LOWORD(lParam));
    const std::string topic = AtomName(HIWORD(lParam));
    if (!app.empty() && !scenario::SameName(app, scenario::kMixWService)) return 0;
    for (const std::string_view t : scenario::kMixWTopics) {
        if (!topic.empty() && !scenario::SameName(topic, t)) continue;
        HWND server = CreateWindowExW(0, kMixWDdeConversationClass, L"", WS_POPUP, 0, 0, 0, 0,
                                      nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        conversations_.push_back({server, client, Lower(std::string(t))});
        const ATOM aApp = GlobalAddAtomA(std::string(scenario::kMixWService).c_str());
        const ATOM aTopic = GlobalAddAtomA(std::string(t).c_str());
        SendMessageW(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(server),
                     MAKELPARAM(aApp, aTopic));
    }
    return 0;
}

DdeServer::Conversation* DdeServer::Find(HWND server) {
    for (auto& c : conversations_) {
        if (c.server == server) return &c;
    }
    return nullptr;
}

LRESULT CALLBACK DdeServer::ConversationProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    // Initiates are broadcast to every top-level window: only the listener answers.
    if (msg > WM_DDE_INITIATE && msg <= WM_DDE_LAST && self_ != nullptr) {
        self_->OnConversation(window, msg, wParam, lParam);
        return 0;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

void DdeServer::OnConversation(HWND server, UINT msg, WPARAM wParam, LPARAM lParam) {
    Conversation* conv = Find(server);
    HWND client = reinterpret_cast<HWND>(wParam);
    if (conv == nullptr) return;
    switch (msg) {
        case WM_DDE_ADVISE: {
            UINT_PTR options = 0;
            UINT_PTR atom = 0;
            UnpackDDElParam(WM_DDE_ADVISE, lParam, &options, &atom);
            const std::string item = AtomName(static_cast<ATOM>(atom));
            // Values arrive through the link only after the advise is acknowledged;
            // the client asks for the current one itself.
            const bool accepted = advise_(server, client, conv->topic, item);
            if (accepted) GlobalFree(reinterpret_cast<HGLOBAL>(options));
            PostMessageW(
                client, WM_DDE_ACK, reinterpret_cast<WPARAM>(server),
                ReuseDDElParam(lParam, WM_DDE_ADVISE, WM_DDE_ACK, accepted ? 0x8000 : 0, atom));
            break;
        }
        case WM_DDE_REQUEST: {
            const ATOM atom = HIWORD(lParam);
            const std::string item = AtomName(atom);
            if (request_(server, client, item)) {
                GlobalDeleteAtom(atom);
            } else {
                PostMessageW(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(server),
                             PackDDElParam(WM_DDE_ACK, 0, atom));
            }
            break;
        }
        case WM_DDE_UNADVISE:
            PostMessageW(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(server),
                         PackDDElParam(WM_DDE_ACK, 0x8000, HIWORD(lParam)));
            break;
        case WM_DDE_ACK: {
            UINT_PTR status = 0;
            UINT_PTR atom = 0;
            UnpackDDElParam(WM_DDE_ACK, lParam, &status, &atom);
            FreeDDElParam(WM_DDE_ACK, lParam);
            if (atom != 0) GlobalDeleteAtom(static_cast<ATOM>(atom));
            break;
        }
        case WM_DDE_TERMINATE:
            PostMessageW(client, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(server), 0);
            conversations_.erase(
                std::remove_if(conversations_.begin(), conversations_.end(),
                               [server](const Conversation& c) { return c.server == server; }),
                conversations_.end());
            DestroyWindow(server);
            break;
        default: {
            // Pokes and executes are not part of MixW's service here.
            PostMessageW(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(server),
                         PackDDElParam(WM_DDE_ACK, 0, 0));
            break;
        }
    }
}

void DdeServer::PostData(HWND server, HWND client, const std::string& item,
                         const platform::Text& value, bool response) {
    // A conversation the bridge has ended meanwhile takes nothing more.
    if (IsWindow(server) == FALSE) return;
    const std::string text = ToAnsi(value);
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, sizeof(DDEDATA) + text.size() + 1);
    if (data == nullptr) return;
    auto* d = static_cast<DDEDATA*>(GlobalLock(data));
    ZeroMemory(d, sizeof(DDEDATA));
    d->fResponse = response ? 1 : 0;
    d->fRelease = 1;
    d->fAckReq = 0;
    d->cfFormat = CF_TEXT;
    CopyMemory(d->Value, text.c_str(), text.size() + 1);
    GlobalUnlock(data);
    const ATOM atom = GlobalAddAtomA(item.c_str());
    if (!PostMessageW(client, WM_DDE_DATA, reinterpret_cast<WPARAM>(server),
                      PackDDElParam(WM_DDE_DATA, reinterpret_cast<UINT_PTR>(data), atom))) {
        GlobalFree(data);
        GlobalDeleteAtom(atom);
    }
}

}  // namespace linkwell::win32::peers
