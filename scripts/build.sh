#!/usr/bin/env bash
# Configures and builds everything into build/ (Release, -ffp-contract=off).  Every part
# is switched on explicitly, since scripts/setup.sh may have configured build/ without
# the tests and benchmarks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DCORVANTA_WARNINGS_AS_ERRORS=ON \
  -DCORVANTA_BUILD_ENGINE=ON -DCORVANTA_BUILD_TOOLS=ON -DCORVANTA_BUILD_TESTS=ON -DCORVANTA_BUILD_BENCHMARKS=ON "$@" >/dev/null
cmake --build "$root/build" -j"$(nproc)"
