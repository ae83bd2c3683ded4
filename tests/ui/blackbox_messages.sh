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

. "$(dirname "$0")/blackbox_lib.sh"

printf '%s\n' '@article{12,' '  title = {Fine},' '}' '@article{3,' 'year = 1999,' '}' >"$work/broken.bib"

"$refloom" >"$work/output" 2>&1 &
pid=$!

main=$(focused_main_window) || exit 1

menu f l
load=$(wait_window "Load BibTeX") || fail "Load dialog did not appear"
enter_path "$load" "$work/broken.bib"
dialog=$(wait_window "Refloom Messages") || fail "the message dialog did not appear"
printf '%s\n' 'BibTeX file corrupted in reference 2 ! ' 'year must start with either >> { << or >> " << ' \
  >"$work/expected"
cmp "$work/expected" "$work/output" || { diff "$work/expected" "$work/output" >&2; fail "messages differ"; }

# Its OK button has the focus: Return closes it.
focus_window "$dialog"
xdotool key Return
wait_until window_gone "Refloom Messages" || fail "Return did not close the message dialog"

focus_window "$main"
menu f q
wait_until program_ended || fail "Quit did not end the program"
wait $pid
status=$?
[ $status -eq 0 ] || fail "exit status $status"
cmp "$work/expected" "$work/output" || fail "more output than the messages"
echo "messages on screen and on standard output: ok"
