# Shared by the black-box scripts, which drive the built program from
# outside with xdotool. Expects $work (a directory holding the program's
# output in "output") and $pid (the program) to be set by the script.
#
# Every wait polls for the state it needs, up to a time limit generous
# enough for a loaded machine; none sleeps a fixed time instead.

# Recovery copies of the runs stay in the test's directory: the user's own
# copies must not be announced to the test, nor the test's to the user.
export XDG_STATE_HOME="$work/state"

fail() {
  echo "FAIL: $*" >&2
  echo "--- program output:" >&2
  cat "$work/output" >&2
  exit 1
}

# Waits up to twenty seconds for a command to succeed.
wait_until() {
  tries=0
  until "$@"; do
    tries=$((tries + 1))
    [ $tries -gt 200 ] && return 1
    sleep 0.1
  done
}

# Waits until a window with exactly this title exists; prints its id.
wait_window() {
  wait_until window_named "$1" >/dev/null && window_named "$1"
}
window_named() {
  id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1)
  [ -n "$id" ] && echo "$id"
}
no_window() { ! xdotool search --name "^$1\$" >/dev/null 2>&1; }
# The same for windows that are shown (a dialog hidden, not destroyed).
window_gone() { ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
program_ended() { ! kill -0 $pid 2>/dev/null; }
# Mapped by the window manager, and so able to take the keyboard focus.
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
# The window has the keyboard focus.
focused() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }

# Shows a window and gives it the keyboard focus, as a click on it would.
focus_window() {
  wait_until viewable "$1" || fail "window $1 is not shown"
  xdotool windowfocus "$1"
  wait_until focused "$1" || fail "window $1 did not get the keyboard focus"
}

# The windows right below the root that show: the window manager's frames,
# its own windows, and menus that are posted.
shown_top_windows() { xdotool search --onlyvisible --maxdepth 1 --name '' 2>/dev/null | sort; }
# A window right below the root shows that was not among these.
new_top_window() { [ -n "$(shown_top_windows | comm -13 "$1" -)" ]; }

# Alt and a letter: posts a menu of the menu bar by its mnemonic (once it
# shows, it holds the keyboard); then the letter of an entry.
menu() {
  shown_top_windows >"$work/top-windows"
  xdotool keydown Alt_L key "$1" keyup Alt_L
  wait_until new_top_window "$work/top-windows" || fail "the menu of $1 did not post"
  xdotool key "$2"
}

# In a file dialog once it has the keyboard focus: select the whole
# selection text, type the path, Return.
enter_path() {
  wait_until focused "$1" || fail "the file dialog did not get the keyboard focus"
  xdotool key ctrl+slash
  xdotool type --delay 10 "$2"
  xdotool key Return
}
