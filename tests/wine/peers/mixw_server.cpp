#include "peers/mixw_server.h"

// clang-format off
#include <windows.h>
#include <dde.h>
#include <objbase.h>
#include <oleauto.h>
// clang-format on

#include <algorithm>
#include <cctype>
#include <utility>

#include "win32/wintext.h"

namespace linkwell::win32::peers {
namespace {

constexpr wchar_t kListenClass[] = L"LinkwellPeersMixWDde";
constexpr wchar_t kConversationClass[] = L"LinkwellPeersMixWConversation";

enum Member : DISPID { kExecuteMacros = 1, kSetQsoData, kFqA, kAudioFq };

// Calls into the object, counted in a named shared block so that a
// benchmark in the same prefix can read how many round trips a tick makes.
struct CallCounts {
    LONG getIdsOfNames;
    LONG invokes;
};

CallCounts* Counts() {
    static CallCounts* const counts = [] {
        HANDLE block = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          sizeof(CallCounts), L"LinkwellPeersMixWCalls");
        return block == nullptr ? nullptr
                                : static_cast<CallCounts*>(MapViewOfFile(block, FILE_MAP_WRITE, 0,
                                                                         0, sizeof(CallCounts)));
    }();
    return counts;
}

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

platform::Text Narrow16(const std::string& s) {
    return {s.begin(), s.end()};
}

// COM interfaces have no virtual destructor; Release deletes the object.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// The automation object: forwards each call to the stand-in's object of the
// run it belongs to; once that run is over every call fails.
class MixWObject final : public IDispatch {
public:
    MixWObject(std::unique_ptr<platform::Automation> target, std::function<void()> beforeCall)
        : target_(std::move(target)), beforeCall_(std::move(beforeCall)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (CallCounts* c = Counts()) InterlockedIncrement(&c->getIdsOfNames);
        static const std::pair<const wchar_t*, DISPID> kMembers[] = {
            {L"ExecuteMacros", kExecuteMacros},
            {L"SetQsoData", kSetQsoData},
            {L"FqA", kFqA},
            {L"AudioFq", kAudioFq}};
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (const auto& [name, id] : kMembers) {
                if (_wcsicmp(names[i], name) == 0) ids[i] = id;
            }
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        if (CallCounts* c = Counts()) InterlockedIncrement(&c->invokes);
        if (beforeCall_) beforeCall_();
        if (!target_) return RPC_E_DISCONNECTED;
        switch (id) {
            case kExecuteMacros: {
                if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
                VARIANT text;
                VariantInit(&text);
                if (FAILED(VariantChangeType(&text, &params->rgvarg[0], 0, VT_BSTR)))
                    return DISP_E_TYPEMISMATCH;
                const platform::Text macros = FromWide({text.bstrVal, SysStringLen(text.bstrVal)});
                VariantClear(&text);
                return target_->ExecuteMacros(macros) == platform::CallStatus::Done
                           ? S_OK
                           : RPC_E_DISCONNECTED;
            }
            case kSetQsoData: {
                if (params->cArgs != 2) return DISP_E_BADPARAMCOUNT;
                VARIANT field;
                VariantInit(&field);
                if (FAILED(VariantChangeType(&field, &params->rgvarg[1], 0, VT_I2)))
                    return DISP_E_TYPEMISMATCH;
                const VARIANT& ref = params->rgvarg[0];
                if (ref.vt != (VT_BSTR | VT_BYREF)) return DISP_E_TYPEMISMATCH;
                BSTR b = *ref.pbstrVal;
                platform::Text value = FromWide({b, SysStringLen(b)});
                return target_->SetQsoData(field.iVal, value) == platform::CallStatus::Done
                           ? S_OK
                           : RPC_E_DISCONNECTED;
            }
            case kFqA:
            case kAudioFq: {
                const auto v = id == kFqA ? target_->FqA() : target_->AudioFq();
                if (!v) return RPC_E_DISCONNECTED;
                if (result != nullptr) {
                    VariantInit(result);
                    result->vt = VT_R8;
                    result->dblVal = *v;
                }
                return S_OK;
            }
            default: return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    ULONG refs_ = 1;
    std::unique_ptr<platform::Automation> target_;
    std::function<void()> beforeCall_;
};

#pragma GCC diagnostic pop

}  // namespace

MixWServer* MixWServer::self_ = nullptr;

MixWServer::MixWServer(scenario::MixWStandIn& mixw, std::function<void()> beforeCall)
    : mixw_(mixw), beforeCall_(std::move(beforeCall)) {
    self_ = this;
    WNDCLASSW wc{};
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpfnWndProc = ListenProc;
    wc.lpszClassName = kListenClass;
    RegisterClassW(&wc);
    wc.lpfnWndProc = ConversationProc;
    wc.lpszClassName = kConversationClass;
    RegisterClassW(&wc);
}

MixWServer::~MixWServer() {
    Stop();
    self_ = nullptr;
}

void MixWServer::Start() {
    if (listener_ != nullptr) Stop();
    mixw_.Start();
    ++generation_;
    object_ = new MixWObject(mixw_.Object(), beforeCall_);
    RegisterActiveObject(object_, kMixWClsid, ACTIVEOBJECT_STRONG, &cookie_);
    listener_ = CreateWindowExW(0, kListenClass, L"MixW", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
}

void MixWServer::Stop() {
    mixw_.Stop();
    if (object_ != nullptr) {
        RevokeActiveObject(cookie_, nullptr);
        CoDisconnectObject(object_, 0);
        object_->Release();
        object_ = nullptr;
    }
    // Gone without a word, as a process that exits.
    for (auto& c : conversations_) DestroyWindow(c.server);
    conversations_.clear();
    if (listener_ != nullptr) DestroyWindow(listener_);
    listener_ = nullptr;
}

LRESULT CALLBACK MixWServer::ListenProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DDE_INITIATE && self_ != nullptr)
        return self_->Initiate(reinterpret_cast<HWND>(wParam), lParam);
    return DefWindowProcW(window, msg, wParam, lParam);
}

LRESULT MixWServer::Initiate(HWND client, LPARAM lParam) {
    const std::string app = Lower(AtomName(LOWORD(lParam)));
    const std::string topic = Lower(AtomName(HIWORD(lParam)));
    if (!app.empty() && app != "mixw") return 0;
    for (const char* t : {"qso", "cat"}) {
        if (!topic.empty() && topic != t) continue;
        HWND server = CreateWindowExW(0, kConversationClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);
        conversations_.push_back({server, client, t});
        const ATOM aApp = GlobalAddAtomA("MixW");
        const ATOM aTopic = GlobalAddAtomA(t[0] == 'q' ? "QSO" : "CAT");
        SendMessageW(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(server),
                     MAKELPARAM(aApp, aTopic));
    }
    return 0;
}

MixWServer::Conversation* MixWServer::Find(HWND server) {
    for (auto& c : conversations_) {
        if (c.server == server) return &c;
    }
    return nullptr;
}

LRESULT CALLBACK MixWServer::ConversationProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    // Initiates are broadcast to every top-level window: only the listener answers.
    if (msg > WM_DDE_INITIATE && msg <= WM_DDE_LAST && self_ != nullptr) {
        self_->OnConversation(window, msg, wParam, lParam);
        return 0;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

void MixWServer::OnConversation(HWND server, UINT msg, WPARAM wParam, LPARAM lParam) {
    Conversation* conv = Find(server);
    HWND client = reinterpret_cast<HWND>(wParam);
    if (conv == nullptr) return;
    switch (msg) {
        case WM_DDE_ADVISE: {
            UINT_PTR options = 0;
            UINT_PTR atom = 0;
            UnpackDDElParam(WM_DDE_ADVISE, lParam, &options, &atom);
            const std::string item = AtomName(static_cast<ATOM>(atom));
            bool ackReq = false;
            if (auto* advise =
                    static_cast<DDEADVISE*>(GlobalLock(reinterpret_cast<HGLOBAL>(options)))) {
                ackReq = advise->fAckReq != 0;
                GlobalUnlock(reinterpret_cast<HGLOBAL>(options));
            }
            // Values arrive through the link only after the advise is acknowledged;
            // the client asks for the current one itself.
            auto armed = std::make_shared<bool>(false);
            const std::uint64_t generation = generation_;
            const platform::LinkTarget target{u"MixW", Narrow16(conv->topic), Narrow16(item)};
            const auto status = mixw_.Advise(target, [this, armed, server, client, item, generation,
                                                      ackReq](const platform::Text& v) {
                if (*armed && generation == generation_ && Find(server) != nullptr) {
                    PostData(server, client, item, v, false);
                }
                (void)ackReq;
            });
            const bool accepted = status == platform::LinkStatus::Active;
            if (accepted) GlobalFree(reinterpret_cast<HGLOBAL>(options));
            PostMessageW(
                client, WM_DDE_ACK, reinterpret_cast<WPARAM>(server),
                ReuseDDElParam(lParam, WM_DDE_ADVISE, WM_DDE_ACK, accepted ? 0x8000 : 0, atom));
            *armed = accepted;
            break;
        }
        case WM_DDE_REQUEST: {
            const ATOM atom = HIWORD(lParam);
            const std::string item = AtomName(atom);
            const auto value = mixw_.Running() ? mixw_.Item(item) : std::nullopt;
            if (value) {
                PostData(server, client, item, *value, true);
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

void MixWServer::PostData(HWND server, HWND client, const std::string& item,
                          const platform::Text& value, bool response) {
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
