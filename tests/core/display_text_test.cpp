#include "core/display_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>

namespace refloom {
namespace {

TEST(DisplayText, WellFormedUtf8IsShownAsItIs) {
  for (const std::string text : {"", "plain", "M\xC3\xBCller",
                                 "\xC5\x81ukasz \xC3\x98"
                                 "deg\xC3\xA5rd",
                                 "\xE5\x8C\x97\xE4\xBA\xAC", "\xF0\x9F\x98\x80", "\xCE\xB1\xCE\xB2 \xD0\x96"}) {
    EXPECT_TRUE(is_valid_utf8(text)) << text;
    EXPECT_EQ(utf8_for_display(text), text);
  }
}

TEST(DisplayText, OtherBytesShowAsLatin1Characters) {
  // "Müller" in Latin-1, and a code page 437 u-umlaut (0x81, a C1 control
  // in Latin-1).
  EXPECT_EQ(utf8_for_display("M\xFCller"), "M\xC3\xBCller");
  EXPECT_EQ(utf8_for_display("\x81"), "\xC2\x81");
  EXPECT_EQ(utf8_for_display("\xE9t\xE9"), "\xC3\xA9t\xC3\xA9");
  // A good sequence next to bad bytes keeps its characters.
  EXPECT_EQ(utf8_for_display("\xFF\xC3\xA9\xFF"), "\xC3\xBF\xC3\xA9\xC3\xBF");
}

TEST(DisplayText, MalformedSequencesAreNotTakenForUtf8) {
  const std::string malformed[] = {
      "\xC0\xAF",          // overlong "/"
      "\xE0\x80\xAF",      // overlong
      "\xED\xA0\x80",      // surrogate
      "\xF4\x90\x80\x80",  // beyond U+10FFFF
      "\xC3",              // cut off at the end
      "\xE2\x82",          // cut off
      "\xC3 ",             // continuation missing
      "\x80",              // lone continuation byte
  };
  for (const std::string& text : malformed) {
    EXPECT_FALSE(is_valid_utf8(text));
    const std::string shown = utf8_for_display(text);
    EXPECT_TRUE(is_valid_utf8(shown));
    // Every byte becomes one character: none is lost.
    EXPECT_EQ(shown.size(), text.size() * 2 - static_cast<std::size_t>(std::count(text.begin(), text.end(), ' ')));
  }
  EXPECT_EQ(utf8_for_display("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xC2\x80");
}

TEST(DisplayText, PrefixBytesNeverSplitACharacter) {
  const std::string text =
      "a\xC3\xA9\xE5\x8C\x97\xFF"
      "b";
  EXPECT_EQ(utf8_prefix_bytes(text, 0), 0U);
  EXPECT_EQ(utf8_prefix_bytes(text, 1), 1U);
  EXPECT_EQ(utf8_prefix_bytes(text, 2), 3U);
  EXPECT_EQ(utf8_prefix_bytes(text, 3), 6U);
  EXPECT_EQ(utf8_prefix_bytes(text, 4), 7U);  // a stray byte is one character
  EXPECT_EQ(utf8_prefix_bytes(text, 5), 8U);
  EXPECT_EQ(utf8_prefix_bytes(text, 99), 8U);
}

TEST(DisplayText, LocaleEncodingIsRead) {
  const std::string saved = std::setlocale(LC_CTYPE, nullptr);
  ASSERT_NE(std::setlocale(LC_CTYPE, "C"), nullptr);
  EXPECT_FALSE(locale_is_utf8());
  if (std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr) {
    EXPECT_TRUE(locale_is_utf8());
  }
  std::setlocale(LC_CTYPE, saved.c_str());
}

}  // namespace
}  // namespace refloom
