#!/bin/sh
# Installs the Debian packages that building, running and testing Refloom need:
# the scalable fonts of data/app-defaults/Refloom (DejaVu, and WenQuanYi Micro
# Hei for CJK), latex + bibtex for the test that runs saved files through
# them, and man + groff for the test of the installed manual pages. With
# --clang, --deb, --fuzz or --format also what `make check-builds`,
# `make deb`, `make fuzz` or `make check-format` need.
# Quiet and quick when everything is already there; safe to run again.
set -eu

packages="g++ make cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
libmotif-dev libxt-dev libxmu-dev libx11-dev libxtst-dev xvfb xdotool mwm x11-utils \
fonts-dejavu-core fonts-wqy-microhei texlive-latex-base texlive-binaries time bc \
man-db groff-base desktop-file-utils"
case "${1:-}" in
  --fuzz) packages="$packages clang libclang-rt-dev" ;;
  --clang) packages="$packages clang" ;;
  --deb) packages="$packages dpkg-dev file" ;;
  --format) packages="$packages clang-format-14" ;;
esac

missing=""
for p in $packages; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  case "$status" in
    *" installed") ;;
    *) missing="$missing $p" ;;
  esac
done
[ -z "$missing" ] && exit 0

echo "Installing missing packages:$missing"
if [ "$(id -u)" -eq 0 ]; then
  sudo=""
else
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q >/dev/null
# shellcheck disable=SC2086
$sudo apt-get install -y -q --no-install-recommends $missing >/dev/null
