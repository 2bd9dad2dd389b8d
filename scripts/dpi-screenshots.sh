#!/bin/bash
# Screenshots of Belvane.exe with its demo timetable at 100 % and 150 % (Wine's LogPixels 96 and
# 144), on a private Xvfb: scripts/dpi-screenshots.sh [build dir] [output folder]
# Writes main-window-96dpi.png and main-window-144dpi.png; the prefix's LogPixels is put back.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(readlink -f "${1:-$root/build}")"
out="$(readlink -m "${2:-$root/docs}")"
unset DISPLAY
source "$root/scripts/wine-env.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# Bells play into nothing rather than fail to find a sound card.
printf 'pcm.!default { type file; slave.pcm "null"; file "/dev/null"; format "raw" }\n' \
  >"$work/alsa.conf"
export ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:$work/alsa.conf"
key='HKCU\Control Panel\Desktop'

shoot() {
  wineserver -p >/dev/null 2>&1
  local before
  before="$(wine reg query "$key" /v LogPixels 2>/dev/null | awk '/LogPixels/ {print $3}')" || true
  mkdir -p "$out"
  for dpi in 96 144; do
    local run="$work/$dpi"
    mkdir -p "$run"
    cp "$build/bin/Belvane.exe" "$run/"
    cp -r "$build/demo/mp3" "$run/mp3"
    wine reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    (cd "$run" && exec wine ./Belvane.exe >/dev/null 2>&1) &
    local pid=$!
    sleep 6
    # The root window is black around the program's window: trim it away.
    import -window root -trim +repage "$out/main-window-${dpi}dpi.png"
    wineserver -k >/dev/null 2>&1 || true
    wait "$pid" 2>/dev/null || true
    wineserver -p >/dev/null 2>&1
  done
  if [ -n "$before" ]; then
    wine reg add "$key" /v LogPixels /t REG_DWORD /d "$((before))" /f >/dev/null 2>&1
  else
    wine reg delete "$key" /v LogPixels /f >/dev/null 2>&1 || true
  fi
  wineserver -k >/dev/null 2>&1 || true
}
belvane_with_display shoot
echo "screenshots: $out/main-window-96dpi.png $out/main-window-144dpi.png"
