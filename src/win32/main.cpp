// linkwell.exe: the bridge window between MixW2 and Logger32.
// clang-format off
#include <windows.h>
#include <objbase.h>
// clang-format on

#include "win32/world.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // MixW2's automation object is called from this, the window's thread.
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    linkwell::win32::WinWorld world(instance);
    world.Start();
    return world.Run();
}
