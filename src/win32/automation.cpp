#include "win32/automation.h"

#include "window/intervals.h"

// clang-format off
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
// clang-format on

#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "win32/wintext.h"

namespace linkwell::win32 {
namespace {

using platform::CallStatus;
using platform::NumberResult;
using platform::Text;

// The bound of one call into MixW2's object.
constexpr DWORD kCallBoundMs = window::kCallBoundMs;

// Calls into MixW2 run on a thread of their own, in the multithreaded
// apartment, where the object is obtained too; the bridge's thread waits
// for each within the bound while serving its window (CallWait). Why not
// call from the window's thread: a COM call from a single-threaded
// apartment has no time limit, and while it waits COM dispatches the
// thread's messages, running the bridge's handlers inside the call (with
// MixW's DDE sending at 20 Hz they nest until the stack overflows). A call
// that does not return in time is given up as failed; the thread stays in
// it, and later calls fail at once until it is free again: a hung MixW2 costs
// one wait, not one per call.
class CallThread {
public:
    // The thread for calls on a newly obtained object. A call stuck in an
    // old MixW2 binds only that MixW2: once one is stuck there, the next
    // object is obtained and called on a fresh thread at once. A thread
    // stuck in obtaining an object is not replaced (a hung MixW2 would
    // otherwise cost a thread for every attempt).
    // Never destroyed: a thread may still be inside a call at exit, and one
    // left stuck in an old MixW2 outlives whoever gave up on it.
    static CallThread& ForNewObject() {
        static CallThread* current = new CallThread();
        if (current->Stuck() && !current->stuckObtaining_) current = new CallThread();
        return *current;
    }

    // Runs `job` there; true when it ran to its end within the bound.
    // `obtaining`: the job obtains an object.
    bool Run(std::function<void()> job, const CallWait& wait, bool obtaining = false) {
        if (Stuck()) return false;
        auto call = std::make_shared<Call>();
        call->job = std::move(job);
        call->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (call->done == nullptr) return false;
        {
            const std::lock_guard lock(mutex_);
            calls_.push_back(call);
        }
        ready_.notify_one();
        if (wait(call->done, kCallBoundMs)) return true;
        call->abandoned = true;
        stuck_ = call;
        stuckObtaining_ = obtaining;
        return false;
    }

    // Runs `job` there without waiting for it (a release).
    void Post(std::function<void()> job) {
        auto call = std::make_shared<Call>();
        call->job = std::move(job);
        {
            const std::lock_guard lock(mutex_);
            calls_.push_back(std::move(call));
        }
        ready_.notify_one();
    }

    // A call given up on has not returned yet.
    [[nodiscard]] bool Stuck() {
        if (!stuck_) return false;
        if (WaitForSingleObject(stuck_->done, 0) != WAIT_OBJECT_0) return true;
        stuck_.reset();
        return false;
    }

private:
    struct Call {
        std::function<void()> job;
        HANDLE done = nullptr;
        std::atomic<bool> abandoned{false};
        ~Call() {
            if (done != nullptr) CloseHandle(done);
        }
    };

    CallThread() {
        std::thread([this] { Serve(); }).detach();
    }

    void Serve() {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        for (;;) {
            std::shared_ptr<Call> call;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [this] { return !calls_.empty(); });
                call = std::move(calls_.front());
                calls_.pop_front();
            }
            // A call given up before it began is not made at all.
            if (!call->abandoned) call->job();
            if (call->done != nullptr) SetEvent(call->done);
        }
    }

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::shared_ptr<Call>> calls_;
    std::shared_ptr<Call> stuck_;  // the bridge's thread only
    bool stuckObtaining_ = false;
};

// The object and its member ids: used on the call thread only.
struct Remote {
    IDispatch* object = nullptr;
    std::map<std::wstring, DISPID, std::less<>> ids;
    std::atomic<bool> gone{false};
};

class Dispatch final : public platform::Automation {
public:
    Dispatch(CallThread& thread, std::shared_ptr<Remote> remote, CallWait wait)
        : thread_(thread), remote_(std::move(remote)), wait_(std::move(wait)) {}
    ~Dispatch() override {
        thread_.Post([remote = remote_] {
            if (remote->object != nullptr) remote->object->Release();
            remote->object = nullptr;
        });
    }
    Dispatch(const Dispatch&) = delete;
    Dispatch& operator=(const Dispatch&) = delete;

    CallStatus ExecuteMacros(const Text& macros) override {
        auto hr = std::make_shared<HRESULT>(E_FAIL);
        const bool returned = thread_.Run(
            [remote = remote_, macros, hr] {
                VARIANT arg;
                VariantInit(&arg);
                arg.vt = VT_BSTR;
                arg.bstrVal = AllocBstr(macros);
                *hr = Call(*remote, L"ExecuteMacros", DISPATCH_METHOD, &arg, 1, nullptr);
                VariantClear(&arg);
            },
            wait_);
        return returned && SUCCEEDED(*hr) ? CallStatus::Done : CallStatus::Failed;
    }

    CallStatus SetQsoData(std::int16_t field, Text& value) override {
        struct Out {
            HRESULT hr = E_FAIL;
            Text value;
        };
        auto out = std::make_shared<Out>();
        out->value = value;
        const bool returned = thread_.Run(
            [remote = remote_, field, out] {
                BSTR text = AllocBstr(out->value);
                // Arguments go right to left: the text by reference, then the field.
                std::array<VARIANT, 2> args{};
                VariantInit(&args[0]);
                VariantInit(&args[1]);
                args[0].vt = VT_BSTR | VT_BYREF;
                args[0].pbstrVal = &text;
                args[1].vt = VT_I2;
                args[1].iVal = field;
                out->hr = Call(*remote, L"SetQsoData", DISPATCH_METHOD, args.data(), 2, nullptr);
                if (SUCCEEDED(out->hr) && text != nullptr)
                    out->value = FromWide({text, SysStringLen(text)});
                SysFreeString(text);
            },
            wait_);
        if (!returned || FAILED(out->hr)) return CallStatus::Failed;
        value = out->value;
        return CallStatus::Done;
    }

    NumberResult FqA() override { return Number(L"FqA"); }
    NumberResult AudioFq() override { return Number(L"AudioFq"); }
    bool ServerGone() override { return remote_->gone; }

    // GetTypeInfoCount is one round trip through the proxy that MixW2
    // answers without doing anything. Behind a stuck call it is not made:
    // a hung MixW2 is still there.
    bool StillThere() override {
        if (remote_->gone) return false;
        if (thread_.Stuck()) return true;
        auto hr = std::make_shared<HRESULT>(S_OK);
        const bool returned = thread_.Run(
            [remote = remote_, hr] {
                if (remote->object == nullptr) {
                    *hr = E_POINTER;
                    return;
                }
                UINT count = 0;
                *hr = remote->object->GetTypeInfoCount(&count);
                if (ServerGoneError(*hr)) remote->gone = true;
            },
            wait_);
        return !returned || !remote_->gone;
    }

private:
    static BSTR AllocBstr(const Text& t) {
        const std::wstring w = Wide(t);
        return SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
    }

    NumberResult Number(const wchar_t* name) {
        auto out = std::make_shared<NumberResult>();
        const bool returned = thread_.Run(
            [remote = remote_, name, out] {
                VARIANT result;
                VariantInit(&result);
                HRESULT hr = Call(*remote, name, DISPATCH_PROPERTYGET, nullptr, 0, &result);
                if (SUCCEEDED(hr)) hr = VariantChangeType(&result, &result, 0, VT_R8);
                if (SUCCEEDED(hr)) *out = result.dblVal;
                VariantClear(&result);
            },
            wait_);
        return returned ? *out : std::nullopt;
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

    static HRESULT Call(Remote& remote, const wchar_t* name, WORD flags, VARIANT* args, UINT count,
                        VARIANT* result) {
        if (remote.object == nullptr) return E_POINTER;
        DISPID id = DISPID_UNKNOWN;
        HRESULT hr = MemberId(remote, name, id);
        if (FAILED(hr)) {
            if (ServerGoneError(hr)) remote.gone = true;
            return hr;
        }
        DISPPARAMS params{args, nullptr, count, 0};
        EXCEPINFO error{};
        UINT badArg = 0;
        hr = remote.object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                   &error, &badArg);
        SysFreeString(error.bstrSource);
        SysFreeString(error.bstrDescription);
        SysFreeString(error.bstrHelpFile);
        if (ServerGoneError(hr)) remote.gone = true;
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
};

}  // namespace

std::unique_ptr<platform::Automation> GetRunningObject(const platform::Text& progId,
                                                       CallWait wait) {
    auto remote = std::make_shared<Remote>();
    CallThread& thread = CallThread::ForNewObject();
    const bool returned = thread.Run(
        [remote, name = Wide(progId)] {
            CLSID clsid{};
            if (FAILED(CLSIDFromProgID(name.c_str(), &clsid))) return;
            IUnknown* unknown = nullptr;
            if (FAILED(GetActiveObject(clsid, nullptr, &unknown)) || unknown == nullptr) return;
            IDispatch* dispatch = nullptr;
            const HRESULT hr =
                unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
            unknown->Release();
            if (SUCCEEDED(hr)) remote->object = dispatch;
        },
        wait, true);
    if (!returned) {
        // Obtained too late: let it go there.
        thread.Post([remote] {
            if (remote->object != nullptr) remote->object->Release();
            remote->object = nullptr;
        });
        return nullptr;
    }
    if (remote->object == nullptr) return nullptr;
    return std::make_unique<Dispatch>(thread, std::move(remote), std::move(wait));
}

}  // namespace linkwell::win32
