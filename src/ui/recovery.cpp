// The recovery copy's timer, its last writes, and the signals and lost
// display that call for them.

#include "ui/recovery.h"

#include <X11/Intrinsic.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "session/recovery.h"
#include "ui/app.h"

namespace refloom::ui {

namespace {

std::unique_ptr<RecoveryCopy> recovery_copy;
unsigned long recovery_delay_ms = kRecoveryDelayMs;
XtIntervalId recovery_timer = 0;

// A write still under way is looked at again this soon.
constexpr unsigned long kBusyWriterMs = 200;

void write_when_due(XtPointer, XtIntervalId*) {
  recovery_timer = 0;
  if (!recovery_copy) return;
  if (recovery_copy->writing(messages())) {
    recovery_timer = XtAppAddTimeOut(app_context, kBusyWriterMs, write_when_due, nullptr);
    return;
  }
  recovery_copy->update(session(), RecoveryCopy::When::kInBackground, messages());
}

void cancel_timer() {
  if (recovery_timer != 0) XtRemoveTimeOut(recovery_timer);
  recovery_timer = 0;
}

// Set by the signal handler, read by the procedure the toolkit calls for
// it from the event loop, where writing a file is safe.
volatile sig_atomic_t ending_signal = 0;
XtSignalId signal_id = 0;

void notice_signal(int signal_number) {
  ending_signal = signal_number;
  XtNoticeSignal(signal_id);
}

void end_after_signal(XtPointer, XtSignalId*) {
  const int signal_number = ending_signal;
  finish_recovery();
  messages().flush();
  // Ended by the signal as before, for whoever waits for the program.
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

// Xlib calls this with the connection gone; it must not return.
int end_after_lost_display(Display*) {
  finish_recovery();
  messages().flush();
  std::fprintf(stderr, "refloom: lost the connection to the X display\n");
  std::exit(1);
}

}  // namespace

void start_recovery(const std::string& directory, unsigned long delay_ms) {
  recovery_delay_ms = delay_ms;
  messages() << left_copies_announcement(left_copies(directory));
  recovery_copy = std::make_unique<RecoveryCopy>(directory);
}

void stop_recovery() {
  cancel_timer();
  recovery_copy.reset();
}

std::string recovery_copy_path() { return recovery_copy ? recovery_copy->path() : std::string(); }

void keep_recovery_copy() {
  if (!recovery_copy) return;
  recovery_copy->writing(messages());  // collects a write that has ended
  if (recovery_copy->up_to_date(session())) return;
  if (!RecoveryCopy::wanted(session())) {
    // Saved: the copy goes at once.
    cancel_timer();
    recovery_copy->update(session(), RecoveryCopy::When::kNow, messages());
    return;
  }
  if (recovery_timer == 0) recovery_timer = XtAppAddTimeOut(app_context, recovery_delay_ms, write_when_due, nullptr);
}

void recovery_before_new() {
  if (recovery_copy) recovery_copy->keep_before_new(session(), messages());
}

void finish_recovery() {
  cancel_timer();
  if (recovery_copy) recovery_copy->finish(session(), messages());
}

void end_with_a_copy_on_signals() {
  signal_id = XtAppAddSignal(app_context, end_after_signal, nullptr);
  struct sigaction action {};
  action.sa_handler = notice_signal;
  sigemptyset(&action.sa_mask);
  // Reads and writes under way go on; the toolkit's wait for events ends.
  action.sa_flags = SA_RESTART;
  for (int signal_number : {SIGTERM, SIGHUP, SIGINT}) sigaction(signal_number, &action, nullptr);
  XSetIOErrorHandler(end_after_lost_display);
}

}  // namespace refloom::ui
