#!/bin/sh
# Runs the leak probe under the leak checker (the sanitizer build) with the
# suppressions of the GUI tests, and expects both of its forgotten
# allocations to be reported.
#   leak_probe_test.sh PROBE SANITIZED
set -u
probe=$1
if [ "$2" != 1 ]; then
  echo "skipped: only the sanitizer build (make asan) checks for leaks"
  exit 77
fi
output=$("$probe" 2>&1)
status=$?
fail() {
  echo "FAIL: $*" >&2
  echo "--- probe output:" >&2
  echo "$output" >&2
  exit 1
}
[ $status -ne 0 ] || fail "the probe's leaks went unreported (exit status 0)"
for function in forget_compound_string forget_text_copy; do
  echo "$output" | grep -q "in .*$function" || fail "no leak reported from $function"
done
echo "both forgotten allocations reported"
