#include "tray/core/status_text.h"

#include <cstring>

#include "platform/sync.h"
#include "platform/thread.h"
#include "tray/core/messages.h"

namespace corv {

namespace {

Mutex g_mutex;
char g_status[kStatusTextSize];

void StoreLocked(const std::string& text) {
    std::string cut = CutUtf8(text, kStatusTextSize - 1);
    std::memcpy(g_status, cut.data(), cut.size());
    g_status[cut.size()] = '\0';
}

void Post() {
    PostToMain(kMsgSetMessageString, kIdMessageStringParam, 0);
}

}  // namespace

std::string CutUtf8(const std::string& text, size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    size_t n = maxBytes;
    // Step back over continuation bytes (10xxxxxx) to the start of the cut character; a
    // character has at most three, so a longer run is no UTF-8 and is cut where it is.
    for (int back = 0; back < 3 && n > 0; ++back) {
        if ((static_cast<unsigned char>(text[n]) & 0xC0) != 0x80) return text.substr(0, n);
        --n;
    }
    if ((static_cast<unsigned char>(text[n]) & 0xC0) != 0x80) return text.substr(0, n);
    return text.substr(0, maxBytes);
}

void SetStatusText(const std::string& text) {
    {
        std::lock_guard<Mutex> lock(g_mutex);
        StoreLocked(text);
    }
    Post();
}

bool ReplaceStatusText(const std::string& expected, const std::string& text) {
    {
        std::lock_guard<Mutex> lock(g_mutex);
        if (expected != g_status) return false;
        StoreLocked(text);
    }
    Post();
    return true;
}

std::string GetStatusText() {
    std::lock_guard<Mutex> lock(g_mutex);
    return g_status;
}

}  // namespace corv
