"""The examples of docs/python.md run as written, on the checkout's small data set."""

import os
import re
import subprocess
import sys

import pytest

from conftest import SOURCE


def python_blocks():
    text = (SOURCE / "docs" / "python.md").read_text(encoding="utf-8")
    return re.findall(r"```python\n(.*?)```", text, re.S)


@pytest.mark.parametrize("index", range(2))
def test_docs_example_runs(index, tmp_path):
    script = tmp_path / "example.py"
    script.write_text(python_blocks()[index], encoding="utf-8")
    (tmp_path / "tests").symlink_to(SOURCE / "tests")
    env = dict(os.environ, MPLBACKEND="Agg", PYTHONPATH=os.pathsep.join(sys.path))
    done = subprocess.run([sys.executable, str(script)], cwd=tmp_path, env=env,
                          capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    if index == 0:
        assert (tmp_path / "tungsten.png").stat().st_size > 10000
        assert "EIT in GPa" in done.stdout
    else:
        assert re.search(r"^\d+ tests, 0 without a result", done.stdout, re.M), done.stdout
