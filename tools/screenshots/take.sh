#!/usr/bin/env bash
# The README's screenshot pair, under xvfb: the demo park live, then with
# the "LAN Local" zone (its game servers and first proxy) fallen silent.
#   tools/screenshots/take.sh build/bin/quorvane docs
set -euo pipefail
quorvane=$1
out=${2:-docs}
here=$(cd "$(dirname "$0")" && pwd)
screen="-screen 0 1100x800x24"

xvfb-run -a -s "$screen" "$quorvane" --demo --screenshot "$out/screenshot.png"

xvfb-run -a -s "$screen" "$quorvane" --demo --screenshot "$out/screenshot-down.png" --screenshot-delay 40 &
runner=$!
sleep 12
# This run's park: the simulator started by this run's window.
window=$(pgrep -P "$runner" -x quorvane)
sim=$(pgrep -P "$window" -x quorvane-sim)
python3 "$here/silence.py" "$sim" "Quorvane Cup - Final" "Quorvane Cup - Semi" "Public Dust" "Cup TV"
wait "$runner"
