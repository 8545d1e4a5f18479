#!/usr/bin/env bash
# The README's refused-recording screenshot, under xvfb (needs xdotool): the
# demo park with the cup final's server silenced; once its proxy has lost the
# relay, the proxy is picked and told to record from the command line, which
# it refuses.
#   tools/screenshots/take-refused.sh build/bin/quorvane docs
set -euo pipefail
quorvane=$1
out=${2:-docs}
here=$(cd "$(dirname "$0")" && pwd)
screen="-screen 0 1100x800x24"

xvfb-run -a -s "$screen" "$quorvane" --demo --screenshot "$out/screenshot-record-refused.png" \
    --screenshot-delay 48 &
runner=$!
sleep 12
window=$(pgrep -P "$runner" -x quorvane)
sim=$(pgrep -P "$window" -x quorvane-sim)
python3 "$here/silence.py" "$sim" "Quorvane Cup - Final"
environ=$(tr '\0' '\n' < "/proc/$window/environ")
export DISPLAY=$(sed -n 's/^DISPLAY=//p' <<< "$environ")
export XAUTHORITY=$(sed -n 's/^XAUTHORITY=//p' <<< "$environ")
# Relay lost comes within one poll after the proxy says it is not connected.
sleep 24
# The proxy's box ("Cup TV") in the demo layout, then the command line (F6).
xdotool mousemove 300 160 click 1
sleep 1
xdotool key F6 type --delay 30 "record final"
xdotool key Return
wait "$runner"
