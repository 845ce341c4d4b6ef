#!/usr/bin/env bash
# Configures and builds everything into build/ (Release, -ffp-contract=off).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DCORVANTA_WARNINGS_AS_ERRORS=ON "$@" >/dev/null
cmake --build "$root/build" -j"$(nproc)"
