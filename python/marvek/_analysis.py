"""The analysis of curves: one row per test, the columns of ``marvek-cli analyze --json``."""

from . import _marvek
from ._frame import paths_of, table
from ._settings import resolve


def analyze(paths, settings=None, **keywords):
    """Analyses every test of `paths` (a path, FILE#TEST address or a list) in parallel.

    Returns a pandas DataFrame with one row per test: ``file`` (the address), ``test``,
    ``format``, ``ok``, ``error`` (why a curve gave no result), ``method``, the result
    columns (Fmax, hmax, ..., EIT, HIT, ..., Wtotal, ..., HMsR2; NaN where the cli writes
    null), ``absent`` (why a quantity is missing), ``flags``, ``included`` and
    ``resultsText``. Units are in ``.attrs["units"]``. Settings come as a marvek.Settings
    and/or keywords named like the cli's flags (``poisson=0.3, method="dn"``). A file that
    cannot be analysed is a row with ok False, never an exception.
    """
    s = resolve(settings, keywords)
    columns = _marvek.analyze(paths_of(paths), s.arguments)
    return table(columns, _marvek.units("EIT_u" in columns), s)


def addresses(paths, **options):
    """The address of every test of `paths` (FILE#TEST for each test of a workbook), in the
    order analyze gives its rows: the unit of work to hand to a cluster."""
    s = resolve(None, options)
    return _marvek.expand(paths_of(paths), s.arguments)
