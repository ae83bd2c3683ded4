#!/bin/sh
# Import speed: refloom-convert -f pubmed (then -f nbib and -f ris) on generated exports of
# 100,000, 200,000 and 400,000 records (about 1 KB each) against a plain
# line-by-line copy of the 100,000-record file with std::getline.
#   bench-import.sh BUILD_DIR
set -eu
build=$1
data="$build/bench-data"
mkdir -p "$data"
convert="$build/tools/refloom-convert"

for n in 100000 200000 400000; do
  [ -s "$data/pubmed$n.txt" ] || "$build/bench/gen_pubmed" "$n" 7 >"$data/pubmed$n.txt"
done

# Best of three wall-clock runs, in seconds.
best() {
  best_time=""
  for run in 1 2 3; do
    /usr/bin/time -f "%e %M" -o "$data/time" "$@" >/dev/null 2>&1
    t=$(cut -d' ' -f1 "$data/time")
    if [ -z "$best_time" ] || [ "$(echo "$t < $best_time" | bc)" -eq 1 ]; then best_time=$t; fi
  done
  echo "$best_time"
}

# Peak memory of the last run measured, in MB (best runs in a subshell).
peak_mb() { echo $(($(cut -d' ' -f2 "$data/time") / 1024)); }

size_mb() { echo "scale=1; $(stat -c %s "$1") / 1048576" | bc; }

echo "PubMed exports: 100,000 records $(size_mb "$data/pubmed100000.txt") MB," \
     "400,000 records $(size_mb "$data/pubmed400000.txt") MB"
t_copy=$(best "$build/bench/getline_copy" "$data/pubmed100000.txt" "$data/copy.txt")
echo "getline copy, 100,000 records:               ${t_copy} s"
t_100=$(best "$convert" -f pubmed "$data/pubmed100000.txt" -o "$data/out.bib")
echo "refloom-convert -f pubmed, 100,000 records:  ${t_100} s ($(echo "scale=2; $t_100 / $t_copy" | bc)x the copy), peak memory $(peak_mb) MB"
t_200=$(best "$convert" -f pubmed "$data/pubmed200000.txt" -o "$data/out.bib")
echo "refloom-convert -f pubmed, 200,000 records:  ${t_200} s ($(echo "scale=2; $t_200 / $t_100" | bc)x the 100,000 time)"
t_400=$(best "$convert" -f pubmed "$data/pubmed400000.txt" -o "$data/out.bib")
echo "refloom-convert -f pubmed, 400,000 records:  ${t_400} s ($(echo "scale=2; $t_400 / $t_100" | bc)x the 100,000 time), peak memory $(peak_mb) MB"

# Today's exports: .nbib and RIS, each against a getline copy of its own
# 100,000-record file; median of three runs, as other helpers load the CPU.
best() {
  : >"$data/times"
  for run in 1 2 3; do
    /usr/bin/time -f "%e %M" -o "$data/time" "$@" >/dev/null 2>&1
    cat "$data/time" >>"$data/times"
  done
  sort -n "$data/times" | sed -n 2p >"$data/time"
  cut -d' ' -f1 "$data/time"
}
for format in nbib ris; do
  for n in 100000 200000 400000; do
    [ -s "$data/$format$n.txt" ] || "$build/bench/gen_exports" "$format" "$n" 7 >"$data/$format$n.txt"
  done
  echo "$format exports: 100,000 records $(size_mb "$data/${format}100000.txt") MB," \
       "400,000 records $(size_mb "$data/${format}400000.txt") MB"
  t_copy=$(best "$build/bench/getline_copy" "$data/${format}100000.txt" "$data/copy.txt")
  echo "getline copy, 100,000 records:             ${t_copy} s"
  t_100=$(best "$convert" -f "$format" "$data/${format}100000.txt" -o "$data/out.bib")
  echo "refloom-convert -f $format, 100,000 records: ${t_100} s ($(echo "scale=2; $t_100 / $t_copy" | bc)x the copy), peak memory $(peak_mb) MB"
  t_200=$(best "$convert" -f "$format" "$data/${format}200000.txt" -o "$data/out.bib")
  echo "refloom-convert -f $format, 200,000 records: ${t_200} s ($(echo "scale=2; $t_200 / $t_100" | bc)x the 100,000 time)"
  t_400=$(best "$convert" -f "$format" "$data/${format}400000.txt" -o "$data/out.bib")
  echo "refloom-convert -f $format, 400,000 records: ${t_400} s ($(echo "scale=2; $t_400 / $t_100" | bc)x the 100,000 time), peak memory $(peak_mb) MB"
done
