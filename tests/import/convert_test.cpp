#include <gtest/gtest.h>

#include <string>

#include "import/convert.h"
#include "import/reference_setters.h"

namespace refloom {
namespace {

std::string converted(std::string line, std::size_t offset = 0) { return std::string(convert_line(line, offset)); }

TEST(ConvertLine, ReplacesLettersQuoteAndPercent) {
  EXPECT_EQ(converted("Gr\x81n \"x\" 5%"), "Gr{\\\"u}n {\"}x{\"} 5\\%");
  EXPECT_EQ(converted("\x81\x82\x84\x8A\x8E\x94\x9A\xE1"), "{\\\"u}{\\'e}{\\\"a}{\\`e}{\\\"A}{\\\"o}{\\\"U}{\\ss}");
  // Other code page 437 bytes, and NUL, pass through.
  EXPECT_EQ(converted(std::string("\x99\xff\x80\x7f\x00z", 6)), std::string("\x99\xff\x80\x7f\x00z", 6));
}

TEST(ConvertLine, CarriageReturnAndLineFeedEndTheText) {
  EXPECT_EQ(converted("Smith J\r"), "Smith J");
  EXPECT_EQ(converted("before\rafter"), "before");
  EXPECT_EQ(converted("before\nafter"), "before");
  EXPECT_EQ(converted("\r"), "");
}

TEST(ConvertLine, ConvertsTheWholeLineAndReturnsTheTextFromTheOffset) {
  std::string line = "TI  - 5%";
  EXPECT_EQ(convert_line(line, 6), "5\\%");
  EXPECT_EQ(line, "TI  - 5\\%");
  // The offset counts in the converted line.
  EXPECT_EQ(converted("TI \"- abc", 6), "- abc");
  EXPECT_EQ(converted("TI  -", 6), "");
  EXPECT_EQ(converted("TI  - ", 6), "");
  EXPECT_EQ(converted("", 6), "");
}

TEST(ConvertLine, StopsOnceMoreThan2994CharactersStand) {
  EXPECT_EQ(converted(std::string(1000, '"')), [] {
    std::string expected;
    for (int i = 0; i < 999; ++i) expected += "{\"}";
    return expected;
  }());
  EXPECT_EQ(converted(std::string(3100, 'a')), std::string(2995, 'a'));
  // At exactly 2994 characters one more replacement still goes in whole.
  EXPECT_EQ(converted(std::string(2994, 'a') + "\x81" + "bc"), std::string(2994, 'a') + "{\\\"u}");
  EXPECT_EQ(converted(std::string(2995, 'a') + "\x81"), std::string(2995, 'a'));
  EXPECT_EQ(converted(std::string(2992, 'a') + "%%%"), std::string(2992, 'a') + "\\%\\%");
  EXPECT_EQ(converted(std::string(2993, 'a') + "%%%"), std::string(2993, 'a') + "\\%");
  EXPECT_EQ(converted(std::string(1 << 20, 'x')).size(), 2995U);
}

TEST(ConvertName, Examples) {
  EXPECT_EQ(convert_name("Smith JA"), "Smith, J. A.");
  EXPECT_EQ(convert_name("Smith J"), "Smith, J.");
  EXPECT_EQ(convert_name("van der Berg AB"), "van der Berg, A. B.");
  EXPECT_EQ(convert_name("De la Cruz M"), "De la Cruz, M.");
  EXPECT_EQ(convert_name("Smith JA Jr"), "Smith, Jr., J. A.");
  EXPECT_EQ(convert_name("Smith Jr"), "Smith, Jr.");
  EXPECT_EQ(convert_name("Muller Th"), "Muller, Th.");
  EXPECT_EQ(convert_name("Smith"), "Smith ");
  EXPECT_EQ(convert_name("Smith John"), "Smith John ");
  EXPECT_EQ(convert_name("Smith J.-P."), "Smith, J.");
  EXPECT_EQ(convert_name(""), "");
}

TEST(ConvertName, WordRules) {
  // Separators: blanks, commas, full stops, in runs.
  EXPECT_EQ(convert_name("  Smith,, J..A. "), "Smith, J. A.");
  EXPECT_EQ(convert_name("VAN DU Smith"), "VAN DU Smith ");
  EXPECT_EQ(convert_name("VON Smith A"), "VON Smith, A.");
  EXPECT_EQ(convert_name("dos Santos A"), "dos Santos, A.");
  EXPECT_EQ(convert_name("Smith JR"), "Smith, Jr.");
  EXPECT_EQ(convert_name("Smith jr A"), "Smith, Jr., A.");
  EXPECT_EQ(convert_name("Th Smith"), "Smith, Th.");
  EXPECT_EQ(convert_name("Th"), "Th.");
  EXPECT_EQ(convert_name("TH Smith"), "TH Smith ");
  EXPECT_EQ(convert_name("Jr"), "Jr.");
  EXPECT_EQ(convert_name("de"), "de ");
  EXPECT_EQ(convert_name("Smith J-P"), "Smith ");
  EXPECT_EQ(convert_name("Smith J3"), "Smith ");
  EXPECT_EQ(convert_name("Smith A3B"), "Smith ");
  EXPECT_EQ(convert_name("Smith AB3"), "Smith, A. B. 3.");
  EXPECT_EQ(convert_name("3rd 'Smith -J {\\\"U}ber K"), "K ");
  EXPECT_EQ(convert_name("\xc4rger K"), "K ");
  EXPECT_EQ(convert_name("O'Brien P"), "O'Brien, P.");
  EXPECT_EQ(convert_name(";Doe, B."), "B ");
}

TEST(ConvertName, LongGroupsAreKeptWhole) {
  // Built by appending: GCC 12 at -O3 flags "L" + std::string(...) as a
  // possibly overlapping copy (-Wrestrict), a false positive.
  std::string last = "L";
  last.append(150, 'x');
  EXPECT_EQ(convert_name(last + " A"), last + ", A.");
  const std::string particles = std::string(60, 'd') + " " + std::string(60, 'e');
  EXPECT_EQ(convert_name(particles + " Smith"), particles + " Smith ");
  std::string initials;
  std::string expected = "Smith, ";
  for (int i = 0; i < 60; ++i) {
    initials += static_cast<char>('A' + i % 26);
    expected += static_cast<char>('A' + i % 26);
    expected += i == 59 ? "." : ". ";
  }
  EXPECT_EQ(convert_name("Smith " + initials), expected);
}

ReferenceDatabase with_references(std::size_t count) {
  ReferenceDatabase db;
  for (std::size_t i = 0; i < count; ++i) db.add_reference();
  return db;
}

TEST(AppendName, JoinsWithAndAndTargetsOneField) {
  ReferenceDatabase db = with_references(2);
  append_author(db, 2, "Smith JA");
  append_author(db, 2, "Doe B");
  EXPECT_EQ(db.reference(1).text(kAuthor), "Smith, J. A. and Doe, B.");
  EXPECT_FALSE(db.reference(1).has(kEditor));
  EXPECT_FALSE(db.reference(0).has(kAuthor));
  append_editor(db, 2, "Roe C");
  EXPECT_EQ(db.reference(1).text(kEditor), "Roe, C.");
  EXPECT_EQ(db.reference(1).text(kAuthor), "Smith, J. A. and Doe, B.");
  // An empty name still counts: the field is present afterwards.
  append_editor(db, 1, "");
  EXPECT_EQ(db.reference(0).text(kEditor), "");
  append_editor(db, 1, "Doe B");
  EXPECT_EQ(db.reference(0).text(kEditor), " and Doe, B.");
  // Numbers that name no reference change nothing.
  append_author(db, 0, "Smith J");
  append_author(db, 3, "Smith J");
  EXPECT_FALSE(db.reference(0).has(kAuthor));
}

TEST(IntegerFields, ReadAsAtoiReads) {
  EXPECT_EQ(leading_integer_text("1995;270(9):4563-9"), "1995");
  EXPECT_EQ(leading_integer_text("3;270"), "3");
  EXPECT_EQ(leading_integer_text("x"), "0");
  EXPECT_EQ(leading_integer_text("Mar"), "0");
  EXPECT_EQ(leading_integer_text(""), "0");
  EXPECT_EQ(leading_integer_text(" \t\n\v\f\r0042x"), "42");
  EXPECT_EQ(leading_integer_text("-17"), "-17");
  EXPECT_EQ(leading_integer_text("+17"), "17");
  EXPECT_EQ(leading_integer_text("-0"), "0");
  EXPECT_EQ(leading_integer_text("- 5"), "0");
  EXPECT_EQ(leading_integer_text("2147483647"), "2147483647");
  EXPECT_EQ(leading_integer_text("2147483648"), "2147483647");
  EXPECT_EQ(leading_integer_text("-2147483648"), "-2147483648");
  EXPECT_EQ(leading_integer_text("-99999999999999999999999"), "-2147483648");
  EXPECT_EQ(leading_integer_text("99999999999999999999999"), "2147483647");
}

TEST(IntegerFields, SetYearAndNumberReplace) {
  ReferenceDatabase db = with_references(1);
  set_year_from_text(db, 1, "1995;270(9):4563-9");
  EXPECT_EQ(db.reference(0).text(kYear), "1995");
  set_year_from_text(db, 1, "x");
  EXPECT_EQ(db.reference(0).text(kYear), "0");
  set_number_from_text(db, 1, " 5, p.3");
  EXPECT_EQ(db.reference(0).text(kNumber), "5");
  EXPECT_EQ(db.reference(0).text(kYear), "0");
  set_year_from_text(db, 2, "1999");
  EXPECT_EQ(db.ref_count(), 1U);
}

}  // namespace
}  // namespace refloom
