// The floor for linkwell.exe's idle cost: the least a program can do and
// still be an idle, linked bridge. One window, one message loop, and every
// 800 ms the two reads of a tick, FqA and AudioFq, from MixW2's running
// object, each one Invoke by a member id asked for once (as the bridge
// reads them: property get, the value made a double). Built with
// linkwell.exe's compiler and options; the test peers start it in the
// bridge's place, so the same stand-in MixW2 serves it (its window class is
// the bridge's, which is how the peers know it has started).
//
// With LINKWELL_FLOOR_READS=no in its environment it never reads: what the
// peers and wineserver spend with no calls at all. With
// LINKWELL_FLOOR_WATCH=yes it also notices within 2 s that Logger32 or
// MixW2 has closed, in the cheapest way there is: a closed MixW2 fails the
// tick's next read (its object is let go and asked for again), and on
// every tick one look whether Logger32's window is still there (sought by
// its title again while it is not). What the bridge's guarantee costs at
// the least.
// clang-format off
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
// clang-format on

#include <cwchar>

namespace {

constexpr UINT_PTR kTick = 1;
constexpr UINT kTickMs = 800;

IDispatch* mixw = nullptr;
DISPID members[2] = {DISPID_UNKNOWN, DISPID_UNKNOWN};

// MixW2's object and the ids of the two members, once; false while MixW2
// is not there yet.
bool Attach() {
    if (mixw != nullptr) return true;
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(L"MixW2.Application", &clsid))) return false;
    IUnknown* unknown = nullptr;
    if (FAILED(GetActiveObject(clsid, nullptr, &unknown)) || unknown == nullptr) return false;
    IDispatch* object = nullptr;
    const HRESULT hr = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&object));
    unknown->Release();
    if (FAILED(hr) || object == nullptr) return false;
    const wchar_t* names[2] = {L"FqA", L"AudioFq"};
    for (int i = 0; i < 2; ++i) {
        LPOLESTR name = const_cast<LPOLESTR>(names[i]);
        if (FAILED(object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &members[i]))) {
            object->Release();
            return false;
        }
    }
    mixw = object;
    return true;
}

// Logger32's window while it is there; the watching floor only.
bool watch = false;
HWND logger32 = nullptr;

void Detach() {
    if (mixw != nullptr) mixw->Release();
    mixw = nullptr;
}

double Read(DISPID member) {
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXCEPINFO error{};
    UINT badArg = 0;
    HRESULT hr = mixw->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                              &result, &error, &badArg);
    if (SUCCEEDED(hr)) hr = VariantChangeType(&result, &result, 0, VT_R8);
    const double value = SUCCEEDED(hr) ? result.dblVal : 0;
    VariantClear(&result);
    // Any failure that is no answer of MixW2's: the server has gone.
    if (watch && FAILED(hr) && HRESULT_FACILITY(hr) != FACILITY_DISPATCH) Detach();
    return value;
}

volatile double sink = 0;  // keeps the reads

void Tick() {
    if (watch) {
        // One question to the system: no thread means no window.
        if (logger32 == nullptr || GetWindowThreadProcessId(logger32, nullptr) == 0)
            logger32 = FindWindowW(nullptr, L"Logger32");
    }
    if (!Attach()) return;
    const double fqa = Read(members[0]);
    if (mixw == nullptr) return;
    sink = fqa + Read(members[1]);
}

bool reads = true;

LRESULT CALLBACK FloorProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER && wParam == kTick) {
        if (reads) Tick();
        return 0;
    }
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    wchar_t setting[8] = {};
    GetEnvironmentVariableW(L"LINKWELL_FLOOR_READS", setting, 8);
    reads = std::wcscmp(setting, L"no") != 0;
    GetEnvironmentVariableW(L"LINKWELL_FLOOR_WATCH", setting, 8);
    watch = std::wcscmp(setting, L"yes") == 0;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    WNDCLASSW wc{};
    wc.hInstance = instance;
    wc.lpfnWndProc = FloorProc;
    wc.lpszClassName = L"LinkwellForm";
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    if (RegisterClassW(&wc) == 0) return 1;
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"Floor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 220, 540, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;
    ShowWindow(window, show);
    SetTimer(window, kTick, kTickMs, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    Detach();
    CoUninitialize();
    return 0;
}
