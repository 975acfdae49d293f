// MixW2's DDE server for the Wine tests, in the stand-in MixW2's process:
// the service "MixW" with its topics (scenario/mixw_items.h), written on raw
// WM_DDE_* messages (Wine's DDEML server acknowledges a request once too
// often). What a link or a request gets is the player's to say (the
// stand-in lives there). Stopping it drops the DDE windows without a
// terminate, as a closing MixW2 does.
#pragma once

// clang-format off
#include <windows.h>
// clang-format on

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace linkwell::win32::peers {

class DdeServer {
public:
    // True: the item's link is made (values come through PostData).
    using Advise = std::function<bool(HWND server, HWND client, const std::string& topic,
                                      const std::string& item)>;
    // True: the item's value is on its way (through PostData as a response).
    using Request = std::function<bool(HWND server, HWND client, const std::string& item)>;
    DdeServer(Advise advise, Request request);
    ~DdeServer();
    DdeServer(const DdeServer&) = delete;
    DdeServer& operator=(const DdeServer&) = delete;

    void Start();
    void Stop();
    // A value of `item` into the conversation, from any thread.
    static void PostData(HWND server, HWND client, const std::string& item,
                         const platform::Text& value, bool response);

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
    [[nodiscard]] Conversation* Find(HWND server);

    static DdeServer* self_;
    Advise advise_;
    Request request_;
    HWND listener_ = nullptr;
    std::vector<Conversation> conversations_;
};

}  // namespace linkwell::win32::peers
