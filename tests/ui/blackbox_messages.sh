#!/bin/sh
# Drives the built program from outside with xdotool: a load of a file with
# a broken entry shows the message dialog with what was read and the
# messages, while standard output gets every message as before; Return
# closes the dialog.
#   blackbox_messages.sh REFLOOM_BINARY
set -u
refloom=$1
work=$(mktemp -d)
trap 'kill $pid 2>/dev/null; rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  echo "--- program output:" >&2
  cat "$work/output" >&2
  exit 1
}

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
wait_until() {
  tries=0
  until "$@"; do
    tries=$((tries + 1))
    [ $tries -gt 50 ] && return 1
    sleep 0.1
  done
}
window_gone() { ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
program_ended() { ! kill -0 $pid 2>/dev/null; }
menu() {
  xdotool keydown Alt_L
  sleep 0.1
  xdotool key "$1"
  sleep 0.1
  xdotool keyup Alt_L
  sleep 0.3
  xdotool key "$2"
}

printf '%s\n' '@article{12,' '  title = {Fine},' '}' '@article{3,' 'year = 1999,' '}' >"$work/broken.bib"

"$refloom" >"$work/output" 2>&1 &
pid=$!

main=$(wait_window "Refloom Manager, Ver. 1.7") || fail "main window did not appear"
sleep 0.5
xdotool mousemove --window "$main" 200 150 click 1
sleep 0.3

menu f l
wait_window "Load BibTeX" >/dev/null || fail "Load dialog did not appear"
sleep 0.3
xdotool key ctrl+slash
xdotool type --delay 10 "$work/broken.bib"
sleep 0.1
xdotool key Return
dialog=$(wait_window "Refloom Messages") || fail "the message dialog did not appear"
printf '%s\n' 'BibTeX file corrupted in reference 2 ! ' 'year must start with either >> { << or >> " << ' \
  >"$work/expected"
cmp "$work/expected" "$work/output" || { diff "$work/expected" "$work/output" >&2; fail "messages differ"; }

# Its OK button has the focus: Return closes it.
xdotool windowfocus "$dialog"
sleep 0.3
xdotool key Return
wait_until window_gone "Refloom Messages" || fail "Return did not close the message dialog"

xdotool windowfocus "$main"
sleep 0.3
menu f q
wait_until program_ended || fail "Quit did not end the program"
wait $pid
status=$?
[ $status -eq 0 ] || fail "exit status $status"
cmp "$work/expected" "$work/output" || fail "more output than the messages"
echo "messages on screen and on standard output: ok"
