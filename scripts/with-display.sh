#!/bin/sh
# Runs a command on a private Xvfb display under the mwm window manager,
# then stops both. The GUI tests need a window manager: without one,
# keyboard focus does not behave as on a user's desktop.
set -u

display_number=${REFLOOM_DISPLAY_NUMBER:-}
if [ -z "$display_number" ]; then
  display_number=91
  while [ -e "/tmp/.X11-unix/X$display_number" ] || [ -e "/tmp/.X$display_number-lock" ]; do
    display_number=$((display_number + 1))
  done
fi

Xvfb ":$display_number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display_number"

tries=0
until xdpyinfo >/dev/null 2>&1; do
  tries=$((tries + 1))
  if [ $tries -gt 100 ] || ! kill -0 $xvfb_pid 2>/dev/null; then
    echo "with-display: Xvfb did not start on $DISPLAY" >&2
    kill $xvfb_pid 2>/dev/null
    exit 1
  fi
  sleep 0.1
done

mwm >/dev/null 2>&1 &
mwm_pid=$!
# mwm is ready once it owns the root window's substructure redirection;
# give it a moment, since its start-up prints nothing we can wait for.
sleep 0.5

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
