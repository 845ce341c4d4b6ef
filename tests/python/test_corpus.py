"""The scenario corpus (tests/data/scenarios) through the Python package: the expected
rows bit for bit and as text, and the exact messages of the refused files."""

from pathlib import Path

import pytest

import corvanta

from support import REPO, assert_bitwise_equal

CORPUS = REPO / "tests" / "data" / "scenarios"


def scenarios(kind):
    return sorted(
        path for path in (CORPUS / kind).iterdir() if path.suffix in (".json", ".csv") and ".expected." not in path.name
    )


@pytest.mark.parametrize("path", scenarios("good"), ids=lambda path: path.name)
def test_good_file(path, tmp_path):
    expected = path.with_name(path.name.rsplit(".", 1)[0] + ".expected.csv")
    rows = corvanta.simulate(path, every=100)
    assert_bitwise_equal(rows, corvanta.read_csv(expected))
    corvanta.write_csv(tmp_path / "rows.csv", rows)
    assert (tmp_path / "rows.csv").read_bytes() == expected.read_bytes()


@pytest.mark.parametrize("path", scenarios("bad"), ids=lambda path: path.name)
def test_bad_file(path):
    expected = Path(str(path) + ".message").read_text(encoding="utf-8").rstrip("\n").replace("{file}", str(path))
    with pytest.raises(corvanta.ScenarioError) as error:
        corvanta.simulate(path)
    assert str(error.value) == expected
    assert error.value.source == str(path)
