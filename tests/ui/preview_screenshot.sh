#!/bin/bash
# Screenshot of one of the UI previews on a private Xvfb under the project's Wine:
#   tests/ui/preview_screenshot.sh dialog|plan|hall|follow|campus|sound [build dir] [output png]
# dialog: the main window as the program sets it up before any data (docs/dialog.png);
# plan: the plan window over a sample folder, its exam part too (docs/plan-window.png);
# hall: the exam-hall clock before a session (docs/exam-hall-clock.png);
# follow: the follow window over a stand-in follower (docs/follow-window.png);
# campus: the campus window over sample reports (docs/campus-window.png);
# sound: the "声音…" window over stand-in outputs (docs/sound-window.png).
set -eu
root="$(cd "$(dirname "$0")/../.." && pwd)"
case "${1:-}" in
  dialog) exe=ui_dialog_preview.exe seconds=6 wait=4 png=dialog.png ;;
  plan) exe=ui_plan_preview.exe seconds=8 wait=6 png=plan-window.png ;;
  hall) exe=ui_plan_preview.exe args=hall seconds=8 wait=6 png=exam-hall-clock.png notrim=1 ;;
  follow) exe=ui_follow_preview.exe seconds=8 wait=6 png=follow-window.png ;;
  campus) exe=ui_campus_preview.exe seconds=8 wait=6 png=campus-window.png ;;
  sound) exe=ui_sound_preview.exe seconds=8 wait=6 png=sound-window.png ;;
  *) echo "usage: $0 dialog|plan|hall|follow|campus|sound [build dir] [output png]" >&2; exit 2 ;;
esac
build="$(readlink -f "${2:-$root/build}")"
out="$(readlink -m "${3:-$root/docs/$png}")"
unset DISPLAY
source "$root/scripts/wine-env.sh"
shoot() {
  # The preview stays up `seconds`; the shot is taken once it has drawn.
  wine "$build/bin/$exe" ${args:-} "$seconds" >/dev/null 2>&1 &
  local pid=$!
  sleep "$wait"
  mkdir -p "$(dirname "$out")"
  # The root window is black around a dialog: trim it away (the full-screen clock is black too).
  if [ -n "${notrim:-}" ]; then
    import -window root "$out"
  else
    import -window root -trim +repage "$out"
  fi
  wait "$pid" || true
}
belvane_with_display shoot
echo "screenshot: $out"
