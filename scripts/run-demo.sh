#!/bin/bash
# `make run`: starts Belvane.exe in a fresh run folder. With a DISPLAY it opens there; without
# one it runs on a private Xvfb, writes a screenshot and says where.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-build}"
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac
RUN="$ROOT/run"
rm -rf "$RUN" && mkdir -p "$RUN"
cp "$BUILD/bin/Belvane.exe" "$RUN/"
if [ -d "$BUILD/demo/mp3" ]; then cp -r "$BUILD/demo/mp3" "$RUN/mp3"; fi
source "$ROOT/scripts/wine-env.sh"
cd "$RUN"
if [ -n "${DISPLAY:-}" ]; then
  echo "run: starting $RUN/Belvane.exe on $DISPLAY"
  exec "$ROOT/scripts/wine-run" ./Belvane.exe
fi
shot="$RUN/screenshot.png"
# No DISPLAY usually means no sound card either: play into a file so the demo's bells are
# heard by the capture (raw 16-bit PCM) instead of failing to open an output device.
if [ -z "${ALSA_CONFIG_PATH:-}" ] && [ ! -e /dev/snd/pcmC0D0p ]; then
  printf 'pcm.!default { type file; slave.pcm "null"; file "|cat >> %s"; format "raw" }\n' \
    "$RUN/capture.raw" >"$RUN/alsa-capture.conf"
  export ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:$RUN/alsa-capture.conf"
fi
demo() {
  wine ./Belvane.exe >"$RUN/belvane.log" 2>&1 &
  local pid=$!
  sleep "${BELVANE_DEMO_SECONDS:-12}"
  import -window root "$shot" 2>/dev/null || true
  if kill -0 "$pid" 2>/dev/null; then
    wineserver -k >/dev/null 2>&1 || true
  fi
  wait "$pid" 2>/dev/null || true
}
belvane_with_display demo
echo "run: no DISPLAY, so Belvane ran on a private Xvfb; screenshot: $shot"
if [ -s "$RUN/capture.raw" ]; then
  echo "run: audio played into $RUN/capture.raw ($(stat -c %s "$RUN/capture.raw") bytes of raw PCM)"
fi
