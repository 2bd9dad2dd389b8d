#!/bin/bash
# The release zip as a Windows user gets it: made by `make release`'s own script, unpacked into
# a fresh folder as Explorer on a Chinese Windows reads its names, then the program started
# from there (release_e2e_test.cpp). Usage: release_check.sh ROOT BUILD
set -euo pipefail
ROOT="$1" BUILD="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$ROOT/scripts/make-release.sh" "$BUILD" "$work/out" >/dev/null
zip="$(ls "$work"/out/Belvane-*.zip)"
version="$(sed -n 's/^#define BELVANE_VERSION_TEXT "\(.*\)"$/\1/p' "$BUILD/generated/resources/version.h")"
case "$(x86_64-w64-mingw32-objdump -f "$BUILD/bin/Belvane.exe")" in
  *pei-i386*) arch=x86 ;;
  *) arch=x64 ;;
esac
[ "$(basename "$zip")" = "Belvane-$version-$arch.zip" ] || { echo "zip named $(basename "$zip")" >&2; exit 1; }
python3 - "$zip" "$work/unpacked" <<'PY'
import os, sys, zipfile
zip_path, target = sys.argv[1], sys.argv[2]
names = []
with zipfile.ZipFile(zip_path) as archive:
    for info in archive.infolist():
        raw = info.orig_filename.encode("cp437") if not info.flag_bits & 0x800 else None
        # Unflagged names in the OEM code page (936 on a Chinese Windows), flagged ones as UTF-8.
        name = raw.decode("gbk") if raw is not None else info.orig_filename
        names.append(name)
        path = os.path.join(target, *name.rstrip("/").split("/"))
        if name.endswith("/"):
            os.makedirs(path, exist_ok=True)
        else:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as out:
                out.write(archive.read(info))
expected = {"Belvane/", "Belvane/Belvane.exe", "Belvane/使用说明.txt", "Belvane/mp3/"} | {
    "Belvane/mp3/" + n for n in ["1.组织考生进入考场.m4a", "2.宣读考试规则.m4a",
    "3.监考员启封试卷袋.m4a", "4.分发试题卷和答题卷.m4a", "5.请考生开始答题.m4a",
    "6.考前15分钟提醒.m4a", "7.停止答题.m4a"]}
if set(names) != expected or len(names) != len(expected):
    sys.exit("entries: %r" % sorted(names))
guide = open(os.path.join(target, "Belvane", "使用说明.txt"), "rb").read()
text = guide.decode("gbk")  # strict: fails on anything that is not GBK
if guide.count(b"\n") != guide.count(b"\r\n") or b"\r\n" not in guide:
    sys.exit("the guide's lines do not all end in CRLF")
for needed in ["Belvane配置.ini", "Belvane日志.txt", "Belvane日志.old.txt", "bass.dll", "mp3",
               "开机自动启动", "打开播放记录", "关于 Belvane"]:
    if needed not in text:
        sys.exit("the guide does not mention " + needed)
PY
if x86_64-w64-mingw32-objdump -h "$work/unpacked/Belvane/Belvane.exe" | grep -q '\.debug'; then
  echo "Belvane.exe is not stripped" >&2
  exit 1
fi
# Drive Z: is the Unix root in every Wine prefix (winepath would start Wine's services on this
# script's output pipe and keep it open).
unpacked="$work/unpacked/Belvane"
BELVANE_RELEASE_DIR="Z:${unpacked//\//\\}" \
  "$ROOT/scripts/wine-run" "$BUILD/bin/belvane_release_e2e_tests.exe" --gtest_color=no
