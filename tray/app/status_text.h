// The latest status text of the client, shared by every thread, and its classification.
#pragma once

#include <string>

namespace corv {

constexpr size_t kStatusTextBytes = 256;  // at most 255 characters are kept

// Stores the text (cut to 255 bytes) and posts the status message to the main window.
// Callable from any thread; the later text wins.
void SetStatusText(const std::string& text);
std::string GetStatusText();

// The short status code of a status text ("Connected", "ErrorDisabled", ...). Logs its result.
std::string ParseStatusCode(const std::string& text);

}  // namespace corv
