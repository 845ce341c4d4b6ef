#!/usr/bin/env bash
# Every test of a configured and built tree carries at least one label, and only labels of
# the list below (ctest -L LABEL picks them):
#
#   unit         one part, in seconds (scripts/check.sh runs these)
#   integration  the whole model or library through its interfaces (regression, conformance)
#   tools        the command-line tools, the examples and the installed package
#   python       the Python package
#   fmi          the FMUs
#   windows      the Windows leg (MinGW-w64 and Wine)
#   wasm         the WebAssembly leg (Emscripten and Node)
#   web          the playground: its module under Node, its page in headless Chromium
#   sanitize     runs meant for the sanitizer builds (fuzzers)
#   slow         long runs, left out of CI
#   soak         hours of model time, left out of CI
#
#   scripts/check-test-labels.sh [BUILD_DIR]     (default: build)
set -euo pipefail
build=${1:-build}
known="unit integration tools python fmi windows wasm web sanitize slow soak"
ctest_command=${CTEST:-ctest}
listing=$(mktemp)
trap 'rm -f "$listing"' EXIT
(cd "$build" && "$ctest_command" --show-only=json-v1) >"$listing"
python3 - "$known" "$listing" <<'PY'
import json, sys
known = set(sys.argv[1].split())
with open(sys.argv[2]) as listing:
    tests = json.load(listing)["tests"]
unlabelled, unknown = [], []
for test in tests:
    labels = []
    for prop in test.get("properties", []):
        if prop["name"] == "LABELS":
            labels = prop["value"]
    if not labels:
        unlabelled.append(test["name"])
    for label in labels:
        if label not in known:
            unknown.append(f'{test["name"]}: {label}')
for name in unlabelled:
    print(f"no label: {name}")
for entry in unknown:
    print(f"unknown label: {entry}")
if not tests:
    sys.exit("no tests registered: configure and build with CORVANTA_BUILD_TESTS=ON first")
if unlabelled or unknown:
    sys.exit(f"{len(unlabelled)} of {len(tests)} tests without a label, {len(unknown)} unknown labels")
print(f"{len(tests)} tests, each with a label of: {' '.join(sorted(known))}")
PY
