#!/bin/sh
# Runs a command on a private Xvfb display under the mwm window manager,
# then stops both. The GUI tests need a window manager: without one,
# keyboard focus does not behave as on a user's desktop.
#   REFLOOM_SCREEN=WIDTHxHEIGHT  the screen's size (1280x1024 unless given)
#   REFLOOM_DISPLAY_NUMBER=N     display :N (else the first free one)
set -u

screen=${REFLOOM_SCREEN:-1280x1024}
case ${screen%%x*}:${screen#*x} in
  *[!0-9:]* | :* | *: | "$screen:$screen")
    echo "with-display: REFLOOM_SCREEN must be WIDTHxHEIGHT, not '$screen'" >&2
    exit 2 ;;
esac

# Waits up to ten seconds for a command to succeed while Xvfb runs.
wait_for() {
  tries=0
  until "$@"; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ] || ! kill -0 $xvfb_pid 2>/dev/null; then return 1; fi
    sleep 0.1
  done
}

# -noreset: a server resets when its last client leaves (xdpyinfo below,
# before mwm connects), and a connection made meanwhile fails.
display_number=${REFLOOM_DISPLAY_NUMBER:-}
number_file=$(mktemp)
if [ -n "$display_number" ]; then
  Xvfb ":$display_number" -screen 0 "${screen}x24" -nolisten tcp -noreset >/dev/null 2>&1 &
  xvfb_pid=$!
else
  # Xvfb takes the first free number itself and writes it once it accepts
  # connections, so that displays started at the same time do not collide.
  Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp -noreset 3>"$number_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  wait_for test -s "$number_file" && display_number=$(cat "$number_file")
fi
rm -f "$number_file"
export DISPLAY=":$display_number"

if [ -z "$display_number" ] || ! wait_for xdpyinfo >/dev/null 2>&1; then
  echo "with-display: Xvfb did not start ($DISPLAY)" >&2
  kill $xvfb_pid 2>/dev/null
  exit 1
fi

mwm_log=$(mktemp)
mwm >"$mwm_log" 2>&1 &
mwm_pid=$!
# mwm takes over the root window's substructure redirection, then sets
# _MOTIF_WM_INFO on it: once that is there, it manages every new window.
mwm_ready() { xprop -root _MOTIF_WM_INFO 2>/dev/null | grep -q '='; }
if ! wait_for mwm_ready; then
  echo "with-display: mwm did not start on $DISPLAY" >&2
  sed 's/^/  mwm: /' "$mwm_log" >&2
  rm -f "$mwm_log"
  kill $mwm_pid $xvfb_pid 2>/dev/null
  exit 1
fi
rm -f "$mwm_log"

"$@"
status=$?

# Stopping the server first makes mwm end on its own; a window manager
# told to stop while its server runs may linger restoring windows.
kill $xvfb_pid 2>/dev/null
wait $xvfb_pid 2>/dev/null
tries=0
while kill -0 $mwm_pid 2>/dev/null && [ $tries -lt 20 ]; do
  sleep 0.1
  tries=$((tries + 1))
done
kill -9 $mwm_pid 2>/dev/null
wait $mwm_pid 2>/dev/null
exit $status
