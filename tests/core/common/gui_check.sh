#!/usr/bin/env bash
# The example list and form in the Qt front end, under Xvfb when it is there, else on Qt's
# offscreen platform. Usage: gui_check.sh PROGRAM OUTPUT_FOLDER
set -euo pipefail
program="$1"
out="$2"
mkdir -p "$out"
rm -f "$out/list.png" "$out/form.png" "$out/delete_form.png" "$out/delete_question.png"
export VOQ_NO_FATAL_BOX=1
if command -v xvfb-run >/dev/null 2>&1; then
  unset QT_QPA_PLATFORM
  timeout 120 xvfb-run -a -s "-screen 0 1400x900x24" "$program" "$out"
else
  QT_QPA_PLATFORM=offscreen timeout 120 "$program" "$out"
fi
[[ -s "$out/list.png" && -s "$out/form.png" && -s "$out/delete_form.png" && -s "$out/delete_question.png" ]]
