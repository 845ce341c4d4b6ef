#!/usr/bin/env bash
# Writes the expected results of the scenario corpus with corvanta-sim:
#   good/NAME.EXT -> good/NAME.expected.csv   (rows at time 0 and after every 100th step)
#   bad/NAME.EXT  -> bad/NAME.EXT.message         (the message, the file's path as {file})
# Review the diff before committing: every host is held to these files.
#   tests/data/scenarios/regenerate.sh build/tools/sim/corvanta-sim
set -euo pipefail
sim=$(realpath "$1")
cd "$(dirname "$0")"
for file in good/*.json good/*.csv; do
  case "$file" in *.expected.csv) continue ;; esac
  "$sim" "$file" --quiet --every 100 -o "${file%.*}.expected.csv"
done
for file in bad/*.json bad/*.csv; do
  if "$sim" "$file" --quiet 2> "$file.stderr" > /dev/null; then
    echo "$file was accepted" >&2
    exit 1
  fi
  sed -e 's/^corvanta-sim: error: //' -e "s|$file|{file}|g" "$file.stderr" > "$file.message"
  rm "$file.stderr"
done
