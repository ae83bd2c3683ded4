#!/bin/sh
# Installs the build into a temporary DESTDIR and checks the installed tree:
# the programs run, the manual pages render without warnings, the desktop
# entry names what was installed, and the installed refloom reads its
# application defaults (and starts without them). Needs a display.
#   install_tree_test.sh BUILD_DIR
set -u
build=$1
work=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

dest=$work/dest
# A component install writes its own manifest, leaving the one of
# `make install` (which `make uninstall` reads) alone.
if ! DESTDIR=$dest cmake --install "$build" --component Unspecified >"$work/install.log" 2>&1; then
  cat "$work/install.log"
  echo "FAIL: cmake --install"
  exit 1
fi
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
root=$dest$prefix

# Programs
for program in refloom refloom-convert; do
  [ -x "$root/bin/$program" ] || fail "$program not installed in $prefix/bin"
done
version=$("$root/bin/refloom-convert" --version)
[ "$version" = "refloom-convert 1.7" ] || fail "refloom-convert --version gave '$version'"
converted=$(printf '@misc{3,\n title = {Installed},\n}\n' | "$root/bin/refloom-convert" -)
[ "$converted" = "$(printf '@misc{3,\ntitle      = "Installed",\n}')" ] || fail "installed refloom-convert in a pipe gave '$converted'"

# Manual pages: present, compressed, rendering without a warning
for page in refloom refloom-convert; do
  file=$root/share/man/man1/$page.1.gz
  if [ ! -f "$file" ]; then
    fail "manual page $page(1) not installed"
    continue
  fi
  warnings=$(gzip -dc "$file" | groff -ww -man -z 2>&1)
  [ -z "$warnings" ] || fail "groff warns on $page(1): $warnings"
  lexgrog "$file" >/dev/null 2>&1 || fail "lexgrog cannot read the NAME line of $page(1)"
  rendered=$(MANWIDTH=80 man --warnings -l "$file" 2>"$work/man.err")
  [ -s "$work/man.err" ] && fail "man -l warns on $page(1): $(cat "$work/man.err")"
  case "$rendered" in
    *NAME*"$page "*SYNOPSIS*DESCRIPTION*"EXIT STATUS"*EXAMPLES*) ;;
    *) fail "$page(1) does not render its sections" ;;
  esac
done

# Desktop entry and icon
desktop=$root/share/applications/refloom.desktop
if [ -f "$desktop" ]; then
  grep -qx 'Exec=refloom' "$desktop" || fail "desktop entry does not start refloom"
  grep -qx 'Icon=refloom' "$desktop" || fail "desktop entry names another icon"
  grep -qx 'Type=Application' "$desktop" || fail "desktop entry is not an application"
  desktop-file-validate "$desktop" >"$work/desktop.err" 2>&1 || fail "desktop entry: $(cat "$work/desktop.err")"
else
  fail "desktop entry not installed"
fi
[ -f "$root/share/icons/hicolor/scalable/apps/refloom.svg" ] || fail "icon not installed"

# Application defaults: the file is found where the install put it, and a
# resource from it takes effect in the installed program. Only that
# directory is searched, so no other copy (a package installed on this
# machine, the user's own) can stand in.
app_defaults=$(find "$dest" -path '*/app-defaults/Refloom' -type f | head -n 1)
[ -n "$app_defaults" ] || fail "application defaults not installed"
mkdir -p "$work/home"

# Prints the icon name the window manager sees on refloom's window, when
# started with the given XFILESEARCHPATH.
icon_name() {
  env -u XENVIRONMENT HOME="$work/home" XDG_STATE_HOME="$work/home/.local/state" XAPPLRESDIR="$work/home/" XUSERFILESEARCHPATH="$work/home/%N" \
    XFILESEARCHPATH="$1" "$root/bin/refloom" >"$work/refloom.out" 2>&1 &
  pid=$!
  window=""
  tries=0
  while [ -z "$window" ] && [ $tries -lt 100 ] && kill -0 $pid 2>/dev/null; do
    window=$(xdotool search --pid $pid --name '^Refloom Manager' 2>/dev/null | head -n 1)
    [ -z "$window" ] && sleep 0.1
    tries=$((tries + 1))
  done
  if [ -n "$window" ]; then
    xprop -id "$window" WM_ICON_NAME | sed -n 's/^WM_ICON_NAME([A-Z_]*) = "\(.*\)"$/\1/p'
  else
    echo "(no window)"
  fi
  kill $pid 2>/dev/null
  wait $pid 2>/dev/null
  pid=""
}

if [ -n "$app_defaults" ]; then
  with_file=$(icon_name "$(dirname "$app_defaults")/%N")
  [ "$with_file" = "Refloom" ] || fail "the application defaults did not take effect (icon name '$with_file')"
  without_file=$(icon_name "$work/none/%N")
  [ "$without_file" = "refloom" ] || fail "without application defaults refloom shows '$without_file'"
  [ -s "$work/refloom.out" ] && fail "refloom without application defaults printed: $(cat "$work/refloom.out")"
fi

[ $failures -eq 0 ] && echo "installed tree: all checks passed"
[ $failures -eq 0 ]
