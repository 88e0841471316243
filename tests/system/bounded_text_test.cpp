#include "system/bounded_text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Case {
    const char* first;
    const char* second;
    size_t size;
    const char* expected;
    bool whole;
};

const Case kJoins[] = {
    {"C:\\T\\", "setup.ini", 32, "C:\\T\\setup.ini", true},
    {"C:\\T\\", "setup.ini", 15, "C:\\T\\setup.ini", true},
    {"C:\\T\\", "setup.ini", 14, "C:\\T\\setup.in", false},
    {"C:\\T\\", "setup.ini", 5, "C:\\T", false},
    {"C:\\T\\", "setup.ini", 1, "", false},
    {"", "", 1, "", true},
    {"abc", "", 4, "abc", true},
};

TEST(BoundedText, JoinsWithinTheBufferAndTellsWhetherItFitted) {
    for (const Case& c : kJoins) {
        char buffer[40];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(JoinBoundedText(buffer, c.size, c.first, c.second), c.whole) << c.expected;
        EXPECT_STREQ(buffer, c.expected);
        for (size_t i = c.size; i < sizeof buffer; ++i) {
            ASSERT_EQ(buffer[i], 'x') << "wrote beyond " << c.size << " bytes";
        }
    }
}

TEST(BoundedText, AppendsToWhatIsThere) {
    char path[8] = "C:\\A";
    EXPECT_TRUE(AppendBoundedText(path, sizeof path, "\\"));
    EXPECT_STREQ(path, "C:\\A\\");
    EXPECT_FALSE(AppendBoundedText(path, sizeof path, "long"));
    EXPECT_STREQ(path, "C:\\A\\lo");
    EXPECT_FALSE(AppendBoundedText(path, sizeof path, "x"));
    EXPECT_STREQ(path, "C:\\A\\lo");
}

TEST(BoundedText, CopiesOverlappingText) {
    char text[16] = "abcdef";
    EXPECT_TRUE(CopyBoundedText(text, sizeof text, text + 2));
    EXPECT_STREQ(text, "cdef");
}

// Only ASCII letters fold: a byte of another code page stays what it is.
TEST(AsciiCase, FoldsOnlyAsciiLetters) {
    struct Row {
        const char* a;
        const char* b;
        bool equal;
    };
    for (const Row& r :
         {Row{"Shell_Items", "shell_items", true}, Row{"file_1", "FILE_1", true},
          Row{"\xC4", "\xE4", false}, Row{"abc", "abcd", false}, Row{"a[b", "A{b", false}}) {
        EXPECT_EQ(EqualIgnoringAsciiCase(r.a, strlen(r.a), r.b, strlen(r.b)), r.equal) << r.a;
    }
}

} // namespace
