#include "win32/automation.h"

// clang-format off
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
// clang-format on

#include <array>
#include <functional>
#include <map>
#include <string>

#include "win32/wintext.h"

namespace linkwell::win32 {
namespace {

using platform::CallStatus;
using platform::NumberResult;
using platform::Text;

class Dispatch final : public platform::Automation {
public:
    explicit Dispatch(IDispatch* object) : object_(object) {}
    ~Dispatch() override { object_->Release(); }
    Dispatch(const Dispatch&) = delete;
    Dispatch& operator=(const Dispatch&) = delete;

    CallStatus ExecuteMacros(const Text& macros) override {
        VARIANT arg;
        VariantInit(&arg);
        arg.vt = VT_BSTR;
        arg.bstrVal = AllocBstr(macros);
        const HRESULT hr = Call(L"ExecuteMacros", DISPATCH_METHOD, &arg, 1, nullptr);
        VariantClear(&arg);
        return SUCCEEDED(hr) ? CallStatus::Done : CallStatus::Failed;
    }

    CallStatus SetQsoData(std::int16_t field, Text& value) override {
        BSTR text = AllocBstr(value);
        // Arguments go right to left: the text by reference, then the field.
        std::array<VARIANT, 2> args{};
        VariantInit(&args[0]);
        VariantInit(&args[1]);
        args[0].vt = VT_BSTR | VT_BYREF;
        args[0].pbstrVal = &text;
        args[1].vt = VT_I2;
        args[1].iVal = field;
        const HRESULT hr = Call(L"SetQsoData", DISPATCH_METHOD, args.data(), 2, nullptr);
        if (SUCCEEDED(hr) && text != nullptr) value = FromWide({text, SysStringLen(text)});
        SysFreeString(text);
        return SUCCEEDED(hr) ? CallStatus::Done : CallStatus::Failed;
    }

    NumberResult FqA() override { return Number(L"FqA"); }
    NumberResult AudioFq() override { return Number(L"AudioFq"); }
    bool ServerGone() override { return gone_; }

private:
    static BSTR AllocBstr(const Text& t) {
        const std::wstring w = Wide(t);
        return SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
    }

    NumberResult Number(const wchar_t* name) {
        VARIANT result;
        VariantInit(&result);
        HRESULT hr = Call(name, DISPATCH_PROPERTYGET, nullptr, 0, &result);
        if (SUCCEEDED(hr)) hr = VariantChangeType(&result, &result, 0, VT_R8);
        const NumberResult out = SUCCEEDED(hr) ? NumberResult(result.dblVal) : std::nullopt;
        VariantClear(&result);
        return out;
    }

    // A member's id is asked of MixW2 the first time this object uses it and
    // kept: it does not change for the life of the object, and every question
    // is one more cross-process round trip for both programs. A failed
    // question is asked again next time.
    HRESULT MemberId(const wchar_t* name, DISPID& id) {
        if (const auto known = ids_.find(name); known != ids_.end()) {
            id = known->second;
            return S_OK;
        }
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        const HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (SUCCEEDED(hr)) ids_.emplace(name, id);
        return hr;
    }

    HRESULT Call(const wchar_t* name, WORD flags, VARIANT* args, UINT count, VARIANT* result) {
        DISPID id = DISPID_UNKNOWN;
        HRESULT hr = MemberId(name, id);
        if (FAILED(hr)) {
            if (ServerGoneError(hr)) gone_ = true;
            return hr;
        }
        DISPPARAMS params{args, nullptr, count, 0};
        EXCEPINFO error{};
        UINT badArg = 0;
        hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &error,
                             &badArg);
        SysFreeString(error.bstrSource);
        SysFreeString(error.bstrDescription);
        SysFreeString(error.bstrHelpFile);
        if (ServerGoneError(hr)) gone_ = true;
        return hr;
    }

    // The errors COM gives when the server process has closed or died; any
    // other failure (an unknown member, a bad argument) leaves it usable.
    static bool ServerGoneError(HRESULT hr) {
        switch (static_cast<unsigned long>(hr)) {
            case static_cast<unsigned long>(RPC_E_DISCONNECTED):
            case static_cast<unsigned long>(RPC_E_SERVER_DIED):
            case static_cast<unsigned long>(RPC_E_SERVER_DIED_DNE):
            case static_cast<unsigned long>(CO_E_OBJNOTCONNECTED):
            case 0x800706BAul:  // RPC_S_SERVER_UNAVAILABLE
            case 0x800706BEul:  // RPC_S_CALL_FAILED
            case 0x800706BFul:  // RPC_S_CALL_FAILED_DNE
                return true;
            default: return false;
        }
    }

    IDispatch* object_;
    bool gone_ = false;
    std::map<std::wstring, DISPID, std::less<>> ids_;
};

}  // namespace

std::unique_ptr<platform::Automation> GetRunningObject(const platform::Text& progId) {
    const std::wstring name = Wide(progId);
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(name.c_str(), &clsid))) return nullptr;
    IUnknown* unknown = nullptr;
    if (FAILED(GetActiveObject(clsid, nullptr, &unknown)) || unknown == nullptr) return nullptr;
    IDispatch* dispatch = nullptr;
    const HRESULT hr = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    unknown->Release();
    if (FAILED(hr) || dispatch == nullptr) return nullptr;
    return std::make_unique<Dispatch>(dispatch);
}

}  // namespace linkwell::win32
