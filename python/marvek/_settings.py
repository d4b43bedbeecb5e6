"""Settings of a call: keyword arguments named like marvek-cli's flags (poisson=0.3 is
``--poisson 0.3``), checked by the cli's own parser, so values and messages are the cli's."""

import os

from . import _marvek

# Options that take no value: True gives the flag, False leaves it out.
_FLAGS = {"defaults", "drift", "uncertainty", "use-file-settings"}
# The setting a check names -> the keyword that sets it.
_SETTING_FIELDS = {
    "material epsilon": "epsilon",
    "Oliver-Pharr force range": "op_range",
    "Doerner-Nix force range": "dn_range",
    "zero-point fit range": "zero_point",
    "force accuracy": "force_accuracy",
    "frame compliance": "compliance",
    "sample Poisson ratio": "poisson",
    "indenter modulus": "indenter_modulus",
    "indenter Poisson ratio": "indenter_poisson",
    "projected-area function": "ap",
    "surface-area function": "as_",
}
_KNOWN = None


class SettingsError(ValueError):
    """A setting the cli would refuse; ``field`` is the keyword argument at fault (or None)."""

    def __init__(self, message, field=None):
        super().__init__(message)
        self.field = field


def _option(keyword):
    # as_ because `as` is a Python keyword.
    return keyword.rstrip("_").replace("_", "-")


def _keyword(option):
    name = option.lstrip("-").replace("-", "_")
    return name + "_" if name == "as" else name


def _text(value):
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, int):
        return str(value)
    if isinstance(value, float) or hasattr(value, "dtype"):
        # The shortest text of the double, as a user would type it on the command line.
        return repr(float(value))
    if isinstance(value, os.PathLike):
        return os.fspath(value)
    return str(value)


def _arguments(keywords):
    global _KNOWN
    if _KNOWN is None:
        _KNOWN = set(_marvek.known_options())
    args = []
    for keyword, value in keywords.items():
        option = _option(keyword)
        if option not in _KNOWN:
            known = ", ".join(sorted(_keyword(o) for o in _KNOWN))
            raise TypeError(f"unknown setting {keyword!r} (known: {known})")
        if value is None:
            continue
        if option in _FLAGS:
            if not isinstance(value, bool):
                raise SettingsError(f"{keyword}: expected True or False, got {value!r}", keyword)
            if value:
                args.append("--" + option)
            continue
        args.append("--" + option)
        if isinstance(value, dict):  # columns={"depth": 1, "load": 2}, units={...}
            args.append(",".join(f"{k}={_text(v)}" for k, v in value.items()))
        elif isinstance(value, (list, tuple)) or (hasattr(value, "ndim") and value.ndim == 1):
            items = [_text(v) for v in value]
            if option in ("op-range", "dn-range", "zero-point"):
                args.extend(items)  # MIN MAX, two values as on the command line
            else:
                args.append(",".join(items))  # coefficients, flag codes
        else:
            args.append(_text(value))
    return args


class Settings:
    """Analysis settings: ``marvek.Settings(poisson=0.3, method="dn")``.

    Keywords are the flags of ``marvek-cli analyze`` with dashes as underscores (``op_range=(10,
    90)``, ``ap=[24.5, 0, ...]``, ``as_=...``, ``params="lab.par"``). Without ``params`` the
    built-in defaults are used, not the window's parameter file. A value the cli refuses raises
    SettingsError (a ValueError) with the cli's message; its ``field`` names the keyword.
    """

    def __init__(self, **keywords):
        self._keywords = dict(keywords)
        self._args = _arguments(self._keywords)
        ok, message, option, setting = _marvek.check_settings(self._args)
        if not ok:
            field = _keyword(option) if option else _SETTING_FIELDS.get(setting)
            if field is None and "params" in self._keywords:
                field = "params"
            prefix = f"{field}: " if field and not message.startswith(option or "\0") else ""
            raise SettingsError(prefix + message, field)

    def replace(self, **keywords):
        """These settings with some keywords changed (None removes one)."""
        merged = dict(self._keywords)
        merged.update(keywords)
        return Settings(**merged)

    @property
    def arguments(self):
        """The equivalent marvek-cli flags (``--defaults`` is implied without ``params``)."""
        return list(self._args)

    def as_dict(self):
        return dict(self._keywords)

    def __eq__(self, other):
        return isinstance(other, Settings) and self._args == other._args

    def __repr__(self):
        inner = ", ".join(f"{k}={v!r}" for k, v in self._keywords.items())
        return f"marvek.Settings({inner})"


def resolve(settings, keywords):
    """The Settings of a call from an optional Settings and keyword arguments."""
    if settings is None:
        return Settings(**keywords)
    if not isinstance(settings, Settings):
        raise TypeError(f"settings must be a marvek.Settings, not {type(settings).__name__}")
    return settings.replace(**keywords) if keywords else settings
