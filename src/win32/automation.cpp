#include "win32/automation.h"

// clang-format off
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
// clang-format on

#include <array>
#include <atomic>
#include <map>
#include <string>

#include "mixw/protocol.h"
#include "win32/call_thread.h"
#include "win32/owned.h"
#include "win32/wintext.h"

namespace linkwell::win32 {
namespace {

using platform::CallStatus;
using platform::FailureReason;
using platform::NumberResult;
using platform::Text;

// MixW2's members as its contract names them.
const std::wstring kExecuteMacros = Wide(Text(mixw::member::kExecuteMacros));
const std::wstring kSetQsoData = Wide(Text(mixw::member::kSetQsoData));
const std::wstring kFqA = Wide(Text(mixw::member::kFqA));
const std::wstring kAudioFq = Wide(Text(mixw::member::kAudioFq));

// The object and its member ids: used on the call thread only.
struct Remote {
    ComPtr<IDispatch> object;
    std::map<std::wstring, DISPID, std::less<>> ids;
    std::atomic<bool> gone{false};
};

// What one call came to on the call thread, for the bridge's thread to
// read once the call has returned: its HRESULT and, when MixW2 raised an
// exception, that exception's code and text.
struct Outcome {
    HRESULT hr = E_FAIL;
    std::optional<std::uint32_t> exceptionCode;
    Text description;

    [[nodiscard]] FailureReason Reason() const {
        return {static_cast<std::uint32_t>(hr), exceptionCode, description};
    }
};

class Dispatch final : public platform::Automation {
public:
    Dispatch(CallThread& thread, std::shared_ptr<Remote> remote, CallWait wait)
        : thread_(thread), remote_(std::move(remote)), wait_(std::move(wait)) {
        thread_.Hold();
    }
    // The reference is let go on the thread that obtained it.
    ~Dispatch() override {
        thread_.Post([remote = remote_] { remote->object.reset(); });
        thread_.LetGo();
    }
    Dispatch(const Dispatch&) = delete;
    Dispatch& operator=(const Dispatch&) = delete;

    CallStatus ExecuteMacros(const Text& macros) override {
        auto out = std::make_shared<Outcome>();
        const bool returned = thread_.Run(
            [remote = remote_, macros, out] {
                Variant arg{Bstr(Wide(macros))};
                *out =
                    Call(*remote, kExecuteMacros.c_str(), DISPATCH_METHOD, arg.get(), 1, nullptr);
            },
            wait_);
        return Ended(returned, *out);
    }

    CallStatus SetQsoData(std::int16_t field, Text& value) override {
        struct Out {
            Outcome outcome;
            Text value;
        };
        auto out = std::make_shared<Out>();
        out->value = value;
        const bool returned = thread_.Run(
            [remote = remote_, field, out] {
                Bstr text(Wide(out->value));
                // Arguments go right to left: the text by reference, then the field.
                std::array<VARIANT, 2> args{};
                VariantInit(&args[0]);
                VariantInit(&args[1]);
                args[0].vt = VT_BSTR | VT_BYREF;
                args[0].pbstrVal = text.inout();
                args[1].vt = VT_I2;
                args[1].iVal = field;
                out->outcome =
                    Call(*remote, kSetQsoData.c_str(), DISPATCH_METHOD, args.data(), 2, nullptr);
                if (SUCCEEDED(out->outcome.hr) && text.get() != nullptr)
                    out->value = FromWide(text.view());
            },
            wait_);
        const CallStatus status = Ended(returned, out->outcome);
        if (status == CallStatus::Done) value = out->value;
        return status;
    }

    NumberResult FqA() override { return Number(kFqA.c_str()); }
    NumberResult AudioFq() override { return Number(kAudioFq.c_str()); }

    // The push tick's two reads in one hand-off. Given up within the bound,
    // FqA still counts when it had returned before AudioFq got stuck.
    Dial ReadDial() override {
        struct Out {
            NumberResult fqa;
            NumberResult audioFq;
            Outcome failed;  // of the read that failed
            std::atomic<bool> fqaRead{false};
        };
        auto out = std::make_shared<Out>();
        const bool returned = thread_.Run(
            [remote = remote_, out] {
                out->fqa = Read(*remote, kFqA.c_str(), out->failed);
                out->fqaRead = true;
                if (out->fqa) out->audioFq = Read(*remote, kAudioFq.c_str(), out->failed);
            },
            wait_);
        Dial d;
        lastFailure_.reset();
        if (returned) {
            d.fqa = out->fqa;
            d.audioFq = out->audioFq;
            if (!d.fqa || !d.audioFq) lastFailure_ = out->failed.Reason();
        } else if (out->fqaRead) {
            d.fqa = out->fqa;
        }
        return d;
    }
    bool ServerGone() override { return remote_->gone; }

    // GetTypeInfoCount is one round trip through the proxy that MixW2
    // answers without doing anything. Behind a stuck call it is not made:
    // a hung MixW2 is still there.
    bool StillThere() override {
        lastFailure_.reset();
        if (remote_->gone) return false;
        if (thread_.Stuck()) return true;
        auto hr = std::make_shared<HRESULT>(S_OK);
        const bool returned = thread_.Run(
            [remote = remote_, hr] {
                if (!remote->object) {
                    *hr = E_POINTER;
                    return;
                }
                UINT count = 0;
                *hr = remote->object->GetTypeInfoCount(&count);
                if (ServerGoneError(*hr)) remote->gone = true;
            },
            wait_);
        if (returned && remote_->gone) lastFailure_ = Outcome{*hr, {}, {}}.Reason();
        return !returned || !remote_->gone;
    }

    std::optional<FailureReason> LastFailure() override { return lastFailure_; }

private:
    // Done, or Failed with the reason kept; a call given up at its bound
    // has none.
    CallStatus Ended(bool returned, const Outcome& outcome) {
        lastFailure_.reset();
        if (returned && SUCCEEDED(outcome.hr)) return CallStatus::Done;
        if (returned) lastFailure_ = outcome.Reason();
        return CallStatus::Failed;
    }

    NumberResult Number(const wchar_t* name) {
        struct Out {
            NumberResult value;
            Outcome failed;
        };
        auto out = std::make_shared<Out>();
        const bool returned = thread_.Run(
            [remote = remote_, name, out] { out->value = Read(*remote, name, out->failed); },
            wait_);
        lastFailure_.reset();
        if (!returned) return std::nullopt;
        if (!out->value) lastFailure_ = out->failed.Reason();
        return out->value;
    }

    // A property read as a number, on the call thread; `failed` says why
    // when it gives none.
    static NumberResult Read(Remote& remote, const wchar_t* name, Outcome& failed) {
        Variant result;
        Outcome outcome = Call(remote, name, DISPATCH_PROPERTYGET, nullptr, 0, result.get());
        if (SUCCEEDED(outcome.hr)) {
            outcome.hr = VariantChangeType(result.get(), result.get(), 0, VT_R8);
        }
        if (FAILED(outcome.hr)) {
            failed = outcome;
            return std::nullopt;
        }
        return result.get()->dblVal;
    }

    // A member's id is asked of MixW2 the first time this object uses it and
    // kept: it does not change for the life of the object, and every question
    // is one more cross-process round trip for both programs. A failed
    // question is asked again next time.
    static HRESULT MemberId(Remote& remote, const wchar_t* name, DISPID& id) {
        if (const auto known = remote.ids.find(name); known != remote.ids.end()) {
            id = known->second;
            return S_OK;
        }
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        const HRESULT hr =
            remote.object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (SUCCEEDED(hr)) remote.ids.emplace(name, id);
        return hr;
    }

    static Outcome Call(Remote& remote, const wchar_t* name, WORD flags, VARIANT* args, UINT count,
                        VARIANT* result) {
        Outcome out;
        if (!remote.object) {
            out.hr = E_POINTER;
            return out;
        }
        DISPID id = DISPID_UNKNOWN;
        out.hr = MemberId(remote, name, id);
        if (FAILED(out.hr)) {
            if (ServerGoneError(out.hr)) remote.gone = true;
            return out;
        }
        DISPPARAMS params{args, nullptr, count, 0};
        ExcepInfo error;
        UINT badArg = 0;
        out.hr = remote.object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                       error.put(), &badArg);
        if (out.hr == DISP_E_EXCEPTION) {
            const EXCEPINFO& e = error.Filled();
            if (e.scode != 0) {
                out.exceptionCode = static_cast<std::uint32_t>(e.scode);
            } else if (e.wCode != 0) {
                out.exceptionCode = e.wCode;
            }
            if (e.bstrDescription != nullptr) {
                out.description = FromWide({e.bstrDescription, SysStringLen(e.bstrDescription)});
            }
        }
        if (ServerGoneError(out.hr)) remote.gone = true;
        return out;
    }

    // The errors COM gives when the server process has closed or died; any
    // other failure (an unknown member, a bad argument) leaves it usable.
    static bool ServerGoneError(HRESULT hr) {
        switch (static_cast<unsigned long>(hr)) {
            case static_cast<unsigned long>(RPC_E_DISCONNECTED):
            case static_cast<unsigned long>(RPC_E_SERVER_DIED):
            case static_cast<unsigned long>(RPC_E_SERVER_DIED_DNE):
            case static_cast<unsigned long>(CO_E_OBJNOTCONNECTED):
            case static_cast<unsigned long>(RPC_E_INVALID_OBJECT):
            case 0x800706B5ul:  // RPC_S_UNKNOWN_IF: the object was disconnected (Wine)
            case 0x800706BAul:  // RPC_S_SERVER_UNAVAILABLE
            case 0x800706BEul:  // RPC_S_CALL_FAILED
            case 0x800706BFul:  // RPC_S_CALL_FAILED_DNE
                return true;
            default: return false;
        }
    }

    CallThread& thread_;  // the thread the object was obtained on
    std::shared_ptr<Remote> remote_;
    CallWait wait_;
    std::optional<FailureReason> lastFailure_;  // the bridge's thread only
};

}  // namespace

std::unique_ptr<platform::Automation> GetRunningObject(const platform::Text& progId, CallWait wait,
                                                       std::optional<FailureReason>& why) {
    why.reset();
    auto remote = std::make_shared<Remote>();
    auto hr = std::make_shared<HRESULT>(E_FAIL);
    CallThread& thread = CallThread::ForNewObject();
    const bool returned = thread.Run(
        [remote, hr, name = Wide(progId)] {
            CLSID clsid{};
            *hr = CLSIDFromProgID(name.c_str(), &clsid);
            if (FAILED(*hr)) return;
            ComPtr<IUnknown> unknown;
            *hr = GetActiveObject(clsid, nullptr, unknown.put());
            if (FAILED(*hr)) return;
            if (!unknown) {
                *hr = E_POINTER;
                return;
            }
            *hr = unknown->QueryInterface(IID_IDispatch, remote->object.put_void());
        },
        wait, true);
    if (!returned) {
        // Obtained too late: let it go there.
        thread.Post([remote] { remote->object.reset(); });
        return nullptr;
    }
    if (!remote->object) {
        why = FailureReason{static_cast<std::uint32_t>(*hr), {}, {}};
        return nullptr;
    }
    return std::make_unique<Dispatch>(thread, std::move(remote), std::move(wait));
}

}  // namespace linkwell::win32
