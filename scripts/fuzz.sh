#!/bin/bash
# Builds and runs the libFuzzer targets natively with clang (ASan and UBSan on).
#
#   scripts/fuzz.sh check [--seconds S] [--out DIR] [target...]
#       every input of each target's corpus once, then a bounded run of S seconds (default 20);
#       what `make test` runs (through CTest).
#   scripts/fuzz.sh run [--seconds S] [--out DIR] [target...]
#       a run of S seconds per target (default 300); what `make fuzz` runs.
#
# Targets: every tests/fuzz/NAME_fuzz.cpp. Its seed corpus is the folder tests/fuzz/NAME/. A
# target names the project sources it needs besides itself on lines of the form
#   // fuzz-sources: runtime/a.cpp platform/b/c.cpp
# (paths from the repository root, any number of such lines). Sources are compiled with the
# repository root on the include path, C++20, and must not need windows.h.
#
# Each run prints executions, executions per second and findings per target. A finding (crash,
# leak, time-out, out-of-memory) is kept under DIR/findings/NAME/ and fails the script; once
# fixed, copy its input into the target's corpus folder. Inputs the run discovers go to
# DIR/work/NAME/, never into the committed corpus.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

mode="${1:-}"
case "$mode" in
  check) seconds=20 ;;
  run) seconds=300 ;;
  *)
    sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
shift
out="$ROOT/build/fuzz"
targets=()
while (($#)); do
  case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done
if ((${#targets[@]} == 0)); then
  for f in "$ROOT"/tests/fuzz/*_fuzz.cpp; do
    [ -e "$f" ] && targets+=("$(basename "$f" .cpp)")
  done
fi
if ((${#targets[@]} == 0)); then
  echo "fuzz: no targets in tests/fuzz" >&2
  exit 1
fi

CXX="${FUZZ_CXX:-clang++}"
if ! command -v "$CXX" >/dev/null; then
  echo "fuzz: $CXX not found; run 'make setup' (packages clang, libclang-rt-14-dev)" >&2
  exit 1
fi
FLAGS=(-std=c++20 -O1 -g -fno-omit-frame-pointer -Wall -Wextra
       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I"$ROOT")

mkdir -p "$out/bin" "$out/deps"

# True when the binary is missing or older than anything it was built from.
stale() {
  local bin="$1" deps="$2" f
  [ -x "$bin" ] && [ -f "$deps" ] || return 0
  for f in $(sed -e 's/^[^:]*://' -e 's/\\$//' "$deps"); do
    [ "$f" -nt "$bin" ] && return 0
  done
  return 1
}

build() {
  local name="$1" source="$ROOT/tests/fuzz/$1.cpp" bin="$out/bin/$1"
  [ -f "$source" ] || { echo "fuzz: no such target $source" >&2; return 1; }
  local extra=()
  local line
  while IFS= read -r line; do
    for f in $line; do extra+=("$ROOT/$f"); done
  done < <(sed -n 's|^// fuzz-sources:||p' "$source")
  # Every source's dependencies, so that a change to any of them rebuilds the target.
  local deps="$out/deps/$name.d"
  if stale "$bin" "$deps" || [ "$source" -nt "$bin" ]; then
    echo "fuzz: building $name"
    : >"$deps.new"
    local objs=() s obj
    for s in "$source" "${extra[@]}"; do
      obj="$out/deps/$name.$(basename "$s").o"
      "$CXX" "${FLAGS[@]}" -MMD -MF "$obj.d" -c "$s" -o "$obj"
      cat "$obj.d" >>"$deps.new"
      objs+=("$obj")
    done
    "$CXX" "${FLAGS[@]}" "${objs[@]}" -o "$bin"
    mv "$deps.new" "$deps"
  fi
}

# Prints "executions exec/s" from a libFuzzer log's final statistics.
stats() {
  local log="$1"
  local runs rate
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  echo "${runs:-0} ${rate:-0}"
}

status=0
summary=()
for name in "${targets[@]}"; do
  name="${name%.cpp}"
  build "$name" || { status=1; summary+=("$name: build failed"); continue; }
  corpus="$ROOT/tests/fuzz/${name%_fuzz}"
  mkdir -p "$corpus"
  bin="$out/bin/$name"
  findings="$out/findings/$name"
  work="$out/work/$name"
  mkdir -p "$findings" "$work"
  common=(-artifact_prefix="$findings/" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1)

  if [ "$mode" = check ]; then
    # The corpus first: every committed input must pass on its own.
    files=("$corpus"/*)
    if [ -e "${files[0]}" ]; then
      if ! "$bin" "${common[@]}" "${files[@]}" >"$out/$name.corpus.log" 2>&1; then
        tail -40 "$out/$name.corpus.log"
        summary+=("$name: corpus input failed (log $out/$name.corpus.log)")
        status=1
        continue
      fi
    fi
  fi
  before=$(find "$findings" -type f | wc -l)
  log="$out/$name.log"
  set +e
  "$bin" "${common[@]}" -max_total_time="$seconds" "$work" "$corpus" >"$log" 2>&1
  rc=$?
  set -e
  read -r runs rate < <(stats "$log")
  after=$(find "$findings" -type f | wc -l)
  found=$((after - before))
  line="$name: $runs executions in ${seconds} s, $rate exec/s, findings: $found"
  if ((rc != 0 || found > 0)); then
    tail -60 "$log"
    line+=" (exit $rc; inputs in $findings, log $log)"
    status=1
  fi
  echo "$line"
  summary+=("$line")
done
echo "---- fuzz $mode summary"
printf '%s\n' "${summary[@]}"
exit $status
