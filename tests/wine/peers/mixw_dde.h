// MixW2's DDE server for the Wine tests, around the simulated stand-in: the
// service "MixW" with its topics and items (scenario/mixw_items.h), written
// on raw WM_DDE_* messages (Wine's DDEML server acknowledges a request once
// too often). Stopping it drops the DDE windows without a terminate, as a
// closing MixW2 does.
#pragma once

// clang-format off
#include <windows.h>
// clang-format on

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "scenario/mixw_standin.h"

namespace linkwell::win32::peers {

class DdeServer {
public:
    explicit DdeServer(scenario::MixWStandIn& mixw);
    ~DdeServer();
    DdeServer(const DdeServer&) = delete;
    DdeServer& operator=(const DdeServer&) = delete;

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

    static DdeServer* self_;
    scenario::MixWStandIn& mixw_;
    HWND listener_ = nullptr;
    std::vector<Conversation> conversations_;
    // Each started run has its own generation, so links of a stopped run stay silent.
    std::uint64_t generation_ = 0;
};

}  // namespace linkwell::win32::peers
