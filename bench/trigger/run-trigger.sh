#!/bin/bash
# Trigger latency benchmark. Starts, side by side in one Wine session, Belvane.exe with a
# timetable of COUNT rows two seconds apart and the plain loop (plain_clock.exe) with its rows
# on the odd seconds between them, both playing a short tone (a square wave whose samples are
# never zero) as WAV, MP3 or M4A. Each process's sound device is an ALSA file device piping into
# first_byte, which stamps the first non-zero byte of every playback; the latency of a row is
# that stamp minus the start of its wall-clock second. Prints p50/p99/max and the rows that
# never sounded, for both, and the first row after start-up on its own (Belvane's first row is
# FIRST_DELAY seconds after it was launched). Each of Belvane's rows over 5 ms is listed with
# the lateness its record gives and the longest stall that stall_probe, a native process doing
# nothing else, saw around it: a row late with the machine, not through Belvane.
#
# Usage: bench/trigger/run-trigger.sh [BUILD_DIR] [COUNT] [FORMAT] [LOAD]
#   COUNT defaults to 64; FORMAT is wav (default), mp3 or m4a (MP3 and M4A need ffmpeg);
#   LOAD=load builds the project (-j2, a scratch build folder) beside the run.
#   FIRST_DELAY=600 in the environment puts the first row ten minutes after the launch: the
#   first bell after an idle stretch (default 25 s).
#   TONE_MS=3000 makes the tone longer than the two seconds between rows, so that every bell
#   starts while the one before it still plays (default 300).
#   COPY_MB=200 makes Belvane follow a shared folder (a scratch folder holding a copy of its
#   timetable, looked at every 5 s) and, COPY_AT seconds after the first row (default 10), drops
#   COPY_MB of new music there in 20 files, so that the follower copies them while bells ring.
#   The record's take lines and when the copies were made are printed after the figures.
#   BEFORE=<an earlier Belvane.exe> runs that build beside this one, on the same rows and a
#   sound device of its own, so that a change is measured against the build before it in one
#   run ("before" in the figures). BASELINE= is the same.
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
BUILD="${1:-build}"
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac
COUNT="${2:-64}"
FORMAT="${3:-wav}"
LOAD="${4:-}"
FIRST_DELAY="${FIRST_DELAY:-25}"
TONE_MS="${TONE_MS:-300}"
COPY_MB="${COPY_MB:-0}"
COPY_AT="${COPY_AT:-10}"
COPY_FILES=20
BEFORE="${BEFORE:-${BASELINE:-}}"
OUT="$BUILD/bench-trigger"
rm -rf "$OUT" && mkdir -p "$OUT/belvane/mp3" "$OUT/plain"

cc -O2 -o "$OUT/first_byte" "$HERE/first_byte.c"
cc -O2 -o "$OUT/stall_probe" "$HERE/stall_probe.c"
cp "$BUILD/bin/Belvane.exe" "$OUT/belvane/"
cp "$BUILD/bin/plain_clock.exe" "$BUILD/bin/bass.dll" "$OUT/plain/"

# TONE_MS of a square wave at +-1000: no byte of its samples is zero.
python3 - "$OUT/belvane/mp3/tone.wav" "$TONE_MS" <<'PY'
import struct, sys
rate = 44100
frames = rate * int(sys.argv[2]) // 1000
data = b"".join(struct.pack("<hh", v, v) for v in ((1000 if (i // 50) % 2 else -1000) for i in range(frames)))
hdr = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " + struct.pack("<IHHIIHH", 16, 1, 2, rate, rate * 4, 4, 16) + b"data" + struct.pack("<I", len(data))
open(sys.argv[1], "wb").write(hdr + data)
PY
TONE=tone.wav
if [ "$FORMAT" = mp3 ]; then
  TONE=tone.mp3
  ffmpeg -loglevel error -y -i "$OUT/belvane/mp3/tone.wav" -c:a libmp3lame -b:a 128k "$OUT/belvane/mp3/$TONE"
elif [ "$FORMAT" = m4a ]; then
  TONE=tone.m4a
  ffmpeg -loglevel error -y -i "$OUT/belvane/mp3/tone.wav" -c:a aac -b:a 128k "$OUT/belvane/mp3/$TONE"
fi
cp "$OUT/belvane/mp3/$TONE" "$OUT/plain/$TONE"

WHO="belvane plain"
if [ -n "$BEFORE" ]; then
  mkdir -p "$OUT/before"
  cp "$BEFORE" "$OUT/before/Belvane.exe"
  WHO="$WHO before"
fi
for who in $WHO; do
  printf 'pcm.!default { type file; slave.pcm "null"; file "|%s %s"; format "raw" }\n' \
    "$OUT/first_byte" "$OUT/$who.onsets" >"$OUT/$who.conf"
done

if [ "$COPY_MB" -gt 0 ]; then
  # The music to be followed, made before the rows are timed (2,000 MB takes a while) and
  # moved into the source at once (a rename: no writing while the rows ring).
  mkdir -p "$OUT/source/mp3" "$OUT/staging"
  python3 - "$OUT" "$COPY_MB" "$COPY_FILES" <<'PY'
import os, struct, sys
out, mb, files = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
folder = "Z:" + (out + "/source").replace("/", "\\")
open(out + "/belvane/Belvane同步.ini", "wb").write(
    ("[同步]\r\n来源=%s\r\n间隔=5\r\n" % folder).encode("gbk"))
size = mb * 2**20 // files
for i in range(files):
    data = os.urandom(size - 44)
    hdr = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " + struct.pack("<IHHIIHH", 16, 1, 2, 44100, 44100 * 4, 4, 16) + b"data" + struct.pack("<I", len(data))
    open("%s/staging/copy-%02d.wav" % (out, i + 1), "wb").write(hdr + data)
PY
fi

# Rows from 25 s from now (Wine's start-up and the window), Belvane on even offsets, the plain
# loop on odd ones; the local time of day is the one Wine reads.
python3 - "$OUT" "$COUNT" "$TONE" "$FIRST_DELAY" <<'PY'
import sys, time
out, count, tone, delay = sys.argv[1], int(sys.argv[2]), sys.argv[3], int(sys.argv[4])
start = int(time.time()) + delay
lt = time.localtime(start)
first = lt.tm_hour * 3600 + lt.tm_min * 60 + lt.tm_sec
def text(s):
    s %= 86400
    return "%02d:%02d:%02d" % (s // 3600, s // 60 % 60, s % 60)
lines = ["[total]", "n=%d" % count, "[time]"]
lines += ["%d=%s" % (i + 1, text(first + 2 * i)) for i in range(count)]
lines += ["[music]"] + ["%d=%s" % (i + 1, tone) for i in range(count)]
lines += ["[remark]"] + ["%d=%d" % (i + 1, (first + 2 * i) % 86400) for i in range(count)]
open(out + "/belvane/Belvane配置.ini", "w").write("\r\n".join(lines) + "\r\n")
open(out + "/plan", "w").write("%d %d %d\n" % (start, first, count))
PY
read -r START FIRST _ <"$OUT/plan"
if [ -n "$BEFORE" ]; then
  cp -r "$OUT/belvane/mp3" "$OUT/belvane/Belvane配置.ini" "$OUT/before/"
fi

if [ "$COPY_MB" -gt 0 ]; then
  # The followed source holds the run's own timetable (taken at start-up, the same bytes), so
  # that following leaves the rows as they are. Belvane's own tone is not at the source, so it
  # stays a file of this PC's, never removed.
  cp -p "$OUT/belvane/Belvane配置.ini" "$OUT/source/"
  (
    while [ "$(date +%s)" -lt $((START + COPY_AT)) ]; do sleep 0.2; done
    date +%s.%N >"$OUT/copy-dropped"
    mv "$OUT"/staging/*.wav "$OUT/source/mp3/"
  ) &
  DROPPER=$!
fi

LOADER=
if [ "$LOAD" = load ]; then
  # A build of the project beside the run, as on a machine that is busy with something else.
  LOAD_BUILD="$OUT/load-build"
  cmake -S "$ROOT" -B "$LOAD_BUILD" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
  # Its own process group, so that the whole build ends with it.
  setsid bash -c 'while true; do cmake --build "$1" -j2; ninja -C "$1" -t clean; done' _ \
    "$LOAD_BUILD" >/dev/null 2>&1 &
  LOADER=$!
fi

# The machine's own stalls over the whole run, for the slow rows to be set against.
"$OUT/stall_probe" "$OUT/stalls" &
PROBE=$!
trap 'kill "$PROBE" ${DROPPER:-} 2>/dev/null || true' EXIT

source "$ROOT/scripts/wine-env.sh"
session() {
  wineserver -p >/dev/null 2>&1
  (cd "$OUT/belvane" && ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:$OUT/belvane.conf" \
     exec wine ./Belvane.exe >"$OUT/belvane.log" 2>&1) &
  local belvane=$!
  (cd "$OUT/plain" && ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:$OUT/plain.conf" \
     exec wine ./plain_clock.exe "$TONE" $((FIRST + 1)) 2 "$COUNT" >"$OUT/plain.log" 2>&1) &
  local plain=$!
  local before=
  if [ -n "$BEFORE" ]; then
    (cd "$OUT/before" && ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:$OUT/before.conf" \
       exec wine ./Belvane.exe >"$OUT/before.log" 2>&1) &
    before=$!
  fi
  local end=$((START + 2 * COUNT + 6))
  echo "trigger: $COUNT rows each, until $(date -d @"$end" +%T)"
  while [ "$(date +%s)" -lt "$end" ]; do sleep 1; done
  wait "$plain" || true
  kill "$belvane" $before 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
  wait "$belvane" $before 2>/dev/null || true
}
belvane_with_display session
kill "$PROBE" 2>/dev/null || true
if [ -n "$LOADER" ]; then
  kill -- -"$LOADER" 2>/dev/null || true
fi

python3 - "$OUT" "$START" "$COUNT" <<'PY'
import sys
out, start, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
def onsets(who):
    try:
        return sorted(int(l.split()[1]) for l in open("%s/%s.onsets" % (out, who)) if l.startswith("onset"))
    except FileNotFoundError:
        return []
def report(who, offset):
    due = [(start + offset + 2 * i) * 10**9 for i in range(count)]
    got, missed = [], 0
    seen = onsets(who)
    for d in due:
        match = [o for o in seen if d <= o < d + 2 * 10**9]
        if match:
            got.append((match[0] - d) / 1e6)
        else:
            missed += 1
    got.sort()
    def pct(p):
        return got[min(len(got) - 1, int(round(p / 100 * (len(got) - 1))))] if got else float("nan")
    first = [o for o in seen if due[0] <= o < due[0] + 2 * 10**9]
    print("%-8s rows %3d  sounded %3d  missed %2d  p50 %7.1f ms  p99 %7.1f ms  max %7.1f ms  min %7.1f ms  first row %7.1f ms"
          % (who, count, len(got), missed, pct(50), pct(99), got[-1] if got else float("nan"), got[0] if got else float("nan"),
             (first[0] - due[0]) / 1e6 if first else float("nan")))
report("belvane", 0)
report("plain", 1)
import os
if os.path.isdir(out + "/before"):
    report("before", 0)

# Belvane's own record of each bell (GBK): how late it says the first sound was, against the
# device's onset of the same row. The difference is the output's own delay after the buffer
# was handed over (plus the record's clock against the host's).
def recorded():
    late = {}
    try:
        text = open(out + "/belvane/Belvane日志.txt", "rb").read().decode("gbk")
    except (FileNotFoundError, UnicodeDecodeError):
        return late
    for line in text.split("\r\n"):
        f = line.split("\t")
        if len(f) == 7 and f[1] == "定时" and f[5] == "已播放":
            late[int(f[2]) - 1] = int(f[6].split()[0])
    return late
def probe_stalls():
    try:
        return [tuple(int(v) for v in l.split()[1:3]) for l in open(out + "/stalls") if l.startswith("stall")]
    except FileNotFoundError:
        return []
stalls = probe_stalls()
seen, late, diffs = onsets("belvane"), recorded(), []
for i in range(count):
    d = (start + 2 * i) * 10**9
    match = [o for o in seen if d <= o < d + 2 * 10**9]
    if match and i in late:
        diffs.append((match[0] - d) / 1e6 - late[i])
    if match and (match[0] - d) / 1e6 > 5:
        # The longest stall the native probe saw from 10 ms before the second to the onset.
        near = [late_us for at, late_us in stalls if d - 10**7 <= at <= match[0]]
        print("slow     row %3d  onset %6.1f ms  recorded %s ms  machine stall %s"
              % (i + 1, (match[0] - d) / 1e6, late.get(i, "-"),
                 "%.1f ms" % (max(near) / 1e3) if near else "none"))
diffs.sort()
if diffs:
    print("record   rows %3d  onset minus recorded lateness: min %6.1f ms  p50 %6.1f ms  max %6.1f ms"
          % (len(diffs), diffs[0], diffs[len(diffs) // 2], diffs[-1]))
PY

if [ "$COPY_MB" -gt 0 ]; then
  # When the follower made each copy: its birth (the temporary name's creation, kept by the
  # rename) and its last change (the rename), set against the rows both programs rang from 2 s
  # before to 2 s after (at least one row either side).
  (cd "$OUT/belvane/mp3" && stat -c '%.9W %.9Z %s %n' copy-*.wav 2>/dev/null) >"$OUT/copies" || true
  if python3 - "$OUT" "$START" "$COUNT" "$COPY_MB" <<'PY'
import sys, time
out, start, count, mb = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
try:
    dropped = float(open(out + "/copy-dropped").read())
except FileNotFoundError:
    dropped = float("nan")
print("copy     %d MB dropped into the source at %+.1f s (from the first row)" % (mb, dropped - start))
text = open(out + "/belvane/Belvane日志.txt", "rb").read().decode("gbk")
for line in text.split("\r\n"):
    f = line.split("\t")
    if len(f) > 2 and f[1] in ("同步", "时钟"):
        at = time.mktime(time.strptime(f[0][:19], "%Y-%m-%d %H:%M:%S")) + int(f[0][20:23]) / 1e3
        print("record   %+7.1f s  %s" % (at - start, "  ".join(f[1:5]) + ("  ..." if len(f) > 5 else "")))
copies = [l.split() for l in open(out + "/copies")]
if not copies:
    print("copy     nothing copied")
    sys.exit()
began = min(float(c[0]) for c in copies)
ended = max(float(c[1]) for c in copies)
total = sum(int(c[2]) for c in copies) / 2**20
print("copy     %d files, %.0f MB: first created %+.1f s, last renamed %+.1f s (%.1f s, %.0f MB/s)"
      % (len(copies), total, began - start, ended - start, ended - began, total / max(ended - began, 1e-3)))
def onsets(who):
    return sorted(int(l.split()[1]) for l in open("%s/%s.onsets" % (out, who)) if l.startswith("onset"))
for who, offset in (("belvane", 0), ("plain", 1)):
    seen, late, missed = onsets(who), [], 0
    for i in range(count):
        d = start + offset + 2 * i
        if d < began - 2 or d > ended + 2:
            continue
        match = [o for o in seen if d * 10**9 <= o < (d + 2) * 10**9]
        if match:
            late.append((match[0] - d * 10**9) / 1e6)
        else:
            missed += 1
    print("during   %-8s rows %2d  missed %d  lateness %s ms"
          % (who, len(late) + missed, missed, " ".join("%.1f" % v for v in late)))
PY
  then :; else echo "copy     no report: see $OUT"; fi
  # 2 x COPY_MB of random bytes: not kept.
  rm -rf "$OUT/source" "$OUT/staging" "$OUT"/belvane/mp3/copy-*.wav
fi
