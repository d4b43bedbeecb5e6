"""Pop-ins, continuous-stiffness depth profiles and grid phases: the analyses of
``marvek-cli popin``, ``profile`` and ``phases``, with the same numbers."""

import math
import os

import pandas as pd

from . import _marvek
from ._frame import paths_of
from ._settings import SettingsError, resolve


def _number(name, value, positive=True):
    """A float from a keyword, NaN for None; a ValueError naming the keyword otherwise."""
    if value is None:
        return math.nan
    try:
        number = float(value)
    except (TypeError, ValueError):
        raise SettingsError(f"{name}: expected a number, got {value!r}", name) from None
    if not math.isfinite(number) or (positive and number <= 0):
        raise SettingsError(f"{name}: expected a positive number, got {value!r}", name)
    return number


def _popin_call(paths, min_jump, min_load, reduced_modulus, tip_radius, temperature, settings,
                keywords):
    if reduced_modulus is not None and tip_radius is not None:
        raise SettingsError("give reduced_modulus or tip_radius, not both", "reduced_modulus")
    s = resolve(settings, keywords)
    return _marvek.popins(paths_of(paths), s.arguments,
                          _number("min_jump", min_jump, positive=False),
                          _number("min_load", min_load, positive=False),
                          _number("reduced_modulus", reduced_modulus),
                          _number("tip_radius", tip_radius), _number("temperature", temperature))


def popins(paths, min_jump=None, min_load=None, reduced_modulus=None, tip_radius=None,
           settings=None, **keywords):
    """The pop-ins of every curve's loading, one row per curve.

    Columns as ``marvek-cli popin --json`` names them: ``file``, ``test``, ``ok``, ``error``,
    ``popins`` (a list of {"load_mN", "depth_nm", "width_nm"} in load order, empty when there
    is none), the Hertz fit before the first (``K_mN_nm1_5``, ``h0_nm``, ``radius_nm``,
    ``Er_GPa``, ``r2``, ``depthFrom_nm``, ``depthTo_nm``), ``tauMax_GPa``, ``tauMaxOverG`` and
    ``note``. ``min_jump`` (nm) and ``min_load`` (mN) set the fixed rule instead of the
    noise-adaptive detector; ``reduced_modulus`` (GPa) or ``tip_radius`` (nm) the contact (else
    Er comes from each curve's unloading). Analysis settings as for ``analyze``.
    """
    rows, _ = _popin_call(paths, min_jump, min_load, reduced_modulus, tip_radius, 298,
                          settings, keywords)
    return pd.DataFrame(rows)


def popin_summary(paths, min_jump=None, min_load=None, reduced_modulus=None, tip_radius=None,
                  temperature=298, settings=None, **keywords):
    """The statistics of the first pop-ins of `paths`, as ``marvek-cli popin --summary``
    gives them: n, mean and SD of load, depth, width and tauMax, the Weibull modulus and scale
    and the activation volume (Å³) at `temperature` (K)."""
    _, summary = _popin_call(paths, min_jump, min_load, reduced_modulus, tip_radius,
                             temperature, settings, keywords)
    return summary


def profile(paths, ap=None, poisson=None, from_nm=None, to_nm=None, frame_stiffness=None,
            epsilon=0.75, beta=1.0):
    """Hardness and modulus over depth of continuous-stiffness tests, one row per test.

    Columns as ``marvek-cli profile --json`` names them: ``file``, ``test``, ``ok``, ``error``,
    the per-sample NumPy arrays ``depth_nm``, ``load_mN``, ``stiffness_N_m``,
    ``contactDepth_nm``, ``area_nm2``, ``hardness_GPa``, ``modulus_GPa``, the window
    ``average`` (a dict: from_nm, to_nm, n, hardness_GPa, modulus_GPa) and ``warnings``.
    ``ap``: the area function's coefficients C0, C1, ... (a workbook records only three);
    ``from_nm``/``to_nm``: the averaging window (default: the workbook's, else 100-200 nm).
    """
    coefficients = [] if ap is None else [_number("ap", c, positive=False) for c in ap]
    if len(coefficients) > 9:
        raise SettingsError("ap: at most nine coefficients", "ap")
    window = [None if v is None else _number(n, v, positive=False)
              for n, v in (("from_nm", from_nm), ("to_nm", to_nm))]
    if None not in window and not window[0] < window[1]:
        raise SettingsError("from_nm must be below to_nm", "from_nm")
    optional = [None if v is None else _number(n, v)
                for n, v in (("poisson", poisson), ("frame_stiffness", frame_stiffness))]
    rows = _marvek.profile(paths_of(paths), coefficients, optional[0], window[0], window[1],
                           optional[1], _number("epsilon", epsilon), _number("beta", beta))
    return pd.DataFrame(rows)


def phases(table, columns, max_k=5, seed=1):
    """The phases of a grid: a Gaussian mixture over `columns` of `table`, k chosen by BIC.

    `table` is a CSV file (the output of ``marvek-cli analyze --csv`` among others) or a
    DataFrame (``marvek.analyze(...)``); a column is named without its unit ("EIT" matches
    "EIT [GPa]"). Returns a dict as ``marvek-cli phases --json`` gives it (k, bic for k = 1 ...
    max_k, phases with weight, mean, sd and correlation, sorted by the first column's mean) plus
    ``label`` (each table row's phase, 1-based, 0 where a value was missing) and
    ``probability``.
    """
    if isinstance(table, pd.DataFrame):
        name = "DataFrame"
        text = table.to_csv(index=False, float_format=repr)
    else:
        name = os.fsdecode(table)
        with open(name, "rb") as f:
            text = f.read()  # the bytes, as the cli reads them
    if isinstance(columns, str):
        columns = [columns]
    if int(max_k) < 1:
        raise SettingsError("max_k: at least 1", "max_k")
    try:
        return _marvek.phases(text, name, list(columns), int(max_k), int(seed))
    except ValueError as e:
        raise ValueError(str(e)) from None
