#include "import/plain_text.h"

#include <gtest/gtest.h>

namespace refloom {
namespace {

TEST(PlainText, TexSpecialsAreEscapedAndEverythingElseKept) {
  EXPECT_EQ(tex_escaped("a & b % c $ d # e _ f"), "a \\& b \\% c \\$ d \\# e \\_ f");
  EXPECT_EQ(tex_escaped("{x} ~ ^ \\"),
            "\\textbraceleft{}x\\textbraceright{} \\textasciitilde{} \\textasciicircum{} "
            "\\textbackslash{}");
  EXPECT_EQ(tex_escaped("say \"hi\""), "say {\"}hi{\"}");
  EXPECT_EQ(tex_escaped("M\xC3\xBCller \xE5\x8C\x97\xE4\xBA\xAC \xFF"), "M\xC3\xBCller \xE5\x8C\x97\xE4\xBA\xAC \xFF");
  EXPECT_EQ(tex_escaped(""), "");
}

TEST(PlainText, PubmedFullNames) {
  EXPECT_EQ(full_name_to_bibtex("Smith, John A"), "Smith, John A.");
  EXPECT_EQ(full_name_to_bibtex("Smith, J"), "Smith, J.");
  EXPECT_EQ(full_name_to_bibtex("Smith, JA"), "Smith, J. A.");
  EXPECT_EQ(full_name_to_bibtex("M\xC3\xBCller, Hans-Peter"), "M\xC3\xBCller, Hans-Peter");
  EXPECT_EQ(full_name_to_bibtex("\xC3\x98"
                                "deg\xC3\xA5rd, \xC3\x85"),
            "\xC3\x98"
            "deg\xC3\xA5rd, \xC3\x85.");
  EXPECT_EQ(full_name_to_bibtex("King, Martin Luther Jr"), "King, Jr., Martin Luther");
  EXPECT_EQ(full_name_to_bibtex("Gates, William H 3rd"), "Gates, 3rd, William H.");
  EXPECT_EQ(full_name_to_bibtex("Plato,"), "Plato");
  EXPECT_EQ(full_name_to_bibtex("O'Brien_X, Sean"), "O'Brien\\_X, Sean");
  // Without a comma it is read as a short name.
  EXPECT_EQ(full_name_to_bibtex("Smith JA"), "Smith, J. A.");
}

TEST(PlainText, PubmedShortNames) {
  EXPECT_EQ(initials_name_to_bibtex("Smith JA"), "Smith, J. A.");
  EXPECT_EQ(initials_name_to_bibtex("van der Berg AB"), "van der Berg, A. B.");
  EXPECT_EQ(initials_name_to_bibtex("Smith JA Jr"), "Smith, Jr., J. A.");
  EXPECT_EQ(initials_name_to_bibtex("Dupont J-P"), "Dupont, J.-P.");
  EXPECT_EQ(initials_name_to_bibtex("Nowak \xC5\x81J"), "Nowak, \xC5\x81. J.");
  EXPECT_EQ(initials_name_to_bibtex("Solo"), "Solo");
  EXPECT_EQ(initials_name_to_bibtex("World Health Organization"), "World Health Organization");
}

TEST(PlainText, RisNames) {
  EXPECT_EQ(ris_name_to_bibtex("Smith, John"), "Smith, John");
  EXPECT_EQ(ris_name_to_bibtex("  Smith, J.A.  "), "Smith, J.A.");
  EXPECT_EQ(ris_name_to_bibtex("John Smith"), "Smith, John");
  EXPECT_EQ(ris_name_to_bibtex("Jane Q. Public"), "Public, Jane Q.");
  EXPECT_EQ(ris_name_to_bibtex("Ludwig van Beethoven"), "van Beethoven, Ludwig");
  EXPECT_EQ(ris_name_to_bibtex("Martin Luther King Jr."), "King, Jr., Martin Luther");
  EXPECT_EQ(ris_name_to_bibtex("Aristotle"), "Aristotle");
  EXPECT_EQ(ris_name_to_bibtex("\xC5\x81ukasz Nowak"), "Nowak, \xC5\x81ukasz");
}

TEST(PlainText, DatesAndLineEnds) {
  EXPECT_EQ(year_of("2019 Mar 15"), "2019");
  EXPECT_EQ(year_of("2019/03/15/"), "2019");
  EXPECT_EQ(year_of("Spring 2017"), "2017");
  EXPECT_EQ(year_of("19/3"), "");
  EXPECT_EQ(month_abbreviation(1), "Jan");
  EXPECT_EQ(month_abbreviation(12), "Dec");
  EXPECT_EQ(month_abbreviation(13), "");
  EXPECT_EQ(trim_line_end("text \t\r"), "text");
  EXPECT_EQ(trim_blanks("  text  "), "text");
}

}  // namespace
}  // namespace refloom
