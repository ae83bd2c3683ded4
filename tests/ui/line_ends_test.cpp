#include "gui_test.h"

#include <X11/keysym.h>
#include <Xm/TextP.h>
#include <Xm/TextStrSoP.h>

#include <string>
#include <utility>
#include <vector>

#include "ui/line_ends.h"
#include "ui/xm_util.h"

namespace refloom::testing {
namespace {

// A narrow word-wrapped text, in a window of its own.
Widget wrapped_text(Widget parent, const char* name) {
  Widget shell = XtVaCreatePopupShell(name, topLevelShellWidgetClass, parent, nullptr);
  Widget text = XtVaCreateManagedWidget("text", xmTextWidgetClass, shell, XmNeditMode, XmMULTI_LINE_EDIT, XmNrows, 5,
                                        XmNcolumns, 10, XmNwordWrap, True, nullptr);
  XtRealizeWidget(shell);
  return text;
}

// The toolkit's line table: where every shown line starts, and whether it
// is wrapped (1) or follows a line end (0).
std::vector<std::pair<unsigned, unsigned>> line_table(Widget text) {
  const auto* widget = reinterpret_cast<XmTextWidget>(text);
  std::vector<std::pair<unsigned, unsigned>> table;
  for (int i = 0; i < widget->text.total_lines; ++i) {
    const XmTextLineTableRec& line = widget->text.line_table[i];
    table.emplace_back(unsigned{line.start_pos}, unsigned{line.virt_line});
  }
  return table;
}

// Every line-end answer of the source, for each position.
std::vector<XmTextPosition> line_ends(Widget text, Boolean include) {
  XmTextSource source = XmTextGetSource(text);
  std::vector<XmTextPosition> ends;
  const XmTextPosition last = XmTextGetLastPosition(text);
  for (XmTextPosition position = 0; position <= last; ++position) {
    ends.push_back(source->Scan(source, position, XmSELECT_LINE, XmsdRight, 1, include));
  }
  return ends;
}

class LineEnds : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    fast_ = wrapped_text(shell_, "fast");
    plain_ = wrapped_text(shell_, "plain");
    ui::speed_up_line_ends(fast_);
  }

  std::string value() const {
    ui::XtText text(XmTextGetString(fast_));
    return text ? text.get() : "";
  }

  // The sped-up text answers and wraps as the toolkit does for the same
  // text.
  void expect_as_toolkit(const std::string& step) {
    const std::string now = value();
    XmTextSetString(plain_, const_cast<char*>(now.c_str()));
    EXPECT_EQ(line_ends(fast_, False), line_ends(plain_, False)) << step;
    EXPECT_EQ(line_ends(fast_, True), line_ends(plain_, True)) << step;
    EXPECT_EQ(line_table(fast_), line_table(plain_)) << step;
  }

  XmTextPosition line_end(Widget text, XmTextPosition from) {
    XmTextSource source = XmTextGetSource(text);
    return source->Scan(source, from, XmSELECT_LINE, XmsdRight, 1, False);
  }

  Widget fast_ = nullptr;
  Widget plain_ = nullptr;
};

const char kParagraphs[] =
    "\nThe first paragraph runs over several lines of ten columns, so that word wrap has to break it "
    "more than once.\n\nA second one follows a blank line.\nA short one.\n\n\n"
    "The last paragraph ends without a line end and is long enough to wrap twice or three times over.";

TEST_F(LineEnds, AnswersAndWrappingMatchTheToolkitThroughEdits) {
  XmTextSetString(fast_, const_cast<char*>(kParagraphs));
  expect_as_toolkit("set");
  ASSERT_GT(line_table(fast_).size(), 12U);  // wrapped, not just the 9 lines

  XmTextInsert(fast_, 40, const_cast<char*>("\n"));
  expect_as_toolkit("line end inserted");
  XmTextReplace(fast_, 30, 140, const_cast<char*>(""));
  expect_as_toolkit("range with line ends deleted");
  XmTextInsert(fast_, 0, const_cast<char*>("words before it all "));
  expect_as_toolkit("inserted at the start");
  XmTextInsert(fast_, XmTextGetLastPosition(fast_), const_cast<char*>("\n"));
  expect_as_toolkit("line end appended");

  // An edit that leaves the length and the buffer's gap where they were:
  // insert one character, then replace it and the line end before it by
  // two characters. The answer found before must not survive it.
  const std::string before = value();
  const auto newline = static_cast<XmTextPosition>(before.find('\n', 25));
  ASSERT_NE(newline, static_cast<XmTextPosition>(std::string::npos));
  XmTextInsert(fast_, newline + 1, const_cast<char*>("X"));
  EXPECT_EQ(line_end(fast_, newline - 5), newline);
  XmTextReplace(fast_, newline, newline + 2, const_cast<char*>("YZ"));
  ASSERT_EQ(value().substr(static_cast<std::size_t>(newline), 2), "YZ");
  EXPECT_GT(line_end(fast_, newline - 5), newline + 2);
  expect_as_toolkit("equal-length replacement at the gap");
}

TEST_F(LineEnds, TypedTextIsWrappedAsTheToolkitDoes) {
  XmTextSetString(fast_, const_cast<char*>(kParagraphs));
  XtPopup(XtParent(fast_), XtGrabNone);
  ASSERT_TRUE(pump_until([&] { return is_shown(fast_); }));
  click(fast_);
  key(XK_Home, ControlMask);
  type("typed words that wrap\nand a new line ");
  key(XK_End, ControlMask);
  type("\nat the end");
  EXPECT_EQ(value().substr(0, 22), "typed words that wrap\n");
  expect_as_toolkit("typed");
}

TEST_F(LineEnds, ALongParagraphIsLaidOutWithoutSearchingPerLine) {
  std::string paragraph;
  while (paragraph.size() < 200000) paragraph += "words of a long paragraph ";
  const std::uint64_t searches = ui::line_end_searches();
  XmTextSetString(fast_, paragraph.data());
  const std::uint64_t used = ui::line_end_searches() - searches;
  ASSERT_GT(line_table(fast_).size(), 2000U);
  // The toolkit asks once per wrapped line; the text has one line end.
  EXPECT_LE(used, 4U);
}

// With a Motif other than the one the speed-up was written for, the text
// is left to Motif: its source keeps Motif's own procedures, and the text
// is laid out as Motif lays it out.
TEST_F(LineEnds, AnotherMotifVersionIsLeftToMotif) {
  Widget other = wrapped_text(shell_, "other");
  const XmTextSource source = XmTextGetSource(other);
  const auto scan = source->Scan;
  ui::speed_up_line_ends(other, ui::kLineEndsMotifVersion + 1);
  EXPECT_EQ(XmTextGetSource(other)->Scan, scan);
  ui::speed_up_line_ends(other, ui::kLineEndsMotifVersion - 1);
  EXPECT_EQ(XmTextGetSource(other)->Scan, scan);
  const char* text = "a few words that wrap\nover lines";
  XmTextSetString(other, const_cast<char*>(text));
  XmTextSetString(plain_, const_cast<char*>(text));
  EXPECT_EQ(line_table(other), line_table(plain_));
  // The version this runs with is the one it was written for.
  EXPECT_EQ(xmUseVersion, ui::kLineEndsMotifVersion);
  EXPECT_NE(XmTextGetSource(fast_)->Scan, scan);
}

}  // namespace
}  // namespace refloom::testing
