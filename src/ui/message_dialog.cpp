// The message dialog: what a command reported, on screen as well as on
// standard output, for a user who started the program from a menu.

#include "ui/message_dialog.h"

#include <Xm/MessageB.h>
#include <Xm/Text.h>

#include "core/message_summary.h"
#include "ui/app.h"
#include "ui/xm_util.h"

namespace refloom::ui {

Widget message_dialog = nullptr;

namespace {

Widget create_message_dialog() {
  // Placed beside the main window rather than centred over it, so that it
  // does not cover the file dialog or the form the user goes on with.
  Arg position[1];
  XtSetArg(position[0], XmNdefaultPosition, False);
  Widget dialog = XmCreateMessageDialog(toplevel, const_cast<char*>("messageDialog"), position, 1);
  XtVaSetValues(XtParent(dialog), XmNtitle, kMessageDialogTitle, nullptr);
  // OK alone closes it: the messages ask for no decision.
  XtUnmanageChild(XmMessageBoxGetChild(dialog, XmDIALOG_CANCEL_BUTTON));
  XtUnmanageChild(XmMessageBoxGetChild(dialog, XmDIALOG_HELP_BUTTON));
  Arg args[5];
  Cardinal count = 0;
  XtSetArg(args[count], XmNeditable, False), ++count;
  XtSetArg(args[count], XmNeditMode, XmMULTI_LINE_EDIT), ++count;
  XtSetArg(args[count], XmNcursorPositionVisible, False), ++count;
  XtSetArg(args[count], XmNrows, 10), ++count;
  XtSetArg(args[count], XmNcolumns, 40), ++count;
  // The message box takes it as its work area.
  XtManageChild(XmCreateScrolledText(dialog, const_cast<char*>("messageText"), args, count));
  return dialog;
}

// To the right of the main window's frame, its top at the same height,
// moved onto the screen as far as it would not fit there (its frame taken
// as large as the main window's).
void place_beside_main_window() {
  const auto main_frame = window_frame(toplevel);
  if (!main_frame) return;
  Dimension main_width = 0;
  XtVaGetValues(toplevel, XtNwidth, &main_width, nullptr);
  XtWidgetGeometry preferred{};
  XtQueryGeometry(message_dialog, nullptr, &preferred);
  constexpr int kGap = 8;
  const Extent decorations = main_frame->decorations;
  const Place beside{main_frame->place.x + main_width + decorations.width + kGap, main_frame->place.y};
  const Place place = keep_on_screen(
      beside, {preferred.width + decorations.width, preferred.height + decorations.height}, screen_extent(toplevel));
  XtVaSetValues(message_dialog, XmNx, static_cast<Position>(place.x), XmNy, static_cast<Position>(place.y), nullptr);
}

void fill_message_dialog(const MessageSummary& summary) {
  XmStringOwner heading{shown_text(summary.heading())};
  XtVaSetValues(message_dialog, XmNmessageString, heading.get(), nullptr);
  Widget text = XtNameToWidget(message_dialog, "*messageText");
  XmTextSetString(text, const_cast<char*>(shown_text(summary.text()).c_str()));
  XmTextShowPosition(text, 0);
}

}  // namespace

void show_messages() {
  messages().flush();
  MessageSummary& summary = message_summary();
  if (!summary.empty()) {
    if (message_dialog == nullptr) message_dialog = create_message_dialog();
    fill_message_dialog(summary);
    if (XtIsManaged(message_dialog)) {
      raise_shell(XtParent(message_dialog));
    } else {
      place_beside_main_window();
      XtManageChild(message_dialog);
    }
  }
  // A load that wrote nothing leaves no heading for the next command.
  summary.clear();
}

}  // namespace refloom::ui
