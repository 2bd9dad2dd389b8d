#!/bin/bash
# The record suite's midnight case with the clock of Wine moved to just before midnight: a
# wineserver of its own and every Wine program it starts run under libfaketime with one offset,
# so the suite, the program and the server agree on the time. The prefix is the project's, in a
# folder of its own (its drive shared, its registry copied), so that the suite's other
# wineserver is left alone. Usage: midnight_check.sh ROOT BUILD
set -euo pipefail
ROOT="$1" BUILD="$2"
source "$ROOT/scripts/wine-env.sh"
base="$WINEPREFIX"
prefix="$BUILD/midnight-prefix"
if [ ! -f "$prefix/.belvane-ready" ]; then
  rm -rf "$prefix"
  mkdir -p "$prefix/dosdevices"
  ln -s "$base/drive_c" "$prefix/drive_c"
  ln -s ../drive_c "$prefix/dosdevices/c:"
  ln -s / "$prefix/dosdevices/z:"
  cp "$base"/*.reg "$base/.update-timestamp" "$prefix/"
  touch "$prefix/.belvane-ready"
fi
export WINEPREFIX="$prefix"
lib=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1
[ -f "$lib" ] || { echo "libfaketime is missing (scripts/setup.sh installs it)" >&2; exit 1; }
# A minute before the coming midnight (Wine takes its time to start on a busy machine), for the server and all the programs alike.
now="$(date +%s)"
offset=$(($(date -d "tomorrow 00:00:00" +%s) - now - 60))
export LD_PRELOAD="$lib" FAKETIME="+$offset" BELVANE_E2E_MIDNIGHT=1
wineserver -k >/dev/null 2>&1 || true
wineserver -p >/dev/null 2>&1
status=0
"$ROOT/scripts/wine-run" "$BUILD/bin/belvane_record_e2e_tests.exe" --gtest_color=no \
  --gtest_filter='*AfterMidnight*' || status=$?
wineserver -k >/dev/null 2>&1 || true
exit $status
