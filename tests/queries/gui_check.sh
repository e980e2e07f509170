#!/usr/bin/env bash
# The query runner's list of the demo's list cube in the Qt front end, under Xvfb with the
# openbox window manager; the screenshot stays in the build tree.
# Usage: gui_check.sh PROGRAM OUTPUT_FOLDER
set -euo pipefail
if [[ "${1:-}" != --inside ]]; then
  for tool in xvfb-run openbox; do
    command -v "$tool" >/dev/null || { echo "query runner GUI check: $tool is missing (scripts/setup installs it)" >&2; exit 1; }
  done
  program="$(realpath "$1")"
  out="$(realpath -m "$2")"
  mkdir -p "$out"
  rm -f "$out/runner.png"
  unset QT_QPA_PLATFORM
  export VOQ_NO_FATAL_BOX=1
  for attempt in 1 2 3; do
    status=0
    timeout -k 5 150 xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1400x900x24 -noreset" \
      "$(realpath "$0")" --inside "$program" "$out" || status=$?
    [[ -s "$out/runner.png" || $status -ne 1 ]] && break
    sleep "$attempt"
  done
  [[ $status -eq 0 && -s "$out/runner.png" ]] || exit 1
  echo "query runner GUI check: screenshot $out/runner.png"
  exit 0
fi
source "$(dirname "$(realpath "$0")")/../support/window_manager.sh"
trap 'kill "${wm:-}" 2>/dev/null || true' EXIT
startOpenbox
"$2" "$3"
