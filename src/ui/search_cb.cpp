// The Search menu: the "Search all fields" dialog, the field-by-field
// searches through the form, View all references and Case sensitive.

#include <Xm/MessageB.h>
#include <Xm/RowColumn.h>
#include <Xm/Text.h>
#include <Xm/ToggleBG.h>

#include "core/search.h"
#include "ui/app.h"
#include "ui/commands.h"
#include "ui/file_dialogs.h"
#include "ui/form.h"
#include "ui/search_all.h"
#include "ui/xm_util.h"

namespace refloom::ui {

namespace {

void search_by_form(SearchMode mode) {
  session().start_form_search();
  if (run_form(0, kSearchMode) == FormAnswer::kCancel) return;
  guarded("search", [mode] { show(session().search_by_form(mode)); });
}

}  // namespace

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
  input->fold = !session().case_sensitive();
  XtVaSetValues(mbox, XmNuserData, input, nullptr);
  XtAddCallback(
      mbox, XmNdestroyCallback, [](Widget, XtPointer data, XtPointer) { delete static_cast<SearchAllInput*>(data); },
      input);
  XtAddCallback(mbox, XmNokCallback, searchall_cb, nullptr);
  XtAddCallback(mbox, XmNcancelCallback, cancel_cb, nullptr);
  // A hidden dialog is never shown again: let it go.
  XtAddCallback(
      mbox, XmNunmapCallback, [](Widget widget, XtPointer, XtPointer) { XtDestroyWidget(XtParent(widget)); }, nullptr);

  Widget rowcol = XtVaCreateWidget("rowcol", xmRowColumnWidgetClass, mbox, XmNradioBehavior, True, nullptr);
  Widget text = XtVaCreateManagedWidget("text", xmTextWidgetClass, rowcol, nullptr);
  XtAddCallback(text, XmNvalueChangedCallback, searchtext_cb, nullptr);
  Widget and_toggle = XtVaCreateManagedWidget("and", xmToggleButtonGadgetClass, rowcol, XmNset, True, nullptr);
  input->mode = SearchMode::kAnd;
  XtAddCallback(and_toggle, XmNvalueChangedCallback, searchmode_cb, to_client_data(SearchMode::kAnd));
  Widget or_toggle = XtVaCreateManagedWidget("or ", xmToggleButtonGadgetClass, rowcol, nullptr);
  XtAddCallback(or_toggle, XmNvalueChangedCallback, searchmode_cb, to_client_data(SearchMode::kOr));
  Widget not_toggle = XtVaCreateManagedWidget("not", xmToggleButtonGadgetClass, rowcol, nullptr);
  XtAddCallback(not_toggle, XmNvalueChangedCallback, searchmode_cb, to_client_data(SearchMode::kNot));
  input->text.clear();
  // The dialog opens ready for typing; Return then searches.
  XtVaSetValues(mbox, XmNinitialFocus, rowcol, nullptr);
  XtVaSetValues(rowcol, XmNinitialFocus, text, nullptr);
  XtManageChild(rowcol);
  XtManageChild(mbox);
}

void search_form_and() { search_by_form(SearchMode::kAnd); }
void search_form_or() { search_by_form(SearchMode::kOr); }
void search_form_not() { search_by_form(SearchMode::kNot); }

void view_all() {
  guarded("list every reference", [] { show(session().view_all()); });
}

void toggle_case_sensitive() { session().toggle_case_sensitive(); }

}  // namespace refloom::ui
