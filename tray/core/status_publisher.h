// Publication of the client's status for other programs: "Status" and "StatusCode" under the
// run-time Settings key (or its client-id subkey) while the tray client runs.
#pragma once

#include <string>

namespace corv {

extern const char* const kStatusKey;  // "Software\Velmora\Corvane\Settings"

// The key that holds the status values: the Settings key, or its subkey named by the id.
std::string StatusKeyPath(const std::string& clientId);

enum class StatusPublication {
    Written,    // both values written (or their failures logged)
    Suspended,  // "Authenticating user at server..." after "Connected": values left alone
    NotOpened,  // the key could not be opened; logged
};

// Logs the status line and writes "Status" and "StatusCode" (HKCU). The caller shows the
// text in the status bar whatever the outcome.
StatusPublication PublishStatus(const std::string& text, const std::string& clientId);

// On the frame's destruction: removes the client-id subkey, or both values without an id.
void RemoveStatusValues(const std::string& clientId);

}  // namespace corv
