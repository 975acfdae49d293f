// A measuring build's field links (scripts/bench-wine-split, never
// shipped): what DDEML and the thirteen links cost, found by MixW refusing
// every one without DDEML ever begun. Linked in place of
// src/win32/dde_client.cpp.
#include "win32/dde_client.h"

namespace linkwell::win32 {

DdeLinks* DdeLinks::instance_ = nullptr;

DdeLinks::~DdeLinks() = default;

platform::LinkStatus DdeLinks::Activate(const platform::LinkTarget& target, LinkSink sink,
                                        std::optional<platform::Text>& now) {
    (void)target;
    (void)sink;
    (void)now;
    return platform::LinkStatus::Refused;
}

bool DdeLinks::Connected() {
    return true;
}

void DdeLinks::CloseAll() {}

}  // namespace linkwell::win32
