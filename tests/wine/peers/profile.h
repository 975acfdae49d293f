// The user profile the bridge runs in: the prefix's own, or one the
// scenario asks for (peers profile=non-ascii, profile=long:N). Windows takes
// the local application data folder from the user's shell folders (the
// registry's "Local AppData", which SHGetKnownFolderPath reads), not from the
// environment: the run's is set there, and put back when the run is over
// (or, after a run that could not, when the next one starts). USERPROFILE,
// APPDATA and LOCALAPPDATA are set to match for the bridge.
#pragma once

#include <string>

#include "scenario/scenario.h"

namespace linkwell::win32::peers {

class UserProfile {
public:
    explicit UserProfile(const scenario::PeerSettings& settings);
    ~UserProfile();
    UserProfile(const UserProfile&) = delete;
    UserProfile& operator=(const UserProfile&) = delete;

    // Where the bridge writes its field trace in this profile: in the local
    // application data folder, named with the profile's letters, or as long
    // as not-logged.adi's path. Empty for the prefix's own profile.
    [[nodiscard]] const std::wstring& TracePath() const { return trace_; }

private:
    std::wstring trace_;
    bool set_ = false;
};

}  // namespace linkwell::win32::peers
