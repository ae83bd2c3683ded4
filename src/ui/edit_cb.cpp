#include "ui/app.h"

namespace refloom::ui {

void edit_cb(Widget, XtPointer, XtPointer) {}

}  // namespace refloom::ui
