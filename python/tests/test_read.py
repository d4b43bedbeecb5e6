"""marvek.read and marvek.list: the readers' curves as NumPy arrays and their errors."""

import numpy as np
import pytest

import marvek
from conftest import BAD, REAL, VENDOR, run_cli


def cli_list(path):
    status, out, err = run_cli("list", path)
    assert status == 0, err
    # Detail lines are indented; sheets that hold no curve are the file's, not tests.
    return [line.split("\t") for line in out.splitlines()
            if not line.startswith("  ") and "\tskipped\t" not in line]


@pytest.mark.parametrize("path", VENDOR + REAL[:3])
def test_list_matches_the_cli(path):
    table = marvek.list(path)
    expected = cli_list(path)
    assert table.address.tolist() == [e[0] for e in expected]
    assert table.format.tolist() == [e[1] for e in expected]
    assert [f"{n} points" for n in table.points] == [e[2] for e in expected]
    assert table.units.tolist() == [e[3] for e in expected]


def test_arrays_share_the_readers_memory():
    curve = marvek.read(REAL[0])[0]
    depth = curve.depth
    assert depth.dtype == np.float64 and len(depth) == len(curve) > 100
    assert not depth.flags.owndata and not depth.flags.writeable
    assert np.shares_memory(depth, curve.depth)  # a view each time, never a copy
    with pytest.raises(ValueError):
        depth[0] = 1.0
    del curve
    assert np.isfinite(depth).all()  # the view keeps its curve alive
    assert len(depth) == len(marvek.read(REAL[0])[0].load)


def test_workbook_tests_and_addresses():
    workbook = [p for p in VENDOR if p.endswith(".xlsx")][0]
    curves = marvek.read(workbook)
    assert len(curves) > 1 and all(c.test for c in curves)
    one = marvek.read(curves[1].address)
    assert [c.test for c in one] == [curves[1].test]
    assert np.array_equal(one[0].load, curves[1].load)
    assert curves[0].metadata["area_coefficients"] or curves[0].metadata["values"]


def test_read_errors_carry_the_readers_reason():
    with pytest.raises(FileNotFoundError, match="/no/such/file.csv"):
        marvek.read("/no/such/file.csv")
    noise = [p for p in BAD if p.endswith("binary_noise.csv")][0]
    status, _, err = run_cli("list", noise)
    assert status == 1
    with pytest.raises(ValueError) as caught:
        marvek.read(noise)
    assert str(caught.value) in err
    with pytest.raises(KeyError, match="no test"):
        marvek.read(VENDOR[-2] + "#no such test")


def test_reading_options_apply_and_unknown_ones_are_refused():
    plain = marvek.read(REAL[0])[0]
    scaled = marvek.read(REAL[0], format=plain.format)[0]
    assert np.array_equal(plain.depth, scaled.depth)
    with pytest.raises(TypeError, match="poisson"):
        marvek.read(REAL[0], poisson=0.3)
    with pytest.raises(ValueError, match="--format: unknown format"):
        marvek.read(REAL[0], format="no-such-format")
