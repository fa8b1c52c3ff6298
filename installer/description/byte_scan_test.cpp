#include "installer/description/byte_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace corv::inst {
namespace {

// Texts of every length up to a few blocks of sixteen, with the searched bytes scattered over
// block boundaries, compared against a byte-by-byte reference.
std::vector<std::string> Texts() {
    std::mt19937 random(7);
    const std::string alphabet("ab_Z9$|=\r\n \xC4\x80\0", 14);
    std::vector<std::string> texts;
    for (size_t size = 0; size <= 70; ++size)
        for (int variant = 0; variant < 6; ++variant) {
            std::string t(size, 'x');
            for (char& c : t)
                if (random() % 4 == 0) c = alphabet[random() % alphabet.size()];
            texts.push_back(t);
        }
    return texts;
}

bool IsName(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

TEST(ByteScanTest, SearchesAgreeWithByteByByteSearches) {
    for (const std::string& t : Texts()) {
        const char* end = t.data() + t.size();
        size_t lineBreak = t.find_first_of("\r\n");
        EXPECT_EQ(lineBreak == std::string::npos ? t.size() : lineBreak,
                  static_cast<size_t>(FindLineBreak(t.data(), end) - t.data()))
            << t;
        for (size_t from = 0; from <= t.size() + 1; ++from) {
            EXPECT_EQ(from >= t.size() ? std::string::npos : t.find('$', from),
                      FindByte(t, '$', from))
                << t << " from " << from;
            if (from < t.size()) {
                size_t nameEnd = from;
                while (nameEnd < t.size() && IsName(t[nameEnd])) ++nameEnd;
                EXPECT_EQ(nameEnd, NameEnd(t, from)) << t << " from " << from;
            }
        }
        EXPECT_EQ(t.find_first_of("\xC4\x80") == std::string::npos, IsAscii(t)) << t;
        // Texts of several 64-byte rounds, with the odd byte at each place.
        for (const std::string& longer : {t + "[" + t + t, t + t + "\n[" + t + t + "[" + t}) {
            std::vector<std::pair<size_t, size_t>> opens, expectedOpens;
            TextSurvey survey = SurveyText(
                longer, [&](size_t at, size_t lineFeeds) { opens.emplace_back(at, lineFeeds); });
            size_t lineFeeds = 0;
            for (size_t i = 0; i < longer.size(); ++i) {
                if (longer[i] == '[' && (i == 0 || longer[i - 1] == '\n' || longer[i - 1] == '\r'))
                    expectedOpens.emplace_back(i, lineFeeds);
                lineFeeds += longer[i] == '\n';
            }
            EXPECT_EQ(expectedOpens, opens) << longer;
            EXPECT_EQ(lineFeeds, survey.lineFeeds) << longer;
            EXPECT_EQ(!IsAscii(longer), survey.nonAscii) << longer;
            EXPECT_EQ(longer.find('\0') != std::string::npos, survey.nul) << longer;
        }
        std::vector<size_t> bars, expected;
        ForEachByte(t, '|', [&](size_t i) { bars.push_back(i); });
        for (size_t i = 0; i < t.size(); ++i)
            if (t[i] == '|') expected.push_back(i);
        EXPECT_EQ(expected, bars) << t;
        std::vector<uint32_t> expectedMarks;
        for (size_t i = 0; i < t.size(); ++i)
            if (t[i] == '$' || t[i] == '|') expectedMarks.push_back(static_cast<uint32_t>(i));
        // The text at its buffer's start, and after sixteen marks that its last block, read
        // from before the text, must not report.
        const std::string padded = std::string(16, '$') + t;
        for (std::string_view text : {std::string_view(t), std::string_view(padded).substr(16)}) {
            const char* floor = text.data() == t.data() ? t.data() : padded.data();
            std::vector<uint32_t> marks(t.size() + 1, 0xFFFFFFFF);
            marks.resize(FindEach(text, '$', '|', marks.data(), floor));
            EXPECT_EQ(expectedMarks, marks) << t;
        }
    }
}

TEST(ByteScanTest, SurveyCountsEveryLineFeedOfALongText) {
    // Long enough for the per-lane counts to be gathered many times over.
    std::string text(100000, '\n');
    text[0] = '[';
    text[70001] = '[';
    text[99999] = '[';
    std::vector<std::pair<size_t, size_t>> opens;
    TextSurvey survey =
        SurveyText(text, [&](size_t at, size_t lineFeeds) { opens.emplace_back(at, lineFeeds); });
    EXPECT_EQ(99997u, survey.lineFeeds);
    EXPECT_EQ((std::vector<std::pair<size_t, size_t>>{{0, 0}, {70001, 70000}, {99999, 99997}}),
              opens);
    EXPECT_FALSE(survey.nonAscii);
    EXPECT_FALSE(survey.nul);
}

TEST(ByteScanTest, CopyWritesExactlyTheBytesAsked) {
    std::string source;
    for (int i = 0; i < 80; ++i) source.push_back(static_cast<char>('A' + i % 50));
    for (size_t n = 0; n <= 70; ++n) {
        std::string target(90, '#');
        CopyBytes(&target[5], source.data(), n);
        EXPECT_EQ(std::string(5, '#') + source.substr(0, n) + std::string(85 - n, '#'), target)
            << n;
    }
}

}  // namespace
}  // namespace corv::inst
