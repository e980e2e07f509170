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
