// The Run entry that starts the tray client at logon.
#pragma once

#include <string>

namespace corv {

class CPreferences;

extern const char* const kRunKey;        // "Software\Microsoft\Windows\CurrentVersion\Run"
extern const char* const kRunValueName;  // "VelmoraCorvan"

// "\"<Home>\corvtray.exe\" /hide"
std::string RunEntryFor(const std::string& home);

// Makes the Run entries agree with LaunchAtStartup.
void syncStartup(const CPreferences& prefs);
// Removes the per-user entry when both the per-user and the all-users entry exist.
void VerifyRunSettings();

}  // namespace corv
