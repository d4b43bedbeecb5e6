"""marvek.analyze against marvek-cli analyze --json: the same rows, numbers to the bit."""

import threading

import numpy as np
import pytest

import marvek
from conftest import BAD, REAL, VENDOR, cli_rows, same_value

# Settings as Python keywords and as the cli's flags.
SETTING_SETS = [
    ({}, []),
    ({"method": "dn"}, ["--method", "dn"]),
    ({"poisson": 0.22, "drift": True, "op_range": (20, 95)},
     ["--poisson", "0.22", "--drift", "--op-range", "20", "95"]),
    ({"zero_point": [0.5, 8], "compliance": 0.1, "epsilon": 0.72},
     ["--zero-point", "0.5", "8", "--compliance", "0.1", "--epsilon", "0.72"]),
    ({"ap": [24.5, 100.0], "indenter_modulus": 1000, "min_r2": 0.999},
     ["--ap", "24.5,100", "--indenter-modulus", "1000", "--min-r2", "0.999"]),
]


def assert_same_rows(table, rows):
    assert len(table) == len(rows)
    for k, row in enumerate(rows):
        ours = table.iloc[k]
        for key, theirs in row.items():
            assert key in table.columns, f"column {key} missing"
            assert same_value(ours[key], theirs), (row["file"], key, ours[key], theirs)


@pytest.mark.parametrize("keywords,flags", SETTING_SETS)
def test_real_and_vendor_curves_give_the_cli_numbers(keywords, flags):
    files = REAL + VENDOR
    table = marvek.analyze(files, **keywords)
    assert_same_rows(table, cli_rows(files, flags))


def test_one_file_and_one_workbook_test_alone():
    for address in (REAL[0], VENDOR[-2] + "#" + marvek.read(VENDOR[-2])[1].test):
        assert_same_rows(marvek.analyze(address), cli_rows([address]))


def test_uncertainty_and_file_settings_columns():
    files = REAL[:3] + [p for p in VENDOR if p.endswith(".xlsx")]
    table = marvek.analyze(files, uncertainty=True, mc_runs=20, use_file_settings=True)
    rows = cli_rows(files, ["--uncertainty", "--mc-runs", "20", "--use-file-settings"])
    assert_same_rows(table, rows)
    assert table.attrs["units"]["EIT_u"] == "GPa"


def test_flagged_series_judges_outliers_like_the_cli():
    table = marvek.analyze(REAL, exclude_flagged="outlier-EIT,low-r2")
    assert_same_rows(table, [r for r in cli_rows(REAL, ["--exclude-flagged", "outlier-EIT,low-r2"])
                             if "statistic" not in r and "summary" not in r])


def test_bad_and_missing_files_are_rows_with_reasons():
    files = BAD + ["/no/such/file.csv"]
    table = marvek.analyze(files)
    rows = cli_rows(files)
    assert_same_rows(table, rows)
    failed = table[~table.ok]
    assert len(failed) >= 2 and failed.error.str.len().min() > 0
    assert failed.error.iloc[-1].startswith("/no/such/file.csv")
    assert failed.EIT.isna().all() and failed.nPoints.isna().all()


def test_columns_units_and_types():
    table = marvek.analyze(REAL[:2])
    assert table.attrs["units"]["EIT"] == "GPa" and table.attrs["units"]["Wtotal"] == "\u00b5J"
    assert "r2" not in table.attrs["units"]
    assert str(table.nPoints.dtype) == "Int64" and table.EIT.dtype == np.float64
    assert table.attrs["settings"] == {}


def test_two_threads_at_once_give_the_sequential_tables():
    halves = [REAL[::2] + VENDOR[:2], REAL[1::2] + VENDOR[2:]]
    sequential = [marvek.analyze(h, method="dn") for h in halves]
    together = [None, None]

    def run(k):
        together[k] = marvek.analyze(halves[k], method="dn")

    threads = [threading.Thread(target=run, args=(k,)) for k in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for a, b in zip(sequential, together):
        numbers = a.select_dtypes("number").columns
        assert np.array_equal(a[numbers].to_numpy(float), b[numbers].to_numpy(float),
                              equal_nan=True)
        assert a.file.tolist() == b.file.tolist()


def test_addresses_expand_workbooks_in_row_order():
    workbook = [p for p in VENDOR if p.endswith(".xls")][0]
    addresses = marvek.addresses([REAL[0], workbook])
    assert addresses[0] == REAL[0]
    assert addresses[1:] == marvek.list(workbook).address.tolist()
    assert marvek.analyze([REAL[0], workbook]).file.tolist() == addresses
