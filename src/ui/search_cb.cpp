#include "ui/app.h"

namespace refloom::ui {

void search_cb(Widget, XtPointer, XtPointer) {}

}  // namespace refloom::ui
