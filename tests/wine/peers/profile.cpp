#include "peers/profile.h"

#include <windows.h>

#include <algorithm>
#include <iostream>
#include <vector>

namespace linkwell::win32::peers {
namespace {

constexpr wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr wchar_t kLocalAppData[] = L"Local AppData";
// Where the prefix's own value waits while a run has another in place.
constexpr wchar_t kSavedKey[] = L"Software\\Linkwell peers";
// "\Linkwell\not-logged.adi" after the local application data folder.
constexpr std::size_t kNotLoggedTail = 24;

struct Value {
    DWORD type = REG_EXPAND_SZ;
    std::vector<BYTE> data;
};

bool Read(const wchar_t* key, const wchar_t* name, Value& out) {
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY | RRF_NOEXPAND, &out.type, nullptr,
                     &size) != ERROR_SUCCESS) {
        return false;
    }
    out.data.resize(size);
    return RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY | RRF_NOEXPAND, &out.type,
                        out.data.data(), &size) == ERROR_SUCCESS;
}

void Write(const wchar_t* key, const wchar_t* name, const Value& v) {
    HKEY k = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExW(k, name, 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    RegCloseKey(k);
}

Value Text(const std::wstring& text) {
    Value v;
    v.type = REG_SZ;
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    v.data.assign(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
    return v;
}

// A run that ended without putting the prefix's own folder back leaves it
// saved: it goes back first.
void PutBackSaved() {
    Value saved;
    if (!Read(kSavedKey, kLocalAppData, saved)) return;
    Write(kShellFolders, kLocalAppData, saved);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kSavedKey, kLocalAppData);
}

// Every folder of the path, from its drive on.
void MakeFolders(const std::wstring& path) {
    for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos;
         at = path.find(L'\\', at + 1)) {
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    }
    CreateDirectoryW(path.c_str(), nullptr);
}

// Folders of up to 60 letters under `base` until not-logged.adi's path
// (`base` plus them plus kNotLoggedTail) is `length` long.
std::wstring Lengthened(std::wstring base, std::size_t length) {
    while (base.size() + kNotLoggedTail < length) {
        std::size_t add = std::min<std::size_t>(length - kNotLoggedTail - base.size(), 61);
        // Never a lone backslash left for the last one.
        if (length - kNotLoggedTail - base.size() - add == 1) --add;
        base += L"\\" + std::wstring(add - 1, L'd');
    }
    return base;
}

}  // namespace

UserProfile::UserProfile(const scenario::PeerSettings& settings) {
    using Profile = scenario::PeerSettings::Profile;
    PutBackSaved();
    if (settings.profile == Profile::Usual) return;
    std::wstring profile;
    std::wstring local;
    if (settings.profile == Profile::NonAscii) {
        // Jürgen Ørsted Алексей 山田
        profile =
            L"C:\\users\\J\u00fcrgen \u00d8rsted \u0410\u043b\u0435\u043a\u0441\u0435\u0439 "
            L"\u5c71\u7530";
        local = profile + L"\\AppData\\Local";
        // Ablauf Журнал 記録.trace
        trace_ = local + L"\\Ablauf \u0416\u0443\u0440\u043d\u0430\u043b \u8a18\u9332.trace";
    } else {
        profile = L"C:\\users\\Linkwell long profile";
        local = Lengthened(profile + L"\\AppData\\Local",
                           static_cast<std::size_t>(settings.notLoggedPathLength));
        // As long as not-logged.adi's path.
        trace_ = local + L"\\linkwell-stations.trace";
    }
    MakeFolders(local);
    MakeFolders(profile + L"\\AppData\\Roaming");
    Value own;
    if (!Read(kShellFolders, kLocalAppData, own)) {
        std::cerr << "linkwell-peers: the user's local application data folder is not known\n";
        return;
    }
    Write(kSavedKey, kLocalAppData, own);
    Write(kShellFolders, kLocalAppData, Text(local));
    set_ = true;
    SetEnvironmentVariableW(L"USERPROFILE", profile.c_str());
    SetEnvironmentVariableW(L"APPDATA", (profile + L"\\AppData\\Roaming").c_str());
    SetEnvironmentVariableW(L"LOCALAPPDATA", local.c_str());
    DeleteFileW(trace_.c_str());
}

UserProfile::~UserProfile() {
    if (set_) PutBackSaved();
}

}  // namespace linkwell::win32::peers
