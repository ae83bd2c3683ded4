#!/bin/sh
# Checks (or with --fix, applies) the code's style of .clang-format with
# the one clang-format every machine gets from scripts/setup-deps.sh
# --format: Debian 12's clang-format-14. Another version formats some
# lines otherwise, so the check names the version it needs.
#   check-format.sh [--fix]
set -eu
cd "$(dirname "$0")/.."
formatter=clang-format-14
command -v $formatter >/dev/null || { echo "$formatter is missing: run scripts/setup-deps.sh --format" >&2; exit 1; }
files=$(find src tests tools bench fuzz -name '*.cpp' -o -name '*.h' | sort)
if [ "${1:-}" = --fix ]; then
  # shellcheck disable=SC2086
  $formatter -i $files
  exit 0
fi
# shellcheck disable=SC2086
if ! $formatter --dry-run --Werror $files 2>"${TMPDIR:-/tmp}/refloom-format.$$"; then
  grep ': error: code should be clang-formatted' "${TMPDIR:-/tmp}/refloom-format.$$" | cut -d: -f1 | sort -u >&2
  rm -f "${TMPDIR:-/tmp}/refloom-format.$$"
  echo "These files are not in the style of .clang-format; make format applies it." >&2
  exit 1
fi
rm -f "${TMPDIR:-/tmp}/refloom-format.$$"
