#!/bin/sh
# Runs a test on an X display of its own (Xvfb) with a stacking window manager
# (openbox), as a user's desktop has them, and a throw-away home. Any of them
# missing is a failure, not a skip: what the test checks exists only there.
set -eu
for tool in Xvfb openbox xdotool xprop; do
  command -v "$tool" >/dev/null 2>&1 || { echo "run_on_desktop: $tool is missing (scripts/deps --tests)" >&2; exit 1; }
done
scratch=$(mktemp -d)
xvfb_pid=""
wm_pid=""
cleanup() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
for d in home config runtime; do mkdir -p "$scratch/$d"; done
chmod 700 "$scratch/runtime"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime"

# The server picks a free display and writes its number when it is ready.
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb_pid=$!
i=0
while [ ! -s "$scratch/display" ]; do
  i=$((i + 1))
  if [ $i -gt 100 ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "run_on_desktop: Xvfb did not start" >&2; cat "$scratch/xvfb.log" >&2; exit 1
  fi
  sleep 0.1
done
DISPLAY=":$(tr -d '\n' <"$scratch/display")"
export DISPLAY

openbox --sm-disable >"$scratch/openbox.log" 2>&1 &
wm_pid=$!
i=0
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
  i=$((i + 1))
  if [ $i -gt 100 ] || ! kill -0 "$wm_pid" 2>/dev/null; then
    echo "run_on_desktop: openbox did not start" >&2; cat "$scratch/openbox.log" >&2; exit 1
  fi
  sleep 0.1
done

export QT_QPA_PLATFORM=xcb
status=0
"$@" || status=$?
exit $status
