// Composed texts on Windows go through the C library's own _vsnprintf, whose
// cut text comes back unterminated and whose count is -1 or the size: a text
// that fits only without its terminator must count as cut, and a cut text must
// still end inside its buffer.
#include <gtest/gtest.h>

#include <string.h>

#include "text/text.h"

TEST(FormatText, FitsOnlyWithItsTerminatorAndACutTextEndsInsideItsBuffer) {
    struct Case {
        const char* argument;
        size_t size;
        int result;
        const char* text;
    } cases[] = {
        {"abc", 6, 0, "[abc]"},    // the terminator's byte is the last one
        {"abc", 5, 1, "[abc"},     // the whole text, no room for its terminator
        {"abcdef", 5, 1, "[abc"},  // longer still
        {"", 3, 0, "[]"},
        {"", 2, 1, "["},
        {"abc", 1, 1, ""},
    };
    for (const Case& c : cases) {
        char buffer[16];
        memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(FormatText(buffer, c.size, "[%s]", c.argument), c.result) << c.argument << " " << c.size;
        EXPECT_STREQ(buffer, c.text) << c.argument << " " << c.size;
        EXPECT_EQ(buffer[c.size], 'x') << "wrote past its size: " << c.argument << " " << c.size;
    }
    char untouched = 'x';
    EXPECT_EQ(FormatText(&untouched, 0, "%s", "a"), 1);
    EXPECT_EQ(untouched, 'x');
}
