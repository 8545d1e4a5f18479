#!/usr/bin/env bash
# Opens the real window on an X server (xvfb-run) with the live demo park and
# saves a screenshot of it after one poll cycle. Skipped (77) without xvfb-run.
set -euo pipefail
quorvane=$1
out=$2
command -v xvfb-run >/dev/null || exit 77
rm -f "$out"
# Its own settings and data: no window size saved by another test, no shared ledger.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data
# The real X display of xvfb-run, whatever platform the caller chose for the other tests.
unset QT_QPA_PLATFORM
timeout 60 xvfb-run -a -s "-screen 0 1100x800x24" "$quorvane" -style Fusion --demo --screenshot "$out"
# A PNG of the window's size, with the canvas painted (not one flat colour).
python3 - "$out" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
assert data[:8] == b'\x89PNG\r\n\x1a\n', 'not a PNG'
width, height = struct.unpack('>II', data[16:24])
assert width >= 800 and height >= 600, (width, height)
raw = b''.join(data[i + 8:i + 8 + struct.unpack('>I', data[i:i + 4])[0]]
               for i in range(8, len(data)) if data[i + 4:i + 8] == b'IDAT')
assert len(set(zlib.decompress(raw))) > 16, 'a blank window'
print('window %dx%d saved' % (width, height))
PY
