#!/bin/bash
# Screenshot of the main window as the program sets it up before any data, on a private Xvfb under the
# project's Wine: tests/ui/dialog_screenshot.sh [build dir] [output png]
set -eu
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(readlink -f "${1:-$root/build}")"
out="$(readlink -m "${2:-$root/docs/dialog.png}")"
unset DISPLAY
source "$root/scripts/wine-env.sh"
shoot() {
  wine "$build/bin/ui_dialog_preview.exe" 6 >/dev/null 2>&1 &
  local pid=$!
  sleep 4
  mkdir -p "$(dirname "$out")"
  # The root window is black around the dialog: trim it away.
  import -window root -trim +repage "$out"
  wait "$pid" || true
}
belvane_with_display shoot
echo "screenshot: $out"
