#!/usr/bin/env bash
# Builds revision REV and the working tree side by side in temporary directories, then
# runs corvanta_compare_host on the two libraries: every output bit after every step of
# the regression scenarios, the speed regimes and a long seeded random input stream
# (NaN, ±infinity, -0.0, huge and subnormal values, re-initialisations), followed by the
# speed ratio measured interleaved on one pinned thread (medians of several rounds).
#
#   bench/compare.sh REV [--rounds N] [--steps N] [--random-steps N] [--seed N] [--fresh-instances]
#
# Exit status: that of the comparison (0 identical bits, 1 a difference), 2 on bad usage.
set -euo pipefail

if [[ $# -lt 1 || $1 == -* ]]; then
  echo "usage: $0 REV [compare host options]" >&2
  exit 2
fi
rev=$1
shift
root=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
commit=$(git -C "$root" rev-parse --verify "$rev^{commit}")

work=$(mktemp -d "${TMPDIR:-/tmp}/corvanta-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/a/src" "$work/b/src"

echo "== A: $rev ($commit)"
git -C "$root" archive "$commit" | tar -x -C "$work/a/src"
echo "== B: working tree of $root"
(cd "$root" && git ls-files --cached --others --exclude-standard -z | xargs -0 tar -c --ignore-failed-read 2>/dev/null) |
  tar -x -C "$work/b/src"

launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=$work
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
jobs=${CORVANTA_COMPARE_JOBS:-2}

build() {  # build SIDE TOOLS BENCHMARKS TARGETS...
  local side=$1 tools=$2 benchmarks=$3
  shift 3
  cmake -S "$work/$side/src" -B "$work/$side/build" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
    -DCORVANTA_BUILD_TESTS=OFF -DCORVANTA_BUILD_TOOLS="$tools" -DCORVANTA_BUILD_BENCHMARKS="$benchmarks" >"$work/$side/configure.log" 2>&1 ||
    { cat "$work/$side/configure.log" >&2; exit 2; }
  cmake --build "$work/$side/build" -j"$jobs" --target "$@" >"$work/$side/build.log" 2>&1 ||
    { tail -40 "$work/$side/build.log" >&2; exit 2; }
}
build a OFF OFF corvanta
build b ON ON corvanta corvanta_compare_host

library() { find "$work/$1/build" -maxdepth 1 -name 'libcorvanta.so.*.*.*' | head -1; }
"$work/b/build/bench/corvanta_compare_host" "$(library a)" "$(library b)" "$@"
