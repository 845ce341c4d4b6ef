#!/usr/bin/env bash
# Sanitizer leg of the test suite (run by scripts/test.sh):
#   - the whole suite built by Clang with AddressSanitizer and UndefinedBehaviorSanitizer,
#     every report fatal, into build-sanitize/, including bounded libFuzzer runs of
#     CORVANTA_FUZZ_SECONDS (default 60) per fuzzer (the 10-minute runs, label slow, are
#     left to `ctest -L slow` in build-sanitize/);
#   - the thread test built with ThreadSanitizer, into build-tsan/.
# UBSan's function-type and vptr checks are left out: they make the C++ libraries (model,
# engine, FMUs) need the C++ sanitizer runtime, which the C hosts (minimal_host, the dlopen
# host, the engine's C example, the FMU test host) do not link.
# Left out here, checked by the normal build: the installed-package, Python and pip tests and
# the runs in third-party FMI hosts (their hosts, a plain C compiler line, the Python interpreter
# and fmusim, carry no sanitizer runtime, so a sanitized FMU cannot even be loaded),
# the memcheck test (valgrind cannot run sanitized code), the export check of the model library
# (coverage instrumentation adds its section symbols), the every-parameter test (about 400
# runs of the model: 30 s in the normal build, ten times that sanitized), the 10^6-argument
# accuracy runs of the portable maths (the special values and hard cases stay), a test of which NaN payload wins
# when two meet (it pins GCC's operand order; payloads are not part of the results), the
# Windows and WebAssembly legs, the playground's module and page tests (tests/web: WebAssembly
# and a browser, nothing of them runs sanitized; the C++ they exercise is tested here through
# the engine's and the vehicle library's own tests), the benchmarks and the soak test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
fuzz_seconds=${CORVANTA_FUZZ_SECONDS:-60}

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# configure DIR FLAGS [CMAKE ARGS...]: a Clang build with FLAGS on every compile and link.
configure() {
  local dir=$1 flags=$2
  shift 2
  CC=clang CXX=clang++ cmake -S "$root" -B "$root/$dir" -DCMAKE_BUILD_TYPE=Release \
    -DCORVANTA_WARNINGS_AS_ERRORS=ON -DCORVANTA_BUILD_BENCHMARKS=OFF -DCORVANTA_WINDOWS_TESTS=OFF \
    -DCORVANTA_FMU_WINDOWS_BINARIES:STRING=OFF -DCORVANTA_WASM_TESTS=OFF -DCORVANTA_WEB_TESTS=OFF \
    "${launcher[@]}" "-DCMAKE_C_FLAGS=$flags" "-DCMAKE_CXX_FLAGS=$flags" \
    "-DCMAKE_EXE_LINKER_FLAGS=$flags" "-DCMAKE_SHARED_LINKER_FLAGS=$flags" "$@" >/dev/null
}

echo "== AddressSanitizer + UndefinedBehaviorSanitizer (build-sanitize/)"
configure build-sanitize \
  "-fsanitize=address,undefined -fno-sanitize=function,vptr -fno-sanitize-recover=all -fno-omit-frame-pointer -fsanitize=fuzzer-no-link" \
  -DCORVANTA_BUILD_FUZZERS=ON "-DCORVANTA_FUZZ_SECONDS=$fuzz_seconds"
cmake --build "$root/build-sanitize" -j"$jobs"
(
  cd "$root/build-sanitize"
  export ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1
  export UBSAN_OPTIONS=print_stacktrace=1
  ctest --output-on-failure -j"$jobs" -LE 'soak|slow' \
    -E '^(install\.package|python|python\..*|fmi\.real_hosts\..*|memcheck\..*|Derivatives\.NaNOperandOrderOfTheLags|capi\.exports_exactly_seven_functions|ParameterSet\.EveryParameterActsUnlessTheListSaysWhyItCannot|portable_math\.random\..*)$'
)

echo "== ThreadSanitizer (build-tsan/)"
configure build-tsan "-fsanitize=thread -fno-omit-frame-pointer"
cmake --build "$root/build-tsan" --target corvanta_thread_tests -j"$jobs"
TSAN_OPTIONS=halt_on_error=1 "$root/build-tsan/tests/corvanta_thread_tests"
