"""Marvek: nanoindentation curve analysis from Python.

    import marvek
    curves = marvek.read("run.xlsx")          # NumPy arrays of each test
    table = marvek.analyze("run.xlsx", poisson=0.3)   # pandas DataFrame, one row per test

The numbers are those of the window and of ``marvek-cli analyze`` (the same C++ core).
"""

from ._marvek import Curve
from ._settings import Settings, SettingsError
from ._read import read, list
from ._analysis import analyze, addresses
from ._studies import phases, popin_summary, popins, profile

__all__ = ["Curve", "Settings", "SettingsError", "read", "list", "analyze", "addresses",
           "popins", "popin_summary", "profile", "phases"]
