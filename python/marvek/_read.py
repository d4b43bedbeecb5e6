"""Reading curve files: every format the program reads, as NumPy arrays."""

import builtins

import pandas as pd

from . import _marvek
from ._frame import paths_of
from ._settings import Settings

# Only the reading choices apply here.
_READ_KEYWORDS = {"format", "columns", "units"}


def _read_settings(keywords):
    unknown = set(keywords) - _READ_KEYWORDS
    if unknown:
        raise TypeError(f"unknown reading option {sorted(unknown)[0]!r} (known: columns, format, units)")
    return Settings(**keywords)


def read(path, **options):
    """Every curve of a file (only TEST for ``FILE#TEST``) as marvek.Curve objects.

    A curve has ``depth`` (nm), ``load`` (mN) and ``time`` (s) as read-only NumPy arrays that
    share the reader's memory, ``segment`` (one code per point), ``test``, ``format``,
    ``units``, ``metadata`` (dict) and ``warnings``. Options: ``format``, ``columns``,
    ``units`` as for the cli. A missing file raises FileNotFoundError, a file that holds no
    curve ValueError, an unknown test KeyError; each names the file and the reason.
    """
    settings = _read_settings(options)
    [name] = paths_of(path)
    return _marvek.read(name, settings.arguments)


def list(paths, **options):
    """A table of the curves of files: address, file, test, format, points, units, warnings."""
    settings = _read_settings(options)
    rows = []
    for name in paths_of(paths):
        for c in _marvek.read(name, settings.arguments):
            rows.append({"address": c.address, "file": c.file, "test": c.test or None,
                         "format": c.format, "points": len(c), "units": c.units,
                         "warnings": builtins.list(c.warnings)})
    columns = ["address", "file", "test", "format", "points", "units", "warnings"]
    return pd.DataFrame(rows, columns=columns)
