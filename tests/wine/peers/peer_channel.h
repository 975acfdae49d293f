// What passes between the player (linkwell-peers) and a stand-in that runs
// as a process of its own. The stand-in reports what reached its windows
// with WM_COPYDATA sent to the player's relay window, so the player writes
// the trace in the order the stand-in took things; the player commands the
// stand-in through a control window on a thread of the stand-in's own that
// never hangs, so a hung stand-in can still be told things and asked
// whether it hangs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <thread>

namespace linkwell::win32::peers::channel {

// --- reports: WM_COPYDATA to the relay window, `dwData` says which -------------
enum Report : ULONG_PTR {
    kHello = 1,  // Hello: the stand-in runs and takes commands
    kMessage,    // Message: a registered message reached Logger32's main window
    kText,       // the UTF-16 text a WM_SETTEXT put into Logger32's text window
    kCall,       // Call, then the UTF-16 text argument: a call into MixW2's object
    kAdvise,     // Conversation, then "TOPIC\0ITEM": a hot link asked of MixW's DDE server
    kRequest,    // Conversation, then the item: its value asked of MixW's DDE server
};

struct Hello {
    DWORD pid;
    std::uint64_t control;  // the control window
};

struct Message {
    UINT msg;
    std::uint64_t wParam;
    std::int64_t lParam;
    BOOL sent;  // sent from outside, not posted
};

enum Member : int { kExecuteMacros = 1, kSetQsoData, kFqA, kAudioFq };

struct Call {
    int member;
    int field;  // SetQsoData's
};

struct Conversation {
    std::uint64_t server;
    std::uint64_t client;
};

// --- answers: WM_COPYDATA from the player to MixW2's control window ---------
enum Answer : ULONG_PTR {
    kNumber = 1,  // a double: what FqA or AudioFq returns
    kData,        // Data, then "ITEM\0" and the UTF-16 value: posted into the conversation
};

struct Data {
    Conversation conversation;
    BOOL response;  // the answer to a request, not a link's
};

// --- commands: messages sent to the control window --------------------------
// Makes the stand-in's windows (MixW2: registers its object and opens its
// DDE service); returns Logger32's main window.
inline constexpr UINT kStart = WM_APP + 20;
// Returns Logger32's text window.
inline constexpr UINT kTextWindow = WM_APP + 21;
// wParam: ms. No sent message is answered for that long; posts are
// (MixW2: no call into its object returns for that long).
inline constexpr UINT kHang = WM_APP + 22;
// wParam: ms. Nothing at all is taken for that long.
inline constexpr UINT kBlock = WM_APP + 23;
// wParam: ms. The next logging text is taken, then held that long inside its handler.
inline constexpr UINT kHoldNextLogging = WM_APP + 24;
// Returns how many ms the windows' thread still hangs (0: it answers).
inline constexpr UINT kHungFor = WM_APP + 25;
// Closes the windows (MixW2: its object and DDE service) and ends the
// program as it ends when closed; answered once the windows are gone.
inline constexpr UINT kClose = WM_APP + 26;
// MixW2 ended while a call hangs in it that does not come back: its object
// and DDE windows go, the call goes on waiting.
inline constexpr UINT kAbandon = WM_APP + 27;
// Logger32's text window closed while its main window lives on (not a hung
// text window); answered once it is gone.
inline constexpr UINT kCloseTextWindow = WM_APP + 28;
// A new text window; returns it (null with a hung text window, or closed).
inline constexpr UINT kNewTextWindow = WM_APP + 29;

// A stand-in's control thread: a message-only window of `windowClass` on a
// thread of its own that takes the player's commands, also while the
// stand-in's other threads hang. Returns once the window is made.
inline HWND StartControlThread(const wchar_t* windowClass) {
    HWND made = nullptr;
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread([ready, windowClass, &made] {
        made = CreateWindowExW(0, windowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
        SetEvent(ready);
        MSG m;
        while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
    }).detach();
    WaitForSingleObject(ready, INFINITE);
    CloseHandle(ready);
    return made;
}

inline constexpr wchar_t kRelayClass[] = L"LinkwellPeersRelay";
inline constexpr wchar_t kMixWRelayClass[] = L"LinkwellPeersMixWRelay";

}  // namespace linkwell::win32::peers::channel
