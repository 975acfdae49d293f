// MixW2 for the Wine tests, around the simulated stand-in: its automation
// object registered in the running-object table as "MixW2.Application",
// and a DDE server "MixW" written on raw WM_DDE_* messages (topics QSO and
// CAT). Stopping it revokes the object, cuts every proxy off and drops the
// DDE windows without a terminate, as a closing MixW2 does.
#pragma once

// clang-format off
#include <windows.h>
#include <objbase.h>
#include <oaidl.h>
// clang-format on

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "scenario/mixw_standin.h"

namespace linkwell::win32::peers {

// The class id the test prefix registers for the ProgID.
inline constexpr CLSID kMixWClsid = {
    0x6a1f3c52, 0x2b7e, 0x4d0a, {0x9c, 0x3b, 0x5e, 0x8d, 0x7f, 0x2a, 0x1b, 0x40}};

class MixWServer {
public:
    // `beforeCall` runs first in every call from the bridge (the peers
    // catch up with what the bridge posted before it called).
    MixWServer(scenario::MixWStandIn& mixw, std::function<void()> beforeCall);
    ~MixWServer();
    MixWServer(const MixWServer&) = delete;
    MixWServer& operator=(const MixWServer&) = delete;

    void Start();
    void Stop();

private:
    struct Conversation {
        HWND server;
        HWND client;
        std::string topic;  // lower case
    };
    static LRESULT CALLBACK ListenProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK ConversationProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Initiate(HWND client, LPARAM lParam);
    void OnConversation(HWND server, UINT msg, WPARAM wParam, LPARAM lParam);
    void PostData(HWND server, HWND client, const std::string& item, const platform::Text& value,
                  bool response);
    [[nodiscard]] Conversation* Find(HWND server);

    static MixWServer* self_;
    scenario::MixWStandIn& mixw_;
    std::function<void()> beforeCall_;
    HWND listener_ = nullptr;
    std::vector<Conversation> conversations_;
    // Each started run has its own generation, so links of a stopped run stay silent.
    std::uint64_t generation_ = 0;
    IDispatch* object_ = nullptr;
    DWORD cookie_ = 0;
};

}  // namespace linkwell::win32::peers
