#!/bin/sh
# Drives the built program from outside with xdotool, as a user would with
# the keyboard: load a file through File > Load, add a reference through the
# form, search for it, print the search result, save under a new name,
# quit; then compares the files written and the exit status.
#   blackbox_session.sh REFLOOM_BINARY
set -u
refloom=$1
work=$(mktemp -d)
trap 'kill $pid 2>/dev/null; rm -rf "$work"' EXIT

. "$(dirname "$0")/blackbox_lib.sh"

cat >"$work/in.bib" <<'BIB'
Some text before the first entry.
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

main=$(focused_main_window) || exit 1

load_by_menu "Load BibTeX" "$work/in.bib"

# Edit > Add reference, by the keyboard alone.
add_reference_by_keyboard
wait_until focused "$main" || fail "the main window did not get the keyboard focus back"

# Search > Search in all fields, for a word of the new title.
menu s s
search=$(wait_window "Search all fields") || fail "the search dialog did not appear"
wait_until focused "$search" || fail "the search dialog did not get the keyboard focus"
xdotool type --delay 10 "KEYBOARD"
xdotool key Return
wait_until window_gone "Search all fields" || fail "the search dialog did not close"
wait_until focused "$main" || fail "the main window did not get the keyboard focus back"

# File > Print cites what the search listed.
menu f p
dialog=$(wait_window "Save LaTeX") || fail "the LaTeX dialog did not appear"
enter_path "$dialog" "$work/found.tex"
wait_until test -s "$work/found.tex" || fail "no LaTeX document was written"
wait_until window_gone "Save LaTeX" || fail "the LaTeX dialog did not close"
wait_until focused "$main" || fail "the main window did not get the keyboard focus back"

menu f s
dialog=$(wait_window "Save Database") || fail "Save dialog did not appear"
enter_path "$dialog" "$work/out.bib"
wait_window "$work/out.bib" >/dev/null || fail "title did not become the saved file"
wait_until window_gone "Save Database" || fail "the Save dialog did not close"
wait_until focused "$main" || fail "the main window did not get the keyboard focus back"

menu f q
wait_until program_ended || fail "Quit did not end the program"
wait $pid
status=$?
[ $status -eq 0 ] || fail "exit status $status"

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
cmp "$work/expected.bib" "$work/out.bib" || { diff "$work/expected.bib" "$work/out.bib" >&2; fail "saved file differs"; }
printf '%s\n' '\documentclass[12pt]{article} ' '\begin{document} ' '\nocite{4} ' \
  "\\bibliography{$work/in} " '\bibliographystyle{plain} ' '\end{document} ' >"$work/expected.tex"
cmp "$work/expected.tex" "$work/found.tex" || { diff "$work/expected.tex" "$work/found.tex" >&2; fail "LaTeX document differs"; }
[ -s "$work/output" ] && fail "unexpected messages"
echo "load, add, search, print, save and quit by keyboard: ok"
