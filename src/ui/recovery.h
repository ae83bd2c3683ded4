#pragma once

// The recovery copy in the running program: a toolkit timer writes it a
// few seconds after a change (in the background, from a snapshot of the
// database), and Quit, New, SIGTERM, SIGHUP, SIGINT and a lost display
// write it before the work would go.

#include <string>

namespace refloom::ui {

// Seconds between a change and its copy: typing in the form never waits
// for a write, and a burst of commands costs one.
inline constexpr unsigned long kRecoveryDelayMs = 3000;

// Keeps the recovery copy in `directory` from now on, and says on the
// message stream which copies ended processes left there. Without this
// call (the GUI tests) no copy is kept.
void start_recovery(const std::string& directory, unsigned long delay_ms = kRecoveryDelayMs);
// Stops keeping it: waits for a write under way; the copy stays.
void stop_recovery();
// The path of this process's copy, once it has one ("" otherwise).
std::string recovery_copy_path();

// After every event: starts the timer when the copy is behind the
// database, removes the copy once a save has written everything.
void keep_recovery_copy();
// New is about to empty the database: the copy of the work so far stays.
void recovery_before_new();
// The program ends: the last copy, written before this returns.
void finish_recovery();

// SIGTERM, SIGHUP and SIGINT, and a lost connection to the X server, end
// the program after its last copy (the signal ends it as before).
void end_with_a_copy_on_signals();

}  // namespace refloom::ui
