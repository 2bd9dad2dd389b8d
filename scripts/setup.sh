#!/bin/bash
# Installs what the build and the tests need (as root, only what is missing) and prepares the
# project-local Wine environment in .wine-env/: a generated zh_CN.UTF-8 locale and a Wine prefix
# of our own. Idempotent: a second run takes about a second. Never touches ~/.wine.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

PACKAGES=(
  g++-mingw-w64-x86-64-posix cmake ninja-build make
  wine wine64 fonts-wine xvfb xauth x11-utils fonts-wqy-microhei locales
  libasound2-plugins libgnutls30 libgl1
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-libav
  googletest imagemagick sox ffmpeg espeak-ng clang-format python3
  clang libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  if [ "$(id -u)" != 0 ]; then
    echo "setup: missing packages and not root; run 'make setup' as root" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# shellcheck source=wine-env.sh
source "$ROOT/scripts/wine-env.sh"

# zh_CN.UTF-8, generated into the project: Wine takes code page 936 from it and still expects
# UTF-8 Unix file names (a zh_CN.GBK locale would not).
if [ ! -f "$LOCPATH/zh_CN.UTF-8/LC_CTYPE" ]; then
  mkdir -p "$LOCPATH"
  localedef -i zh_CN -f UTF-8 "$LOCPATH/zh_CN.UTF-8" || true
  [ -f "$LOCPATH/zh_CN.UTF-8/LC_CTYPE" ] || { echo "setup: localedef failed" >&2; exit 1; }
fi

STAMP="$WINEPREFIX/.belvane-ready"
if [ ! -f "$STAMP" ]; then
  echo "setup: creating Wine prefix in $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  belvane_with_display wineboot -i >"$BELVANE_WINE_DIR/wineboot.log" 2>&1
  # Without Managed=N every window hide waits 2 s for a window manager that Xvfb lacks.
  belvane_with_display wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
    >>"$BELVANE_WINE_DIR/wineboot.log" 2>&1
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  wineserver -w || true
  touch "$STAMP"
fi
