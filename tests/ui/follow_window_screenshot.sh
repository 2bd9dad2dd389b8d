#!/bin/bash
# Screenshot of the follow window over a stand-in follower, on a private Xvfb under the
# project's Wine:
# tests/ui/follow_window_screenshot.sh [build dir] [output png]
set -eu
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(readlink -f "${1:-$root/build}")"
out="$(readlink -m "${2:-$root/docs/follow-window.png}")"
unset DISPLAY
source "$root/scripts/wine-env.sh"
shoot() {
  wine "$build/bin/ui_follow_preview.exe" 8 >/dev/null 2>&1 &
  local pid=$!
  sleep 6
  mkdir -p "$(dirname "$out")"
  # The root window is black around the dialog: trim it away.
  import -window root -trim +repage "$out"
  wait "$pid" || true
}
belvane_with_display shoot
echo "screenshot: $out"
