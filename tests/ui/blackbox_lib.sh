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

# The main window once shown and given the keyboard focus by a click, as a
# user starts; prints its id.
focused_main_window() {
  main_window=$(wait_window "Refloom Manager, Ver. 1.7") || fail "main window did not appear"
  wait_until viewable "$main_window" || fail "main window is not shown"
  xdotool mousemove --window "$main_window" 200 150 click 1
  wait_until focused "$main_window" || fail "a click did not give the main window the keyboard focus"
  echo "$main_window"
}

# Edit > Add reference by the keyboard alone: the form opens with the focus
# on its entry type menu; Tab goes through Ref. ID, Key, Crossref and the
# short fields, Ctrl+Tab leaves a multi-line field (the last two are the
# citation key and the other fields); back in the top row, Right moves to
# Ok. Adds Keys, K.: "Added by keyboard", J. Black Box, 2024.
add_reference_by_keyboard() {
  menu e a
  form=$(wait_window "Add new reference") || fail "the form did not appear"
  focus_window "$form"
  xdotool key Tab Tab Tab Tab
  xdotool type --delay 10 "J. Black Box"
  xdotool key Tab Tab Tab Tab Tab
  xdotool type --delay 10 "2024"
  xdotool key Tab
  xdotool type --delay 10 "Added by keyboard"
  xdotool key ctrl+Tab
  xdotool type --delay 10 "Keys, K."
  xdotool key ctrl+Tab ctrl+Tab ctrl+Tab ctrl+Tab ctrl+Tab ctrl+Tab ctrl+Tab ctrl+Tab
  xdotool key Right Right space
  wait_until no_window "Add new reference" || fail "the form did not close on Ok"
}

# File > Load of a path with the format the Load dialog offers (TITLE, a
# pattern of its title), until the window's title shows the path.
#   load_by_menu TITLE PATH
load_by_menu() {
  menu f l
  load=$(wait_window "$1") || fail "Load dialog did not appear"
  enter_path "$load" "$2"
  wait_window "$2" >/dev/null || fail "title did not become the loaded file"
}
