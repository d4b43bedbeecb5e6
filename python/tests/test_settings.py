"""marvek.Settings: the cli's checks and messages, and the keyword at fault."""

import pytest

import marvek
from conftest import REAL, run_cli

# Keywords, the field the error must name, and the same value as cli flags.
BAD_SETTINGS = [
    ({"poisson": 0.7}, "poisson", ["--poisson", "0.7"]),
    ({"poisson": -1.0}, "poisson", ["--poisson", "-1.0"]),
    ({"epsilon": 0.0}, "epsilon", ["--epsilon", "0.0"]),
    ({"op_range": (90, 10)}, "op_range", ["--op-range", "90", "10"]),
    ({"dn_range": (0, 101)}, "dn_range", ["--dn-range", "0", "101"]),
    ({"zero_point": (5, 5)}, "zero_point", ["--zero-point", "5", "5"]),
    ({"compliance": -0.1}, "compliance", ["--compliance", "-0.1"]),
    ({"indenter_modulus": 0}, "indenter_modulus", ["--indenter-modulus", "0"]),
    ({"indenter_poisson": 0.6}, "indenter_poisson", ["--indenter-poisson", "0.6"]),
    ({"method": "xx"}, "method", ["--method", "xx"]),
    ({"ap": "1,x"}, "ap", ["--ap", "1,x"]),
    ({"poisson": "abc"}, "poisson", ["--poisson", "abc"]),
    ({"columns": {"depth": 0, "load": 2}}, "columns", ["--columns", "depth=0,load=2"]),
    ({"exclude_flagged": "no-such-flag"}, "exclude_flagged", ["--exclude-flagged", "no-such-flag"]),
    ({"params": "/no/such/file.par"}, "params", ["--params", "/no/such/file.par"]),
]


@pytest.mark.parametrize("keywords,field,flags", BAD_SETTINGS)
def test_bad_values_raise_the_clis_message_naming_the_field(keywords, field, flags):
    with pytest.raises(ValueError) as caught:
        marvek.Settings(**keywords)
    assert caught.value.field == field
    assert field in str(caught.value) or field.replace("_", "-") in str(caught.value)
    # The cli stops with status 2 and the same sentence (after its own prefix).
    args = flags if "--params" in flags else ["--defaults", *flags]
    status, _, err = run_cli("analyze", *args, REAL[0])
    assert status == 2
    sentence = str(caught.value).split(": ", 1)[1] if str(caught.value).startswith(field + ": ") \
        else str(caught.value)
    assert sentence.split(": ")[-1] in err


def test_analyze_refuses_bad_settings_before_reading():
    with pytest.raises(ValueError, match="sample Poisson ratio"):
        marvek.analyze("/no/such/file.csv", poisson=0.9)


def test_unknown_keywords_and_non_boolean_flags():
    with pytest.raises(TypeError, match="unknown setting 'poison'"):
        marvek.Settings(poison=0.3)
    with pytest.raises(TypeError):
        marvek.Settings(summary=True)  # a cli output choice, not a setting
    with pytest.raises(ValueError, match="drift"):
        marvek.Settings(drift="yes")


def test_settings_objects_combine_with_keywords():
    base = marvek.Settings(poisson=0.25, method="dn")
    assert base.arguments == ["--poisson", "0.25", "--method", "dn"]
    assert base.replace(method=None).arguments == ["--poisson", "0.25"]
    a = marvek.analyze(REAL[:2], base, drift=True)
    b = marvek.analyze(REAL[:2], poisson=0.25, method="dn", drift=True)
    assert a.EIT.tolist() == b.EIT.tolist()
    assert a.attrs["settings"] == {"poisson": 0.25, "method": "dn", "drift": True}
    with pytest.raises(TypeError):
        marvek.analyze(REAL[0], {"poisson": 0.3})
