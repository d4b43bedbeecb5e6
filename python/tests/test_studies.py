"""marvek.popins, profile and phases: the cli's numbers to the bit, and their errors."""

import json

import pytest

import marvek
from conftest import DATA, REAL, run_cli

POPIN = str(DATA / "vendor" / "Popin.xls")
CSM = str(DATA / "vendor" / "FS_XP.xls")
# The fused-silica tip's full area function (the workbook records only three terms).
AP = [24.69536429, 395.7700812, -16.13158277, 133.4058147, 106.4571602]


def cli_json(*args):
    status, out, err = run_cli(*args)
    assert status in (0, 1), err
    return [json.loads(line) for line in out.splitlines()]


def same(ours, theirs):
    """Our value against the cli's JSON: lists and dicts element-wise, floats exactly, NaN
    (a DataFrame's missing number) for null."""
    if theirs is None:
        return ours is None or ours != ours
    if isinstance(theirs, dict):  # every value we give, as the cli gives it
        return all(k in theirs and same(v, theirs[k]) for k, v in ours.items())
    if isinstance(theirs, list):
        return len(ours) == len(theirs) and all(same(a, b) for a, b in zip(ours, theirs))
    return ours == theirs


@pytest.mark.parametrize("keywords,flags", [
    ({}, []),
    ({"min_jump": 5, "min_load": 0.02}, ["--min-jump", "5", "--min-load", "0.02"]),
    ({"tip_radius": 500, "poisson": 0.25}, ["--tip-radius", "500", "--poisson", "0.25"]),
])
def test_popins_are_the_clis(keywords, flags):
    files = [POPIN, REAL[0]]
    rows = cli_json("popin", "--json", "--defaults", "--summary", *flags, *files)
    table = marvek.popins(files, **keywords)
    assert len(table) == len(rows) - 1
    for k, row in enumerate(rows[:-1]):
        ours = table.iloc[k]
        for key in ("file", "ok", "popins", "tauMax_GPa", "tauMaxOverG", "note"):
            assert same(ours[key], row[key]), (key, ours[key], row[key])
        for key, value in (row["hertz"] or {}).items():
            assert same(ours[key], value), (key, ours[key], value)
    ours = marvek.popin_summary(files, **keywords)
    for key, value in rows[-1]["summary"].items():
        assert same(ours[key], value), (key, ours[key], value)


def test_profiles_are_the_clis():
    address = CSM + "#Test 001"
    (theirs,) = cli_json("profile", "--json", "--ap", ",".join(map(repr, AP)), "--from", "200",
                         "--to", "500", address)
    (ours,) = marvek.profile(address, ap=AP, from_nm=200, to_nm=500).to_dict("records")
    for key in ("depth_nm", "load_mN", "stiffness_N_m", "contactDepth_nm", "area_nm2",
                "hardness_GPa", "modulus_GPa"):
        assert ours[key].tolist() == theirs[key], key
    assert same(ours["average"], theirs["average"])
    # A curve without continuous-stiffness channels is a row that says why, not an exception.
    plain = marvek.profile(REAL[0])
    assert not plain.ok[0] and "stiffness" in plain.error[0]


def test_phases_are_the_clis(tmp_path):
    table = tmp_path / "results.csv"
    status, out, err = run_cli("analyze", "--defaults", *REAL)
    table.write_text(out)
    (theirs,) = cli_json("phases", str(table), "--columns", "EIT,HIT", "--max-k", "3", "--json")
    ours = marvek.phases(table, ["EIT", "HIT"], max_k=3)
    for key in ("k", "bic", "phases"):
        assert same(ours[key], theirs[key]), key
    # The same doubles from the DataFrame of marvek.analyze give the same mixture.
    frame = marvek.analyze(REAL)
    assert marvek.phases(frame, ["EIT", "HIT"], max_k=3)["phases"] == ours["phases"]
    assert len(ours["label"]) == len(REAL) and set(ours["label"]) <= {0, 1, 2, 3}


def test_bad_settings_name_the_field():
    with pytest.raises(ValueError, match="min_jump"):
        marvek.popins(POPIN, min_jump="five")
    with pytest.raises(ValueError, match="reduced_modulus or tip_radius"):
        marvek.popins(POPIN, reduced_modulus=70, tip_radius=500)
    with pytest.raises(ValueError, match="from_nm must be below to_nm"):
        marvek.profile(CSM, from_nm=300, to_nm=200)
    with pytest.raises(ValueError, match="Stiffness"):
        marvek.phases(REAL[0], ["Stiffness"])
