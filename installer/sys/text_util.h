// Case-insensitive comparison without allocation, for the hot paths of the description reader.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace corv::inst {

inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool NoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    // Names are mostly written as expected: equal words are passed over eight bytes at a time.
    if (a.size() >= 4 && a.size() <= 8) {
        uint32_t x1, y1, x2, y2;
        std::memcpy(&x1, a.data(), 4);
        std::memcpy(&y1, b.data(), 4);
        std::memcpy(&x2, a.data() + a.size() - 4, 4);
        std::memcpy(&y2, b.data() + b.size() - 4, 4);
        if (x1 == y1 && x2 == y2) return true;
    }
    size_t i = 0;
    for (; i + 8 <= a.size(); i += 8) {
        uint64_t x, y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y) break;
    }
    for (; i < a.size(); ++i)
        if (a[i] != b[i] && AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

}  // namespace corv::inst
