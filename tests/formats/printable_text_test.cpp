// Outside text as a person or a JSON reader gets it.
#include "formats/printable_text.h"

#include <gtest/gtest.h>

namespace vz {
namespace {

TEST(PrintableText, ControlsAndBrokenUtf8BecomeVisibleEscapes) {
    // A USB product name that would hide the rest of a terminal's line.
    EXPECT_EQ(PrintableText("FT232R\x1B[8m secret"), "FT232R\\x1B[8m secret");
    EXPECT_EQ(PrintableText("a\tb\r\n\x7F"), "a\\x09b\\x0D\\x0A\\x7F");
    EXPECT_EQ(PrintableText(std::string_view("a\0b", 3)), "a\\x00b");
    // C1 CSI and a right-to-left override, valid UTF-8 though they are.
    EXPECT_EQ(PrintableText("\xC2\x9B"
                            "2J \xE2\x80\xAE"
                            "cba"),
              "\\u009B2J \\u202Ecba");
    // A lone continuation byte, an overlong '/', a surrogate, a cut sequence.
    EXPECT_EQ(PrintableText("\x80 \xC0\xAF \xED\xA0\x80 \xE2\x82"),
              "\\x80 \\xC0\\xAF \\xED\\xA0\\x80 \\xE2\\x82");
    // Valid text stays as it is, backslashes included.
    EXPECT_EQ(PrintableText("Caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x94\x8C C:\\x"),
              "Caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x94\x8C C:\\x");
    EXPECT_EQ(PrintableText(""), "");
}

TEST(PrintableText, CutsBetweenCharactersAndEscapesWithinTheBound) {
    EXPECT_EQ(PrintableText("abcdef", 6), "abcdef");
    EXPECT_EQ(PrintableText("abcdefg", 6), "abc\xE2\x80\xA6");
    // "é" would end at byte 6: it goes whole, the ellipsis takes its place.
    EXPECT_EQ(PrintableText("ab\xC3\xA9\xC3\xA9xyz", 7), "ab\xC3\xA9\xE2\x80\xA6");
    EXPECT_EQ(PrintableText("ab\x1B\x1B", 8), "ab\xE2\x80\xA6");
    EXPECT_EQ(PrintableText("abcdef", 2), "");
    // A huge input is cut as soon as the bound is reached.
    EXPECT_EQ(PrintableText(std::string(1'000'000, '\x1B'), 12), "\\x1B\\x1B\xE2\x80\xA6");
}

TEST(JsonString, EscapesEverythingJsonRequiresAndReplacesBrokenBytes) {
    EXPECT_EQ(JsonString("say \"hi\"\\"), "\"say \\\"hi\\\"\\\\\"");
    EXPECT_EQ(JsonString("\x1B[8m\t\x7F\xC2\x85"), "\"\\u001b[8m\\u0009\\u007f\\u0085\"");
    EXPECT_EQ(JsonString("\xFF"
                         "ok\xE2\x82"),
              "\"\\ufffdok\\ufffd\\ufffd\"");
    EXPECT_EQ(JsonString("Caf\xC3\xA9"), "\"Caf\xC3\xA9\"");
    EXPECT_EQ(JsonString(""), "\"\"");
}

} // namespace
} // namespace vz
