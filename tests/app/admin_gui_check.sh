#!/usr/bin/env bash
# GUI check of the user administration: the demo program under Xvfb with the openbox window
# manager, the demo user's login, then "&Benutzer" > "&Benutzerverwaltung". Its window and the
# user form over it are grabbed (the screenshots stay in the build tree), both closed with Esc;
# the frame goes on without an error box and ends through "File" > "Exit".
# Usage: admin_gui_check.sh PROGRAM DEMO-SETUP SCREENSHOT.png   (the form: SCREENSHOT-form.png)
set -euo pipefail

CHECK="user administration GUI check"
source "$(dirname "$(realpath "$0")")/gui_check_lib.sh"
gui_check_outer "$@"

# ---- Inside the X server ------------------------------------------------------------------

startWindowManager
fail() { check_fail "$@"; }

startForLogin
typeDemoLogin "$login"
waitFor 'the end of the login' '[[ -z "$(visible "^Login$")" ]]'
sleep 1.5

# "&Benutzer" > "&Benutzerverwaltung": the window of the administration program comes up.
admin=""
chooseMenu "$frame" b b 'admin="$(visible "^Benutzerverwaltung$" | head -n1)"; [[ -n "$admin" ]]' ||
  fail "no window \"Benutzerverwaltung\" after choosing the menu entry"
adminPid="$(xdo getwindowpid "$admin" 2>/dev/null || true)"
[[ -n "$adminPid" && "$(cat "/proc/$adminPid/comm" 2>/dev/null)" == VOQSECURE ]] ||
  fail "the window is not the administration program's"
sleep 1.5
timeout 10 import -window root "$shot" || fail "no screenshot"
read -r colours < <(identify -format '%k\n' "$shot") || fail "the screenshot cannot be read"
((colours > 20)) || fail "the screenshot is nearly blank ($colours colours)"
echo "$CHECK: \"Benutzerverwaltung\" open over the frame, screenshot $shot"

# Return on the users list opens the form of the selected user.
# It stands over the frame: the window manager has it as the frame's transient.
transient="$(xprop -id "$admin" WM_TRANSIENT_FOR 2>/dev/null | sed -n 's/.*window id # //p')"
[[ -n "$transient" ]] && (( transient == frame )) ||
  fail "the administration window is not transient for the frame (WM_TRANSIENT_FOR ${transient:-none})"
# Chosen again while it runs: no second program; the running one is on top of the stack.
topmost() { xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/, /\n/g' | tail -n1; }
chooseMenu "$frame" b b '(( $(topmost) == admin ))' || fail "the running administration did not come to the front"
sleep 1
count="$(pgrep -c -P "$pid" -x VOQSECURE || true)"
[[ "$count" == 1 ]] || fail "the menu chosen twice runs $count administration programs"
echo "$CHECK: chosen twice, one administration program, in front of the frame and transient for it"

takeKeyboard "$admin" 'the administration window'
xdo key Return
form=""
waitFor 'the user form' 'form="$(visible "^Benutzer bearbeiten$" | head -n1)"; [[ -n "$form" ]]'
sleep 1
formShot="${shot%.png}-form.png"
timeout 10 import -window root "$formShot" || fail "no screenshot of the form"
echo "$CHECK: the user form, screenshot $formShot"

# A new name typed into the form (the focus stands in the name) and stored with Return, while the
# program holds the security file too; Esc closes the window, the administration program ends
# well, so the frame says nothing.
takeKeyboard "$form" 'the form'
xdo key --clearmodifiers ctrl+a
xdo type --delay 30 "Demo Admin"
xdo key Return
waitFor 'the form to close' '[[ -z "$(visible "^Benutzer bearbeiten$")" ]]'
takeKeyboard "$admin" 'the administration window'
xdo key Escape
waitFor 'the administration program to end' '! kill -0 "$adminPid" 2>/dev/null'
sleep 1
[[ -z "$(visible "^Fehler$")" ]] || fail "the frame reports an error of the administration program"
users="$("$(dirname "$program")/VOQSECURE" LISTUSERS 2>&1)" || fail "VOQSECURE LISTUSERS failed: $users"
grep -q $'^DEMO\tDemo Admin\t' <<<"$users" || fail "the name typed in the form is not stored: $users"
echo "$CHECK: the name typed in the form is stored"

endThroughFileExit "$frame"
echo "$CHECK: the program ended with code 0"
