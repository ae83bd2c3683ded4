#!/bin/sh
# Runs a black-box script on a copy of the program that leaks on purpose
# (leaky_refloom), in the black-box tests' environment, and expects the
# script to fail with both forgotten allocations reported.
#   leak_in_program_test.sh BLACKBOX_SCRIPT LEAKY_PROGRAM SANITIZED
set -u
script=$1
program=$2
if [ "$3" != 1 ]; then
  echo "skipped: only the sanitizer build (make asan) checks for leaks"
  exit 77
fi
output=$(sh "$script" "$program" 2>&1)
status=$?
fail() {
  echo "FAIL: $*" >&2
  echo "--- output of $script:" >&2
  echo "$output" >&2
  exit 1
}
[ $status -ne 0 ] || fail "the black-box test passed a program that leaks"
echo "$output" | grep -q "Direct leak" || fail "the black-box test failed, but not on a leak"
for function in forget_compound_string_in_program forget_text_copy_in_program; do
  echo "$output" | grep -q "in .*$function" || fail "no leak reported from $function"
done
echo "both leaks of the program reported; the black-box test failed on them"
