"""The binding against the C header, and the search for the library."""

import ctypes
import re
import shutil

import pytest

import corvanta
from corvanta import _library


def header_list(text, pattern):
    match = re.search(pattern, text, re.S)
    assert match, pattern
    return match.group(1)


def test_records_match_the_header(header_text):
    for names, record, macro, struct in (
        (corvanta.INPUT_NAMES, corvanta.InputRecord, "CORVANTA_INPUT_FIELDS", "ExtU_Corvanta_T"),
        (corvanta.OUTPUT_NAMES, corvanta.OutputRecord, "CORVANTA_OUTPUT_FIELDS", "ExtY_Corvanta_T"),
    ):
        macro_body = header_list(header_text, r"#define\s+" + macro + r"\(X\)((?:[^\n]*\\\n)*[^\n]*)")
        assert names == tuple(re.findall(r"X\(\s*(\w+)\s*,", macro_body))
        struct_body = header_list(header_text, r"typedef\s+struct\s+" + struct + r"\s*\{(.*?)\}")
        assert names == tuple(re.findall(r"double\s+(\w+)\s*;", struct_body))
        assert ctypes.sizeof(record) == 8 * len(names)
        assert [getattr(record, name).offset for name in names] == [8 * i for i in range(len(names))]
    version = header_list(header_text, r'#define\s+CORVANTA_VERSION_STRING\s+"([^"]+)"')
    assert corvanta.__version__ == version
    assert float(header_list(header_text, r"#define\s+CORVANTA_STEP_SIZE\s+(\S+)")) == corvanta.STEP_SIZE


def test_prototypes(header_text):
    declared = re.findall(r"^CORVANTA_API\s+[\w\s\*]*?\b(\w+)\s*\(", header_text, re.M)
    assert sorted(declared) == sorted(_library._PROTOTYPES)
    lib = _library.library()
    for name, (restype, argtypes) in _library._PROTOTYPES.items():
        function = getattr(lib, name)
        assert (function.restype, tuple(function.argtypes or ())) == (restype, argtypes), name
        assert argtypes[:1] == (() if name == "CreateVehicleModel" else (ctypes.c_void_p,))


class TestSearch:
    @pytest.fixture
    def checkout(self, tmp_path):
        """A fake checkout (python/corvanta/, capi/corvanta.h) without a library."""
        package = tmp_path / "python" / "corvanta"
        package.mkdir(parents=True)
        (tmp_path / "capi").mkdir()
        (tmp_path / "capi" / "corvanta.h").write_text("/* marker */\n")
        return tmp_path, package

    @staticmethod
    def place(directory):
        directory.mkdir(parents=True, exist_ok=True)
        shutil.copy(_library.library().path, directory / "libcorvanta.so")
        return str(directory / "libcorvanta.so")

    @staticmethod
    def load(package, **environ):
        # system=False: the library this process already loaded answers to its name there.
        return _library.load_library(environ=environ, package_dir=package, platform="linux", system=False)

    def test_order(self, checkout):
        root, package = checkout
        # Each new copy sits at a place searched earlier than the previous one.
        for directory in (root / "build-zz" / "Release", root / "build-aa", root / "build", package):
            expected = self.place(directory)
            assert self.load(package).path == expected

    def test_environment_variable_is_final(self, checkout):
        root, package = checkout
        self.place(package)
        missing = root / "no" / "libcorvanta.so"
        with pytest.raises(corvanta.CorvantaLibraryError, match=f"CORVANTA_LIBRARY={missing}: no such file") as error:
            self.load(package, CORVANTA_LIBRARY=str(missing))
        assert isinstance(error.value, OSError)

    def test_broken_candidate_stops_the_search(self, checkout):
        root, package = checkout
        (package / "libcorvanta.so").write_text("not a shared library\n")
        self.place(root / "build")
        with pytest.raises(corvanta.CorvantaLibraryError, match=f"{package / 'libcorvanta.so'}: cannot load"):
            self.load(package)

    def test_error_names_every_place_tried(self, checkout):
        root, package = checkout
        (root / "build-x").mkdir()
        with pytest.raises(corvanta.CorvantaLibraryError) as error:
            self.load(package, CORVANTA_LIBRARY="")
        for place in ("$CORVANTA_LIBRARY: not set", package / "libcorvanta.so", root / "build-x" / "Debug" / "libcorvanta.so"):
            assert str(place) in str(error.value)


class TestEngineSearch:
    def test_beside_the_model_library_then_final_variable(self, tmp_path):
        from corvanta import _engine

        engine_path = _engine.engine().path
        beside = tmp_path / "lib"
        beside.mkdir()
        shutil.copy(engine_path, beside / "libcorvanta_engine.so")
        found = _engine.load_engine(str(beside / "libcorvanta.so"), environ={}, package_dir=tmp_path, platform="linux", system=False)
        assert found.path == str(beside / "libcorvanta_engine.so")
        with pytest.raises(corvanta.CorvantaLibraryError, match="CORVANTA_ENGINE_LIBRARY=.*: no such file"):
            _engine.load_engine(None, environ={"CORVANTA_ENGINE_LIBRARY": str(tmp_path / "none.so")})
        with pytest.raises(corvanta.CorvantaLibraryError, match="cannot find the Corvanta scenario engine"):
            _engine.load_engine(None, environ={}, package_dir=tmp_path, platform="linux", system=False)
