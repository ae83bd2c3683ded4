// Forgets, on purpose, to release what the toolkit hands over: a compound
// string never given to XmStringFree and a text's copy never given to
// XtFree. Run under the leak checker with the GUI tests' suppressions,
// both must be reported: the suppressions may hide the toolkit's own
// leaks, never ours.

#include <X11/Intrinsic.h>
#include <Xm/Label.h>
#include <Xm/RowColumn.h>
#include <Xm/Text.h>
#include <Xm/Xm.h>

#include <cstdint>

namespace {

// Returns the pointer's low bits only, so that no copy of it stays
// reachable for the leak checker.
[[gnu::noinline]] unsigned forget_compound_string(Widget label) {
  XmString forgotten = XmStringCreateLocalized(const_cast<char*>("never freed"));
  XtVaSetValues(label, XmNlabelString, forgotten, nullptr);
  return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(forgotten) & 1U);
}

[[gnu::noinline]] unsigned forget_text_copy(Widget text) {
  char* forgotten = XmTextGetString(text);
  return static_cast<unsigned>(forgotten[0] == 'x');
}

}  // namespace

int main(int argc, char** argv) {
  XtAppContext context = nullptr;
  Widget shell = XtVaAppInitialize(&context, "RefloomLeakProbe", nullptr, 0, &argc, argv, nullptr, nullptr);
  Widget box = XtVaCreateManagedWidget("box", xmRowColumnWidgetClass, shell, nullptr);
  Widget label = XtVaCreateManagedWidget("label", xmLabelWidgetClass, box, nullptr);
  Widget text = XtVaCreateManagedWidget("text", xmTextWidgetClass, box, XmNvalue, "a text", nullptr);
  unsigned bits = forget_compound_string(label);
  bits += forget_text_copy(text);
  XtDestroyWidget(shell);
  XtDestroyApplicationContext(context);
  return static_cast<int>(bits & 0U);
}
