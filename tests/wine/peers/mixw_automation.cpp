#include "peers/mixw_automation.h"

// clang-format off
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
// clang-format on

#include <utility>

#include "win32/wintext.h"

namespace linkwell::win32::peers {
namespace {

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

// COM interfaces have no virtual destructor; Release deletes the object.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// The automation object: forwards each call to the stand-in's object of the
// run it belongs to; once that run is over every call fails.
class MixWObject final : public IDispatch {
public:
    MixWObject(std::unique_ptr<platform::Automation> target, std::function<void()> beforeCall,
               std::shared_ptr<std::function<void()>> hold)
        : target_(std::move(target)), beforeCall_(std::move(beforeCall)), hold_(std::move(hold)) {}

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
        const KeepAlive keep(*this);
        if (*hold_) (*hold_)();
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
        const KeepAlive keep(*this);
        if (*hold_) (*hold_)();
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
    // MixW2 may be stopped inside a hung call (the peers play on in it):
    // the object outlives the call that is still in it.
    class KeepAlive {
    public:
        explicit KeepAlive(MixWObject& o) : o_(o) { o_.AddRef(); }
        ~KeepAlive() { o_.Release(); }
        KeepAlive(const KeepAlive&) = delete;
        KeepAlive& operator=(const KeepAlive&) = delete;

    private:
        MixWObject& o_;
    };

    ULONG refs_ = 1;
    std::unique_ptr<platform::Automation> target_;
    std::function<void()> beforeCall_;
    std::shared_ptr<std::function<void()>> hold_;
};

#pragma GCC diagnostic pop

}  // namespace

AutomationServer::~AutomationServer() {
    Stop();
}

void AutomationServer::Start(std::unique_ptr<platform::Automation> object) {
    Stop();
    // A new MixW2 does not hang with the old one (whose call may still be
    // inside its hold).
    hold_ = std::make_shared<std::function<void()>>();
    object_ = new MixWObject(std::move(object), beforeCall_, hold_);
    RegisterActiveObject(object_, kMixWClsid, ACTIVEOBJECT_STRONG, &cookie_);
}

void AutomationServer::Hang(ULONGLONG until, std::function<void(ULONGLONG)> whileHung) {
    if (!hold_) hold_ = std::make_shared<std::function<void()>>();
    *hold_ = [until, whileHung = std::move(whileHung)] {
        if (GetTickCount64() < until) whileHung(until);
    };
}

void AutomationServer::Stop() {
    if (object_ == nullptr) return;
    RevokeActiveObject(cookie_, nullptr);
    CoDisconnectObject(object_, 0);
    object_->Release();
    object_ = nullptr;
}

}  // namespace linkwell::win32::peers
