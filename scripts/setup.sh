#!/usr/bin/env bash
# One-command set-up and demonstration: installs the Debian packages the project needs,
# builds everything into build/, runs the double lane change example end to end and
# writes out/double-lane-change.csv and out/double-lane-change.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
mkdir -p "$root/out"
scenario="$root/examples/scenarios/double-lane-change.json"
csv="$root/out/double-lane-change.csv"
png="$root/out/double-lane-change.png"
"$root/build/tools/sim/corvanta-sim" "$scenario" -o "$csv"
PYTHONPATH="$root/python" CORVANTA_LIBRARY="$root/build/libcorvanta.so" \
  /usr/bin/python3 -m corvanta.plot "$csv" -o "$png"
echo "wrote $csv and $png"
