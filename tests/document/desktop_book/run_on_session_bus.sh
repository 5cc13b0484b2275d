#!/bin/sh
# Runs a test on a session bus of its own with a throw-away home, so that the
# address-book services it starts by activation see nothing of the user's and
# go with the bus. Without dbus-run-session the test runs as it is (and skips).
set -eu
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for d in home config data cache runtime; do mkdir -p "$scratch/$d"; done
chmod 700 "$scratch/runtime"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data"
export XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/runtime" GSETTINGS_BACKEND=memory
unset DBUS_SESSION_BUS_ADDRESS
status=0
if command -v dbus-run-session >/dev/null 2>&1; then
  dbus-run-session -- "$@" || status=$?
else
  "$@" || status=$?
fi
exit $status
