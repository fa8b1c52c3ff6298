// The active settings (local address, SIP and SOCKS ports) published in the registry while
// the Java client runs, under Settings or its subkey named after the client identity.
#pragma once

#include <string>

namespace corv {

class CPreferences;

extern const char* const kSettingsKeyPath;  // "SOFTWARE\Velmora\Corvane\Settings"

// The Settings key, or its subkey for the identity when there is one.
std::string SettingsKeyFor(const std::string& clientId);

void SetActiveSettings(const CPreferences& prefs, const std::string& clientId);
// Only without an identity: a second instance must not remove the first one's values.
void DeleteActiveSettings(const std::string& clientId);

}  // namespace corv
