#!/bin/sh
# Runs every libFuzzer target of a fuzz build for a number of seconds each
# and prints how many inputs each one executed. Each run starts from the
# target's hand-written seeds (fuzz/seeds/NAME) and the corpus kept from
# earlier runs (fuzz/corpus/NAME).
#   run-fuzzers.sh [--keep] BUILD_DIR SECONDS [NAME...]
# With --keep, a target that ran without a failure has its corpus merged
# back into fuzz/corpus/NAME: only inputs of at most FUZZ_KEEP_BYTES bytes
# (4096) that reach code (edges) the seeds and the smaller inputs do not,
# at most FUZZ_KEEP_FILES (200) of them, the smallest first.
set -eu
keep=0
if [ "${1:-}" = --keep ]; then
  keep=1
  shift
fi
build=$1
seconds=$2
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
names=${*:-$(ls "$build/fuzz" | sed -n 's/^fuzz_//p')}
max_bytes=${FUZZ_KEEP_BYTES:-4096}
max_files=${FUZZ_KEEP_FILES:-200}

# Copies the files of a directory, if it exists, into another (keeping
# those already there).
copy_files() {
  [ -d "$1" ] || return 0
  find "$1" -maxdepth 1 -type f -exec cp -n {} "$2"/ \;
}

# Merges the run's corpus of a target into fuzz/corpus/NAME. libFuzzer's
# merge takes the inputs by size, smallest first, and keeps each that adds
# coverage to the first directory; starting that directory with the seeds
# counts their coverage without keeping them twice. Edges only, not how
# often each ran (-use_counters=0): tens of inputs a target instead of
# hundreds.
keep_corpus() {
  name=$1
  corpus=$2
  work="$build/fuzz/keep-$name"
  rm -rf "$work"
  mkdir -p "$work/merged" "$work/candidates"
  copy_files "$root/fuzz/seeds/$name" "$work/merged"
  find "$corpus" -maxdepth 1 -type f -size -"$((max_bytes + 1))"c -exec cp -n {} "$work/candidates"/ \;
  if ! "$build/fuzz/fuzz_$name" -merge=1 -use_counters=0 -max_len="$max_bytes" -rss_limit_mb=4096 \
       "$work/merged" "$work/candidates" >"$work.log" 2>&1; then
    echo "fuzz_$name: merging the corpus FAILED, see $work.log"
    return 1
  fi
  if [ -d "$root/fuzz/seeds/$name" ]; then
    for seed in "$root/fuzz/seeds/$name"/*; do
      rm -f "$work/merged/$(basename "$seed")"
    done
  fi
  kept="$root/fuzz/corpus/$name"
  rm -rf "$kept"
  mkdir -p "$kept"
  # ls -S lists the largest first: keep the smallest max_files.
  # shellcheck disable=SC2012
  ls -S -r "$work/merged" | head -n "$max_files" | while IFS= read -r file; do
    cp "$work/merged/$file" "$kept/"
  done
  found=$(ls "$work/merged" | wc -l)
  count=$(ls "$kept" | wc -l)
  bytes=$(cat "$kept"/* 2>/dev/null | wc -c)
  if [ "$found" -gt "$count" ]; then
    echo "fuzz_$name: kept $count of $found new inputs ($bytes bytes) in fuzz/corpus/$name"
  else
    echo "fuzz_$name: kept $count new inputs ($bytes bytes) in fuzz/corpus/$name"
  fi
  rm -rf "$work"
}

status=0
for name in $names; do
  corpus="$build/fuzz/corpus-$name"
  mkdir -p "$corpus"
  copy_files "$root/fuzz/seeds/$name" "$corpus"
  copy_files "$root/fuzz/corpus/$name" "$corpus"
  log="$build/fuzz/$name.log"
  # One allocation beyond FUZZ_MALLOC_MB (256 MB) counts as a failure: no
  # input of a few kilobytes needs that much, so an amplification is found.
  if "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -rss_limit_mb=4096 \
       -malloc_limit_mb="${FUZZ_MALLOC_MB:-256}" -print_final_stats=1 \
       "$corpus" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz_$name: $runs executions in ${seconds}s, no failure"
    if [ $keep = 1 ]; then
      keep_corpus "$name" "$corpus" || status=1
    fi
  else
    echo "fuzz_$name: FAILED, see $log"
    status=1
  fi
done
exit $status
