#!/usr/bin/env bash
# Builds revision REV and the working tree side by side in temporary directories, then
# runs corvanta_compare_host on the two libraries: every output bit after every step of
# the regression scenarios, the speed regimes and a long seeded random input stream
# (NaN, ±infinity, -0.0, huge and subnormal values, re-initialisations), followed by the
# speed ratio measured interleaved on one pinned thread (medians of several rounds).
#
#   bench/compare.sh REV [--rounds N] [--steps N] [--random-steps N] [--seed N] [--fresh-instances]
#
# With --portable instead of REV, builds the working tree twice, by default (A: the
# platform's maths library) and with -DCORVANTA_PORTABLE_MATH=ON (B), and measures only
# the speed (the two differ in the last bits by design): the column "time B/A" is the
# portable build's Step time over the default build's, per regime (cruise, launch, corner,
# nan; medians of the interleaved rounds).
#
#   bench/compare.sh --portable [--rounds N] [--steps N]
#
# Exit status: that of the comparison (0 identical bits, 1 a difference), 2 on bad usage.
set -euo pipefail

if [[ $# -lt 1 || ($1 == -* && $1 != --portable) ]]; then
  echo "usage: $0 REV [compare host options]" >&2
  echo "       $0 --portable [--rounds N] [--steps N]" >&2
  exit 2
fi
rev=$1
shift
root=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)

work=$(mktemp -d "${TMPDIR:-/tmp}/corvanta-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/a/src" "$work/b/src"

tree() {  # DIR: the working tree's files (tracked and untracked, not ignored)
  (cd "$root" && git ls-files --cached --others --exclude-standard -z | xargs -0 tar -c --ignore-failed-read 2>/dev/null) |
    tar -x -C "$1"
}
portable=OFF
if [[ $rev == --portable ]]; then
  portable=ON
  echo "== A: working tree of $root, default build (the platform's maths)"
  tree "$work/a/src"
  echo "== B: working tree of $root, -DCORVANTA_PORTABLE_MATH=ON"
  tree "$work/b/src"
else
  commit=$(git -C "$root" rev-parse --verify "$rev^{commit}")
  echo "== A: $rev ($commit)"
  git -C "$root" archive "$commit" | tar -x -C "$work/a/src"
  echo "== B: working tree of $root"
  tree "$work/b/src"
fi

launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=$work
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
jobs=${CORVANTA_COMPARE_JOBS:-2}

build() {  # build SIDE TOOLS BENCHMARKS PORTABLE TARGETS...
  local side=$1 tools=$2 benchmarks=$3 maths=$4
  shift 4
  cmake -S "$work/$side/src" -B "$work/$side/build" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
    -DCORVANTA_BUILD_TESTS=OFF -DCORVANTA_BUILD_TOOLS="$tools" -DCORVANTA_BUILD_BENCHMARKS="$benchmarks" \
    -DCORVANTA_PORTABLE_MATH="$maths" >"$work/$side/configure.log" 2>&1 ||
    { cat "$work/$side/configure.log" >&2; exit 2; }
  cmake --build "$work/$side/build" -j"$jobs" --target "$@" >"$work/$side/build.log" 2>&1 ||
    { tail -40 "$work/$side/build.log" >&2; exit 2; }
}
library() { find "$work/$1/build" -maxdepth 1 -name 'libcorvanta.so.*.*.*' | head -1; }

if [[ $portable == ON ]]; then
  build a ON ON OFF corvanta corvanta_compare_host
  build b OFF OFF ON corvanta
  "$work/a/build/bench/corvanta_compare_host" "$(library a)" "$(library b)" --speed-only "$@"
  echo "time B/A: the portable build's Step time over the default build's (target: at most 1.25)."
  exit 0
fi
build a OFF OFF OFF corvanta
build b ON ON OFF corvanta corvanta_compare_host
"$work/b/build/bench/corvanta_compare_host" "$(library a)" "$(library b)" "$@"
