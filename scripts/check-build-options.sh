#!/usr/bin/env bash
# Configures the project with each combination of its build options other than "all on"
# (scripts/build.sh builds that one), and builds the library of the library-only
# combination:
#
#   library alone           tests, tools and benchmarks off
#   tests without tools     CORVANTA_BUILD_TESTS=ON,  CORVANTA_BUILD_TOOLS=OFF
#   tools without tests     CORVANTA_BUILD_TESTS=OFF, CORVANTA_BUILD_TOOLS=ON
#   benchmarks alone        CORVANTA_BUILD_BENCHMARKS=ON only
#
# A configuration fails on a missing target, a missing file and a link item that the
# combination does not build, so configuring catches what would break the build.
#
#   scripts/check-build-options.sh [WORK_DIR]    (default: build-options/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-$root/build-options}
cmake=${CMAKE:-cmake}
mkdir -p "$work"

combinations=(
  "library-alone OFF OFF OFF"
  "tests-without-tools ON OFF OFF"
  "tools-without-tests OFF ON OFF"
  "benchmarks-alone OFF OFF ON"
)
for combination in "${combinations[@]}"; do
  read -r name tests tools benchmarks <<<"$combination"
  dir=$work/$name
  echo "== $name: tests $tests, tools $tools, benchmarks $benchmarks"
  if ! "$cmake" -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCORVANTA_WARNINGS_AS_ERRORS=ON \
      -DCORVANTA_BUILD_TESTS="$tests" -DCORVANTA_BUILD_TOOLS="$tools" -DCORVANTA_BUILD_BENCHMARKS="$benchmarks" \
      -DCORVANTA_WINDOWS_TESTS=OFF >"$dir.log" 2>&1; then
    cat "$dir.log"
    echo "$name: configuration failed" >&2
    exit 1
  fi
done

echo "== library-alone: building the library"
if ! "$cmake" --build "$work/library-alone" --target corvanta -j"$(nproc)" >"$work/library-alone-build.log" 2>&1; then
  cat "$work/library-alone-build.log"
  echo "library-alone: build failed" >&2
  exit 1
fi
echo "all option combinations configure; the library builds alone"
