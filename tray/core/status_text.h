// The process-wide status text: the latest state the Java client or the tray program reported.
// Any thread sets it; the main frame reads it when the status message arrives.
#pragma once

#include <cstddef>
#include <string>

namespace corv {

constexpr size_t kStatusTextSize = 256;  // the buffer, with its terminating zero

// Copies the text (cut to 255 bytes, never inside a UTF-8 character) and posts the status
// message to the main window. Without a main window nothing is posted.
void SetStatusText(const std::string& text);
// Sets the text only when the current one is exactly `expected`, in one step, so that a newer
// text from another thread is never overwritten by a stale decision. True when it was set.
bool ReplaceStatusText(const std::string& expected, const std::string& text);
std::string GetStatusText();

// The first bytes of a text, at most maxBytes, ending on a UTF-8 character boundary.
std::string CutUtf8(const std::string& text, size_t maxBytes);

}  // namespace corv
