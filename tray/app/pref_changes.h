// Which groups of preferences an accepted dialog changed; each group decides a step of the
// controller's reaction (a sync, a restart).
#pragma once

namespace corv {

class CPreferences;

enum class PrefChange {
    AddressMode,   // SyncMode, LocalIpAddress, the fixed ports
    SyncClient,    // the choice of synchronised messenger or SIP client
    NeedsRestart,  // what the Java client reads only at its start
    Account,       // UserId, Passwd
};

bool PrefsChanged(PrefChange group, const CPreferences& a, const CPreferences& b);

}  // namespace corv
