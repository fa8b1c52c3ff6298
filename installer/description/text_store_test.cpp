#include "installer/description/text_store.h"

#include <gtest/gtest.h>

#include <string>

namespace corv::inst {
namespace {

TEST(TextStoreTest, KeptTextsOutliveTheStoreThatKeptThem) {
    std::string_view first, large;
    TextStore copy;
    {
        TextStore store;
        first = store.Keep("first");
        large = store.Keep(std::string(100000, 'L'));  // larger than a block
        EXPECT_TRUE(store.Keep("").empty());
        copy = store;
    }
    EXPECT_EQ("first", first);
    EXPECT_EQ(std::string(100000, 'L'), large);
    // The copy keeps its own texts apart: the shared blocks are never written again.
    std::string_view added = copy.Keep("added");
    EXPECT_EQ("first", first);
    EXPECT_EQ("added", added);
}

TEST(TextStoreTest, CopiesAndSharedStoresWriteIntoBlocksOfTheirOwn) {
    TextStore a;
    a.Reserve(1000);
    std::string_view one = a.Keep("one");
    TextStore b(a);
    std::string_view fromB = b.Keep("BBBB");
    std::string_view fromA = a.Keep("AAAA");
    EXPECT_EQ("one", one);
    EXPECT_EQ("BBBB", fromB);
    EXPECT_EQ("AAAA", fromA);

    std::string_view other;
    {
        TextStore temporary;
        other = temporary.Keep("other");
        a.Share(temporary);
    }
    EXPECT_EQ("other", other);

    TextStore moved(std::move(a));
    EXPECT_EQ("AAAA", fromA);
    EXPECT_EQ("x", a.Keep("x"));  // a moved-from store starts afresh
}

}  // namespace
}  // namespace corv::inst
