// The restart counter: an address that keeps coming and going must not restart the program
// without end. At most three reconnects count until an hour has passed since the last one;
// the count lives in the registry ("nrestarts", "lastrestart" under the Settings key) because
// every reconnect is a new process.
#pragma once

#include <cstdint>
#include <vector>

namespace corv {

constexpr uint32_t kMaxRestarts = 3;
constexpr int64_t kRestartWindowSeconds = 3600;

// Counts a reconnect and answers whether it may happen. Any registry failure refuses.
bool ReconnectIsAllowed();

// "lastrestart": eight bytes, the time as a 64-bit little-endian number, so that bytes 0 to 3
// are the 32-bit seconds since 1970 that older copies read.
std::vector<uint8_t> EncodeRestartTime(int64_t secondsSince1970);
// Reads bytes 0 to 3 as the time nearest `now` with those low 32 bits, which stays right after
// 2038 as long as the stored time lies within 68 years of now.
int64_t DecodeRestartTime(const std::vector<uint8_t>& bytes, int64_t now);

}  // namespace corv
