#pragma once

#include <X11/Intrinsic.h>

namespace refloom::ui {

// The dialog that shows a command's messages ("messageDialog", with the
// scrolled text "messageText"); made on first use and kept.
extern Widget message_dialog;

inline constexpr const char* kMessageDialogTitle = "Refloom Messages";

// Ends a command: its messages go out to their stream, and if it wrote
// any, the message dialog shows their summary, replacing what it showed.
void show_messages();

}  // namespace refloom::ui
