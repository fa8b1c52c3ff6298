#include "tray/net/restart_counter.h"

#include "platform/clock.h"
#include "platform/registry.h"
#include "tray/core/log_file.h"
#include "tray/settings/active_settings.h"

namespace corv {

std::vector<uint8_t> EncodeRestartTime(int64_t secondsSince1970) {
    std::vector<uint8_t> bytes(8);
    uint64_t v = static_cast<uint64_t>(secondsSince1970);
    for (size_t i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(v >> (8 * i));
    return bytes;
}

int64_t DecodeRestartTime(const std::vector<uint8_t>& bytes, int64_t now) {
    uint32_t low = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                   (static_cast<uint32_t>(bytes[2]) << 16) |
                   (static_cast<uint32_t>(bytes[3]) << 24);
    const int64_t span = int64_t(1) << 32;
    int64_t t = (now & ~(span - 1)) | low;
    if (t - now > span / 2) t -= span;
    if (now - t > span / 2) t += span;
    return t;
}

namespace {

bool Allowed(CLogFile& log) {
    RegKey key;
    if (key.Create(RegRoot::CurrentUser, kSettingsKeyPath, kRegReadWrite) != kOk) return false;
    uint32_t count = 0;
    if (key.QueryDword("nrestarts", &count) != kOk) count = 0;
    log.Log("\nnrestarts: %d\n", static_cast<int>(count));
    const int64_t now = Clock().Now();
    // A count that cannot be written would allow reconnects without end.
    if (count < kMaxRestarts) {
        if (key.SetDword("nrestarts", count + 1) != kOk) return false;
        log.Log("current time: %lld\n", static_cast<long long>(now));
        return key.SetBinary("lastrestart", EncodeRestartTime(now)) == kOk;
    }
    RegValue stored;
    if (key.QueryValue("lastrestart", &stored) != kOk || stored.type != RegType::Binary ||
        stored.data.size() != 8) {
        // Without a time of its own the hour could never pass: it starts now.
        key.SetBinary("lastrestart", EncodeRestartTime(now));
        return false;
    }
    int64_t last = DecodeRestartTime(stored.data, now);
    log.Log("lastrestart: %lld\n", static_cast<long long>(last));
    log.Log("current time: %lld\n", static_cast<long long>(now));
    if (last > now) {
        // The clock was set back: the hour starts now rather than at the future time.
        key.SetBinary("lastrestart", EncodeRestartTime(now));
        return false;
    }
    if (last + kRestartWindowSeconds >= now) return false;
    return key.SetDword("nrestarts", 1) == kOk &&
           key.SetBinary("lastrestart", EncodeRestartTime(now)) == kOk;
}

}  // namespace

bool ReconnectIsAllowed() {
    CLogFile& log = TheLog();
    try {
        return Allowed(log);
    } catch (...) {
        log.Log("Caught exception in CConfigMgr::ReconnectIsAllowed()\n");
        return false;
    }
}

}  // namespace corv
