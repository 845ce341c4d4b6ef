"""The binding against the C header, and the search for the library."""

import ctypes
import ctypes.util
import os
import re
import shutil

import pytest

import corvanta
from corvanta import _library


def macro_names(header_text, macro):
    """Field names of an X-macro list such as CORVANTA_INPUT_FIELDS."""
    match = re.search(r"#define\s+" + macro + r"\(X\)((?:.*\\\n)*.*)", header_text)
    assert match, f"{macro} not found in corvanta.h"
    return tuple(re.findall(r"X\(\s*(\w+)\s*,", match.group(1)))


def struct_fields(header_text, struct):
    match = re.search(r"typedef\s+struct\s+" + struct + r"\s*\{(.*?)\}", header_text, re.S)
    assert match, f"{struct} not found in corvanta.h"
    return tuple(re.findall(r"double\s+(\w+)\s*;", match.group(1)))


class TestRecordsMatchTheHeader:
    def test_input_names(self, header_text):
        assert corvanta.INPUT_NAMES == macro_names(header_text, "CORVANTA_INPUT_FIELDS")
        assert corvanta.INPUT_NAMES == struct_fields(header_text, "ExtU_Corvanta_T")

    def test_output_names(self, header_text):
        assert corvanta.OUTPUT_NAMES == macro_names(header_text, "CORVANTA_OUTPUT_FIELDS")
        assert corvanta.OUTPUT_NAMES == struct_fields(header_text, "ExtY_Corvanta_T")

    def test_structure_layout(self):
        for record, names in ((corvanta.InputRecord, corvanta.INPUT_NAMES), (corvanta.OutputRecord, corvanta.OUTPUT_NAMES)):
            assert ctypes.sizeof(record) == 8 * len(names)
            assert [name for name, _ in record._fields_] == list(names)
            assert [getattr(record, name).offset for name in names] == [8 * i for i in range(len(names))]

    def test_counts_and_step_size(self, header_text):
        assert f"CORVANTA_NUM_INPUTS = {len(corvanta.INPUT_NAMES)}" in header_text
        assert f"CORVANTA_NUM_OUTPUTS = {len(corvanta.OUTPUT_NAMES)}" in header_text
        step = re.search(r"#define\s+CORVANTA_STEP_SIZE\s+(\S+)", header_text).group(1)
        assert float(step) == corvanta.STEP_SIZE

    def test_version(self, header_text):
        version = re.search(r'#define\s+CORVANTA_VERSION_STRING\s+"([^"]+)"', header_text).group(1)
        assert corvanta.__version__ == version

    def test_prototypes(self, header_text):
        lib = _library.library()
        declared = set(re.findall(r"^CORVANTA_API\s+[\w\s\*]*?\b(\w+)\s*\(", header_text, re.M))
        assert declared == set(_library._PROTOTYPES)
        for name, (restype, argtypes) in _library._PROTOTYPES.items():
            function = getattr(lib, name)
            assert function.restype is restype, name
            assert tuple(function.argtypes) == argtypes, name
            assert function.argtypes[:1] == ((ctypes.c_void_p,) if name != "CreateVehicleModel" else ()), name


class TestLibrarySearch:
    def test_environment_variable_pointing_nowhere(self, tmp_path):
        missing = tmp_path / "no" / "libcorvanta.so"
        with pytest.raises(corvanta.CorvantaLibraryError, match="CORVANTA_LIBRARY=.*no such file") as error:
            _library.load_library(environ={"CORVANTA_LIBRARY": str(missing)})
        assert isinstance(error.value, OSError)
        assert str(missing) in str(error.value)

    def test_environment_variable_does_not_fall_back(self, tmp_path):
        # A library next to the package must not stand in for a wrong explicit path.
        package = tmp_path / "python" / "corvanta"
        package.mkdir(parents=True)
        shutil.copy(_library.library().path, package / "libcorvanta.so")
        with pytest.raises(corvanta.CorvantaLibraryError):
            _library.load_library(environ={"CORVANTA_LIBRARY": str(tmp_path / "gone.so")}, package_dir=package, platform="linux")

    def test_file_that_is_not_a_library(self, tmp_path):
        fake = tmp_path / "libcorvanta.so"
        fake.write_text("not a shared library\n")
        with pytest.raises(corvanta.CorvantaLibraryError, match="cannot load the library"):
            _library.load_library(environ={"CORVANTA_LIBRARY": str(fake)})

    def test_library_without_the_functions(self):
        other = ctypes.CDLL(ctypes.util.find_library("c")) if os.name != "nt" else ctypes.cdll.msvcrt
        with pytest.raises(corvanta.CorvantaLibraryError, match="no function CreateVehicleModel"):
            _library.Library(other, "libc")

    def test_broken_candidate_stops_the_search(self, checkout):
        root, package = checkout
        (package / "libcorvanta.so").write_text("truncated\n")
        self.place(root / "build")
        with pytest.raises(corvanta.CorvantaLibraryError, match="cannot load the library") as error:
            _library.load_library(environ={}, package_dir=package, platform="linux")
        assert str(package / "libcorvanta.so") in str(error.value)

    def test_relative_environment_path_is_taken_from_the_working_directory(self, tmp_path, monkeypatch):
        shutil.copy(_library.library().path, tmp_path / "libcorvanta.so")
        monkeypatch.chdir(tmp_path)
        loaded = _library.load_library(environ={"CORVANTA_LIBRARY": "libcorvanta.so"})
        assert loaded.path == str(tmp_path / "libcorvanta.so")

    @pytest.fixture
    def checkout(self, tmp_path):
        """A fake checkout: python/corvanta/ and capi/corvanta.h, without any library."""
        package = tmp_path / "python" / "corvanta"
        package.mkdir(parents=True)
        (tmp_path / "capi").mkdir()
        (tmp_path / "capi" / "corvanta.h").write_text("/* marker */\n")
        return tmp_path, package

    def place(self, directory):
        directory.mkdir(parents=True, exist_ok=True)
        shutil.copy(_library.library().path, directory / "libcorvanta.so")
        return str(directory / "libcorvanta.so")

    def test_search_order(self, checkout):
        root, package = checkout
        found = lambda: _library.load_library(environ={}, package_dir=package, platform="linux", system=False).path
        later = self.place(root / "build-zz" / "Release")
        assert found() == later
        alphabetical = self.place(root / "build-aa")
        assert found() == alphabetical
        build = self.place(root / "build")
        assert found() == build
        beside = self.place(package)
        assert found() == beside

    def test_error_names_every_place_tried(self, checkout):
        root, package = checkout
        (root / "build-x").mkdir()
        with pytest.raises(corvanta.CorvantaLibraryError) as error:
            _library.load_library(environ={"CORVANTA_LIBRARY": ""}, package_dir=package, platform="linux", system=False)
        message = str(error.value)
        assert "$CORVANTA_LIBRARY: not set" in message
        for path in (package / "libcorvanta.so", root / "build-x" / "libcorvanta.so", root / "build-x" / "Debug" / "libcorvanta.so"):
            assert str(path) in message

    def test_no_build_tree_search_outside_a_checkout(self, tmp_path):
        package = tmp_path / "site-packages" / "corvanta"
        package.mkdir(parents=True)
        self.place(tmp_path / "build")
        with pytest.raises(corvanta.CorvantaLibraryError) as error:
            _library.load_library(environ={}, package_dir=package, platform="linux", system=False)
        assert str(tmp_path / "build") not in str(error.value)

    def test_windows_file_name(self, checkout):
        root, package = checkout
        with pytest.raises(corvanta.CorvantaLibraryError) as error:
            _library.load_library(environ={}, package_dir=package, platform="win32", system=False)
        assert str(package / "Corvanta.dll") in str(error.value)
