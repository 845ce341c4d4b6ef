#!/usr/bin/env bash
# The whole test suite: installs what is missing, checks the formatting of the C and C++
# sources (scripts/check-format.sh), builds, runs every CTest test but the
# soak test (ctest -L soak) and the slow tests (ctest -L slow), then the sanitizer leg (scripts/sanitize.sh; CORVANTA_SANITIZERS=0
# leaves it out).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/check-format.sh"
"$root/scripts/build.sh"
cd "$root/build"
ctest --output-on-failure -j"$(nproc)" -LE 'soak|slow'
if [ "${CORVANTA_SANITIZERS:-1}" != 0 ]; then
  "$root/scripts/sanitize.sh"
fi
