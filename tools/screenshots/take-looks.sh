#!/usr/bin/env bash
# The README's pictures of the window's looks, under xvfb, with the demo
# park: a dark style sheet, a 2x scale, and the machines list beside the
# canvas. Each run has settings of its own (a scratch XDG_CONFIG_HOME).
#   tools/screenshots/take-looks.sh build/bin/quorvane docs
set -euo pipefail
quorvane=$1
out=${2:-docs}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

settings() { # folder, then lines of the settings file
    local home=$scratch/$1
    shift
    mkdir -p "$home/Quorvane"
    printf '%s\n' "$@" > "$home/Quorvane/Quorvane.conf"
    echo "$home"
}

cat > "$scratch/dark.qss" <<'QSS'
QWidget { background-color: #202124; color: #e8eaed; }
QLineEdit, QListWidget, QTableView, QTableWidget { background-color: #2b2c2f; }
QHeaderView::section { background-color: #303134; color: #e8eaed; }
QSS

XDG_CONFIG_HOME=$(settings dark) xvfb-run -a -s "-screen 0 1100x800x24" \
    "$quorvane" -stylesheet "$scratch/dark.qss" --demo --screenshot "$out/screenshot-dark.png"

XDG_CONFIG_HOME=$(settings scaled) QT_SCALE_FACTOR=2 xvfb-run -a -s "-screen 0 1600x1000x24" \
    "$quorvane" --demo --screenshot "$out/screenshot-2x.png"

XDG_CONFIG_HOME=$(settings machines "[View]" "Machines=true") xvfb-run -a -s "-screen 0 1400x800x24" \
    "$quorvane" --demo --screenshot "$out/screenshot-machines.png"
