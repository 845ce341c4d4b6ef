"""Builds the model library and the scenario engine with CMake for the Python package.

The metadata is in pyproject.toml.  Building the package configures this source tree
with CMake into build-python/cmake (library and engine only: no tests, tools or
benchmarks), builds the targets corvanta, corvanta_engine and corvanta_vehicle, and copies the shared
libraries into the package, where corvanta finds them before any other place.

CORVANTA_CMAKE_ARGS adds options to the CMake configuration (split like a shell would).
CORVANTA_CMAKE_BUILD_DIR names an existing, configured CMake build tree of this source
to build the two targets in instead (the test suite installs from its own build).
"""

import os
import shlex
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Distribution, setup
from setuptools.command.build_py import build_py

ROOT = Path(__file__).resolve().parent
CMAKE_BUILD = ROOT / "build-python" / "cmake"


def library_files():
    """(CMake target, file name inside the package) of the two libraries."""
    if sys.platform.startswith(("win32", "cygwin")):
        return [("corvanta", "Corvanta.dll"), ("corvanta_engine", "corvanta_engine.dll"),
                ("corvanta_vehicle", "libcorvanta_vehicle.dll")]
    return [("corvanta", "libcorvanta.so"), ("corvanta_engine", "libcorvanta_engine.so"),
            ("corvanta_vehicle", "libcorvanta_vehicle.so")]


def run(command):
    print("+ " + " ".join(shlex.quote(str(part)) for part in command), flush=True)
    subprocess.run([str(part) for part in command], check=True)


def build_libraries():
    """Configures (unless given a build tree) and builds the two targets; returns
    {target: built file}."""
    cmake = shutil.which("cmake")
    if cmake is None:
        raise SystemExit("building corvanta needs CMake and a C++17 compiler (Debian: apt-get install cmake g++)")
    existing = os.environ.get("CORVANTA_CMAKE_BUILD_DIR", "")
    build_dir = Path(existing).resolve() if existing else CMAKE_BUILD
    if not existing:
        configure = [
            cmake, "-S", ROOT, "-B", build_dir, "-DCMAKE_BUILD_TYPE=Release",
            "-DCORVANTA_BUILD_TESTS=OFF", "-DCORVANTA_BUILD_TOOLS=OFF", "-DCORVANTA_BUILD_BENCHMARKS=OFF",
            "-DCORVANTA_BUILD_ENGINE=ON",
        ]
        run(configure + shlex.split(os.environ.get("CORVANTA_CMAKE_ARGS", "")))
    targets = [target for target, _ in library_files()]
    run([cmake, "--build", build_dir, "--config", "Release", "--parallel", str(os.cpu_count() or 1), "--target", *targets])
    built = {}
    for target, name in library_files():
        # The real file, not the soname link: the package holds one copy under a plain name.
        candidates = (sorted(build_dir.glob(name + "*")) + sorted(build_dir.glob("Release/" + name))
                      + sorted(build_dir.glob("vehicle/" + name + "*")) + sorted(build_dir.glob("vehicle/Release/" + name)))
        files = [path for path in candidates if path.is_file() and not path.is_symlink()]
        if not files:
            raise SystemExit(f"the CMake build did not produce {name} in {build_dir}")
        built[target] = files[0]
    return built


class BuildWithLibraries(build_py):
    """build_py that also builds the libraries and puts them into the package."""

    def run(self):
        super().run()
        package = Path(self.build_lib) / "corvanta"
        built = build_libraries()
        for target, name in library_files():
            shutil.copyfile(built[target], package / name)


class BinaryDistribution(Distribution):
    """The package carries native libraries: its wheel is platform-specific."""

    def has_ext_modules(self):
        return True


setup(cmdclass={"build_py": BuildWithLibraries}, distclass=BinaryDistribution)
