#!/usr/bin/env bash
# The live path under load: the recorder simulator on a pty linked as COM3 in a scratch folder,
# the main window recording from it (headless), CPU share and resident memory every ten seconds.
#   bench/live_load.sh BUILD_DIR [SPEED] [SECONDS]
# SPEED is times real time (1 = the recorder's 800 packets/s), SECONDS the wall-clock run.
# Real time for the CPU share:            bench/live_load.sh build 1 120
# One hour of signal for memory growth:   bench/live_load.sh build 20 180
set -euo pipefail
build=$(realpath "${1:?build folder}")
speed=${2:-1}
seconds=${3:-120}
app="$build/Corvida"
work=$(mktemp -d)
trap 'kill "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT
signal=$(awk "BEGIN { print int($speed * ($seconds + 30)) }")
"$app/corvida-simulator" --link "$work/COM3" --speed "$speed" --seconds "$signal" \
  --linger 600000 >/dev/null &
sim=$!
for _ in $(seq 50); do [ -e "$work/COM3" ] && break; sleep 0.1; done
"$build/bench/corvida-live-load" "$work" "$seconds"
ls -l "$work/Data/1"
