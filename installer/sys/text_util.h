// Case-insensitive comparison without allocation, for the hot paths of the description reader.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace corv::inst {

inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool SameBytes(const char* a, const char* b, size_t n) {
    // Names are mostly written as expected, so equal texts are passed over a word at a time:
    // short ones in two overlapping loads, longer ones eight bytes at a time.
    if (n >= 8) {
        uint64_t x, y;
        for (size_t i = 0; i + 8 < n; i += 8) {
            std::memcpy(&x, a + i, 8);
            std::memcpy(&y, b + i, 8);
            if (x != y) return false;
        }
        std::memcpy(&x, a + n - 8, 8);
        std::memcpy(&y, b + n - 8, 8);
        return x == y;
    }
    if (n >= 4) {
        uint32_t x1, y1, x2, y2;
        std::memcpy(&x1, a, 4);
        std::memcpy(&y1, b, 4);
        std::memcpy(&x2, a + n - 4, 4);
        std::memcpy(&y2, b + n - 4, 4);
        return x1 == y1 && x2 == y2;
    }
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

inline bool NoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    if (SameBytes(a.data(), b.data(), a.size())) return true;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

}  // namespace corv::inst
