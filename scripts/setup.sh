#!/usr/bin/env bash
# The main job in one command: installs the Debian packages it needs (compiler, CMake,
# the runner's libraries, Python with numpy and matplotlib), builds the model library,
# the scenario engine and corvanta-sim into build/ (no tests, no benchmarks), and runs the
# double lane change example: the summary, out/double-lane-change.csv and
# out/double-lane-change.png.  ./scripts/test.sh installs and builds everything else.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" "$root/scripts/debian-packages-main.txt"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release \
  -DCORVANTA_BUILD_TESTS=OFF -DCORVANTA_BUILD_BENCHMARKS=OFF -DCORVANTA_BUILD_TOOLS=ON -DCORVANTA_BUILD_ENGINE=ON >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target corvanta corvanta_engine corvanta-sim
mkdir -p "$root/out"
scenario="$root/examples/scenarios/double-lane-change.json"
csv="$root/out/double-lane-change.csv"
png="$root/out/double-lane-change.png"
"$root/build/tools/sim/corvanta-sim" "$scenario" -o "$csv"
# The Python package straight from the checkout: it finds build/'s libraries itself.
PYTHONPATH="$root/python" /usr/bin/python3 -m corvanta.plot "$csv" --scenario "$scenario" -o "$png"
echo "wrote $csv and $png"
