#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

#include "platform/text.h"

namespace corv {
namespace {

// Both sides unchecked: the compiler's idea of printf differs by platform, the C library's not.
std::string Printf(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string s = FormatV(fmt, args);
    va_end(args);
    return s;
}

std::string Unchecked(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string s = FormatEscapedV(fmt, args);
    va_end(args);
    return s;
}

TEST(FormatEscapedTest, EveryConversionWithoutControlsMatchesPrintf) {
    long long big = -1234567890123LL;
    double pi = 3.14159;
    int x = 0;
    void* ptr = &x;
    struct Case {
        std::string escaped, printed;
    } cases[] = {
        {Unchecked("%d|%5i|%-5d|%+d|%05d", 42, -7, 3, 9, 12),
         Printf("%d|%5i|%-5d|%+d|%05d", 42, -7, 3, 9, 12)},
        {Unchecked("%u %x %X %#o %08x", 7u, 255u, 255u, 8u, 0xbeefu),
         Printf("%u %x %X %#o %08x", 7u, 255u, 255u, 8u, 0xbeefu)},
        {Unchecked("%hhd %hd %ld %lld %lu %llu", 300, 70000, -5L, big, 6UL, 7ULL),
         Printf("%hhd %hd %ld %lld %lu %llu", 300, 70000, -5L, big, 6UL, 7ULL)},
        {Unchecked("%zu %td %jd %02hx", size_t{9}, ptrdiff_t{-3}, intmax_t{11},
                   static_cast<unsigned short>(0xab)),
         Printf("%zu %td %jd %02hx", size_t{9}, ptrdiff_t{-3}, intmax_t{11},
                static_cast<unsigned short>(0xab))},
        {Unchecked("%5.2f %e %g %G %a %Lf", pi, pi, pi, 1e-20, 1.0, 2.5L),
         Printf("%5.2f %e %g %G %a %Lf", pi, pi, pi, 1e-20, 1.0, 2.5L)},
        {Unchecked("%*d|%-*d|%.*f|%*.*s", 6, 1, 4, 2, 2, pi, 6, 2, "abcdef"),
         Printf("%*d|%-*d|%.*f|%*.*s", 6, 1, 4, 2, 2, pi, 6, 2, "abcdef")},
        {Unchecked("%s|%10s|%-10s|%.3s|%c|100%%", "a", "right", "left", "cut here", 'z'),
         Printf("%s|%10s|%-10s|%.3s|%c|100%%", "a", "right", "left", "cut here", 'z')},
        {Unchecked("%p %ls", ptr, L"wide"), Printf("%p %ls", ptr, L"wide")},
        {Unchecked("plain text, no conversion\n"), "plain text, no conversion\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.printed, c.escaped);
}

TEST(FormatEscapedTest, TextArgumentsStayOnOneLineAndTheFormatKeepsItsOwnLineEnds) {
    const std::string forged = "bob\n[2026-1-1 00:00:00,000]  FAKE LOG LINE";
    EXPECT_EQ("Saving userid: bob\\n[2026-1-1 00:00:00,000]  FAKE LOG LINE\n",
              FormatEscaped("Saving userid: %s\n", forged.c_str()));
    EXPECT_EQ("a\\r\\t\\x1b[31m\\x07\\x7f|\\x01\nnext\n",
              FormatEscaped("%s|%c\nnext\n", "a\r\t\x1b[31m\x07\x7f", 1));
    // Width counts the escaped text; precision cuts the argument before it is escaped.
    EXPECT_EQ("  a\\nb|a\\n", FormatEscaped("%6s|%.2s", "a\nb", "a\nbc"));
    EXPECT_EQ("(null)", Unchecked("%s", static_cast<const char*>(nullptr)));
    // Non-ASCII UTF-8 passes unchanged.
    EXPECT_EQ("C:\\corv\xc3\xa9", FormatEscaped("%s", "C:\\corv\xc3\xa9"));
}

TEST(FormatEscapedTest, FormatStringsInArgumentsAreTextAndPercentNWritesNothing) {
    int count = 12345;
    EXPECT_EQ("%s%n%s%n%x|ab", FormatEscaped("%s|a%nb", "%s%n%s%n%x", &count));
    EXPECT_EQ(12345, count);
    // A cut-off or unknown conversion is shown as written.
    EXPECT_EQ("5 %y 6 %", Unchecked("%d %y %d %", 5, 6));
}

TEST(EscapeControlsTest, ControlsAreEscapedOrFoldedAndOtherTextIsKept) {
    struct {
        const char* in;
        const char* escaped;
        const char* folded;
    } cases[] = {
        {"", "", ""},
        {"Connected to server", "Connected to server", "Connected to server"},
        {"a\nb", "a\\nb", "a b"},
        {"a\r\n\x1b\x07z", "a\\r\\n\\x1b\\x07z", "a z"},
        {"\ttab\x7f", "\\ttab\\x7f", " tab "},
        {"back\\slash \xd0\xba", "back\\slash \xd0\xba", "back\\slash \xd0\xba"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.escaped, EscapeControls(c.in)) << c.in;
        EXPECT_EQ(c.folded, WithoutControls(c.in)) << c.in;
    }
}

}  // namespace
}  // namespace corv
