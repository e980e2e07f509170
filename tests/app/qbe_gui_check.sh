#!/usr/bin/env bash
# GUI check of query by example: the demo program under Xvfb with the openbox window manager,
# the demo user's login, then "&Listen" > "&Tavik-Query": the cubes chosen as the source, a
# condition typed into the name's cell (part of it cut and pasted back through the Edit menu), the
# name sorted and shown with two other fields, the report run to its preview. Then the cube group list's "&Drucken" prints the demo's saved
# definition to the preview. Grid and preview pages are grabbed (the screenshots stay in the
# build tree); the frame ends through "File" > "Exit".
# Usage: qbe_gui_check.sh PROGRAM DEMO-SETUP SCREENSHOT.png
#   (the grid; the cell after the cut SCREENSHOT-cut.png, its preview SCREENSHOT-preview.png, the
#   group list's SCREENSHOT-groups.png)
set -euo pipefail

CHECK="query-by-example GUI check"
source "$(dirname "$(realpath "$0")")/gui_check_lib.sh"
gui_check_outer "$@"

# ---- Inside the X server ------------------------------------------------------------------

# More steps than the other checks: the outer limit of 110 s still holds.
deadline=$((SECONDS + 95))
startWindowManager
fail() { check_fail "$@"; }

# A screenshot of the whole screen that shows something.
grab() {
  timeout 10 import -window root "$1" || fail "no screenshot $1"
  local colours
  read -r colours < <(identify -format '%k\n' "$1") || fail "the screenshot $1 cannot be read"
  ((colours > 20)) || fail "the screenshot $1 is nearly blank ($colours colours)"
  echo "$CHECK: $2, screenshot $1"
}
# The report runs to its preview; a box instead (an order or filter error) fails the check.
awaitPreview() {
  preview=""
  waitFor 'the report preview' \
    'for box in "Order Error" "Load Error" "File Access Error"; do
       [[ -z "$(visible "^$box\$")" ]] || fail "\"$box\" instead of the report";
     done; preview="$(visible "^ Report Preview$" | head -n1)"; [[ -n "$preview" ]]'
  sleep 2
}
closeWindow() {
  xdo windowactivate --sync "$1" >/dev/null 2>&1 || true
  xdo key --clearmodifiers alt+F4
}

startForLogin
typeDemoLogin "$login"
waitFor 'the end of the login' '[[ -z "$(visible "^Login$")" ]]'
# The splash goes by before the frame takes keys.
sleep 5

# "&Listen" > "&Tavik-Query", the last but one entry (its key is shared with "&Tree Cube-Gruppen").
grid=""
for attempt in 1 2 3; do
  xdo windowactivate --sync "$frame" >/dev/null 2>&1 || true
  xdo key --clearmodifiers alt+l
  sleep 0.7
  xdo key Up Up Return
  for _ in $(seq 25); do
    grid="$(visible "^ Query by Example$" | head -n1)"
    [[ -n "$grid" ]] && break 2
    sleep 0.2
  done
done
[[ -n "$grid" ]] || fail "no window \" Query by Example\" after choosing \"&Tavik-Query\""
sleep 1
takeKeyboard "$grid" 'the grid'
# The source list has the keyboard: its third entry, the cubes.
xdo key Down
sleep 0.5
xdo key Down
sleep 0.5
xdo key Down
sleep 1.5
# Row 1 of the cube name's column (the fourth): everything but the list cube, sorted and shown;
# the number and the description shown; the report chosen in row 1's list, not the view.
xdo mousemove --window "$grid" 442 102 click 1
sleep 0.3
xdo type --delay 40 "<> 'Umsatzliste'"
# The Edit menu works on the selection: "<>" selected at the start and cut (grabbed), then put
# back at the cursor through Paste. The menu is opened with the mouse: going to the menu bar with
# Alt takes the focus from the cell, and a line edit that loses the focus so drops its selection.
sleep 0.3
xdo key Home shift+Right shift+Right
sleep 0.3
xdo mousemove --window "$grid" 48 4 click 1
sleep 0.5
xdo key t
sleep 1
grab "${shot%.png}-cut.png" "the cell without the cut \"<>\""
xdo mousemove --window "$grid" 48 4 click 1
sleep 0.5
xdo key p
sleep 1
xdo key Tab
pickCode() {  # column x, entries down from "Off"
  xdo mousemove --window "$grid" "$1" 119 click 1
  sleep 0.7
  for _ in $(seq "$2"); do xdo key Down; done
  xdo key Return
  sleep 0.4
}
pickCode 442 4 # On, up
pickCode 256 3 # On
pickCode 628 3 # On
xdo mousemove --window "$grid" 70 102 click 1
sleep 0.7
xdo key Down Return
sleep 1
grab "$shot" "the grid of the cubes with a condition and codes"

# "Execute": the progress window, then the preview of the report.
xdo mousemove --window "$grid" 537 29 click 1
awaitPreview
grab "${shot%.png}-preview.png" "the report's preview"
closeWindow "$preview"
waitFor 'the preview to close' '[[ -z "$(visible "^ Report Preview$")" ]]'

# Closing the changed grid asks to save it: "Nein".
closeWindow "$grid"
waitFor 'the question to save' '[[ -n "$(visible "^Save Query$")" ]]'
takeKeyboard "$(visible "^Save Query$" | head -n1)" 'the question'
xdo key --clearmodifiers alt+n
waitFor 'the grid to close' '[[ -z "$(visible "^ Query by Example$")" ]]'

# "&Listen" > "Cube-&Gruppen", then its "&Drucken": the load window lists the demo's definition,
# Return takes it, and the report comes up in the preview.
groups=""
chooseMenu "$frame" l g 'groups="$(visible "^CubeGruppen$" | head -n1)"; [[ -n "$groups" ]]' ||
  fail "no window \"CubeGruppen\" after choosing the menu entry"
sleep 1
takeKeyboard "$groups" 'the group list'
xdo key --clearmodifiers alt+d
load=""
waitFor 'the load window' 'load="$(visible "^Load QBE Source$" | head -n1)"; [[ -n "$load" ]]'
sleep 0.5
takeKeyboard "$load" 'the load window'
xdo key Return
awaitPreview
grab "${shot%.png}-groups.png" "the group list's print in the preview"
closeWindow "$preview"
waitFor 'the preview to close' '[[ -z "$(visible "^ Report Preview$")" ]]'
closeWindow "$groups"
waitFor 'the group list to close' '[[ -z "$(visible "^CubeGruppen$")" ]]'

endThroughFileExit "$frame"
echo "$CHECK: the program ended with code 0"
