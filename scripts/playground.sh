#!/usr/bin/env bash
# The playground: builds the WebAssembly module (web/module, with Emscripten) and the page
# into build/web/ and serves it on http://localhost:PORT/ (default 8000).
#
#   scripts/playground.sh            build if needed, then serve
#   scripts/playground.sh --build    build (again) and exit
#   scripts/playground.sh --port N   serve on port N
#
# Needs emscripten and nodejs (scripts/debian-packages.txt) and Python 3 for the server.
# The first build compiles the model, the vehicle library and the engine for WebAssembly
# (a few minutes on two cores); Emscripten's system libraries come prebuilt with it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
site="$root/build/web"
module_build="$root/build/web-module"
port=8000
build_only=0
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build_only=1 ;;
    --port) port=${2:?--port needs a number}; shift ;;
    -h|--help) sed -n '2,11p' "$0"; exit 0 ;;
    *) echo "playground.sh: unknown argument '$1' (--build, --port N)" >&2; exit 2 ;;
  esac
  shift
done

build() {
  if ! command -v emcmake >/dev/null || ! command -v node >/dev/null; then
    echo "playground.sh: the module needs emscripten and nodejs: scripts/install-deps.sh installs them" >&2
    exit 3
  fi
  local launcher=()
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  # Emscripten's JavaScript tools live in /usr/share/nodejs on Debian.
  export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
  emcmake cmake -S "$root/web/module" -B "$module_build" -DCMAKE_BUILD_TYPE=Release \
    "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG" "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" "${launcher[@]}" >/dev/null
  cmake --build "$module_build" --parallel "$(nproc)"
  cmake -DMODULE="$module_build/corvanta.mjs" -DSOURCE_DIR="$root" -DOUTPUT_DIR="$site" -P "$root/web/cmake/StageSite.cmake"
}

if [ "$build_only" = 1 ] || [ ! -f "$site/index.html" ] || [ ! -f "$site/corvanta.mjs" ]; then
  build
fi
if [ "$build_only" = 1 ]; then
  echo "built: $site/index.html and $site/corvanta.mjs"
  exit 0
fi
echo "serving $site on http://localhost:$port/ (Ctrl-C stops)"
cd "$site"
exec python3 -m http.server "$port" --bind 127.0.0.1
