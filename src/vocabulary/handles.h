// The windows a trace names by name instead of by number: an lParam that is
// one of them is written hwnd:NAME, in scenarios and in traces alike.
#pragma once

#include <string_view>

namespace linkwell::vocabulary {

inline constexpr std::string_view kHandlePrefix = "hwnd:";

inline constexpr std::string_view kLinkwellHandle = "Linkwell";  // the bridge window
inline constexpr std::string_view kSentHandle = "Sent";          // the box Logger32 writes into
inline constexpr std::string_view kClusterHandle = "Cluster";  // the other box Logger32 writes into
inline constexpr std::string_view kLogger32Handle = "Logger32";          // Logger32's main window
inline constexpr std::string_view kLogger32TextHandle = "Logger32Text";  // and its text window

inline constexpr std::string_view kHandleNames[] = {kLinkwellHandle, kSentHandle, kClusterHandle,
                                                    kLogger32Handle, kLogger32TextHandle};

}  // namespace linkwell::vocabulary
