#!/bin/sh
# Takes the README's screenshots: the main window with a loaded file and
# the reference form. Run under a display (make screenshots does that).
#   screenshots.sh BUILD_DIR
set -eu
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
command -v import >/dev/null 2>&1 || {
  echo "Installing imagemagick for the screenshots"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends imagemagick >/dev/null
}
work=/tmp/refloom-screenshots
rm -rf "$work"
mkdir -p "$work"
trap 'kill $pid 2>/dev/null; rm -rf "$work"' EXIT

"$build/bench/gen_bibtex" 400 7 1 >"$work/references.bib"
# The fonts of the application defaults, as make run uses them.
export XAPPLRESDIR="$root/data/app-defaults"
# Its recovery copies stay here, and the user's are not shown.
export XDG_STATE_HOME="$work/state"
"$build/src/ui/refloom" >/dev/null 2>&1 &
pid=$!

wait_window() {
  for _ in $(seq 1 100); do
    id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
menu() {
  xdotool keydown Alt_L; sleep 0.1; xdotool key "$1"; sleep 0.1; xdotool keyup Alt_L; sleep 0.3; xdotool key "$2"
}

main=$(wait_window "Refloom Manager, Ver. 1.7")
sleep 0.5
xdotool mousemove --window "$main" 200 150 click 1
menu f l
wait_window "Load BibTeX" >/dev/null
sleep 0.3
xdotool key ctrl+slash
xdotool type --delay 5 "$work/references.bib"
xdotool key Return
main=$(wait_window "$work/references.bib")
sleep 0.5
xdotool mousemove --window "$main" 200 110 click 1
sleep 0.3
import -window "$main" -frame "$root/docs/main-window.png"

menu e e
form=$(wait_window "Edit reference")
sleep 0.8
import -window "$form" -frame "$root/docs/reference-form.png"
xdotool key Escape
kill $pid 2>/dev/null

# UTF-8 names from a PubMed export, in a UTF-8 locale.
cat >"$work/unicode.nbib" <<'NBIB'
PMID- 1
TI  - Ødegård's α-helix in 北京: a study
FAU - Müller, Hans-Peter
FAU - Nowak, Łukasz
FAU - Ødegård, Åse
TA  - Ökologie
DP  - 2021 Mar

PMID- 2
TI  - Синтез белка
FAU - Иванов, Иван
TA  - Биохимия
DP  - 2019
NBIB
"$build/tools/refloom-convert" -f nbib "$work/unicode.nbib" -o "$work/unicode.bib"
LC_ALL=C.UTF-8 "$build/src/ui/refloom" >/dev/null 2>&1 &
pid=$!
main=$(wait_window "Refloom Manager, Ver. 1.7")
sleep 0.5
xdotool mousemove --window "$main" 200 150 click 1
menu f l
wait_window "Load BibTeX" >/dev/null
sleep 0.3
xdotool key ctrl+slash
xdotool type --delay 5 "$work/unicode.bib"
xdotool key Return
main=$(wait_window "$work/unicode.bib")
sleep 0.5
xdotool mousemove --window "$main" 200 42 click 1
sleep 0.3
import -window "$main" -frame "$root/docs/unicode-list.png"
menu e e
form=$(wait_window "Edit reference")
sleep 0.8
import -window "$form" -frame "$root/docs/unicode-form.png"
echo "wrote docs/main-window.png, docs/reference-form.png, docs/unicode-list.png and docs/unicode-form.png"
