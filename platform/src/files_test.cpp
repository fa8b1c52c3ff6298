#include "platform/files.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/errors.h"

namespace corv {
namespace {

// A read that fails part way reports the failure: a truncated description must not parse as
// a complete one.
TEST(FilesTest, AReadThatFailsPartWayIsNoSuccess) {
    auto reader = [](std::vector<long> results) {
        return [results, i = size_t(0)](char* buffer, size_t, size_t* got) mutable -> long {
            long rc = i < results.size() ? results[i++] : 0;
            *got = rc < 0 ? 3 : 0;  // a negative entry: three bytes
            if (rc < 0) std::memcpy(buffer, "abc", 3);
            return rc < 0 ? 0 : rc;
        };
    };
    std::string text = "untouched";
    long error = 0;
    EXPECT_FALSE(ReadAllChunks(reader({-1, -1, kErrAccessDenied}), &text, &error));
    EXPECT_EQ("untouched", text);
    EXPECT_EQ(kErrAccessDenied, error);
    text.clear();
    EXPECT_TRUE(ReadAllChunks(reader({-1, -1, 0}), &text, &error));
    EXPECT_EQ("abcabc", text);
}

}  // namespace
}  // namespace corv
