"""Shared fixtures: the data files of the checkout and the marvek-cli of the same build."""

import json
import math
import os
import pathlib
import subprocess

import pytest

SOURCE = pathlib.Path(os.environ.get("MARVEK_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
DATA = SOURCE / "tests" / "data"
REAL = sorted(str(p) for p in (DATA / "real").glob("*.csv"))
VENDOR = sorted(str(p) for p in (DATA / "vendor").iterdir() if p.name != "PROVENANCE.md")
BAD = sorted(str(p) for p in (DATA / "bad").glob("*.csv"))


def cli_path():
    cli = os.environ.get("MARVEK_CLI")
    if not cli:
        pytest.skip("MARVEK_CLI is not set (ctest sets it to this build's marvek-cli)")
    return cli


def run_cli(*args):
    """marvek-cli's exit status, standard output and standard error."""
    done = subprocess.run([cli_path(), *args], capture_output=True, text=True)
    return done.returncode, done.stdout, done.stderr


def cli_rows(files, flags=()):
    """The rows of `marvek-cli analyze --json --defaults` over `files`."""
    status, out, err = run_cli("analyze", "--json", "--defaults", *flags, *files)
    assert status in (0, 1), err
    return [json.loads(line) for line in out.splitlines()]


def same_value(ours, theirs):
    """A DataFrame cell against the cli's JSON value: NaN/None stand for null; floats exact."""
    if theirs is None:
        return ours is None or (isinstance(ours, float) and math.isnan(ours)) or ours is getattr(
            __import__("pandas"), "NA")
    if isinstance(theirs, float) or isinstance(theirs, int) and not isinstance(theirs, bool):
        return float(ours) == float(theirs)
    if isinstance(theirs, list):
        return list(ours) == theirs
    return ours == theirs
