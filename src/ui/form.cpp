// The reference form: one reference (or the criteria of a search) shown
// and typed in through the edit buffer, laid out for its entry type.

#include "ui/form.h"

#include <Xm/Form.h>
#include <Xm/LabelG.h>
#include <Xm/Protocols.h>
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/ScrollBar.h>
#include <Xm/ScrolledW.h>
#include <Xm/Text.h>

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "core/form_layout.h"
#include "core/screen_fit.h"
#include "ui/app.h"
#include "ui/line_ends.h"
#include "ui/message_dialog.h"
#include "ui/recovery.h"
#include "ui/xm_util.h"

namespace refloom::ui {

namespace {

constexpr const char* kFormShellName = "ReferenceForm";

// The form that is open: set when it opens, following its rebuilds (they
// change its shell), and cleared once it is answered, its shell is
// destroyed, or its caller stops waiting.
FormState* open_state = nullptr;

void forget_if_open(const FormState& state) {
  if (open_state == &state) open_state = nullptr;
}

// The state of the form a widget belongs to, kept as the user data of
// its "form", the nearest ancestor of that name.
FormState* state_of(Widget widget) {
  while (widget != nullptr && !(XmIsForm(widget) && std::string_view(XtName(widget)) == "form")) {
    widget = XtParent(widget);
  }
  if (widget == nullptr) return nullptr;
  XtPointer data = nullptr;
  XtVaGetValues(widget, XmNuserData, &data, nullptr);
  return static_cast<FormState*>(data);
}

Widget make_label(Widget parent, std::string_view text) {
  XmStringOwner label{std::string(text)};
  return XtVaCreateManagedWidget("label", xmLabelGadgetClass, parent, XmNlabelString, label.get(), nullptr);
}

// A label 100 wide with its text at the right end, as the long rows have.
Widget make_wide_label(Widget parent, std::string_view text, const char* name = "label") {
  XmStringOwner label{std::string(text)};
  return XtVaCreateManagedWidget(name, xmLabelGadgetClass, parent, XmNlabelString, label.get(), XmNwidth, 100,
                                 XmNrecomputeSize, False, XmNalignment, XmALIGNMENT_END, nullptr);
}

// A label of the long rows and the bottom block.
Widget make_row_label(Widget parent, std::string_view text, Widget above, Widget left_of, const char* name = "label") {
  Widget label = make_wide_label(parent, text, name);
  XtVaSetValues(label, XmNtopAttachment, above ? XmATTACH_WIDGET : XmATTACH_FORM, XmNtopWidget, above,
                XmNleftAttachment, left_of ? XmATTACH_WIDGET : XmATTACH_FORM, XmNleftWidget, left_of, nullptr);
  return label;
}

Arg arg(const char* name, XtArgVal value) { return Arg{const_cast<char*>(name), value}; }
Arg arg(const char* name, Widget widget) { return arg(name, reinterpret_cast<XtArgVal>(widget)); }

// A text field, created with every resource of its layout and no text:
// fill_texts gives it its text once the form is laid out.
Widget make_text(Widget parent, int slot, std::vector<Arg> layout, const char* name = "text") {
  layout.push_back(arg(XmNuserData, reinterpret_cast<XtArgVal>(to_client_data(slot))));
  Widget text =
      XtCreateManagedWidget(name, xmTextWidgetClass, parent, layout.data(), static_cast<Cardinal>(layout.size()));
  speed_up_line_ends(text);
  return text;
}

// A text field showing an edit buffer slot, taken over when it loses the
// keyboard focus.
Widget make_slot_text(Widget parent, int slot, std::vector<Arg> layout, const char* name = "text") {
  Widget text = make_text(parent, slot, std::move(layout), name);
  XtAddCallback(text, XmNlosingFocusCallback, field_cb, to_client_data(slot));
  return text;
}

// Gives the text fields among a container's children their texts: the
// "Ref. ID:" the RefId in decimal, the others their slots. Done after the
// layout, so that the toolkit wraps a long text once, for its final width,
// and not again for each resource and size it passes through.
void fill_texts(Widget parent) {
  const EditBuffer& buffer = database().edit_buffer();
  WidgetList children = nullptr;
  Cardinal count = 0;
  XtVaGetValues(parent, XmNchildren, &children, XmNnumChildren, &count, nullptr);
  for (Cardinal i = 0; i < count; ++i) {
    if (!XmIsText(children[i])) continue;
    XtPointer data = nullptr;
    XtVaGetValues(children[i], XmNuserData, &data, nullptr);
    const int slot = from_client_data<int>(data);
    std::string value;
    if (slot == kRefIdSlot) {
      char number[24];
      std::snprintf(number, sizeof number, "%" PRIu64, buffer.ref_id);
      value = number;
    } else {
      value = shown_text(buffer.text(slot));
    }
    if (!value.empty()) XmTextSetString(children[i], value.data());
  }
}

// The resources of a multi-line field, before its attachments.
std::vector<Arg> multiline_layout(const FormField& field) {
  std::vector<Arg> layout = {arg(XmNeditMode, XmMULTI_LINE_EDIT), arg(XmNrows, field.rows)};
  if (field.word_wrap) layout.push_back(arg(XmNwordWrap, True));
  return layout;
}

Widget make_option_menu(Widget parent, const char* const* names, int count, int initial, XtCallbackProc callback) {
  std::vector<XmString> buttons;
  std::vector<XmButtonType> types(static_cast<std::size_t>(count), XmPUSHBUTTON);
  for (int i = 0; i < count; ++i) buttons.push_back(XmStringCreateLocalized(const_cast<char*>(names[i])));
  XmStringOwner empty{std::string()};
  Arg args[7];
  Cardinal n = 0;
  XtSetArg(args[n], XmNoptionLabel, empty.get()), ++n;
  XtSetArg(args[n], XmNbuttons, buttons.data()), ++n;
  XtSetArg(args[n], XmNbuttonCount, count), ++n;
  XtSetArg(args[n], XmNbuttonType, types.data()), ++n;
  XtSetArg(args[n], XmNbuttonSet, initial), ++n;
  XtSetArg(args[n], XmNsimpleCallback, callback), ++n;
  XtSetArg(args[n], XmNoptionMnemonic, 0), ++n;
  Widget menu = XmCreateSimpleOptionMenu(parent, const_cast<char*>("option"), args, n);
  for (XmString button : buttons) XmStringFree(button);
  XtManageChild(menu);
  return menu;
}

void build_top_row(Widget rowcol, EntryType type, FormState& state) {
  const EditBuffer& buffer = database().edit_buffer();
  for (const FormField& field : top_fields()) {
    const std::vector<Arg> layout = {arg(XmNcolumns, field.columns)};
    if (field.slot == kRefIdSlot) {
      make_wide_label(rowcol, field.label);
      Widget text = make_text(rowcol, kRefIdSlot, layout);
      XtAddCallback(text, XmNlosingFocusCallback, refid_cb, &state);
    } else {
      make_label(rowcol, field.label);
      make_slot_text(rowcol, field.slot, layout);
    }
  }

  std::array<const char*, kEntryTypeNames.size()> names;
  for (std::size_t i = 0; i < names.size(); ++i) names[i] = kEntryTypeNames[i].data();
  const int initial = type >= 0 && type < static_cast<int>(names.size()) ? type : 0;
  make_option_menu(rowcol, names.data(), static_cast<int>(names.size()), initial, entrytype_cb);
  std::array<const char*, kReprintValues.size()> reprints;
  for (std::size_t i = 0; i < reprints.size(); ++i) reprints[i] = kReprintValues[i].data();
  make_option_menu(rowcol, reprints.data(), static_cast<int>(reprints.size()), reprint_button(buffer.text(kReprint)),
                   reprint_cb);

  XmStringOwner ok{std::string("Ok")};
  Widget ok_button = XtVaCreateManagedWidget("ok", xmPushButtonWidgetClass, rowcol, XmNlabelString, ok.get(), nullptr);
  XtAddCallback(ok_button, XmNactivateCallback, form_ok_cb, &state);
  XmStringOwner cancel{std::string("Cancel")};
  Widget cancel_button =
      XtVaCreateManagedWidget("cancel", xmPushButtonWidgetClass, rowcol, XmNlabelString, cancel.get(), nullptr);
  XtAddCallback(cancel_button, XmNactivateCallback, form_cancel_cb, &state);
}

// The band of short fields: columns of label over text, left to right.
// Returns the last text (always the year).
Widget build_band(Widget form, Widget rowcol, EntryType type) {
  Widget previous_text = nullptr;
  for (const FormField& field : band_fields(type)) {
    const unsigned char left = previous_text ? XmATTACH_WIDGET : XmATTACH_FORM;
    Widget label = make_label(form, field.label);
    XtVaSetValues(label, XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget, rowcol, XmNleftAttachment, left,
                  XmNleftWidget, previous_text, nullptr);
    previous_text =
        make_slot_text(form, field.slot,
                       {arg(XmNcolumns, field.columns), arg(XmNtopAttachment, XmATTACH_WIDGET),
                        arg(XmNtopWidget, label), arg(XmNleftAttachment, left), arg(XmNleftWidget, previous_text)});
  }
  return previous_text;
}

// A field's label below `above` (and after `left_of`, when given), and its
// multi-line text after the label up to the right edge of the form.
// Returns the text.
Widget make_row_to_edge(Widget form, const FormField& field, Widget above, Widget left_of,
                        const char* label_name = "label", const char* text_name = "text") {
  Widget label = make_row_label(form, field.label, above, left_of, label_name);
  std::vector<Arg> layout = multiline_layout(field);
  layout.insert(layout.end(), {arg(XmNtopAttachment, XmATTACH_WIDGET), arg(XmNtopWidget, above),
                               arg(XmNleftAttachment, XmATTACH_WIDGET), arg(XmNleftWidget, label),
                               arg(XmNrightAttachment, XmATTACH_FORM)});
  return make_slot_text(form, field.slot, std::move(layout), text_name);
}

// The rows of long fields, one below the other; returns the abstract text.
Widget build_rows(Widget form, Widget above, EntryType type) {
  for (const FormField& field : row_fields(type)) above = make_row_to_edge(form, field, above, nullptr);
  return above;
}

// Keyword and note side by side below the abstract, annote and comment
// below the note; returns the comment text.
Widget build_bottom(Widget form, Widget above) {
  const auto& fields = bottom_fields();
  for (std::size_t pair = 0; pair < fields.size(); pair += 2) {
    const FormField& left = fields[pair];
    const FormField& right = fields[pair + 1];
    Widget left_label = make_row_label(form, left.label, above, nullptr);
    std::vector<Arg> left_layout = multiline_layout(left);
    left_layout.insert(left_layout.end(),
                       {arg(XmNcolumns, left.columns), arg(XmNtopAttachment, XmATTACH_WIDGET), arg(XmNtopWidget, above),
                        arg(XmNleftAttachment, XmATTACH_WIDGET), arg(XmNleftWidget, left_label)});
    Widget left_text = make_slot_text(form, left.slot, std::move(left_layout));
    above = make_row_to_edge(form, right, above, left_text);
  }
  return above;
}

// The citation key below the bottom block, and the other fields below it
// across the whole width; Tab reaches them after Comment. Their widgets
// have names of their own ("keyLabel", "keyText", "otherFieldsLabel",
// "otherFieldsText"), apart from the "label" and "text" of the BibTeX
// fields, whose number and order resources and scripts rely on.
void build_key_and_other_fields(Widget form, Widget above) {
  const auto& fields = key_and_other_fields();
  const FormField& key = fields[0];
  Widget key_label = make_row_label(form, key.label, above, nullptr, "keyLabel");
  Widget key_text =
      make_slot_text(form, key.slot,
                     {arg(XmNcolumns, key.columns), arg(XmNtopAttachment, XmATTACH_WIDGET), arg(XmNtopWidget, above),
                      arg(XmNleftAttachment, XmATTACH_WIDGET), arg(XmNleftWidget, key_label)},
                     "keyText");
  make_row_to_edge(form, fields[1], key_text, nullptr, "otherFieldsLabel", "otherFieldsText");
}

// Takes over the text field that has the keyboard focus, for the changes
// that replace the form before the field could lose its focus.
void take_over_focused_field(Widget shell) {
  Widget focus = XmGetFocusWidget(shell);
  if (focus == nullptr || !XmIsText(focus)) return;
  XtCallCallbacks(focus, XmNlosingFocusCallback, nullptr);
}

void form_destroyed_cb(Widget, XtPointer client_data, XtPointer);

// Takes a shell away from its state, so that destroying it answers nothing.
void let_go(Widget shell, FormState& state) {
  XtRemoveCallback(shell, XmNdestroyCallback, form_destroyed_cb, &state);
  XtPopdown(shell);
  XtDestroyWidget(shell);
}

void close_form(FormState& state, FormAnswer answer) {
  if (state.shell != nullptr) let_go(state.shell, state);
  state.shell = nullptr;
  state.answer = answer;
  forget_if_open(state);
}

// Closing the window through the window manager answers like Cancel.
void window_closed_cb(Widget, XtPointer client_data, XtPointer) {
  close_form(*static_cast<FormState*>(client_data), FormAnswer::kCancel);
}

// A shell destroyed by anyone else (its parent going, say) answers Cancel
// too, so that no caller waits for a form that is gone.
void form_destroyed_cb(Widget, XtPointer client_data, XtPointer) {
  auto& state = *static_cast<FormState*>(client_data);
  state.shell = nullptr;
  if (state.answer == FormAnswer::kWaiting) state.answer = FormAnswer::kCancel;
  forget_if_open(state);
}

// The form with all its fields for an entry type, made in `parent` and
// managed; its texts are still empty.
Widget build_form(Widget parent, EntryType type, FormState& state) {
  Widget form = XtVaCreateWidget("form", xmFormWidgetClass, parent, XmNuserData, &state, nullptr);
  Widget rowcol =
      XtVaCreateWidget("rowcol", xmRowColumnWidgetClass, form, XmNtopAttachment, XmATTACH_FORM, XmNleftAttachment,
                       XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM, XmNorientation, XmHORIZONTAL, nullptr);
  build_top_row(rowcol, type, state);
  XtManageChild(rowcol);
  Widget year = build_band(form, rowcol, type);
  Widget abstract = build_rows(form, year, type);
  build_key_and_other_fields(form, build_bottom(form, abstract));
  XtManageChild(form);
  return form;
}

Extent extent_of(Widget widget) {
  Dimension width = 0;
  Dimension height = 0;
  Dimension border = 0;
  XtVaGetValues(widget, XmNwidth, &width, XmNheight, &height, XmNborderWidth, &border, nullptr);
  return {width + 2 * border, height + 2 * border};
}

std::array<Widget, 2> scroll_bars(Widget scroller) {
  std::array<Widget, 2> bars{};
  XtVaGetValues(scroller, XmNhorizontalScrollBar, &bars[0], XmNverticalScrollBar, &bars[1], nullptr);
  return bars;
}

// Brings a field that gets the keyboard focus into view; a field's label
// is before it among the form's children, and comes into view too where
// there is room for both.
void show_focus_cb(Widget scroller, XtPointer, XtPointer call_data) {
  constexpr Dimension kMargin = 4;
  Widget field = static_cast<XmTraverseObscuredCallbackStruct*>(call_data)->traversal_destination;
  WidgetList children = nullptr;
  Cardinal count = 0;
  XtVaGetValues(XtParent(field), XmNchildren, &children, XmNnumChildren, &count, nullptr);
  const auto at = std::find(children, children + count, field);
  if (at != children && at != children + count && XmIsLabelGadget(at[-1])) {
    XmScrollVisible(scroller, at[-1], kMargin, kMargin);
  }
  XmScrollVisible(scroller, field, kMargin, kMargin);
}

// The scrolled window of a form larger than the screen. Its scroll bars
// stay out of the keyboard traversal, so that Tab goes from field to
// field as in the form alone; a field that gets the focus is scrolled
// into view.
Widget make_scroller(Widget shell) {
  Widget scroller = XtVaCreateWidget("scrolledForm", xmScrolledWindowWidgetClass, shell, XmNscrollingPolicy,
                                     XmAUTOMATIC, XmNscrollBarDisplayPolicy, XmAS_NEEDED, nullptr);
  for (Widget bar : scroll_bars(scroller)) XtVaSetValues(bar, XmNtraversalOn, False, nullptr);
  XtAddCallback(scroller, XmNtraverseObscuredCallback, show_focus_cb, nullptr);
  return scroller;
}

// What the scrolled window adds around the viewed form, as Motif's own
// size computation has it.
ScrollChrome chrome_of(Widget scroller) {
  const auto [horizontal, vertical] = scroll_bars(scroller);
  Dimension spacing = 0;
  Dimension shadow = 0;
  Dimension margin_width = 0;
  Dimension margin_height = 0;
  XtVaGetValues(scroller, XmNspacing, &spacing, XmNshadowThickness, &shadow, XmNscrolledWindowMarginWidth,
                &margin_width, XmNscrolledWindowMarginHeight, &margin_height, nullptr);
  const auto highlight = [](Widget bar) {
    Dimension thickness = 0;
    XtVaGetValues(bar, XmNhighlightThickness, &thickness, nullptr);
    return 2 * thickness;
  };
  return {{extent_of(vertical).width + spacing + highlight(vertical),
           extent_of(horizontal).height + spacing + highlight(horizontal)},
          {2 * (shadow + margin_width), 2 * (shadow + margin_height)}};
}

// Scrolls a realized scrolled window so that the form's point `offset` is
// at the top-left corner of the view, as near as its scroll bars go.
void scroll_to(Widget scroller, Place offset) {
  const auto bars = scroll_bars(scroller);
  const std::array<int, 2> wanted = {offset.x, offset.y};
  for (std::size_t i = 0; i < bars.size(); ++i) {
    if (!XtIsManaged(bars[i])) continue;
    int value = 0;
    int slider = 0;
    int increment = 0;
    int page = 0;
    int minimum = 0;
    int maximum = 0;
    XmScrollBarGetValues(bars[i], &value, &slider, &increment, &page);
    XtVaGetValues(bars[i], XmNminimum, &minimum, XmNmaximum, &maximum, nullptr);
    XmScrollBarSetValues(bars[i], std::clamp(wanted[i], minimum, maximum - slider), slider, increment, page, True);
  }
}

// Where a form's window is and which part of a scrolled form is in view:
// a rebuilt form keeps the old one's.
struct FormPlace {
  std::optional<Place> frame;  // none: where the main window is
  Place scrolled;              // the form's point at the view's top-left corner
};

FormPlace place_of(Widget shell) {
  FormPlace place;
  if (const auto frame = window_frame(shell)) place.frame = frame->place;
  Widget scroller = XtNameToWidget(shell, "scrolledForm");
  Widget form = scroller ? XtNameToWidget(scroller, "*form") : nullptr;
  if (form != nullptr) {
    Position x = 0;
    Position y = 0;
    XtVaGetValues(form, XmNx, &x, XmNy, &y, nullptr);
    place.scrolled = {-x, -y};
  }
  return place;
}

// The size the form of an entry type takes once it is laid out, which
// the form does only when it is realized: it is made in a shell of the
// form's name (the same resources apply), realized but never shown, and
// destroyed.
Extent natural_size(EntryType type, FormState& state) {
  Widget trial = XtVaCreatePopupShell(kFormShellName, topLevelShellWidgetClass, toplevel, nullptr);
  Widget form = build_form(trial, type, state);
  XtRealizeWidget(trial);
  const Extent size = extent_of(form);
  XtDestroyWidget(trial);
  return size;
}

// Builds the form's shell for an entry type and pops it up. A form that
// fits the screen (less the window manager's frame, as the main window
// has it) is the shell's child; a larger one is shown in a scrolled
// window of the screen's size, or of its own in the direction it fits.
// The frame goes where `place` says, moved onto the screen.
void build_shell(EntryType type, FormState& state, const FormPlace& place) {
  const Extent natural = natural_size(type, state);
  const Extent screen = screen_extent(toplevel);
  const auto main_frame = window_frame(toplevel);
  const Extent decorations = main_frame ? main_frame->decorations : Extent{};
  const Extent room = room_inside_frame(screen, decorations);

  state.shell = XtVaCreatePopupShell(kFormShellName, topLevelShellWidgetClass, toplevel, XmNtitle,
                                     form_title(state.mode).data(), XmNdeleteResponse, XmDO_NOTHING, nullptr);
  Atom delete_window = XmInternAtom(XtDisplay(state.shell), const_cast<char*>("WM_DELETE_WINDOW"), False);
  XmAddWMProtocolCallback(state.shell, delete_window, window_closed_cb, &state);
  XtAddCallback(state.shell, XmNdestroyCallback, form_destroyed_cb, &state);

  Widget form = nullptr;
  Widget scroller = nullptr;
  Extent size = natural;
  if (fits(natural, room)) {
    form = build_form(state.shell, type, state);
  } else {
    scroller = make_scroller(state.shell);
    form = build_form(scroller, type, state);
    size = scrolled_size(natural, room, chrome_of(scroller));
    XtVaSetValues(scroller, XmNwidth, static_cast<Dimension>(size.width), XmNheight,
                  static_cast<Dimension>(size.height), nullptr);
    XtManageChild(scroller);
  }
  const Place wanted = place.frame ? *place.frame : main_frame ? main_frame->place : Place{};
  const Place frame =
      keep_on_screen(wanted, {size.width + decorations.width, size.height + decorations.height}, screen);
  XtVaSetValues(state.shell, XmNx, static_cast<Position>(frame.x), XmNy, static_cast<Position>(frame.y), nullptr);
  // The form lays its children out when it is realized.
  XtRealizeWidget(state.shell);
  mark_place_as_chosen(state.shell);
  fill_texts(XtNameToWidget(form, "rowcol"));
  fill_texts(form);
  if (scroller != nullptr) scroll_to(scroller, place.scrolled);
  XtPopup(state.shell, XtGrabNone);
}

}  // namespace

void open_form(EntryType type, FormState& state) {
  state.answer = FormAnswer::kWaiting;
  open_state = &state;
  build_shell(type, state, {});
}

void rebuild_form(EntryType type, FormState& state) {
  Widget old_shell = state.shell;
  build_shell(type, state, old_shell != nullptr ? place_of(old_shell) : FormPlace{});
  if (old_shell != nullptr) let_go(old_shell, state);
}

FormAnswer run_form(EntryType type, FormMode mode, std::function<bool()> accept) {
  FormState state;
  state.mode = mode;
  state.accept = std::move(accept);
  open_form(type, state);
  // Commands stay live while the form waits; their messages show as in the
  // main loop.
  while (state.answer == FormAnswer::kWaiting) {
    XtAppProcessEvent(app_context, XtIMAll);
    show_messages();
    keep_recovery_copy();
  }
  // The state dies here: no shell, nor the open form, may still point at it.
  if (state.shell != nullptr) let_go(state.shell, state);
  forget_if_open(state);
  return state.answer;
}

Widget open_form_shell() { return open_state != nullptr ? open_state->shell : nullptr; }

bool form_is_open() { return open_form_shell() != nullptr; }

namespace {

// Gives the open form the keyboard focus once the window manager shows it
// again; the focus cannot go to a window that is not viewable. The form is
// looked up anew each time, as it may have been answered meanwhile.
void focus_form_when_shown(XtPointer tries_left, XtIntervalId*) {
  Widget form_shell = open_form_shell();
  if (form_shell == nullptr || !XtIsRealized(form_shell)) return;
  Display* display = XtDisplay(form_shell);
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, XtWindow(form_shell), &attributes) && attributes.map_state == IsViewable) {
    XSetInputFocus(display, XtWindow(form_shell), RevertToParent, CurrentTime);
    return;
  }
  const auto left = reinterpret_cast<std::intptr_t>(tries_left);
  if (left > 0) {
    XtAppAddTimeOut(app_context, 20, focus_form_when_shown, reinterpret_cast<XtPointer>(left - 1));
  }
}

}  // namespace

void raise_form() {
  Widget form_shell = open_form_shell();
  if (form_shell == nullptr) return;
  XtPopup(form_shell, XtGrabNone);
  Display* display = XtDisplay(form_shell);
  const Window window = XtWindow(form_shell);
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, window, &attributes) && attributes.map_state != IsViewable) {
    // Iconified: mwm ignores a plain map of an iconic window, so the form
    // is withdrawn and mapped anew, in the normal state its hints ask for.
    XWithdrawWindow(display, window, DefaultScreen(display));
    XMapRaised(display, window);
  }
  raise_shell(form_shell);
  // About five seconds for the window manager to show it.
  focus_form_when_shown(reinterpret_cast<XtPointer>(std::intptr_t{250}), nullptr);
}

void refid_cb(Widget widget, XtPointer client_data, XtPointer) {
  // Only a search takes the identifier from the form; an added reference
  // keeps the proposed one and an edited one its own.
  if (static_cast<const FormState*>(client_data)->mode != kSearchMode) return;
  XtText text(XmTextGetString(widget));
  if (!text) return;
  session().set_edit_ref_id(text.get());
}

void field_cb(Widget widget, XtPointer client_data, XtPointer) {
  XtText text(XmTextGetString(widget));
  if (!text) return;
  const int slot = from_client_data<int>(client_data);
  // A text converted to be shown is taken back only once the user changed
  // it: showing must not rewrite the stored bytes.
  if (text.get() == shown_text(database().edit_buffer().text(slot))) return;
  session().set_edit_text(slot, text.get());
}

void entrytype_cb(Widget widget, XtPointer client_data, XtPointer) {
  const int button = from_client_data<int>(client_data);
  FormState* state = state_of(widget);
  if (state == nullptr) return;
  take_over_focused_field(state->shell);
  session().set_edit_text(kEntryTypeSlot, entry_type_for_button(button));
  rebuild_form(static_cast<EntryType>(button), *state);
}

void reprint_cb(Widget, XtPointer client_data, XtPointer) {
  session().set_edit_text(kReprint, reprint_for_button(from_client_data<int>(client_data)));
}

void form_ok_cb(Widget, XtPointer client_data, XtPointer) {
  auto& state = *static_cast<FormState*>(client_data);
  take_over_focused_field(state.shell);
  if (state.accept && !state.accept()) return;
  close_form(state, FormAnswer::kOk);
}

void form_cancel_cb(Widget, XtPointer client_data, XtPointer) {
  close_form(*static_cast<FormState*>(client_data), FormAnswer::kCancel);
}

}  // namespace refloom::ui
