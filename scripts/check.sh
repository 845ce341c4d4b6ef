#!/usr/bin/env bash
# The fast loop after a change: builds the programs of the unit tests only (the target
# corvanta_unit_test_programs) in build/ and runs ctest -L unit there.  Configures build/
# first when it has not been configured (Release, warnings as errors, every part on).
#
#   scripts/check.sh                 build and run the unit tests
#   scripts/check.sh --bits          also the bit-for-bit regression and conformance runs
#   scripts/check.sh -R Lookup       extra arguments go to ctest (here: only tests matching Lookup)
#
# CORVANTA_BUILD_DIR chooses another build folder; CORVANTA_JOBS the parallel jobs (default:
# the processors).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANTA_BUILD_DIR:-$root/build}
jobs=${CORVANTA_JOBS:-$(nproc)}
bits=0
if [[ ${1:-} == --bits ]]; then
  bits=1
  shift
fi

if [[ ! -f $build/CMakeCache.txt ]]; then
  launcher=()
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCORVANTA_WARNINGS_AS_ERRORS=ON \
    -DCORVANTA_BUILD_ENGINE=ON -DCORVANTA_BUILD_TOOLS=ON -DCORVANTA_BUILD_TESTS=ON "${launcher[@]}" >/dev/null
fi

targets=(corvanta_unit_test_programs)
if ((bits)); then
  targets+=(corvanta_scenario_tests corvanta_nonfinite_golden_tests conformance_runner corvanta_conformance)
fi
cmake --build "$build" -j"$jobs" --target "${targets[@]}"

cd "$build"
ctest -L unit -j"$jobs" --output-on-failure "$@"
if ((bits)); then
  ctest -R '^(Scenario|NonFiniteGolden|conformance)[.]' -j"$jobs" --output-on-failure
fi
