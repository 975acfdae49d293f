// The yardstick for linkwell.exe's footprint: the least a Win32 window
// program can be, built with the same compiler and options. One window, one
// message loop, nothing else; it ends when its window is closed.
//
// With --com it also brings up COM (for MixW2's automation object) and a
// DDEML client instance (for MixW's field links); with --window it fills its
// window as the bridge fills its own: 35 text boxes, labels and buttons in a
// bold 8.25 pt font. Together they show how much of the bridge's footprint
// is its window and runtimes, before it does any work of its own.
// clang-format off
#include <windows.h>
#include <ddeml.h>
#include <objbase.h>
// clang-format on

#include <cwchar>

namespace {

LRESULT CALLBACK MinimalProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

HDDEDATA CALLBACK DdeCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return nullptr;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int show) {
    DWORD dde = 0;
    if (std::wcsstr(commandLine, L"--com") != nullptr) {
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
        if (DdeInitializeW(&dde, DdeCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return 1;
    }
    WNDCLASSW wc{};
    wc.hInstance = instance;
    wc.lpfnWndProc = MinimalProc;
    wc.lpszClassName = L"LinkwellMinimal";
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    if (RegisterClassW(&wc) == 0) return 1;
    HWND window =
        CreateWindowExW(0, wc.lpszClassName, L"Minimal", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, 220, 540, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;
    if (std::wcsstr(commandLine, L"--window") != nullptr) {
        const HDC screen = GetDC(nullptr);
        const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        HFONT font = CreateFontW(-MulDiv(825, dpi, 7200), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                                 DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                 DEFAULT_QUALITY, DEFAULT_PITCH, L"MS Sans Serif");
        static constexpr const wchar_t* kClasses[] = {L"EDIT", L"STATIC", L"BUTTON"};
        for (int i = 0; i < 35; ++i) {
            const wchar_t* cls = kClasses[i % 3];
            const DWORD style =
                WS_CHILD | WS_VISIBLE | (i % 3 == 0 ? WS_BORDER | ES_AUTOHSCROLL : 0);
            HWND child = CreateWindowExW(0, cls, L"Frequency", style, 4, 4 + i * 14, 200, 13,
                                         window, nullptr, instance, nullptr);
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
    }
    ShowWindow(window, show);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (dde != 0) {
        DdeUninitialize(dde);
        CoUninitialize();
    }
    return 0;
}
