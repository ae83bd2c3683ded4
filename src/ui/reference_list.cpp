#include "ui/reference_list.h"

#include <Xm/List.h>

#include <vector>

#include "core/display_text.h"
#include "core/listed_references.h"
#include "ui/app.h"
#include "ui/xm_util.h"

namespace refloom::ui {

namespace {

XmString line_string(std::size_t index) {
  const Reference& reference = database().reference(index);
  const std::string line = locale_is_utf8() ? shown_list_line(reference) : list_line(reference);
  return XmStringCreateLocalized(const_cast<char*>(line.c_str()));
}

}  // namespace

void refill_list() {
  const std::vector<std::size_t>& listed = session().listed_references().indices();
  std::vector<XmString> items(listed.size());
  for (std::size_t k = 0; k < listed.size(); ++k) items[k] = line_string(listed[k]);
  XmListDeleteAllItems(reflist);
  XtVaSetValues(reflist, XmNitems, items.data(), XmNitemCount, static_cast<int>(items.size()), nullptr);
  for (XmString item : items) XmStringFree(item);
}

void append_list_line(std::size_t index) {
  XmStringOwner item(line_string(index));
  XmString items[1] = {item.get()};
  XmListAddItems(reflist, items, 1, 0);
}

void replace_list_line(std::size_t position, std::size_t index) {
  XmStringOwner item(line_string(index));
  XmString items[1] = {item.get()};
  const int at = static_cast<int>(position);
  // Motif's list loses track of what it keeps of a selected line that is
  // replaced (a leak): the line is deselected first and selected again.
  const bool selected = XmListPosSelected(reflist, at) == True;
  if (selected) XmListDeselectPos(reflist, at);
  XmListReplaceItemsPos(reflist, items, 1, at);
  if (selected) XmListSelectPos(reflist, at, False);
}

void delete_list_line(std::size_t position) { XmListDeletePos(reflist, static_cast<int>(position)); }

}  // namespace refloom::ui
