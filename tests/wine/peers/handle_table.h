// A process's handles by object type, read from the system's handle table
// (NtQuerySystemInformation): Wine answers GetProcessHandleCount with 0.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <map>
#include <optional>
#include <vector>

namespace linkwell::win32::peers {

// Empty when the table cannot be read.
inline std::optional<std::map<int, unsigned long>> HandlesByType(DWORD pid) {
    struct Entry {
        ULONG ownerPid;
        BYTE objectType;
        BYTE flags;
        USHORT value;
        PVOID object;
        ULONG access;
    };
    struct Table {
        ULONG count;
        Entry entries[1];
    };
    using QuerySystem = LONG(WINAPI*)(int, PVOID, ULONG, PULONG);
    constexpr int kSystemHandleInformation = 16;
    constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
    const auto query = reinterpret_cast<QuerySystem>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) return std::nullopt;
    std::vector<unsigned char> buffer(1 << 16);
    LONG status = kLengthMismatch;
    for (int tries = 0; status == kLengthMismatch && tries < 8; ++tries) {
        ULONG needed = 0;
        status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                       &needed);
        if (status == kLengthMismatch)
            buffer.resize(std::max<std::size_t>(needed, buffer.size() * 2));
    }
    if (status != 0) return std::nullopt;
    const auto* table = reinterpret_cast<const Table*>(buffer.data());
    const std::size_t room = (buffer.size() - offsetof(Table, entries)) / sizeof(Entry);
    std::map<int, unsigned long> byType;
    for (std::size_t i = 0; i < std::min<std::size_t>(table->count, room); ++i) {
        if (table->entries[i].ownerPid == pid) ++byType[table->entries[i].objectType];
    }
    return byType;
}

}  // namespace linkwell::win32::peers
