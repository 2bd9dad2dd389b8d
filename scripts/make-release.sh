#!/bin/bash
# `make release`: writes OUT/Belvane-<version>-<arch>.zip (OUT defaults to BUILD/release; arch
# x64 or x86, the build's program's) holding Belvane/Belvane.exe (stripped), Belvane/mp3/ with
# the demo's seven announcements the default timetable names, and Belvane/使用说明.txt (GBK,
# CRLF). The two builds' zips differ in the program alone. Usage: make-release.sh BUILD [OUT]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-build}"
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac
OUT="${2:-$BUILD/release}"
version="$(sed -n 's/^#define BELVANE_VERSION_TEXT "\(.*\)"$/\1/p' "$BUILD/generated/resources/version.h")"
[ -n "$version" ] || { echo "release: no version in $BUILD/generated/resources/version.h" >&2; exit 1; }
count="$(find "$BUILD/demo/mp3" -maxdepth 1 -name '*.m4a' 2>/dev/null | wc -l)"
if [ "$count" != 7 ]; then
  echo "release: $BUILD/demo/mp3 holds $count of the seven announcements (espeak-ng and ffmpeg make them)" >&2
  exit 1
fi
case "$(x86_64-w64-mingw32-objdump -f "$BUILD/bin/Belvane.exe")" in
  *pei-x86-64*) arch=x64 strip=x86_64-w64-mingw32-strip ;;
  *pei-i386*) arch=x86 strip=i686-w64-mingw32-strip ;;
  *) echo "release: $BUILD/bin/Belvane.exe is neither x64 nor x86" >&2; exit 1 ;;
esac
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/Belvane/mp3"
"$strip" -o "$stage/Belvane/Belvane.exe" "$BUILD/bin/Belvane.exe"
cp "$BUILD"/demo/mp3/*.m4a "$stage/Belvane/mp3/"
# The guide is kept as UTF-8 with LF; Notepad on a Chinese Windows wants GBK with CRLF.
python3 -c 'import sys; t = open(sys.argv[1], encoding="utf-8").read().replace("\r\n", "\n")
open(sys.argv[2], "wb").write(t.replace("\n", "\r\n").encode("gbk"))' \
  "$ROOT/resources/使用说明.txt" "$stage/Belvane/使用说明.txt"
mkdir -p "$OUT"
zip="$OUT/Belvane-$version-$arch.zip"
rm -f "$zip"
python3 "$ROOT/scripts/release-zip.py" "$stage/Belvane" "$zip"
echo "release: $zip ($(stat -c %s "$zip") bytes)"
(cd "$stage" && find Belvane -type f -printf '  %p  %s bytes\n' | sort)
