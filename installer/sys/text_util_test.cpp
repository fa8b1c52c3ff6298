#include "installer/sys/text_util.h"

#include <gtest/gtest.h>

#include <string>

namespace corv::inst {
namespace {

bool ReferenceNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

// Every pair of byte values, at the start, middle and end of texts short and long (the
// word-wise paths start at four and eight bytes), compared with a byte-by-byte reference:
// only A-Z and a-z match across case; '@', '[', '`', '{' and bytes from 0x80 on match only
// themselves.
TEST(TextUtilTest, NoCaseMatchesOnlyLettersAcrossCase) {
    for (size_t size : {1u, 3u, 4u, 7u, 8u, 9u, 12u, 16u, 17u, 23u}) {
        for (size_t at : {size_t{0}, size / 2, size - 1}) {
            std::string a(size, 'k'), b(size, 'K');
            for (int x = 0; x < 256; ++x) {
                for (int y = 0; y < 256; ++y) {
                    a[at] = static_cast<char>(x);
                    b[at] = static_cast<char>(y);
                    ASSERT_EQ(ReferenceNoCase(a, b), NoCase(a, b))
                        << "size " << size << " at " << at << " bytes " << x << " " << y;
                }
            }
        }
    }
    EXPECT_TRUE(NoCase("StartMenuProgramsFolder", "STARTMENUPROGRAMSFOLDER"));
    EXPECT_FALSE(NoCase("StartMenuProgramsFolder", "StartMenuProgramsFolde"));
}

}  // namespace
}  // namespace corv::inst
