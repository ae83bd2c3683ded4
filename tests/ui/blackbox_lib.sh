# Shared by the black-box scripts, which drive the built program from
# outside with xdotool. Expects $work (a directory holding the program's
# output in "output") and $pid (the program) to be set by the script.

# Recovery copies of the runs stay in the test's directory: the user's own
# copies must not be announced to the test, nor the test's to the user.
export XDG_STATE_HOME="$work/state"

fail() {
  echo "FAIL: $*" >&2
  echo "--- program output:" >&2
  cat "$work/output" >&2
  exit 1
}

# Waits until a window with exactly this title exists; prints its id.
wait_window() {
  tries=0
  while :; do
    id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    tries=$((tries + 1))
    [ $tries -gt 100 ] && return 1
    sleep 0.1
  done
}

# Waits up to five seconds for a command to succeed.
wait_until() {
  tries=0
  until "$@"; do
    tries=$((tries + 1))
    [ $tries -gt 50 ] && return 1
    sleep 0.1
  done
}
no_window() { ! xdotool search --name "^$1\$" >/dev/null 2>&1; }
# The same for windows that are shown (a dialog hidden, not destroyed).
window_gone() { ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
program_ended() { ! kill -0 $pid 2>/dev/null; }

# Alt and a letter: posts a menu of the menu bar by its mnemonic.
menu() {
  xdotool keydown Alt_L
  sleep 0.1
  xdotool key "$1"
  sleep 0.1
  xdotool keyup Alt_L
  sleep 0.3
  xdotool key "$2"
}

# In a file dialog: select the whole selection text, type the path, Return.
enter_path() {
  sleep 0.3
  xdotool key ctrl+slash
  xdotool type --delay 10 "$1"
  sleep 0.1
  xdotool key Return
}
