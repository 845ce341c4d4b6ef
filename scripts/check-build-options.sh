#!/usr/bin/env bash
# Configures the project with each combination of its build options other than "all on"
# (scripts/build.sh builds that one), and builds the library and the FMU binaries of the
# library-only combination, with the portable maths (CORVANTA_PORTABLE_MATH=ON; the
# default maths is built by scripts/build.sh), and checks that none of them takes sin, cos,
# sincos, atan or exp from the platform:
#
#   library alone           tests, tools and benchmarks off, portable maths
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
  portable=OFF
  [[ $name == library-alone ]] && portable=ON
  echo "== $name: tests $tests, tools $tools, benchmarks $benchmarks, portable maths $portable"
  if ! "$cmake" -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCORVANTA_WARNINGS_AS_ERRORS=ON \
      -DCORVANTA_BUILD_TESTS="$tests" -DCORVANTA_BUILD_TOOLS="$tools" -DCORVANTA_BUILD_BENCHMARKS="$benchmarks" \
      -DCORVANTA_PORTABLE_MATH="$portable" -DCORVANTA_WINDOWS_TESTS=OFF >"$dir.log" 2>&1; then
    cat "$dir.log"
    echo "$name: configuration failed" >&2
    exit 1
  fi
done

echo "== library-alone: building the library and the FMU binaries with the portable maths"
targets=(corvanta)
binaries=("$work/library-alone/libcorvanta.so")
if [[ $(uname -s) == Linux ]]; then
  targets+=(corvanta_fmi2 corvanta_fmi3)
  binaries+=("$work/library-alone/fmi/fmi2/Corvanta.so" "$work/library-alone/fmi/fmi3/Corvanta.so")
fi
if ! "$cmake" --build "$work/library-alone" --target "${targets[@]}" -j"$(nproc)" >"$work/library-alone-build.log" 2>&1; then
  cat "$work/library-alone-build.log"
  echo "library-alone: build failed" >&2
  exit 1
fi
for binary in "${binaries[@]}"; do
  "$cmake" -DNM="${NM:-nm}" -DLIBRARY="$binary" "-DFUNCTIONS=sin;cos;sincos;atan;exp" -DEXPECT=absent \
    -P "$root/tests/windows/cmake/CheckSharedObjectImports.cmake"
done
echo "all option combinations configure; the library and the FMU binaries build alone with the portable maths and take none of the five maths functions from the platform"
