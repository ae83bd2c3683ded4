// The all-fields search: one text looked for in every field.

#include <Xm/Text.h>
#include <Xm/ToggleBG.h>

#include "ui/app.h"
#include "ui/search_all.h"
#include "ui/xm_util.h"

namespace refloom::ui {

namespace {

// The dialog's own input, found from any widget inside it.
SearchAllInput* input_of(Widget widget) {
  for (; widget != nullptr; widget = XtParent(widget)) {
    if (std::string_view(XtName(widget)) == "mbox") {
      XtPointer data = nullptr;
      XtVaGetValues(widget, XmNuserData, &data, nullptr);
      return static_cast<SearchAllInput*>(data);
    }
  }
  return nullptr;
}

}  // namespace

void searchall_cb(Widget mbox, XtPointer, XtPointer) {
  BusyCursor busy(XtParent(mbox));
  const SearchAllInput* input = input_of(mbox);
  if (input != nullptr && input->mode >= SearchMode::kAnd && input->mode <= SearchMode::kNot) {
    guarded("search", [&] { show(session().search_all_fields(input->mode, input->text, input->fold)); });
  }
  XtUnmanageChild(mbox);
}

void searchtext_cb(Widget text, XtPointer, XtPointer) {
  SearchAllInput* input = input_of(text);
  XtText value(XmTextGetString(text));
  if (input == nullptr || !value) return;
  input->text = value.get();
}

void searchmode_cb(Widget toggle, XtPointer client_data, XtPointer) {
  SearchAllInput* input = input_of(toggle);
  if (input == nullptr || !XmToggleButtonGadgetGetState(toggle)) return;
  input->mode = from_client_data<SearchMode>(client_data);
}

}  // namespace refloom::ui
