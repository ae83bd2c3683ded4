// Times File > Load of a BibTeX file through the Load dialog's OK, up to
// the list showing every line and the count line, and splits the time into
// the reader and the list. Needs a display.
//   gui_load_bench FILE.bib

#include <X11/Intrinsic.h>
#include <Xm/FileSB.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "gui_bench.h"
#include "import/load.h"
#include "ui/app.h"
#include "ui/file_dialogs.h"
#include "ui/reference_list.h"

namespace {

using refloom::bench::Clock;
using refloom::bench::seconds_since;
using refloom::bench::settle;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gui_load_bench FILE.bib\n");
    return 2;
  }
  const std::string path = argv[1];
  refloom::bench::start_main_window(argv);
  std::ostringstream messages;
  refloom::ui::set_messages(messages);

  constexpr std::intptr_t kLoad = refloom::ui::position_of(refloom::ui::Menu::kFile, "Load");
  refloom::ui::file_cb(nullptr, reinterpret_cast<XtPointer>(kLoad), nullptr);
  settle();
  XmString value = XmStringCreateLocalized(const_cast<char*>(path.c_str()));
  XmFileSelectionBoxCallbackStruct ok{};
  ok.reason = XmCR_OK;
  ok.value = value;
  const auto start = Clock::now();
  XtCallCallbacks(refloom::ui::load_dialog, XmNokCallback, &ok);
  settle();
  const double total = seconds_since(start);
  XmStringFree(value);
  const std::size_t count = refloom::ui::database().ref_count();

  // The two parts on their own: the reader, then refilling the list.
  refloom::ReferenceDatabase fresh;
  auto part = Clock::now();
  refloom::load_file(fresh, path, refloom::FileType::kBibtex, messages);
  const double reader = seconds_since(part);
  part = Clock::now();
  refloom::ui::show(refloom::ui::session().view_all());
  settle();
  const double list = seconds_since(part);

  std::printf("references: %zu\nload through the dialog: %.3f s\n  reader alone: %.3f s\n  list alone: %.3f s\n", count,
              total, reader, list);
  return messages.str().empty() ? 0 : 1;
}
