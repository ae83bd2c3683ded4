#!/bin/sh
# Each library includes only its own headers and those of the layers below
# it: numeric <- core <- import <- session <- ui. Fails on the first
# include that reaches up, naming the file.
set -eu
src=${1:?usage: layers_test.sh SRC_DIR}
status=0
check() {
  layer=$1
  allowed=$2
  for file in "$src/$layer"/*.h "$src/$layer"/*.cpp; do
    [ -e "$file" ] || continue
    for used in $(sed -n 's/^#include "\([a-z_]*\)\/.*/\1/p' "$file" | sort -u); do
      case " $allowed " in
        *" $used "*) ;;
        *) echo "$file includes from $used, above $layer"; status=1 ;;
      esac
    done
  done
}
check numeric "numeric"
check core "numeric core"
check import "numeric core import"
check session "numeric core import session"
check ui "numeric core import session ui"
exit $status
