#!/usr/bin/env bash
# GUI check of the windows' owners in the running demo under Xvfb with the openbox window manager:
# the login, the client list "Mandanten", the cube definition list "CubeKopf" and the pivot viewer
# opened from it are each transient for their caller's window (WM_TRANSIENT_FOR) and stay above it
# after a click on the frame. Esc in a field button's menu of the viewer and in its filter dialog
# closes only those; the program goes on and ends through "File" > "Exit". Screenshots (they stay
# in the build tree): SCREENSHOT.png the viewer over the frame after the click, -login, -menu and
# -filter beside it.
# Usage: owner_gui_check.sh PROGRAM DEMO-SETUP SCREENSHOT.png
set -euo pipefail

CHECK="owner GUI check"
source "$(dirname "$(realpath "$0")")/gui_check_lib.sh"
gui_check_outer "$@"

# ---- Inside the X server ------------------------------------------------------------------

startWindowManager
fail() { check_fail "$@"; }

# The window WINDOW is transient for (decimal, as xdotool gives it), or nothing.
ownerOf() {
  local id
  id="$(xprop -id "$1" WM_TRANSIENT_FOR 2>/dev/null | sed -n 's/.*window id # *\(0x[0-9a-fA-F]*\).*/\1/p')"
  [[ -n "$id" ]] && printf '%d\n' "$id"
  return 0
}
# The managed windows from the bottom to the top, one a line (decimal).
stacking() {
  local id
  for id in $(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,/ /g'); do printf '%d\n' "$id"; done
}
# Fails unless WINDOW ("its name") is transient for OWNER and stands above it.
ownedAndAbove() {
  local window="$1" name="$2" owner="$3" ownerName="$4" owned
  owned="$(ownerOf "$window")"
  [[ "$owned" == "$owner" ]] || fail "$name is not transient for $ownerName (WM_TRANSIENT_FOR: \"$owned\")"
  local order
  order="$(stacking)"
  local at ownerAt
  at="$(grep -nx "$window" <<<"$order" | cut -d: -f1)"
  ownerAt="$(grep -nx "$owner" <<<"$order" | cut -d: -f1)"
  [[ -n "$at" && -n "$ownerAt" ]] && ((at > ownerAt)) || fail "$name stands below $ownerName"
  echo "$CHECK: $name is transient for $ownerName and stands above it"
}
# A click of the user into the frame's status bar, at its lower left corner: the window manager
# raises the frame.
clickFrame() {
  local x y h
  x="$(xwininfo -id "$frame" | sed -n 's/.*Absolute upper-left X: *//p')"
  y="$(xwininfo -id "$frame" | sed -n 's/.*Absolute upper-left Y: *//p')"
  h="$(xwininfo -id "$frame" | sed -n 's/.*Height: *//p')"
  xdo mousemove $((x + 15)) $((y + h - 12)) click 1
  sleep 1
}
# A click at X Y within WINDOW (its client area, in pixels).
clickIn() {
  local x y
  x="$(xwininfo -id "$1" | sed -n 's/.*Absolute upper-left X: *//p')"
  y="$(xwininfo -id "$1" | sed -n 's/.*Absolute upper-left Y: *//p')"
  xdo mousemove $((x + $2)) $((y + $3)) click 1
}
closeByManager() {
  local window="$1" name="$2"
  for _ in 1 2 3; do
    xdo windowactivate --sync "$window" >/dev/null 2>&1 || true
    xdo key --clearmodifiers alt+F4
    for _ in $(seq 25); do
      [[ -z "$(xdo search --onlyvisible --name "$name" 2>/dev/null | grep -x "$window")" ]] && return 0
      sleep 0.2
    done
  done
  fail "$name did not close"
}
alive() { kill -0 "$pid" 2>/dev/null || fail "the program ended $1"; }

# The login over the frame.
startForLogin
clickFrame
ownedAndAbove "$login" "the login" "$frame" "the frame"
timeout 10 import -window root "${shot%.png}-login.png" || fail "no screenshot of the login"
typeDemoLogin "$login"
waitFor 'the end of the login' '[[ -z "$(visible "^Login$")" ]]'
sleep 1.5

# "&Setup" > "&Mandanten": the client list on the frame's thread.
clients=""
chooseMenu "$frame" s m 'clients="$(visible "^Mandanten$" | head -n1)"; [[ -n "$clients" ]]' ||
  fail "no window \"Mandanten\" after choosing the menu entry"
sleep 1
clickFrame
ownedAndAbove "$clients" "\"Mandanten\"" "$frame" "the frame"
closeByManager "$clients" "^Mandanten$"

# "&Listen" > "&Cube-Definition": the cube definition list on a thread of its own. Its mnemonic
# is shared: a second key may be needed to choose the entry.
kopf=""
for _ in 1 2 3; do
  xdo windowfocus --sync "$frame" >/dev/null 2>&1 || true
  xdo key --clearmodifiers alt+l
  sleep 0.5
  xdo key c
  sleep 2
  kopf="$(visible "^CubeKopf$" | head -n1)"
  [[ -n "$kopf" ]] && break
  xdo key Return
  sleep 2
  kopf="$(visible "^CubeKopf$" | head -n1)"
  [[ -n "$kopf" ]] && break
done
[[ -n "$kopf" ]] || fail "no window \"CubeKopf\" after choosing the menu entry"
sleep 1
clickFrame
ownedAndAbove "$kopf" "\"CubeKopf\"" "$frame" "the frame"

# "Anzeigen" (the fourth button on the right) shows the selected cube in the viewer, on the
# list's thread: the viewer is the list's.
read -r kw kh < <(xwininfo -id "$kopf" | sed -n 's/.*Width: *//p; s/.*Height: *//p' | paste -sd' ')
clickIn "$kopf" $((kw * 918 / 1000)) $((kh * 300 / 1000))
viewer=""
waitFor 'the viewer' 'viewer="$(visible "^Kunden je Ort/ " | head -n1)"; [[ -n "$viewer" ]]'
sleep 2
clickFrame
ownedAndAbove "$viewer" "the viewer" "$kopf" "\"CubeKopf\""
ownedAndAbove "$kopf" "\"CubeKopf\"" "$frame" "the frame"
timeout 10 import -window root "$shot" || fail "no screenshot"
read -r colours < <(identify -format '%k\n' "$shot") || fail "the screenshot cannot be read"
((colours > 20)) || fail "the screenshot is nearly blank ($colours colours)"

# The row field "Ort": its button's menu, closed with Esc; then its "Filter…" dialog, closed with Esc.
fieldX=24
fieldY=139
clickIn "$viewer" "$fieldX" "$fieldY"
sleep 1
timeout 10 import -window root "${shot%.png}-menu.png" || fail "no screenshot of the field menu"
xdo key Escape
sleep 1
alive "at Esc in the field's menu"
[[ -n "$(visible "^Kunden je Ort/ ")" ]] || fail "the viewer closed at Esc in the field's menu"
echo "$CHECK: Esc in the field's menu closes the menu only"
clickIn "$viewer" "$fieldX" "$fieldY"
sleep 1
xdo key Down Return
filter=""
waitFor 'the filter dialog' 'filter="$(visible "^Ort$" | head -n1)"; [[ -n "$filter" ]]'
sleep 1
timeout 10 import -window root "${shot%.png}-filter.png" || fail "no screenshot of the filter dialog"
takeKeyboard "$filter" 'the filter dialog'
xdo key Escape
waitFor 'the filter dialog to close' '[[ -z "$(visible "^Ort$")" ]]'
sleep 1
alive "at Esc in the filter dialog"
[[ -n "$(visible "^Kunden je Ort/ ")" ]] || fail "the viewer closed at Esc in the filter dialog"
echo "$CHECK: Esc in the filter dialog closes the dialog only"

closeByManager "$viewer" "^Kunden je Ort/ "
closeByManager "$kopf" "^CubeKopf$"
alive "with the lists closed"
endThroughFileExit "$frame"
echo "$CHECK: the program ended with code 0"
