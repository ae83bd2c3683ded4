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

main=$(wait_window "Refloom Manager, Ver. 1.7") || fail "main window did not appear"
sleep 0.5
xdotool mousemove --window "$main" 200 150 click 1
sleep 0.3

menu f l
wait_window "Load BibTeX" >/dev/null || fail "Load dialog did not appear"
enter_path "$work/in.bib"
wait_window "$work/in.bib" >/dev/null || fail "title did not become the loaded file"

# Edit > Add reference: the form opens with the focus on its entry type
# menu; Tab goes through Ref. ID, Key, Crossref and the short fields, Ctrl+Tab
# leaves a multi-line field (the last two are the citation key and the other
# fields); back in the top row, Right moves to Ok.
menu e a
form=$(wait_window "Add new reference") || fail "the form did not appear"
xdotool windowfocus "$form"
sleep 0.3
xdotool key Tab Tab Tab Tab
xdotool type --delay 10 "J. Black Box"
xdotool key Tab Tab Tab Tab Tab
xdotool type --delay 10 "2024"
xdotool key Tab
xdotool type --delay 10 "Added by keyboard"
xdotool key ctrl+Tab
xdotool type --delay 10 "Keys, K."
xdotool key ctrl+Tab ctrl+Tab ctrl+Tab ctrl+Tab ctrl+Tab ctrl+Tab ctrl+Tab ctrl+Tab
sleep 0.2
xdotool key Right
sleep 0.1
xdotool key Right
sleep 0.1
xdotool key space
wait_until no_window "Add new reference" || fail "the form did not close on Ok"

# Search > Search in all fields, for a word of the new title.
menu s s
wait_window "Search all fields" >/dev/null || fail "the search dialog did not appear"
sleep 0.3
xdotool type --delay 10 "KEYBOARD"
xdotool key Return
sleep 0.5

# File > Print cites what the search listed.
menu f p
wait_window "Save LaTeX" >/dev/null || fail "the LaTeX dialog did not appear"
enter_path "$work/found.tex"
wait_until test -s "$work/found.tex" || fail "no LaTeX document was written"

menu f s
wait_window "Save Database" >/dev/null || fail "Save dialog did not appear"
enter_path "$work/out.bib"
wait_window "$work/out.bib" >/dev/null || fail "title did not become the saved file"

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
