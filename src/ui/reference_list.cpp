#include "ui/reference_list.h"

#include <Xm/List.h>

#include <numeric>

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

void fill_list(std::vector<std::size_t> indices) {
  listed_references.assign(std::move(indices));
  const std::vector<std::size_t>& listed = listed_references.indices();
  std::vector<XmString> items(listed.size());
  for (std::size_t k = 0; k < listed.size(); ++k) items[k] = line_string(listed[k]);
  XmListDeleteAllItems(reflist);
  XtVaSetValues(reflist, XmNitems, items.data(), XmNitemCount, static_cast<int>(items.size()), nullptr);
  for (XmString item : items) XmStringFree(item);
  update_count(listed.size());
}

void list_all_references() {
  std::vector<std::size_t> all(database().ref_count());
  std::iota(all.begin(), all.end(), std::size_t{0});
  fill_list(std::move(all));
}

void append_list_line(std::size_t index) {
  XmStringOwner item(line_string(index));
  XmString items[1] = {item.get()};
  XmListAddItems(reflist, items, 1, 0);
}

void replace_list_line(std::size_t position, std::size_t index) {
  XmStringOwner item(line_string(index));
  XmString items[1] = {item.get()};
  XmListReplaceItemsPos(reflist, items, 1, static_cast<int>(position));
}

void delete_list_line(std::size_t position) { XmListDeletePos(reflist, static_cast<int>(position)); }

}  // namespace refloom::ui
