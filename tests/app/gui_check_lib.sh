# Shared parts of the GUI checks: a small demo working folder, the check run again inside Xvfb,
# and the helpers the checks use there. Source it, set CHECK (the check's name), then:
#   gui_check_outer "$@"        outside the X server (returns only inside it, with program,
#                               work folder and screenshot in program, work, shot, the started
#                               program's id to go in pid, and a deadline 60 s ahead)

check_fail() {
  echo "$CHECK: $*" >&2
  timeout 10 import -window root "${SHOT%.png}-failed.png" 2>/dev/null || true
  if [[ -s "$LOG" ]]; then sed 's/^/  program: /' "$LOG" >&2; fi
  exit 1
}

xdo() { timeout 10 xdotool "$@"; }
# Ids of the mapped windows whose name matches (extended regular expression).
visible() { xdo search --onlyvisible --name "$1" 2>/dev/null || true; }
# Waits until the condition (a shell text) holds, while the program runs, at most until the deadline.
waitFor() {
  local what="$1" condition="$2"
  until eval "$condition"; do
    kill -0 "$pid" 2>/dev/null || check_fail "the program ended while waiting for $what"
    ((SECONDS < deadline)) || check_fail "gave up waiting for $what after 60 s"
    sleep 0.2
  done
}

# No window manager gives the keyboard to a new window: the user's click does. Usage:
#   takeKeyboard WINDOW-ID "the login window"
takeKeyboard() {
  local window="$1"
  waitFor "the keyboard in $2" \
    "xdo windowfocus --sync $window >/dev/null 2>&1; [[ \"\$(xdo getwindowfocus 2>/dev/null)\" == $window ]]"
}

# The demo user's login typed into the login window as the user types it.
typeDemoLogin() {
  takeKeyboard "$1" 'the login window'
  xdo key --clearmodifiers ctrl+a
  xdo type --delay 50 DEMO
  xdo key Tab
  xdo type --delay 50 demo
  xdo key Return
}

# Starts the program in the demo folder (its arguments passed on) and waits for the frame and
# the login over it; sets pid, login and frame.
startForLogin() {
  cd "$work/demo"
  "$program" "$@" >"$LOG" 2>&1 &
  pid=$!
  login=""
  frame=""
  waitFor 'the login window' 'login="$(visible "^Login$" | head -n1)"; [[ -n "$login" ]]'
  waitFor 'the frame' 'frame="$(visible "^VOQKivorant  \(Version " | head -n1)"; [[ -n "$frame" ]]'
}

# Chooses a frame menu entry by its keys (Alt+MENU-KEY, then ITEM-KEY) until the condition (a
# shell text) holds, three tries of ten seconds at most; false when it never did.
#   chooseMenu "$frame" f x '! kill -0 "$pid" 2>/dev/null'
chooseMenu() {
  local frame="$1" menuKey="$2" itemKey="$3" condition="$4" attempt
  for attempt in 1 2 3; do
    xdo windowfocus --sync "$frame" >/dev/null 2>&1 || true
    xdo key --clearmodifiers "alt+$menuKey"
    sleep 0.5
    xdo key "$itemKey"
    for _ in $(seq 50); do
      eval "$condition" && return 0
      ((SECONDS < deadline)) || return 1
      sleep 0.2
    done
  done
  return 1
}

# The end as the user chooses it: "File" > "Exit" in the frame; the program must end with code 0.
endThroughFileExit() {
  local status=0
  chooseMenu "$1" f x '! kill -0 "$pid" 2>/dev/null' || check_fail "the program did not end through File > Exit"
  wait "$pid" || status=$?
  pid=""
  ((status == 0)) || check_fail "the program ended with code $status"
}

# Starts the openbox window manager; when the check ends, the program (pid) is killed if it
# still runs, and the window manager ends.
startWindowManager() {
  source "$(dirname "${BASH_SOURCE[0]}")/../support/window_manager.sh"
  trap 'if [[ -n "${pid:-}" ]] && kill -0 "$pid" 2>/dev/null; then kill -9 "$pid" 2>/dev/null || true; fi
        kill "${wm:-}" 2>/dev/null || true' EXIT
  startOpenbox || check_fail "the window manager did not start"
}

# Usage: gui_check_outer PROGRAM DEMO-SETUP SCREENSHOT.png (from the check's own command line).
gui_check_outer() {
  if [[ "${1:-}" == --inside ]]; then
    PROGRAM="$2"
    WORK="$3"
    SHOT="$4"
    LOG="${SHOT%.png}.log"
    program="$PROGRAM" work="$WORK" shot="$SHOT"
    deadline=$((SECONDS + 60))
    pid=""
    touch "$WORK/started"
    return 0
  fi
  local tool
  for tool in xvfb-run xdotool import identify openbox; do
    command -v "$tool" >/dev/null || { echo "$CHECK: $tool is missing (scripts/setup installs it)" >&2; exit 1; }
  done
  local program setup shot self work
  program="$(realpath "$1")"
  setup="$(realpath "$2")"
  shot="$(realpath -m "$3")"
  self="$(realpath "$0")"
  work="$(mktemp -d "${TMPDIR:-/tmp}/voq-gui.XXXXXX")"
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/demo" "$(dirname "$shot")"
  rm -f "$shot" "${shot%.png}-failed.png"
  timeout 60 "$setup" "$work/demo" --lines "${GUI_DEMO_LINES:-2000}" >"$work/setup.log" 2>&1 ||
    { cat "$work/setup.log" >&2; echo "$CHECK: the demo folder could not be prepared" >&2; exit 1; }
  unset QT_QPA_PLATFORM
  # Under the sanitizers: whole allocation stacks, so that memory Qt's libraries keep until the
  # end (their D-Bus connection) is known by its library, however Qt was built.
  if [[ -n "${ASAN_OPTIONS:-}" ]]; then export ASAN_OPTIONS="$ASAN_OPTIONS:fast_unwind_on_malloc=0"; fi
  # A fatal error ends the program with its text on standard error, not with a box nobody answers.
  export VOQ_NO_FATAL_BOX=1
  # "-a" takes the first free display; two servers started at once may pick the same one and
  # one of them fails: then again, from another number. "-noreset" keeps the server as it is when
  # the program ends and no client is left, so a check can start the program a second time.
  local attempt status
  for attempt in 1 2 3; do
    rm -f "$work/started"
    status=0
    timeout -k 5 110 xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1600x1000x24 -noreset" \
      "$self" --inside "$program" "$work" "$shot" || status=$?
    [[ -f "$work/started" ]] && exit "$status"
    echo "$CHECK: Xvfb did not start (attempt $attempt)" >&2
    sleep "$attempt"
  done
  exit 1
}
