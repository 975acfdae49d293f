// Owners of what Windows hands out and must be given back: handles, events,
// COM pointers, BSTRs, VARIANTs, GDI objects, DDE string and data handles and
// conversations, sockets, memory from LocalAlloc and screen DCs. Each frees
// its resource when it goes out of scope, so every early return is right by
// construction. Move-only: a resource has one owner. `get()` lends it,
// `release()` gives it up to a caller that frees it, and `put()` frees what
// is held and gives the place a Windows out-parameter writes the new one to.
// This is the one file of the program that calls the freeing functions.
#pragma once

// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <ddeml.h>
#include <objbase.h>
#include <oleauto.h>
// clang-format on

#include <string_view>
#include <utility>

namespace linkwell::win32 {

// A resource whose "none" value and freeing function its traits give.
template <typename Traits>
class Owned {
public:
    using Value = typename Traits::Value;

    Owned() noexcept = default;
    explicit Owned(Value value) noexcept : value_(value) {}
    Owned(Owned&& other) noexcept : value_(other.release()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { reset(); }

    [[nodiscard]] Value get() const noexcept { return value_; }
    [[nodiscard]] explicit operator bool() const noexcept { return value_ != Traits::None(); }
    [[nodiscard]] Value release() noexcept { return std::exchange(value_, Traits::None()); }
    void reset(Value value = Traits::None()) noexcept {
        if (value_ != Traits::None()) Traits::Free(value_);
        value_ = value;
    }
    [[nodiscard]] Value* put() noexcept {
        reset();
        return &value_;
    }

private:
    Value value_ = Traits::None();
};

// Kernel objects whose "none" is NULL: events, threads, mutexes.
struct HandleTraits {
    using Value = HANDLE;
    static Value None() noexcept { return nullptr; }
    static void Free(Value h) noexcept { CloseHandle(h); }
};
using OwnedHandle = Owned<HandleTraits>;

// Files, whose "none" is INVALID_HANDLE_VALUE (what CreateFile gives on a
// failure; NULL is never a file it opened).
struct FileTraits {
    using Value = HANDLE;
    static Value None() noexcept { return INVALID_HANDLE_VALUE; }
    static void Free(Value h) noexcept { CloseHandle(h); }
};
using OwnedFile = Owned<FileTraits>;

// An event, or none when the system has no more to give.
[[nodiscard]] inline OwnedHandle MakeEvent(bool manualReset, bool set) {
    return OwnedHandle(
        CreateEventW(nullptr, manualReset ? TRUE : FALSE, set ? TRUE : FALSE, nullptr));
}

// Pens, brushes, fonts: anything DeleteObject frees.
template <typename Gdi>
struct GdiTraits {
    using Value = Gdi;
    static Value None() noexcept { return nullptr; }
    static void Free(Value h) noexcept { DeleteObject(h); }
};
template <typename Gdi>
using OwnedGdi = Owned<GdiTraits<Gdi>>;

// What CommandLineToArgvW and FormatMessage hand out.
template <typename T>
struct LocalTraits {
    using Value = T;
    static Value None() noexcept { return nullptr; }
    static void Free(Value p) noexcept { LocalFree(p); }
};
template <typename T>
using OwnedLocal = Owned<LocalTraits<T>>;

struct SocketTraits {
    using Value = SOCKET;
    static Value None() noexcept { return INVALID_SOCKET; }
    static void Free(Value s) noexcept { closesocket(s); }
};
using OwnedSocket = Owned<SocketTraits>;

struct DdeDataTraits {
    using Value = HDDEDATA;
    static Value None() noexcept { return nullptr; }
    static void Free(Value d) noexcept { DdeFreeDataHandle(d); }
};
using OwnedDdeData = Owned<DdeDataTraits>;

struct DdeConversationTraits {
    using Value = HCONV;
    static Value None() noexcept { return nullptr; }
    static void Free(Value c) noexcept { DdeDisconnect(c); }
};
using OwnedConversation = Owned<DdeConversationTraits>;

// A DDEML instance, uninitialised once its conversations and strings are
// let go (declare it ahead of them).
struct DdeInstanceTraits {
    using Value = DWORD;
    static Value None() noexcept { return 0; }
    static void Free(Value i) noexcept { DdeUninitialize(i); }
};
using OwnedDdeInstance = Owned<DdeInstanceTraits>;

// A DDE string handle, freed in the DDEML instance that made it.
class DdeString {
public:
    DdeString() noexcept = default;
    DdeString(DWORD instance, const wchar_t* text) noexcept
        : instance_(instance), hsz_(DdeCreateStringHandleW(instance, text, CP_WINUNICODE)) {}
    DdeString(DdeString&& other) noexcept
        : instance_(other.instance_), hsz_(std::exchange(other.hsz_, nullptr)) {}
    DdeString& operator=(DdeString&& other) noexcept {
        if (this != &other) {
            reset();
            instance_ = other.instance_;
            hsz_ = std::exchange(other.hsz_, nullptr);
        }
        return *this;
    }
    DdeString(const DdeString&) = delete;
    DdeString& operator=(const DdeString&) = delete;
    ~DdeString() { reset(); }

    [[nodiscard]] HSZ get() const noexcept { return hsz_; }
    [[nodiscard]] explicit operator bool() const noexcept { return hsz_ != nullptr; }
    void reset() noexcept {
        if (hsz_ != nullptr) DdeFreeStringHandle(instance_, std::exchange(hsz_, nullptr));
    }

private:
    DWORD instance_ = 0;
    HSZ hsz_ = nullptr;
};

// A COM interface pointer, released once.
template <typename Interface>
class ComPtr {
public:
    ComPtr() noexcept = default;
    // Takes over a reference the caller holds.
    explicit ComPtr(Interface* p) noexcept : p_(p) {}
    ComPtr(ComPtr&& other) noexcept : p_(other.release()) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { reset(); }

    [[nodiscard]] Interface* get() const noexcept { return p_; }
    Interface* operator->() const noexcept { return p_; }
    [[nodiscard]] explicit operator bool() const noexcept { return p_ != nullptr; }
    [[nodiscard]] Interface* release() noexcept { return std::exchange(p_, nullptr); }
    void reset(Interface* p = nullptr) noexcept {
        if (p_ != nullptr) p_->Release();
        p_ = p;
    }
    [[nodiscard]] Interface** put() noexcept {
        reset();
        return &p_;
    }
    // For QueryInterface and its kin.
    [[nodiscard]] void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

private:
    Interface* p_ = nullptr;
};

// A BSTR.
class Bstr {
public:
    Bstr() noexcept = default;
    explicit Bstr(std::wstring_view text) noexcept
        : s_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    Bstr(Bstr&& other) noexcept : s_(other.release()) {}
    Bstr& operator=(Bstr&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { reset(); }

    [[nodiscard]] BSTR get() const noexcept { return s_; }
    [[nodiscard]] std::wstring_view view() const noexcept {
        return s_ == nullptr ? std::wstring_view() : std::wstring_view(s_, SysStringLen(s_));
    }
    [[nodiscard]] BSTR release() noexcept { return std::exchange(s_, nullptr); }
    void reset(BSTR s = nullptr) noexcept {
        if (s_ != nullptr) SysFreeString(s_);
        s_ = s;
    }
    // Also for a BSTR passed by reference, which the callee may free and
    // replace: what it leaves there is freed here.
    [[nodiscard]] BSTR* put() noexcept {
        reset();
        return &s_;
    }
    [[nodiscard]] BSTR* inout() noexcept { return &s_; }

private:
    BSTR s_ = nullptr;
};

// A VARIANT, cleared once (with whatever it holds: a BSTR, an interface).
class Variant {
public:
    Variant() noexcept { VariantInit(&v_); }
    // Holds the text as a BSTR.
    explicit Variant(Bstr text) noexcept : Variant() {
        v_.vt = VT_BSTR;
        v_.bstrVal = text.release();
    }
    Variant(Variant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            VariantClear(&v_);
            v_ = other.v_;
            VariantInit(&other.v_);
        }
        return *this;
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&v_); }

    [[nodiscard]] VARIANT* get() noexcept { return &v_; }
    [[nodiscard]] const VARIANT* get() const noexcept { return &v_; }
    [[nodiscard]] VARIANT* put() noexcept {
        VariantClear(&v_);
        return &v_;
    }

private:
    VARIANT v_;
};

// What a failed IDispatch::Invoke describes of its exception; its texts
// freed once.
class ExcepInfo {
public:
    ExcepInfo() noexcept = default;
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
    ~ExcepInfo() {
        SysFreeString(info_.bstrSource);
        SysFreeString(info_.bstrDescription);
        SysFreeString(info_.bstrHelpFile);
    }

    [[nodiscard]] EXCEPINFO* put() noexcept { return &info_; }
    // The exception's code and text, filled in first when the server left
    // that for later.
    [[nodiscard]] const EXCEPINFO& Filled() noexcept {
        if (info_.pfnDeferredFillIn != nullptr) {
            (void)info_.pfnDeferredFillIn(&info_);
            info_.pfnDeferredFillIn = nullptr;
        }
        return info_;
    }

private:
    EXCEPINFO info_{};
};

// The screen's device context, for reading its resolution.
class ScreenDc {
public:
    ScreenDc() noexcept : dc_(GetDC(nullptr)) {}
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    ~ScreenDc() {
        if (dc_ != nullptr) ReleaseDC(nullptr, dc_);
    }
    [[nodiscard]] HDC get() const noexcept { return dc_; }

private:
    HDC dc_;
};

}  // namespace linkwell::win32
