#!/bin/sh
# Worst cases of reading and numbering, each against its ordinary case in the
# same run:
# - merging 200,000 references whose keys come in sorted, random and
#   killer-adversary order (McIlroy's adversary against the numeric sort)
#   with one more file, which sorts the 200,000 identifiers once;
# - one BibTeX value of 40 MB on one line against a generated file of the
#   same size with 50,000 ordinary entries;
# - a PubMed export with one 40 MB line (cut to 2,999 characters) against a
#   one-record export.
#   bench-files.sh BUILD_DIR
set -eu
build=$1
data="$build/bench-data"
mkdir -p "$data"
convert="$build/tools/refloom-convert"
gen="$build/bench/gen_orders"

for order in sorted random adversary; do
  [ -s "$data/keys_$order.bib" ] || "$gen" "$order" 200000 >"$data/keys_$order.bib"
done
printf '@misc{1,\n  title = {One more},\n}\n' >"$data/one.bib"
[ -s "$data/longline.bib" ] || "$gen" longline 40 >"$data/longline.bib"
[ -s "$data/pubmedline.txt" ] || "$gen" pubmedline 40 >"$data/pubmedline.txt"
printf 'UI  - 1\nTI  - A short record\nSO  - J Biol Chem 1995;270(9):4563-9\n' >"$data/pubmedshort.txt"
# A normal file of the long line's size: generated entries up to 40 MB.
[ -s "$data/normal40.bib" ] || "$build/bench/gen_bibtex" 50000 1 1 | head -c 41943040 >"$data/normal40.bib"

# Median wall-clock time of five runs; their largest peak memory (KB) is
# left in $data/peak_kb.
median() {
  : >"$data/times"
  for run in 1 2 3 4 5; do
    /usr/bin/time -f "%e %M" -o "$data/time" "$@" >/dev/null 2>&1 || true
    cat "$data/time" >>"$data/times"
  done
  sort -n -k2 "$data/times" | tail -n 1 | cut -d' ' -f2 >"$data/peak_kb"
  sort -n "$data/times" | sed -n 3p | cut -d' ' -f1
}
peak_mb() { echo "scale=1; $(cat "$data/peak_kb") / 1024" | bc; }
size_mb() { echo "scale=1; $(stat -c %s "$1") / 1048576" | bc; }

t_sorted=$(median "$convert" "$data/keys_sorted.bib" "$data/one.bib" -o "$data/out.bib")
echo "merge 200,000 + 1, keys sorted:      ${t_sorted} s"
t_random=$(median "$convert" "$data/keys_random.bib" "$data/one.bib" -o "$data/out.bib")
echo "merge 200,000 + 1, keys random:      ${t_random} s ($(echo "scale=2; $t_random / $t_sorted" | bc)x sorted)"
t_adv=$(median "$convert" "$data/keys_adversary.bib" "$data/one.bib" -o "$data/out.bib")
echo "merge 200,000 + 1, killer adversary: ${t_adv} s ($(echo "scale=2; $t_adv / $t_sorted" | bc)x sorted)"

t_normal=$(median "$convert" "$data/normal40.bib" -o "$data/out.bib")
echo "normal file $(size_mb "$data/normal40.bib") MB: ${t_normal} s, peak $(peak_mb) MB"
t_long=$(median "$convert" "$data/longline.bib" -o "$data/out.bib")
echo "one $(size_mb "$data/longline.bib") MB line:   ${t_long} s ($(echo "scale=2; $t_long / $t_normal" | bc)x normal), peak $(peak_mb) MB"

median "$convert" -f pubmed "$data/pubmedshort.txt" -o "$data/out.bib" >/dev/null
echo "PubMed, a one-record file: peak $(peak_mb) MB"
t_cut=$(median "$convert" -f pubmed "$data/pubmedline.txt" -o "$data/out.bib")
echo "PubMed, one $(size_mb "$data/pubmedline.txt") MB line cut to 2,999: ${t_cut} s, peak $(peak_mb) MB"
