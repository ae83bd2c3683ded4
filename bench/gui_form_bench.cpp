// Times opening the reference form for a reference with long texts, and
// switching its entry type, up to the form being shown with everything
// drawn. Medians of five runs, next to the time of building the form for
// an empty reference in the same run. Needs a display.
//   gui_form_bench [CASE...]   cases: abstract10k abstract100k abstract1m
//                              fields100k (all by default)

#include <X11/Intrinsic.h>
#include <Xm/RowColumn.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/fields.h"
#include "gui_bench.h"
#include "ui/app.h"
#include "ui/form.h"

namespace {

using refloom::bench::Clock;
using refloom::bench::seconds_since;
using refloom::bench::settle;
namespace ui = refloom::ui;

// One paragraph of words, as an abstract is: no line ends, so that word
// wrap has to break all of it.
std::string words(std::size_t length, unsigned seed) {
  static constexpr std::string_view kWords[] = {"the",        "reference", "of",    "analysis", "with",
                                                "measured",   "results",   "in",    "a",        "controlled",
                                                "population", "and",       "model", "over",     "time"};
  std::mt19937 random(seed);
  std::string text;
  while (text.size() < length) {
    if (!text.empty()) text += ' ';
    text += kWords[random() % std::size(kWords)];
  }
  text.resize(length);
  return text;
}

struct Case {
  const char* name;
  std::size_t abstract_length;  // 0: every text slot at `all_length`
  std::size_t all_length;
};

void fill_buffer(const Case& c) {
  ui::session().start_add();
  ui::session().set_edit_ref_id("7");
  if (c.abstract_length > 0) {
    ui::session().set_edit_text(refloom::kAbstract, words(c.abstract_length, 1));
  } else {
    for (int slot = 1; slot < refloom::kSlotCount; ++slot) {
      ui::session().set_edit_text(slot, words(c.all_length, static_cast<unsigned>(slot)));
    }
  }
  ui::session().set_edit_text(refloom::kEntryTypeSlot, "article");
}

// The push button of the entry type menu for `type`.
Widget type_button(Widget shell, int type) {
  Widget rowcol = XtNameToWidget(shell, "*form.rowcol");
  WidgetList children = nullptr;
  Cardinal count = 0;
  XtVaGetValues(rowcol, XmNchildren, &children, XmNnumChildren, &count, nullptr);
  for (Cardinal i = 0; i < count; ++i) {
    if (std::string_view(XtName(children[i])) != "option") continue;
    Widget pulldown = nullptr;
    XtVaGetValues(children[i], XmNsubMenuId, &pulldown, nullptr);
    const std::string name = "button_" + std::to_string(type);
    return XtNameToWidget(pulldown, name.c_str());
  }
  return nullptr;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Times {
  double open;
  double change;
};

// Handles events until the window manager shows the form and everything
// pending is done, its drawing included.
void until_shown(Widget shell) {
  Display* display = XtDisplay(shell);
  for (;;) {
    settle();
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, XtWindow(shell), &attributes) && attributes.map_state == IsViewable) break;
    XtAppProcessEvent(ui::app_context, XtIMAll);
  }
  settle();
}

// Opens the form in edit mode, switches article to incollection (the type
// with the most fields), and cancels it.
Times time_form() {
  ui::FormState state;
  state.mode = ui::kEditMode;
  auto start = Clock::now();
  ui::open_form(refloom::EntryType{0}, state);
  until_shown(state.shell);
  const double open = seconds_since(start);
  Widget button = type_button(state.shell, 4);
  start = Clock::now();
  ui::entrytype_cb(button, reinterpret_cast<XtPointer>(std::intptr_t{4}), nullptr);
  until_shown(state.shell);
  const double change = seconds_since(start);
  ui::form_cancel_cb(nullptr, &state, nullptr);
  settle();
  return {open, change};
}

Times median_times(const Case& c) {
  std::vector<double> opens;
  std::vector<double> changes;
  for (int run = 0; run < 5; ++run) {
    fill_buffer(c);
    const Times t = time_form();
    opens.push_back(t.open);
    changes.push_back(t.change);
  }
  return {median(opens), median(changes)};
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<Case> cases = {
      {"abstract10k", 10 * 1024, 0},
      {"abstract100k", 100 * 1024, 0},
      {"abstract1m", 1024 * 1024, 0},
      {"fields100k", 0, 100 * 1024},
  };
  std::vector<std::string_view> wanted(argv + 1, argv + argc);
  char name[] = "gui_form_bench";
  char* toolkit_argv[] = {name, nullptr};
  refloom::bench::start_main_window(toolkit_argv);

  const Times empty = median_times({"empty", 0, 0});
  std::printf("empty reference:                open %.3f s, type switch %.3f s\n", empty.open, empty.change);
  for (const Case& c : cases) {
    if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), c.name) == wanted.end()) continue;
    const Times t = median_times(c);
    std::printf("%-14s                  open %.3f s, type switch %.3f s\n", c.name, t.open, t.change);
    std::fflush(stdout);
  }
  return 0;
}
