#!/usr/bin/env bash
# The README's relay-lost screenshot, under xvfb: the demo park with the
# cup final's server silenced, so that the proxy relaying it loses its relay.
#   tools/screenshots/take-relay.sh build/bin/quorvane docs
set -euo pipefail
quorvane=$1
out=${2:-docs}
here=$(cd "$(dirname "$0")" && pwd)
screen="-screen 0 1100x800x24"

xvfb-run -a -s "$screen" "$quorvane" --demo --screenshot "$out/screenshot-relay-lost.png" --screenshot-delay 40 &
runner=$!
sleep 12
window=$(pgrep -P "$runner" -x quorvane)
sim=$(pgrep -P "$window" -x quorvane-sim)
python3 "$here/silence.py" "$sim" "Quorvane Cup - Final"
wait "$runner"
