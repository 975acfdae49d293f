// The window classes of the peers' own windows, in one place.
#pragma once

namespace linkwell::win32::peers {

inline constexpr wchar_t kLogger32Class[] = L"LinkwellPeersLogger32";
inline constexpr wchar_t kLogger32TextClass[] = L"LinkwellPeersLogger32Text";
inline constexpr wchar_t kHungTextClass[] = L"LinkwellPeersHungText";
inline constexpr wchar_t kMixWDdeListenClass[] = L"LinkwellPeersMixWDde";
inline constexpr wchar_t kMixWDdeConversationClass[] = L"LinkwellPeersMixWConversation";
inline constexpr wchar_t kWatchWindowClass[] = L"LinkwellPeersWatch";

}  // namespace linkwell::win32::peers
