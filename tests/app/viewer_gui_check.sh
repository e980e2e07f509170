#!/usr/bin/env bash
# GUI check of the pivot viewer: a small demo working folder, the program started with "\ID=1"
# under Xvfb with a window manager, the first demo cube in the viewer on the screen (screenshot,
# which stays in the build tree), then the viewer closed, which ends the program.
# Usage: viewer_gui_check.sh PROGRAM DEMO-SETUP SCREENSHOT.png
set -euo pipefail

CHECK="viewer GUI check"
# The demo's full sales, so that the totals reach eight digits as they do for the user.
GUI_DEMO_LINES=200000
source "$(dirname "$(realpath "$0")")/gui_check_lib.sh"
# Outside the X server this prepares the folder and runs the check again inside Xvfb.
gui_check_outer "$@"

# ---- Inside the X server ------------------------------------------------------------------
pid=""
fail() { check_fail "$@"; }
startWindowManager
cd "$work/demo"
"$program" '\ID=1' >"$LOG" 2>&1 &
pid=$!

viewer=""
waitFor 'the viewer' 'viewer="$(visible "^Umsatz Warengruppen/ " | head -n1)"; [[ -n "$viewer" ]]'
sleep 2
kill -0 "$pid" 2>/dev/null || fail "the program ended with the viewer open"
for w in $(visible '.'); do
  name="$(xdo getwindowname "$w" 2>/dev/null || true)"
  case "$name" in
    "Umsatz Warengruppen/ "* | "" | "VOQKivorant"*) ;;
    *) fail "a window \"$name\" stands beside the viewer" ;;
  esac
done

timeout 10 import -window root "$shot" || fail "no screenshot"
read -r width height colours < <(identify -format '%w %h %k\n' "$shot") || fail "the screenshot cannot be read"
((colours > 20)) || fail "the screenshot is nearly blank ($colours colours)"
echo "viewer GUI check: the demo cube in the viewer, screenshot $shot (${width}x${height}, $colours colours)"

# A click on the first item's "+" (the cube opens folded) opens that item alone: a second picture.
eval "$(xdo getwindowgeometry --shell "$viewer")"
# The marker stands left of the first row heading, below the toolbar, the field areas and the
# two heading lines of the table: at this place of the viewer's client area.
xdo mousemove --sync $((X + 187)) $((Y + 151)) click 1
sleep 1
opened="${shot%.png}-opened.png"
timeout 10 import -window root "$opened" || fail "no second screenshot"
changed="$(compare -metric AE "$shot" "$opened" null: 2>&1 || true)"
[[ "${changed%% *}" =~ ^[0-9]+$ ]] && ((${changed%% *} > 500)) ||
  fail "a click on the first item's marker changed nothing ($changed pixels)"
echo "viewer GUI check: the first item opened by its marker, screenshot $opened"

# Closing the viewer ends the program that "\ID" started.
# The window manager's close (Alt+F4) asks the window to close, as its close box does.
# Under load the key can reach the window before the manager has made it active: ask again.
for _ in 1 2 3; do
  xdo windowactivate --sync "$viewer" >/dev/null 2>&1 || true
  xdo key --clearmodifiers alt+F4
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break 2
    sleep 0.2
  done
done
if kill -0 "$pid" 2>/dev/null; then
  # Where the program stands, for whoever reads the log.
  command -v gdb >/dev/null && timeout 60 gdb -p "$pid" -batch -ex "thread apply all bt 12" >"$LOG.stacks" 2>&1 || true
  fail "the program did not end when the viewer closed (stacks in $LOG.stacks)"
fi
status=0
wait "$pid" || status=$?
pid=""
((status == 0)) || fail "the program ended with code $status"
echo "viewer GUI check: the program ended with code 0"
