// linkwell-probe-com-residue: what Wine's COM keeps in a client when the
// server process goes while the client holds its proxy, as the bridge holds
// MixW2's object when MixW2 closes. It starts six servers of itself, one
// after the other: it gets each one's object (GetActiveObject), calls it,
// waits for the server to end, calls once more (that call fails), releases
// the object, and prints its own handles by type (docs/chaos.md).
//
//   linkwell-probe-com-residue            the client
//   linkwell-probe-com-residue server     a server (started by the client)
// clang-format off
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
// clang-format on

#include <cstdio>
#include <string>

#include "peers/handle_table.h"

namespace {

// MixW2's class, as the peers register it.
constexpr CLSID kClsid = {
    0x6A1F3C52, 0x2B7E, 0x4D0A, {0x9C, 0x3B, 0x5E, 0x8D, 0x7F, 0x2A, 0x1B, 0x40}};

// One property, read as FqA is. COM's interfaces have no virtual destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class Dial final : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IDispatch) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs_); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID* id) override {
        *id = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        if (result != nullptr) {
            VariantInit(result);
            result->vt = VT_R8;
            result->dblVal = 14070.0;
        }
        return S_OK;
    }

private:
    long refs_ = 1;
};
#pragma GCC diagnostic pop

void PrintHandles(const char* when) {
    const auto byType = linkwell::win32::peers::HandlesByType(GetCurrentProcessId());
    if (!byType) {
        std::printf("%s: no handle table\n", when);
        return;
    }
    unsigned long all = 0;
    for (const auto& [type, n] : *byType) all += n;
    std::printf("%s: %lu handles, by type", when, all);
    for (const auto& [type, n] : *byType) std::printf(" %d:%lu", type, n);
    std::printf("\n");
    std::fflush(stdout);
}

int Serve() {
    Dial dial;
    DWORD registration = 0;
    RegisterActiveObject(&dial, kClsid, ACTIVEOBJECT_STRONG, &registration);
    Sleep(3000);
    RevokeActiveObject(registration, nullptr);
    return 0;
}

HRESULT ReadDial(IDispatch* d, DISPID id) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr =
        d->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
    VariantClear(&result);
    return hr;
}

void OneServer(const std::wstring& self, int n) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + self + L"\" server";
    if (!CreateProcessW(self.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        return;
    }
    IUnknown* unknown = nullptr;
    // A fresh prefix starts its first programs slowly.
    for (int tries = 0; tries < 400 && unknown == nullptr; ++tries) {
        Sleep(50);
        if (FAILED(GetActiveObject(kClsid, nullptr, &unknown))) unknown = nullptr;
    }
    IDispatch* d = nullptr;
    if (unknown != nullptr) unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d));
    HRESULT after = S_OK;
    if (d != nullptr) {
        wchar_t name[] = L"FqA";
        LPOLESTR names[] = {name};
        DISPID id = 0;
        d->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
        for (int i = 0; i < 20; ++i) ReadDial(d, id);
        WaitForSingleObject(pi.hProcess, 15000);  // gone while held
        after = ReadDial(d, id);
        d->Release();
    }
    if (unknown != nullptr) unknown->Release();
    WaitForSingleObject(pi.hProcess, 15000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    char last[32];
    std::snprintf(last, sizeof last, "0x%08lX", static_cast<unsigned long>(after));
    const std::string when = "after server " + std::to_string(n) +
                             (d == nullptr ? std::string(" (no object got)")
                                           : " (its last call " + std::string(last) + ")");
    PrintHandles(when.c_str());
}

struct ThreadedServer {
    const std::wstring* self;
    int n;
};

// The client's part on a thread of its own that enters the multithreaded
// apartment, and leaves it before it ends.
DWORD WINAPI ServeOnThread(void* p) {
    const auto* t = static_cast<ThreadedServer*>(p);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    OneServer(*t->self, t->n);
    CoUninitialize();
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"server") {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        return Serve();
    }
    std::wstring self(MAX_PATH, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
    const bool threaded = mode == L"threaded";
    // Threaded as the bridge is: the main thread single-threaded, each
    // server's client on a thread of its own.
    CoInitializeEx(nullptr, threaded ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED);
    PrintHandles("start");
    for (int n = 1; n <= 6; ++n) {
        if (!threaded) {
            OneServer(self, n);
            continue;
        }
        ThreadedServer t{&self, n};
        HANDLE thread = CreateThread(nullptr, 0, ServeOnThread, &t, 0, nullptr);
        if (thread == nullptr) continue;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        PrintHandles(("after thread " + std::to_string(n) + " ended").c_str());
    }
    CoUninitialize();
    return 0;
}
