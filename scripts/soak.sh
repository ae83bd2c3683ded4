#!/bin/sh
# Runs the random command sequences of the GUI test for a number of minutes,
# half of the time in the C locale and half in C.UTF-8, each half on a
# private display, and prints how many commands and sequences ran without a
# failure. Usage: soak.sh BUILD_DIR MINUTES
set -u
build=${1:?build directory}
minutes=${2:?minutes}
half=$(awk -v m="$minutes" 'BEGIN { printf "%.3f", m / 2 }')
here=$(dirname "$0")
log=$(mktemp)
status=0
for binary in ui_random_tests ui_random_utf8_tests; do
  { REFLOOM_SOAK_MINUTES=$half sh "$here/with-display.sh" \
      "$build/tests/ui/$binary" --gtest_filter=RandomCommands.Soak 2>&1
    echo $? >"$log.status"; } | tee -a "$log"
  [ "$(cat "$log.status")" = 0 ] || status=1
done
awk '/^soak: [0-9]+ commands in [0-9]+ sequences without a failure/ { commands += $2; sequences += $5; runs++ }
     END { printf "soak: %d commands in %d sequences without a failure (%d of 2 locales clean)\n", commands, sequences, runs }' "$log"
rm -f "$log" "$log.status"
exit $status
