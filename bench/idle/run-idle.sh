#!/bin/bash
# Idle cost benchmark. Runs two builds of Belvane.exe side by side, each in a folder of its own
# with a timetable of ROWS rows none of which is due during the run and an mp3 folder of FILES
# files, lets them start and settle, then measures, over the same idle window for both, the
# processor time each one takes and its resident memory. The window is repeated RUNS times, the
# two builds started in turn first, so that the machine's noise falls on both alike.
#
# Each build runs in a Wine prefix of its own (a copy of the project's), so that each has its own
# wineserver and its own Wine services: what the wineserver does for a build (its waits, its
# change notifications, its messages) is that build's, and is given beside the process's own.
# Measured from the Unix side, per window:
#   - the program: utime+stime of /proc/PID/stat (10 ms ticks, threads that ended included),
#     and the sum of its threads' run time from /proc/PID/task/*/schedstat (nanoseconds);
#     VmRSS of /proc/PID/status at the window's end;
#   - its wineserver: the same two;
#   - the prefix's other Wine processes (explorer, services, rpcss ...): run time summed;
#   - Xvfb, which both share: run time.
# The rows of every window are kept in BUILD_DIR/bench-idle/results, and the other processes'
# shares by name in results.others.
# The load average (1 min) at the start and end of the run is printed with the figures.
#
# Usage: bench/idle/run-idle.sh [BUILD_DIR] OLD [SECONDS] [RUNS]
#   BUILD_DIR: the current build (default build); OLD: another build folder, a Belvane.exe, or
#   a commit, which is then checked out beside the run and its Belvane target built there.
#   SECONDS: the idle window (default 60); RUNS: how many windows (default 3).
#   SETTLE=10 (seconds after start-up has gone quiet), ROWS=100 and FILES=50 in the environment.
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
BUILD="${1:-build}"
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac
OLD="${2:?usage: run-idle.sh [BUILD_DIR] OLD [SECONDS] [RUNS]}"
SECONDS_IDLE="${3:-60}"
RUNS="${4:-3}"
SETTLE="${SETTLE:-10}"
ROWS="${ROWS:-100}"
FILES="${FILES:-50}"
OUT="$BUILD/bench-idle"
mkdir -p "$OUT"

source "$ROOT/scripts/wine-env.sh"
BASE_PREFIX="$WINEPREFIX"

# The older build: a folder, a program, or a commit built here.
if [ -f "$OLD/bin/Belvane.exe" ]; then
  OLD_EXE="$OLD/bin/Belvane.exe"
elif [ -f "$OLD" ]; then
  OLD_EXE="$OLD"
else
  COMMIT="$(git -C "$ROOT" rev-parse --verify "$OLD^{commit}")"
  SRC="$OUT/old-src"
  if [ "$(git -C "$SRC" rev-parse HEAD 2>/dev/null || true)" != "$COMMIT" ]; then
    git -C "$ROOT" worktree remove --force "$SRC" 2>/dev/null || rm -rf "$SRC"
    git -C "$ROOT" worktree add --detach "$SRC" "$COMMIT" >/dev/null
  fi
  LAUNCHER=()
  if command -v ccache >/dev/null; then
    LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$SRC" -B "$SRC/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$SRC/cmake/mingw-w64-x86_64.cmake" "${LAUNCHER[@]}" >/dev/null
  cmake --build "$SRC/build" --target Belvane >/dev/null
  OLD_EXE="$SRC/build/bin/Belvane.exe"
fi
case "$OLD_EXE" in /*) ;; *) OLD_EXE="$(pwd)/$OLD_EXE" ;; esac
NAMES=(current old)
declare -A EXE=([current]="$BUILD/bin/Belvane.exe" [old]="$OLD_EXE")
echo "idle: current $(sha1sum <"${EXE[current]}" | cut -c1-12), old $(sha1sum <"${EXE[old]}" | cut -c1-12) ($OLD)"

# A prefix of its own per build, copied once from the project's (made by scripts/setup.sh).
for name in "${NAMES[@]}"; do
  if [ ! -f "$OUT/$name/prefix/.belvane-ready" ]; then
    rm -rf "$OUT/$name/prefix"
    mkdir -p "$OUT/$name"
    cp -a "$BASE_PREFIX" "$OUT/$name/prefix"
  fi
done

# ALSA's null device: the audio output opens as on a machine with a sound card, nothing plays.
printf 'pcm.!default { type null }\n' >"$OUT/null.conf"
export ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:$OUT/null.conf"

# One short MP3 for the FILES files (its content never matters: nothing is due).
if [ ! -f "$OUT/tone.mp3" ]; then
  ffmpeg -loglevel error -y -f lavfi -i "sine=frequency=880:duration=1" -c:a libmp3lame \
    -b:a 64k "$OUT/tone.mp3"
fi

# A fresh folder for a build: the program, the timetable (GBK) and the music folder. The rows
# lie two hours from now, or earlier in the day where that would pass midnight.
prepare() {
  local dir="$OUT/$1/app"
  rm -rf "$dir" && mkdir -p "$dir/mp3"
  cp "${EXE[$1]}" "$dir/Belvane.exe"
  python3 - "$dir" "$OUT/tone.mp3" "$ROWS" "$FILES" <<'PY'
import shutil, sys, time
folder, tone, rows, files = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
names = ["%02d.上下课铃声.mp3" % (i + 1) for i in range(files)]
for name in names:
    shutil.copyfile(tone, "%s/mp3/%s" % (folder, name))
lt = time.localtime()
now = lt.tm_hour * 3600 + lt.tm_min * 60 + lt.tm_sec
step = 60
base = now + 7200 if now + 7200 + rows * step < 86400 else now - 7200 - rows * step
def text(s):
    return "%02d:%02d:%02d" % (s // 3600, s // 60 % 60, s % 60)
secs = [base + i * step for i in range(rows)]
lines = ["[time]"] + ["%d=%s" % (i + 1, text(s)) for i, s in enumerate(secs)]
lines += ["[music]"] + ["%d=%s" % (i + 1, names[i % files]) for i in range(rows)]
lines += ["[remark]"] + ["%d=%d" % (i + 1, s) for i, s in enumerate(secs)]
lines += ["[total]", "n=%d" % rows]
open(folder + "/Belvane配置.ini", "wb").write(("\r\n".join(lines) + "\r\n").encode("gbk"))
PY
}

# Unix-side figures of one process: ticks (utime+stime), run time of its threads (ns), RSS (kB).
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0; }

declare -A SERVER PROGRAM
start_build() {
  local name="$1"
  prepare "$name"
  WINEPREFIX="$OUT/$name/prefix" wineserver -f -p >/dev/null 2>&1 &
  SERVER[$name]=$!
  (cd "$OUT/$name/app" && WINEPREFIX="$OUT/$name/prefix" exec wine ./Belvane.exe \
     >"$OUT/$name/wine.log" 2>&1) &
  PROGRAM[$name]=$!
}

stop_builds() {
  for name in "${NAMES[@]}"; do
    WINEPREFIX="$OUT/$name/prefix" wineserver -k >/dev/null 2>&1 || true
  done
  for name in "${NAMES[@]}"; do
    wait "${PROGRAM[$name]}" 2>/dev/null || true
    wait "${SERVER[$name]}" 2>/dev/null || true
  done
}

# Start-up is over when neither program has taken a tick for two seconds in a row (at most
# two minutes), then SETTLE seconds more.
wait_quiet() {
  local quiet=0 tries=0 before after name
  declare -A last
  for name in "${NAMES[@]}"; do last[$name]=-1; done
  while ((quiet < 2 && tries < 120)); do
    sleep 1
    tries=$((tries + 1))
    local moved=0
    for name in "${NAMES[@]}"; do
      after="$(ticks "${PROGRAM[$name]}")"
      [ "$after" != "${last[$name]}" ] && moved=1
      last[$name]="$after"
    done
    if ((moved)); then quiet=0; else quiet=$((quiet + 1)); fi
  done
  sleep "$SETTLE"
}

RESULTS="$OUT/results"
: >"$RESULTS"
: >"$RESULTS.others"
LOAD_START="$(cut -d' ' -f1 /proc/loadavg)"
session() {
  local round order name
  for ((round = 0; round < RUNS; round++)); do
    if ((round % 2 == 0)); then order=(current old); else order=(old current); fi
    for name in "${order[@]}"; do start_build "$name"; done
    wait_quiet
    echo "idle: window $((round + 1)) of $RUNS (${order[*]} started in that order), ${SECONDS_IDLE} s"
    python3 - "$RESULTS" "$round" "$SECONDS_IDLE" "$(pgrep -P $$ -x Xvfb || echo 0)" \
      "current:${PROGRAM[current]}:${SERVER[current]}:$OUT/current/prefix" \
      "old:${PROGRAM[old]}:${SERVER[old]}:$OUT/old/prefix" <<'PY'
import os, sys, time
results, rnd, window, xvfb = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4])
builds = [a.split(":", 3) for a in sys.argv[5:]]

def read(path):
    try:
        return open(path, "rb").read()
    except OSError:
        return None

def ticks(pid):
    stat = read("/proc/%d/stat" % pid)
    if stat is None:
        return None
    fields = stat[stat.rindex(b")") + 2:].split()
    return int(fields[11]) + int(fields[12])

def run_ns(pid):
    total = 0
    try:
        tasks = os.listdir("/proc/%d/task" % pid)
    except OSError:
        return None
    for tid in tasks:
        s = read("/proc/%d/task/%s/schedstat" % (pid, tid))
        if s:
            total += int(s.split()[0])
    return total

def rss_kb(pid):
    status = read("/proc/%d/status" % pid) or b""
    for line in status.split(b"\n"):
        if line.startswith(b"VmRSS:"):
            return int(line.split()[1])
    return 0

def others(prefix, skip):
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) in skip:
            continue
        env = read("/proc/%s/environ" % entry)
        comm = (read("/proc/%s/comm" % entry) or b"").strip()
        if env and comm.endswith(b".exe") and ("WINEPREFIX=" + prefix).encode() in env.split(b"\0"):
            found.append(int(entry))
    return found

def snapshot():
    snap = {"xvfb": run_ns(xvfb) if xvfb else None}
    for name, program, server, prefix in builds:
        program, server = int(program), int(server)
        snap[name] = {
            "program": (ticks(program), run_ns(program), len(os.listdir("/proc/%d/task" % program))),
            "server": (ticks(server), run_ns(server)),
            "others": {pid: run_ns(pid) for pid in others(prefix, {program, server})},
        }
    return snap

a = snapshot()
t0 = time.monotonic()
time.sleep(window)
b = snapshot()
elapsed = time.monotonic() - t0
lines, details = [], []
for name, program, server, prefix in builds:
    pa, pb, sa, sb = a[name]["program"], b[name]["program"], a[name]["server"], b[name]["server"]
    if pb[0] is None:
        lines.append("%d %s ended" % (rnd, name))
        continue
    moved = {p: b[name]["others"][p] - a[name]["others"][p]
             for p in a[name]["others"] if b[name]["others"].get(p) is not None}
    other = sum(moved.values())
    for pid, ns in sorted(moved.items(), key=lambda item: -item[1]):
        comm = (read("/proc/%d/comm" % pid) or b"?").decode().strip()
        details.append("%d %s %s %d %.2f" % (rnd, name, comm, pid, ns / 1e6))
    lines.append("%d %s %.3f %d %d %d %d %d %d %d %d %d" % (
        rnd, name, elapsed, pb[0] - pa[0], pb[1] - pa[1], rss_kb(int(program)), pa[2], pb[2],
        sb[0] - sa[0], sb[1] - sa[1], rss_kb(int(server)), other))
xv = (b["xvfb"] - a["xvfb"]) if a["xvfb"] is not None and b["xvfb"] is not None else -1
lines.append("%d xvfb %d" % (rnd, xv))
open(results, "a").write("\n".join(lines) + "\n")
# Which of the prefix's other processes took the time: run, build, name, pid, ms.
open(results + ".others", "a").write("\n".join(details) + "\n")
PY
    for name in "${NAMES[@]}"; do
      # The program's record must hold its start line: a build that stopped at a box is no
      # idle figure.
      if ! [ -s "$OUT/$name/app/Belvane日志.txt" ]; then
        echo "idle: warning: $name wrote no record (did it start?)" >&2
      fi
    done
    stop_builds
  done
}
belvane_with_display session
LOAD_END="$(cut -d' ' -f1 /proc/loadavg)"

python3 - "$RESULTS" "$SECONDS_IDLE" "$LOAD_START" "$LOAD_END" <<'PY'
import sys
results, window, load0, load1 = sys.argv[1], float(sys.argv[2]), sys.argv[3], sys.argv[4]
runs = {"current": [], "old": []}
xvfb = []
for line in open(results):
    f = line.split()
    if f[1] == "xvfb":
        xvfb.append(int(f[2]))
    elif f[2] == "ended":
        print("run %s: %s ended during the window" % (f[0], f[1]))
    else:
        runs[f[1]].append([float(f[2])] + [int(v) for v in f[3:]])
print("idle window %.0f s, load average %s -> %s; per 60 s of idle:" % (window, load0, load1))
print("%-8s %-4s %10s %12s %9s %8s %14s %11s %14s" % (
    "build", "run", "ticks", "program ms", "RSS MB", "threads", "wineserver ms", "server MB",
    "other Wine ms"))
def per60(value, elapsed):
    return value * 60.0 / elapsed
summary = {}
for name in ("current", "old"):
    for i, r in enumerate(runs[name]):
        el, tk, ns, rss, th0, th1, stk, sns, srss, other = r
        print("%-8s %-4d %10.1f %12.2f %9.1f %8s %14.2f %11.1f %14.2f" % (
            name, i + 1, per60(tk, el), per60(ns, el) / 1e6, rss / 1024,
            "%d" % th1 if th0 == th1 else "%d->%d" % (th0, th1), per60(sns, el) / 1e6,
            srss / 1024, per60(other, el) / 1e6))
    rs = runs[name]
    if rs:
        n = len(rs)
        summary[name] = {
            "ticks": sum(per60(r[1], r[0]) for r in rs) / n,
            "ms": sum(per60(r[2], r[0]) for r in rs) / n / 1e6,
            "rss": sum(r[3] for r in rs) / n / 1024,
            "server": sum(per60(r[7], r[0]) for r in rs) / n / 1e6,
            "other": sum(per60(r[9], r[0]) for r in rs) / n / 1e6,
        }
for name, s in summary.items():
    print("%-8s mean %5.1f ticks, %7.2f ms (%.3f%% of a core), RSS %.1f MB; wineserver %.2f ms; other Wine processes %.2f ms"
          % (name, s["ticks"], s["ms"], s["ms"] / 600.0, s["rss"], s["server"], s["other"]))
if len(summary) == 2:
    c, o = summary["current"], summary["old"]
    def ratio(a, b):
        return "%.2f" % (a / b) if b else "n/a"
    print("current/old: program %s, program + wineserver %s, RSS %s" % (
        ratio(c["ms"], o["ms"]), ratio(c["ms"] + c["server"], o["ms"] + o["server"]),
        ratio(c["rss"], o["rss"])))
if xvfb:
    print("Xvfb (shared by both): %.2f ms per window at the mean" % (sum(xvfb) / len(xvfb) / 1e6))
PY
