# Sourced by the project's scripts: the environment every Wine run of the project uses.
BELVANE_ROOT="${BELVANE_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export BELVANE_ROOT
export BELVANE_WINE_DIR="${BELVANE_WINE_DIR:-$BELVANE_ROOT/.wine-env}"
export WINEPREFIX="$BELVANE_WINE_DIR/prefix"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export LOCPATH="$BELVANE_WINE_DIR/locale"
{ export LANG=zh_CN.UTF-8; } 2>/dev/null
{ export LC_ALL=zh_CN.UTF-8; } 2>/dev/null
mkdir -p "$BELVANE_WINE_DIR"

# Runs a command with a display: the caller's DISPLAY when there is one, otherwise a private
# Xvfb started for the command and stopped after it. Its screen is a common laptop's, on which
# the main window also fits at 150 % (144 DPI).
belvane_with_display() {
  if [ -n "${DISPLAY:-}" ]; then
    "$@"
    return
  fi
  local fd_file pid status
  fd_file="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.05; done
  export DISPLAY=":$(head -n1 "$fd_file")"
  rm -f "$fd_file"
  status=0
  "$@" || status=$?
  wineserver -k >/dev/null 2>&1 || true
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  unset DISPLAY
  return $status
}
