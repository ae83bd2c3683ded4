#!/bin/sh
# Drives the built program from outside with xdotool: load a file, add a
# reference through the form, end the program with SIGTERM before any timer
# could have written the addition. The recovery copy must hold everything
# (mode 0600 in a 0700 directory); the next start names it on standard
# output and in the message dialog (read back through the selection), and
# it loads with "BibTeX (any style)" and saves as the database was. A lost
# display and Quit leave copies too; every copy stays until the user
# deletes it.
#   blackbox_recovery.sh REFLOOM_BINARY PRINT_SELECTION_BINARY
set -u
refloom=$1
print_selection=$2
work=$(mktemp -d)
trap 'kill $pid 2>/dev/null; rm -rf "$work"' EXIT

. "$(dirname "$0")/blackbox_lib.sh"

copies="$XDG_STATE_HOME/refloom"

cat >"$work/in.bib" <<'BIB'
@article{3,
  author = {Doe, J. and M{\"u}ller, K.},
  title = "A study of {"}quotes{"}",
  journal = {J. Things},
  year = {1999},
}
@Book{5, title = {Braces {inside}}, year = {2001}
}
BIB

"$refloom" >"$work/output" 2>&1 &
pid=$!
first_pid=$pid

main=$(focused_main_window) || exit 1
load_by_menu "Load BibTeX" "$work/in.bib"

add_reference_by_keyboard

kill -TERM $pid
wait_until program_ended || fail "SIGTERM did not end the program"
wait $pid
status=$?
[ $status -eq 143 ] || fail "exit status $status after SIGTERM, expected 143 (ended by the signal)"
[ -s "$work/output" ] && fail "unexpected messages from the first run"

copy="$copies/recovery-$first_pid.bib"
[ -f "$copy" ] || { ls -la "$copies" >&2; fail "no recovery copy $copy"; }
[ "$(stat -c %a "$copies")" = 700 ] || fail "the directory's mode is $(stat -c %a "$copies")"
[ "$(stat -c %a "$copy")" = 600 ] || fail "the copy's mode is $(stat -c %a "$copy")"
[ "$(ls -A "$copies")" = "recovery-$first_pid.bib" ] || { ls -la "$copies" >&2; fail "more than the copy was left"; }

cat >"$work/expected.bib" <<'BIB'
@article{3,
author     = "Doe, J. and M{\"u}ller, K.",
journal    = "J. Things",
title      = "A study of {"}quotes{"}",
year       = "1999",
}

@Book{5,
title      = "Braces {inside}",
year       = "2001",
}

@article{4,
author     = "Keys, K.",
journal    = "J. Black Box",
title      = "Added by keyboard",
year       = "2024",
}

BIB
cmp "$work/expected.bib" "$copy" || { diff "$work/expected.bib" "$copy" >&2; fail "the recovery copy differs"; }

# The next start names the copy, on standard output and on screen.
"$refloom" >"$work/output" 2>&1 &
pid=$!
main=$(wait_window "Refloom Manager, Ver. 1.7") || fail "main window did not appear again"
dialog=$(wait_window "Refloom Messages") || fail "the message dialog did not name the copy"
written=$(date -r "$copy" '+%Y-%m-%d %H:%M')
printf '%s\n' "Recovery copy of unsaved work from an earlier run ($written): $copy" \
  'Load a recovery copy with File > Load and the format "BibTeX (any style)"; each stays until you delete it.' \
  >"$work/announced"
wait_until test -s "$work/output" || fail "nothing on standard output"
cmp "$work/announced" "$work/output" || { diff "$work/announced" "$work/output" >&2; fail "standard output differs"; }

# The dialog's text, selected whole with the keyboard and read back; the
# click and the keys are sent again until the text is selected, as the
# window manager may give the focus only after the first click.
select_message_text() {
  xdotool mousemove --window "$dialog" 150 100 click 1 key ctrl+slash
  "$print_selection" >"$work/shown" 2>/dev/null
}
wait_until viewable "$dialog" || fail "the message dialog is not shown"
wait_until select_message_text || fail "nothing selected in the message dialog"
shown=$(cat "$work/shown")
[ "$shown" = "$(cat "$work/announced")" ] || { printf '%s\n' "$shown" >&2; fail "the message dialog shows otherwise"; }

# Loaded as the announcement says, with the sixth format, and saved: the
# database as it was when the first run ended.
focus_window "$main"
menu f l
load=$(wait_window "Load BibTeX") || fail "Load dialog did not appear"
focus_window "$load"
xdotool key shift+Tab Down Down Down Down Down space
wait_window 'Load BibTeX \(any style\)' >/dev/null || fail "the sixth format was not chosen"
xdotool key Tab
enter_path "$load" "$copy"
wait_window "$copy" >/dev/null || fail "title did not become the recovery copy"
menu f s
save=$(wait_window "Save Database") || fail "Save dialog did not appear"
enter_path "$save" "$work/out.bib"
wait_window "$work/out.bib" >/dev/null || fail "title did not become the saved file"
# "BibTeX (any style)" keeps entry types in lower case, as BibTeX reads them.
sed 's/^@Book{/@book{/' "$work/expected.bib" >"$work/expected-again.bib"
cmp "$work/expected-again.bib" "$work/out.bib" || {
  diff "$work/expected-again.bib" "$work/out.bib" >&2
  fail "the loaded copy saves otherwise"
}

# More work, then the display goes (the server closes the connection, as
# when it ends): the copy holds it, and the program ends with status 1.
load_by_menu 'Load BibTeX \(any style\)' "$work/in.bib"
second_pid=$pid
xdotool windowkill "$main"
wait_until program_ended || fail "a lost display did not end the program"
wait $pid
status=$?
[ $status -eq 1 ] || fail "exit status $status after the display was lost"
copy2="$copies/recovery-$second_pid.bib"
[ -f "$copy2" ] || { ls -la "$copies" >&2; fail "no recovery copy after the display was lost"; }
[ "$(stat -c %a "$copy2")" = 600 ] || fail "the second copy's mode is $(stat -c %a "$copy2")"
size=$(wc -c <"$work/expected-again.bib")
head -c "$size" "$copy2" | cmp - "$work/expected-again.bib" || fail "the second copy lost the saved part"
[ "$(grep -c '^@' "$copy2")" = 5 ] || { cat "$copy2" >&2; fail "the second copy lacks the second load"; }
# The first copy is as it was.
cmp "$work/expected.bib" "$copy" || fail "the first copy changed"

# The third start names both, oldest first; a load and Quit leave a copy
# of their own; the others stay.
"$refloom" >"$work/output" 2>&1 &
pid=$!
main=$(wait_window "Refloom Manager, Ver. 1.7") || fail "main window did not appear a third time"
wait_window "Refloom Messages" >/dev/null || fail "the message dialog did not name the copies"
written2=$(date -r "$copy2" '+%Y-%m-%d %H:%M')
printf '%s\n' "Recovery copy of unsaved work from an earlier run ($written): $copy" \
  "Recovery copy of unsaved work from an earlier run ($written2): $copy2" \
  'Load a recovery copy with File > Load and the format "BibTeX (any style)"; each stays until you delete it.' \
  >"$work/announced"
wait_until test -s "$work/output" || fail "nothing on standard output"
cmp "$work/announced" "$work/output" || { diff "$work/announced" "$work/output" >&2; fail "standard output differs"; }
focus_window "$main"
load_by_menu "Load BibTeX" "$work/in.bib"
third_pid=$pid
menu f q
wait_until program_ended || fail "Quit did not end the program"
wait $pid
status=$?
[ $status -eq 0 ] || fail "exit status $status after Quit"
head -n 12 "$work/expected.bib" >"$work/expected-loaded.bib"
cmp "$work/expected-loaded.bib" "$copies/recovery-$third_pid.bib" || fail "Quit did not leave the copy of the load"
expected_names=$(printf '%s\n' "recovery-$first_pid.bib" "recovery-$second_pid.bib" "recovery-$third_pid.bib" | sort)
[ "$(ls -A "$copies" | sort)" = "$expected_names" ] || { ls -la "$copies" >&2; fail "the copies left differ"; }
echo "recovery copies at SIGTERM, a lost display and Quit, announced, loaded and kept: ok"
