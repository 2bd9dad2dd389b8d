#!/bin/bash
# `make run`: starts Belvane.exe in a fresh run folder. With a DISPLAY it opens there; without
# one it runs on a private Xvfb with one more row in the run folder's timetable, due a few
# seconds after start, lets it ring, and reports what was heard (the bytes the sound device
# received and the bell's line in the record) besides a screenshot.
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
# The default timetable plus the demo's own bell, due BELVANE_DEMO_LEAD seconds from now; only
# this run folder's copy is changed. GBK with CRLF, rows in time order, as the program saves it.
lead="${BELVANE_DEMO_LEAD:-8}"
bell="$(date -d "+$lead seconds" +%H:%M:%S)"
python3 - "$RUN/Belvane配置.ini" "$bell" <<'PY'
import sys
path, bell = sys.argv[1], sys.argv[2]
rows = [("08:30:00", "1.组织考生进入考场.m4a"), ("08:40:00", "2.宣读考试规则.m4a"),
        ("08:45:00", "3.监考员启封试卷袋.m4a"), ("08:50:00", "4.分发试题卷和答题卷.m4a"),
        ("09:00:00", "5.请考生开始答题.m4a"), ("10:45:00", "6.考前15分钟提醒.m4a"),
        ("11:00:00", "7.停止答题.m4a")]
if bell not in [t for t, _ in rows]:
    rows = sorted(rows + [(bell, "5.请考生开始答题.m4a")])
seconds = lambda t: int(t[:2]) * 3600 + int(t[3:5]) * 60 + int(t[6:8])
lines = ["[time]"] + ["%d=%s" % (i + 1, t) for i, (t, _) in enumerate(rows)]
lines += ["[music]"] + ["%d=%s" % (i + 1, m) for i, (_, m) in enumerate(rows)]
lines += ["[remark]"] + ["%d=%d" % (i + 1, seconds(t)) for i, (t, _) in enumerate(rows)]
lines += ["[total]", "n=%d" % len(rows)]
open(path, "wb").write(("\r\n".join(lines) + "\r\n").encode("gbk"))
PY
record="$RUN/Belvane日志.txt"
# The bell's line in the record (GBK there, UTF-8 here), once written.
bell_line() {
  [ -f "$record" ] && iconv -f GBK -t UTF-8 "$record" 2>/dev/null | grep -a $'\t定时\t[0-9]*\t'"$bell"$'\t' | tr -d '\r' | tail -n 1
}
demo() {
  wine ./Belvane.exe >"$RUN/belvane.log" 2>&1 &
  local pid=$!
  # Ended by wineserver -k below: no job report of its death by a signal.
  disown "$pid"
  # Until the bell has been recorded (or start-up plus the lead and a margin have passed), then
  # long enough for the announcement to play out.
  local waited=0 limit=$((lead + 30))
  while [ -z "$(bell_line)" ] && [ "$waited" -lt "$limit" ] && kill -0 "$pid" 2>/dev/null; do
    sleep 1
    waited=$((waited + 1))
  done
  sleep "${BELVANE_DEMO_SECONDS:-4}"
  import -window root "$shot" 2>/dev/null || true
  if kill -0 "$pid" 2>/dev/null; then
    wineserver -k >/dev/null 2>&1 || true
  fi
  local n=0
  while kill -0 "$pid" 2>/dev/null && [ "$n" -lt 50 ]; do
    sleep 0.1
    n=$((n + 1))
  done
}
belvane_with_display demo
echo "run: no DISPLAY, so Belvane ran on a private Xvfb; screenshot: $shot"
echo "run: the demo's bell was due at $bell (run/Belvane配置.ini only)"
line="$(bell_line)"
if [ -n "$line" ]; then
  echo "run: record line: $line"
else
  echo "run: the bell left no line in $record (see $RUN/belvane.log)"
fi
if [ -s "$RUN/capture.raw" ]; then
  echo "run: heard: $(stat -c %s "$RUN/capture.raw") bytes of raw PCM in $RUN/capture.raw"
elif [ -e "$RUN/alsa-capture.conf" ]; then
  echo "run: heard nothing: $RUN/capture.raw is empty"
fi
