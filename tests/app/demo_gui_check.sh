#!/usr/bin/env bash
# GUI check of the demo: a small demo working folder, the program in it under Xvfb, the demo
# user's login typed as the user types it, then the frame on the screen (screenshot, which stays
# in the build tree) and the end through "File" > "Exit".
# Usage: demo_gui_check.sh PROGRAM DEMO-SETUP SCREENSHOT.png
set -euo pipefail

CHECK="demo GUI check"
source "$(dirname "$(realpath "$0")")/gui_check_lib.sh"
# Outside the X server this prepares the folder and runs the check again inside Xvfb.
gui_check_outer "$@"

# ---- Inside the X server ------------------------------------------------------------------

finish() {
  if [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null; then kill -9 "$pid" 2>/dev/null || true; fi
}
trap finish EXIT
fail() { check_fail "$@"; }

# The frame opens first, the login over it.
startForLogin
# Any window but these two is a box the program put up.
otherWindow() {
  local w
  for w in $(visible '.'); do
    if [[ "$w" != "$frame" && "$w" != "$login" ]]; then
      echo "\"$(xdo getwindowname "$w" 2>/dev/null)\" ($(xdo getwindowgeometry "$w" 2>/dev/null | sed -n 's/.*Geometry: //p'))"
      return 0
    fi
  done
  return 1
}
typeDemoLogin "$login"

# A refused login puts up a box (wrong password, "Halt") or ends the program; an accepted one
# leaves the frame alone on the screen.
waitFor 'the end of the login' \
  'if box="$(otherWindow)"; then fail "a window $box came up at the login"; fi; [[ -z "$(visible "^Login$")" ]]'
login=""
sleep 1.5
kill -0 "$pid" 2>/dev/null || fail "the program ended after the login"
[[ -n "$(visible "^VOQKivorant  \(Version ")" ]] || fail "the frame is gone after the login"
if box="$(otherWindow)"; then fail "a window $box stands beside the frame after the login"; fi

timeout 10 import -window root "$shot" || fail "no screenshot"
read -r width height colours < <(identify -format '%w %h %k\n' "$shot") || fail "the screenshot cannot be read"
((width >= 1600 && height >= 1000)) || fail "screenshot of ${width}x${height}, not the whole screen"
((colours > 20)) || fail "the screenshot is nearly blank ($colours colours)"
echo "demo GUI check: frame after the login of DEMO, screenshot $shot (${width}x${height}, $colours colours)"

frameSize() { xdo getwindowgeometry "$1" 2>/dev/null | sed -n 's/.*Geometry: //p'; }
firstSize="$(frameSize "$frame")"

# The end as the user chooses it: "File" > "Exit".
endThroughFileExit "$frame"
echo "demo GUI check: the program ended with code 0"

# The frame's size and position were kept under "Main" (a size of 0 would open it wrong next time).
main_key() { sed -n '/^\[Main\]/,/^\[/p' VOQKIVORANT.INI | tr -d '\r' | sed -n "s/^$1=//p" | head -n1; }
for key in Width Height; do
  value="$(main_key "$key")"
  [[ "$value" =~ ^[0-9]+$ ]] && ((value > 0)) || fail "section Main of VOQKIVORANT.INI holds $key=\"$value\""
done
echo "demo GUI check: the frame's state is kept (Width=$(main_key Width), Height=$(main_key Height))"

# Started again, the frame opens as large as it was, and keeps that size at this end too.
width1="$(main_key Width)" height1="$(main_key Height)"
deadline=$((SECONDS + 60))
startForLogin
typeDemoLogin "$login"
waitFor 'the end of the second login' '[[ -z "$(visible "^Login$")" ]]'
login=""
sleep 1.5
secondSize="$(frameSize "$frame")"
[[ "$secondSize" == "$firstSize" ]] || fail "the frame opened at $secondSize, not at $firstSize as it was left"
endThroughFileExit "$frame"
[[ "$(main_key Width)x$(main_key Height)" == "${width1}x${height1}" ]] ||
  fail "the kept size went from ${width1}x${height1} to $(main_key Width)x$(main_key Height)"
echo "demo GUI check: started again, the frame kept its size ($secondSize; Width=$width1, Height=$height1)"
