#!/usr/bin/env bash
# GUI check: opens the showcase in the Qt front end, grabs a screenshot and checks that it is a
# real picture. Runs under Xvfb when it is installed, else on Qt's offscreen platform.
# Usage: gui_check.sh PROGRAM OUTPUT.png
set -euo pipefail
program="$1"
shot="$2"
mkdir -p "$(dirname "$shot")"
rm -f "$shot"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
export VOQ_NO_FATAL_BOX=1
if command -v xvfb-run >/dev/null 2>&1; then
  unset QT_QPA_PLATFORM
  timeout 120 xvfb-run -a -s "-screen 0 1400x900x24" "$program" --showcase --screenshot="$shot"
else
  QT_QPA_PLATFORM=offscreen timeout 120 "$program" --showcase --screenshot="$shot"
fi
[[ -s "$shot" ]] || { echo "no screenshot written" >&2; exit 1; }
# A PNG of a sensible size with more than a handful of colours (not a blank or black grab).
python3 - "$shot" <<'PY'
import struct, sys, zlib
path = sys.argv[1]
data = open(path, 'rb').read()
assert data[:8] == b'\x89PNG\r\n\x1a\n', 'not a PNG file'
width, height = struct.unpack('>II', data[16:24])
assert width >= 400 and height >= 300, f'picture too small: {width}x{height}'
pos, idat = 8, b''
while pos < len(data):
    length, kind = struct.unpack('>I4s', data[pos:pos + 8])
    if kind == b'IDAT':
        idat += data[pos + 8:pos + 8 + length]
    pos += 12 + length
raw = zlib.decompress(idat)
colours = set(raw[i:i + 3] for i in range(0, min(len(raw), 4_000_000), 97))
assert len(colours) > 20, f'picture nearly blank: {len(colours)} colours sampled'
print(f'screenshot {path}: {width}x{height}, {len(colours)} colours sampled')
PY
