#!/usr/bin/env bash
# A program that grabs windows into OUTPUT_FOLDER/<name>.png, run under Xvfb with the openbox
# window manager; the screenshots stay in the build tree.
# Usage: openbox_gui_check.sh CHECK-NAME PROGRAM OUTPUT_FOLDER SHOT...
set -euo pipefail
if [[ "${1:-}" == --inside ]]; then
  source "$(dirname "$(realpath "$0")")/window_manager.sh"
  trap 'kill "${wm:-}" 2>/dev/null || true' EXIT
  startOpenbox
  exec "$2" "$3"
fi
check="$1"
program="$2"
shots=("${@:4}")
for tool in xvfb-run openbox; do
  command -v "$tool" >/dev/null || { echo "$check GUI check: $tool is missing (scripts/setup installs it)" >&2; exit 1; }
done
out="$(realpath -m "$3")"
mkdir -p "$out"
for s in "${shots[@]}"; do rm -f "$out/$s.png"; done
unset QT_QPA_PLATFORM
export VOQ_NO_FATAL_BOX=1
status=1
# Two servers started at once may pick the same display: then again, from another number.
for attempt in 1 2 3; do
  status=0
  timeout -k 5 200 xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1400x900x24 -noreset" \
    "$(realpath "$0")" --inside "$(realpath "$program")" "$out" || status=$?
  [[ -s "$out/${shots[-1]}.png" || $status -ne 1 ]] && break
  sleep "$attempt"
done
for s in "${shots[@]}"; do
  [[ -s "$out/$s.png" ]] || { echo "$check GUI check: no screenshot of $s" >&2; exit 1; }
done
((status == 0)) || exit "$status"
echo "$check GUI check: screenshots in $out"
