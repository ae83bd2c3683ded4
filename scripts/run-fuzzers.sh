#!/bin/sh
# Runs every libFuzzer target of a fuzz build for a number of seconds each
# and prints how many inputs each one executed.
#   run-fuzzers.sh BUILD_DIR SECONDS [NAME...]
set -eu
build=$1
seconds=$2
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
names=${*:-$(ls "$build/fuzz" | sed -n 's/^fuzz_//p')}
status=0
for name in $names; do
  corpus="$build/fuzz/corpus-$name"
  mkdir -p "$corpus"
  [ -d "$root/fuzz/seeds/$name" ] && cp -n "$root/fuzz/seeds/$name"/* "$corpus"/ 2>/dev/null || true
  log="$build/fuzz/$name.log"
  if "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -rss_limit_mb=4096 -print_final_stats=1 \
       "$corpus" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz_$name: $runs executions in ${seconds}s, no failure"
  else
    echo "fuzz_$name: FAILED, see $log"
    status=1
  fi
done
exit $status
