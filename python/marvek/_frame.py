"""Tables of results: the shared way every area turns C++ columns into a pandas DataFrame."""

import os

import pandas as pd

# Counts: whole numbers, missing where a curve has no result.
_INTEGER_COLUMNS = ("nPoints", "nFitPoints")


def paths_of(paths):
    """A list of path texts from one path or an iterable of them."""
    if isinstance(paths, (str, bytes, os.PathLike)):
        paths = [paths]
    return [os.fsdecode(p) for p in paths]


def table(columns, units, settings):
    """The DataFrame of `columns` (name -> array or list); units and settings in its attrs."""
    frame = pd.DataFrame(columns)
    for name in _INTEGER_COLUMNS:
        if name in frame:
            frame[name] = frame[name].astype("Int64")
    frame.attrs["units"] = dict(units)
    frame.attrs["settings"] = settings.as_dict()
    return frame
