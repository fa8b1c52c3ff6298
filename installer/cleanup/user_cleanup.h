// Removes the product's per-user settings for every user of the machine, so that an
// installation for all users does not run beside settings left from a per-user one.
#pragma once

#include <string>

#include "platform/session.h"

namespace corv::inst {

// The traces, per user.
constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunValue = "VelmoraCorvan";
constexpr const char* kUserKeys[] = {"SOFTWARE\\JavaSoft\\Prefs\\corvane", "SOFTWARE\\Velmora"};
constexpr const char* kProfileListKey =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

// The token call a hive load needs; tests put in their own.
class TokenControl {
  public:
    virtual ~TokenControl() = default;
    virtual long EnablePrivilege(const std::string& name, TokenStep* failed);
};
TokenControl& SystemToken();

// The cleanup, logged between "Cleaning up registry...\n" and "...finished cleaning up
// registry\n" (or "...there were errors during registry cleanup\n"):
// - the current user: only the Run value, under HKEY_CURRENT_USER;
// - every other user account of the profile list (`mySid`, the installing user's textual
//   SID, is passed over): the Run value and the two keys with everything below them, in the
//   user's hive under HKEY_USERS. A hive that is not loaded is loaded from the profile's
//   "ntuser.dat" for the cleanup and unloaded again.
// Without `mySid` the other profiles are left alone, since the installing user's own hive
// could not be told from theirs. Failures are logged and passed over; false when any
// occurred.
bool CleanupAllUsers(const std::string& mySid, TokenControl& token = SystemToken());

}  // namespace corv::inst
