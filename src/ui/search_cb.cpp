// The Search menu: the "Search all fields" dialog, the field-by-field
// searches through the form, View all references and Case sensitive.

#include <Xm/MessageB.h>
#include <Xm/RowColumn.h>
#include <Xm/Text.h>
#include <Xm/ToggleBG.h>

#include <cstdint>

#include "core/search.h"
#include "ui/app.h"
#include "ui/file_dialogs.h"
#include "ui/form.h"
#include "ui/reference_list.h"
#include "ui/search_all.h"
#include "ui/xm_util.h"

namespace refloom::ui {

namespace {

XtPointer as_client_data(long value) { return reinterpret_cast<XtPointer>(static_cast<std::intptr_t>(value)); }

// A new dialog at every choice: its fold flag is the case setting of now.
// It keeps its mode and text in a store of its own, so that it and the
// reference form cannot change each other's input.
void open_search_all_dialog() {
  XmStringOwner prompt{std::string("Search in all fields for:")};
  Arg args[2];
  XtSetArg(args[0], XmNautoUnmanage, False);
  XtSetArg(args[1], XmNmessageString, prompt.get());
  Widget mbox = XmCreateMessageDialog(reflist, const_cast<char*>("mbox"), args, 2);
  XtVaSetValues(XtParent(mbox), XmNtitle, "Search all fields", nullptr);
  XtUnmanageChild(XmMessageBoxGetChild(mbox, XmDIALOG_HELP_BUTTON));

  auto* input = new SearchAllInput;
  XtVaSetValues(mbox, XmNuserData, input, nullptr);
  XtAddCallback(
      mbox, XmNdestroyCallback,
      [](Widget, XtPointer data, XtPointer) { delete static_cast<SearchAllInput*>(data); }, input);
  XtAddCallback(mbox, XmNokCallback, searchall_cb, as_client_data(case_sensitive ? 0 : 1));
  XtAddCallback(mbox, XmNcancelCallback, cancel_cb, nullptr);
  // A hidden dialog is never shown again: let it go.
  XtAddCallback(
      mbox, XmNunmapCallback, [](Widget widget, XtPointer, XtPointer) { XtDestroyWidget(XtParent(widget)); },
      nullptr);

  Widget rowcol = XtVaCreateWidget("rowcol", xmRowColumnWidgetClass, mbox, XmNradioBehavior, True, nullptr);
  Widget text = XtVaCreateManagedWidget("text", xmTextWidgetClass, rowcol, nullptr);
  XtAddCallback(text, XmNvalueChangedCallback, searchtext_cb, nullptr);
  Widget and_toggle = XtVaCreateManagedWidget("and", xmToggleButtonGadgetClass, rowcol, XmNset, True, nullptr);
  input->mode = kSearchAnd;
  XtAddCallback(and_toggle, XmNvalueChangedCallback, searchmode_cb, as_client_data(kSearchAnd));
  Widget or_toggle = XtVaCreateManagedWidget("or ", xmToggleButtonGadgetClass, rowcol, nullptr);
  XtAddCallback(or_toggle, XmNvalueChangedCallback, searchmode_cb, as_client_data(kSearchOr));
  Widget not_toggle = XtVaCreateManagedWidget("not", xmToggleButtonGadgetClass, rowcol, nullptr);
  XtAddCallback(not_toggle, XmNvalueChangedCallback, searchmode_cb, as_client_data(kSearchNot));
  input->text.clear();
  // The dialog opens ready for typing; Return then searches.
  XtVaSetValues(mbox, XmNinitialFocus, rowcol, nullptr);
  XtVaSetValues(rowcol, XmNinitialFocus, text, nullptr);
  XtManageChild(rowcol);
  XtManageChild(mbox);
}

template <int mode>
void search_by_form() {
  if (form_is_open()) {
    raise_form();  // one form at a time: the edit buffer is shared
    return;
  }
  ReferenceDatabase& db = database();
  db.clear_edit_buffer();
  db.edit_buffer().ref_id = 0;
  if (run_form(0, kSearchMode) == 0) return;
  const FormCriteria criteria(db.edit_buffer(), !case_sensitive);
  std::vector<std::size_t> result;
  if (mode == kSearchNot) {
    result = combine_search(mode, db, listed_references.indices(),
                            [&criteria](const Reference& r) { return criteria.hits(r); });
  } else {
    result = combine_search(mode, db, listed_references.indices(),
                            [&criteria](const Reference& r) { return criteria.matches(r); });
  }
  fill_list(std::move(result));
}

}  // namespace

void search_cb(Widget, XtPointer client_data, XtPointer) {
  const int command = static_cast<int>(reinterpret_cast<std::intptr_t>(client_data));
  switch (command) {
    case kSearchAll:
      open_search_all_dialog();
      break;
    case kSearchAnd:
      run_after_menu(search_by_form<kSearchAnd>);
      break;
    case kSearchOr:
      run_after_menu(search_by_form<kSearchOr>);
      break;
    case kSearchNot:
      run_after_menu(search_by_form<kSearchNot>);
      break;
    case kViewAll:
      list_all_references();
      break;
    case kCaseSensitive:
      case_sensitive = !case_sensitive;
      break;
    default:
      break;
  }
}

}  // namespace refloom::ui
