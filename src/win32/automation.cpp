#include "win32/automation.h"

#include "window/intervals.h"

// clang-format off
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
// clang-format on

#include <array>
#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <string>

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
//
// A hand-off costs two events set and waited on, nothing more: they live as
// long as the thread (each event made, handle closed or condition variable
// woken is one more round trip to the system, several times a second).
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
#ifdef LINKWELL_MEASURE_CALLS_INLINE
        // A measuring build (scripts/bench-wine-split): what the call thread
        // costs, by calling on the window's thread, unbounded, instead.
        return (void)wait, (void)obtaining, job(), true;
#endif
        if (Stuck() || done_ == nullptr) return false;
        auto call = std::make_shared<Call>();
        call->job = std::move(job);
        call->answers = true;
        Queue(call);
        if (wait(done_, kCallBoundMs)) return true;
        call->abandoned = true;
        stuck_ = true;
        stuckObtaining_ = obtaining;
        return false;
    }

    // Runs `job` there without waiting for it (a release).
    void Post(std::function<void()> job) {
#ifdef LINKWELL_MEASURE_CALLS_INLINE
        return job();
#endif
        auto call = std::make_shared<Call>();
        call->job = std::move(job);
        Queue(std::move(call));
    }

    // A call given up on has not returned yet. Each waited-for call sets
    // `done_` once, and the wait that takes it off says so: the bridge's
    // own wait, or this look once the call is given up.
    [[nodiscard]] bool Stuck() {
        if (!stuck_) return false;
        if (WaitForSingleObject(done_, 0) != WAIT_OBJECT_0) return true;
        stuck_ = false;
        return false;
    }

private:
    struct Call {
        std::function<void()> job;
        bool answers = false;  // the bridge waits for it on `done_`
        std::atomic<bool> abandoned{false};
    };

    CallThread()
        : work_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
          done_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
        if (work_ == nullptr || done_ == nullptr) {
            done_ = nullptr;  // Run then refuses every call
            return;
        }
#ifdef LINKWELL_MEASURE_CALLS_INLINE
        return;
#endif
        // COM's proxies need far less than a default stack; what the
        // thread never touches costs nothing but address space.
        constexpr SIZE_T kStackBytes = 256 * 1024;
        HANDLE thread = CreateThread(nullptr, kStackBytes, &CallThread::Serve, this,
                                     STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        if (thread == nullptr) {
            CloseHandle(done_);
            done_ = nullptr;
            return;
        }
        CloseHandle(thread);
    }

    void Queue(std::shared_ptr<Call> call) {
        AcquireSRWLockExclusive(&lock_);
        calls_.push_back(std::move(call));
        ReleaseSRWLockExclusive(&lock_);
        SetEvent(work_);
    }

    static DWORD WINAPI Serve(void* self) {
        static_cast<CallThread*>(self)->Loop();
        return 0;
    }

    void Loop() {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        for (;;) {
            std::shared_ptr<Call> call;
            AcquireSRWLockExclusive(&lock_);
            if (!calls_.empty()) {
                call = std::move(calls_.front());
                calls_.pop_front();
            }
            ReleaseSRWLockExclusive(&lock_);
            if (!call) {
                WaitForSingleObject(work_, INFINITE);
                continue;
            }
            // A call given up before it began is not made at all.
            if (!call->abandoned) call->job();
            if (call->answers) SetEvent(done_);
        }
    }

    HANDLE work_;  // set when a call is queued
    HANDLE done_;  // set when a call the bridge waits for has returned
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::deque<std::shared_ptr<Call>> calls_;
    bool stuck_ = false;  // the bridge's thread only
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

    // The push tick's two reads in one hand-off. Given up within the bound,
    // FqA still counts when it had returned before AudioFq got stuck.
    Dial ReadDial() override {
        struct Out {
            NumberResult fqa;
            NumberResult audioFq;
            std::atomic<bool> fqaRead{false};
        };
        auto out = std::make_shared<Out>();
        const bool returned = thread_.Run(
            [remote = remote_, out] {
                out->fqa = Read(*remote, L"FqA");
                out->fqaRead = true;
                if (out->fqa) out->audioFq = Read(*remote, L"AudioFq");
            },
            wait_);
        Dial d;
        if (returned) {
            d.fqa = out->fqa;
            d.audioFq = out->audioFq;
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
        const bool returned =
            thread_.Run([remote = remote_, name, out] { *out = Read(*remote, name); }, wait_);
        return returned ? *out : std::nullopt;
    }

    // A property read as a number, on the call thread.
    static NumberResult Read(Remote& remote, const wchar_t* name) {
        VARIANT result;
        VariantInit(&result);
        HRESULT hr = Call(remote, name, DISPATCH_PROPERTYGET, nullptr, 0, &result);
        if (SUCCEEDED(hr)) hr = VariantChangeType(&result, &result, 0, VT_R8);
        NumberResult value;
        if (SUCCEEDED(hr)) value = result.dblVal;
        VariantClear(&result);
        return value;
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
