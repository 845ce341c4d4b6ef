#!/usr/bin/env bash
# Checks that the C and C++ sources are formatted as .clang-format says (Debian's
# clang-format, --dry-run -Werror): lists each file it would change and exits 1 if any.
#
#   scripts/check-format.sh            check
#   scripts/check-format.sh --fix      rewrite the files in place
#   scripts/check-format.sh --list     print the checked files
#
# CLANG_FORMAT chooses the program (default: clang-format).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
clang_format=${CLANG_FORMAT:-clang-format}

# The file set: every tracked C and C++ source, except generated ones (rewritten by their
# generators, not by hand) and test data.
sources() {
  git ls-files -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp' |
    grep -v -e '^tests/data/' -e '^runtime/PortableMathTables\.cpp$'
}

mode=${1:-check}
case $mode in
  --list) sources; exit 0 ;;
  --fix) sources | xargs -r "$clang_format" -i; exit 0 ;;
  check) ;;
  *) echo "usage: $0 [--fix|--list]" >&2; exit 2 ;;
esac

if ! command -v "$clang_format" >/dev/null; then
  echo "$0: $clang_format not found (Debian: apt-get install clang-format)" >&2
  exit 2
fi
unformatted=0
total=0
while IFS= read -r file; do
  total=$((total + 1))
  if ! "$clang_format" --dry-run -Werror "$file" >/dev/null 2>&1; then
    echo "not formatted: $file"
    unformatted=$((unformatted + 1))
  fi
done < <(sources)
if ((unformatted)); then
  echo "$unformatted of $total sources differ from .clang-format ($0 --fix rewrites them)"
  exit 1
fi
echo "$total sources formatted"
