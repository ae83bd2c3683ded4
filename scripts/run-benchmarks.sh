#!/bin/sh
# Measures file speed, memory and merging of refloom-convert against a
# plain line-by-line copy, and the GUI load, on generated data.
#   run-benchmarks.sh BUILD_DIR
set -eu
build=$1
data="$build/bench-data"
mkdir -p "$data"
convert="$build/tools/refloom-convert"

gen() {  # entries seed first_key file
  [ -s "$4" ] || "$build/bench/gen_bibtex" "$1" "$2" "$3" >"$4"
}
gen 50000 1 1 "$data/big50k.bib"
gen 50000 2 1 "$data/other50k.bib"
gen 200000 3 1 "$data/big200k.bib"
gen 100000 5 1 "$data/big100k.bib"

# Median wall-clock time of five runs, in seconds; the peak memory of the
# runs is left in $data/peak_kb.
best() {
  : >"$data/times"
  for run in 1 2 3 4 5; do
    /usr/bin/time -f "%e %M" -o "$data/time" "$@" >/dev/null 2>&1
    cat "$data/time" >>"$data/times"
  done
  sort -n -k2 "$data/times" | tail -n 1 | cut -d' ' -f2 >"$data/peak_kb"
  sort -n "$data/times" | sed -n 3p | cut -d' ' -f1
}
peak_mb() { echo $(($(cat "$data/peak_kb") / 1024)); }

size_mb() { echo "scale=1; $(stat -c %s "$1") / 1048576" | bc; }

echo "file sizes: 50,000 entries $(size_mb "$data/big50k.bib") MB, 200,000 entries $(size_mb "$data/big200k.bib") MB"
t_copy=$(best "$build/bench/getline_copy" "$data/big50k.bib" "$data/copy.bib")
echo "getline copy, 50,000 entries:          ${t_copy} s"
t_50=$(best "$convert" "$data/big50k.bib" -o "$data/out.bib")
echo "refloom-convert, 50,000 entries:       ${t_50} s ($(echo "scale=2; $t_50 / $t_copy" | bc)x the copy), peak memory $(peak_mb) MB"
t_200=$(best "$convert" "$data/big200k.bib" -o "$data/out.bib")
echo "refloom-convert, 200,000 entries:      ${t_200} s ($(echo "scale=2; $t_200 / $t_50" | bc)x the 50,000 time), peak memory $(peak_mb) MB"
t_merge=$(best "$convert" "$data/big50k.bib" "$data/other50k.bib" -o "$data/out.bib")
echo "merge of 2 x 50,000 (renumbering):     ${t_merge} s"

if [ -x "$build/bench/gui_load_bench" ]; then
  echo "GUI load of 100,000 entries through the Load dialog:"
  sh "$(dirname "$0")/with-display.sh" "$build/bench/gui_load_bench" "$data/big100k.bib" | sed 's/^/  /'
  # The same in a UTF-8 locale with the Xft font of data/app-defaults, on
  # 100,000 references with UTF-8 names read from a generated .nbib file.
  [ -s "$data/nbib100000.txt" ] || "$build/bench/gen_exports" nbib 100000 7 >"$data/nbib100000.txt"
  [ -s "$data/utf8-100k.bib" ] || "$convert" -f nbib "$data/nbib100000.txt" -o "$data/utf8-100k.bib"
  echo "GUI load of 100,000 UTF-8 references, LC_ALL=C.UTF-8, Xft font:"
  LC_ALL=C.UTF-8 XAPPLRESDIR="$(cd "$(dirname "$0")/.." && pwd)/data/app-defaults" \
    sh "$(dirname "$0")/with-display.sh" "$build/bench/gui_load_bench" "$data/utf8-100k.bib" | sed 's/^/  /'
fi
if [ -x "$build/bench/gui_recovery_bench" ]; then
  echo "Recovery copy of 100,000 listed references:"
  sh "$(dirname "$0")/with-display.sh" "$build/bench/gui_recovery_bench" "$data/big100k.bib" | sed 's/^/  /'
fi
if [ -x "$build/bench/gui_form_bench" ]; then
  # Edit on a reference with long texts, and an entry type switch, in both
  # locales (the C locale keeps one byte per character in the text widget).
  for locale in C.UTF-8 C; do
    echo "Reference form with long texts, LC_ALL=$locale, Xft font:"
    LC_ALL=$locale XAPPLRESDIR="$(cd "$(dirname "$0")/.." && pwd)/data/app-defaults" \
      sh "$(dirname "$0")/with-display.sh" "$build/bench/gui_form_bench" | sed 's/^/  /'
  done
  # The same where every form fits the screen, and where every form is
  # scrolled.
  for screen in 1920x1200 1024x768; do
    echo "Reference form with long texts, LC_ALL=C.UTF-8, Xft font, a $screen screen:"
    LC_ALL=C.UTF-8 XAPPLRESDIR="$(cd "$(dirname "$0")/.." && pwd)/data/app-defaults" REFLOOM_SCREEN=$screen \
      sh "$(dirname "$0")/with-display.sh" "$build/bench/gui_form_bench" | sed 's/^/  /'
  done
fi
if [ -x "$build/bench/search_bench" ]; then
  echo "Searches on 200,000 references:"
  sh "$(dirname "$0")/with-display.sh" "$build/bench/search_bench" "$data/big200k.bib" | sed 's/^/  /'
fi
sh "$(dirname "$0")/bench-bibtex-any.sh" "$build"
sh "$(dirname "$0")/bench-files.sh" "$build"
if [ -x "$(dirname "$0")/bench-import.sh" ]; then
  sh "$(dirname "$0")/bench-import.sh" "$build"
fi
