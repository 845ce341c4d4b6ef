#!/usr/bin/env bash
# Installs the Python package with pip into a fresh virtual environment (offline, Debian's
# setuptools and wheel, numpy from the system) and runs an example from another folder,
# with no environment variable pointing at the source tree or the build.
#   pip_install_test.sh PYTHON SOURCE_DIR CMAKE_BUILD_DIR WORK_DIR
# Exit status 77 (skipped) when the interpreter cannot make virtual environments.
set -euo pipefail
python=$1 source=$2 build=$3 work=$4

if ! "$python" -c "import ensurepip, setuptools, wheel" 2>/dev/null; then
  echo "skipped: $python lacks ensurepip, setuptools or wheel (Debian: python3-venv python3-setuptools python3-wheel)"
  exit 77
fi
rm -rf "$work"
mkdir -p "$work/elsewhere"
"$python" -m venv --system-site-packages "$work/venv"
venv_python="$work/venv/bin/python"

# The libraries come from the test suite's own build tree (built already), so that the
# test does not compile the model a second time; a plain `pip install .` configures its own.
(cd "$source" && CORVANTA_CMAKE_BUILD_DIR="$build" "$venv_python" -m pip install --quiet --no-build-isolation \
  --no-index --no-cache-dir .)

cd "$work/elsewhere"
clean=(env -u PYTHONPATH -u CORVANTA_LIBRARY -u CORVANTA_ENGINE_LIBRARY -u CORVANTA_SIM PYTHONDONTWRITEBYTECODE=1)
where=$("${clean[@]}" "$venv_python" -c '
import corvanta
from corvanta import _engine, _library
print(corvanta.__file__, _library.library().path, _engine.engine().path, sep="\n")')
echo "$where"
package_dir="$work/venv/lib/"
while read -r path; do
  case "$path" in
    "$package_dir"*/site-packages/corvanta/*) ;;
    *) echo "FAIL: $path is not inside the installed package"; exit 1 ;;
  esac
done <<< "$where"

output=$("${clean[@]}" "$venv_python" "$source/examples/python/minimal.py")
echo "$output"
[[ "$output" == "after 5.0 s: speed "* ]] || { echo "FAIL: unexpected output of minimal.py"; exit 1; }
rows=$("${clean[@]}" "$venv_python" -c "
import corvanta
rows = corvanta.simulate('$source/examples/scenarios/step-steer.json', every=1000)
print(len(rows), rows.dtype.names[0])")
[[ "$rows" == "51 time" ]] || { echo "FAIL: simulate gave '$rows'"; exit 1; }
echo "installed package works from $work/elsewhere"
