# Sourced by the GUI checks inside Xvfb: starts openbox and waits until it manages the screen, so
# the program's first window is decorated and takes the manager's keys (Alt+F4). Under load the
# manager can take seconds to come up; a window mapped before it would stay unmanaged.
# Sets wm to the manager's pid.
startOpenbox() {
  local attempt
  for attempt in 1 2 3; do
    openbox >/dev/null 2>&1 &
    wm=$!
    for _ in $(seq 100); do
      kill -0 "$wm" 2>/dev/null || break
      if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; then return 0; fi
      sleep 0.1
    done
    kill "$wm" 2>/dev/null || true
  done
  echo "openbox did not start" >&2
  return 1
}
