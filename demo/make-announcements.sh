#!/bin/bash
# Speaks the default timetable's seven announcements in Mandarin and encodes each to AAC in an
# .m4a file, named as the timetable names it. Usage: make-announcements.sh OUT_DIR
# Names are written as UTF-8 Unix names; under a zh_CN locale Wine shows them as the GBK names.
set -euo pipefail
out="$1"
mkdir -p "$out"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
# file number, spoken text; the file is "<number>.<text>.m4a"
announcements=(
  "1|组织考生进入考场"
  "2|宣读考试规则"
  "3|监考员启封试卷袋"
  "4|分发试题卷和答题卷"
  "5|请考生开始答题"
  "6|考前15分钟提醒"
  "7|停止答题"
)
speak() {
  local n="$1" text="$2"
  espeak-ng -v cmn -s 150 -w "$tmp/$n.wav" "$text"
  ffmpeg -nostdin -hide_banner -loglevel error -y -i "$tmp/$n.wav" \
    -c:a aac -b:a 64k -ar 44100 -ac 1 "$tmp/$n.m4a"
  mv -f "$tmp/$n.m4a" "$out/$n.$text.m4a"
}
# Each announcement is independent: speak them side by side, then fail if any one failed.
pids=()
for a in "${announcements[@]}"; do
  speak "${a%%|*}" "${a#*|}" &
  pids+=($!)
done
status=0
for p in "${pids[@]}"; do wait "$p" || status=1; done
exit $status
