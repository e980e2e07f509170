#!/usr/bin/env bash
# GUI check of the demo's cockpit: the program in a demo working folder under Xvfb with a window
# manager, the demo user's login, the cockpit that the splash opens as it closes, then each cube
# button the cockpit offers pressed from the keyboard: its cube opens in the viewer, and no box
# comes up beside it (screenshots of the cockpit and of each viewer stay in the build tree).
# Usage: cockpit_gui_check.sh PROGRAM DEMO-SETUP SCREENSHOT.png
set -euo pipefail

CHECK="cockpit GUI check"
source "$(dirname "$(realpath "$0")")/gui_check_lib.sh"
gui_check_outer "$@"

# ---- Inside the X server ------------------------------------------------------------------
fail() { check_fail "$@"; }
startWindowManager
startForLogin
typeDemoLogin "$login"
waitFor 'the end of the login' '[[ -z "$(visible "^Login$")" ]]'
# The splash: the user's OK closes it, and it starts the cockpit (the demo database's
# StartCockpit is 1), a child window of the frame.
others() {
  local w
  # The splash has no title: every mapped window of the program, by its process.
  for w in $(xdo search --onlyvisible --pid "$pid" 2>/dev/null || true); do
    [[ "$w" != "$frame" && -n "$(xdo getwindowgeometry "$w" 2>/dev/null)" ]] && echo "$w"
  done
  return 0
}
splash=""
waitFor 'the splash' 'splash="$(others | head -n1)"; [[ -n "$splash" ]]'
takeKeyboard "$splash" 'the splash'
xdo key Return
waitFor 'the end of the splash' '[[ -z "$(others)" ]]'
sleep 2
takeKeyboard "$frame" 'the frame'
timeout 10 import -window root "$shot" || fail "no screenshot"
echo "cockpit GUI check: the cockpit in the frame, screenshot $shot"

# Its first button has the focus; each button the demo gave a cube opens the viewer, the next
# button is one Tab on.
cubeOf() { sed -n '/^\[DemoERP\]/,/^\[/p' VOQKivorant6.INI | tr -d '\r' | sed -n "s/^Cube$1=//p" | head -n1; }
opened=0
for n in 1 2 3 4 5 6; do
  if [[ -z "$(cubeOf "$n")" ]]; then
    xdo key Tab
    continue
  fi
  xdo key space
  viewer=""
  waitFor "the viewer of button $n" 'viewer="$(visible "/ " | head -n1)"; [[ -n "$viewer" ]]'
  sleep 2
  name="$(xdo getwindowname "$viewer")"
  for w in $(others); do
    [[ "$w" == "$viewer" ]] || fail "a window \"$(xdo getwindowname "$w" 2>/dev/null)\" beside the viewer of \"$name\""
  done
  timeout 10 import -window root "${shot%.png}-$n.png" || fail "no screenshot of button $n"
  echo "cockpit GUI check: button $n opened \"$name\", screenshot ${shot%.png}-$n.png"
  xdo windowactivate --sync "$viewer" >/dev/null 2>&1 || true
  xdo key --clearmodifiers alt+F4
  waitFor "the viewer of button $n to close" '[[ -z "$(others)" ]]'
  takeKeyboard "$frame" 'the frame'
  xdo key Tab
  opened=$((opened + 1))
done
((opened == 3)) || fail "the cockpit offered $opened cubes, not the demo's three pivot cubes"
endThroughFileExit "$frame"
echo "cockpit GUI check: the program ended with code 0"
