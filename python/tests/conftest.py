"""Shared fixtures: the batch tool the package is compared with, and its runs."""

import os
import pathlib
import subprocess
import sys

import pytest

import ammonite

ROOT = pathlib.Path(__file__).resolve().parents[2]
GALLERY = ROOT / "gallery"
# The package folder the tests import, for the processes they start.
PACKAGE_PARENT = str(pathlib.Path(ammonite.__file__).resolve().parents[1])


def _batch_path():
    if os.environ.get("AMMONITE_BATCH"):
        return os.path.abspath(os.environ["AMMONITE_BATCH"])
    return str(pathlib.Path(PACKAGE_PARENT).parent / "ammonite-batch")


@pytest.fixture(scope="session", autouse=True)
def environment():
    # Dask workers and command-line runs are new processes: they find the
    # package and draw without a screen as this one does.
    os.environ["PYTHONPATH"] = os.pathsep.join(p for p in (PACKAGE_PARENT, os.environ.get("PYTHONPATH")) if p)
    os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")


@pytest.fixture(scope="session")
def batch_tool():
    path = _batch_path()
    if not os.access(path, os.X_OK):
        pytest.fail(f"ammonite-batch not found at {path} (set AMMONITE_BATCH)")
    return path


@pytest.fixture
def run_batch(batch_tool, tmp_path):
    """Runs ammonite-batch with `args` in a scratch folder; returns the
    completed process (its standard output as text)."""
    def run(*args, expect=(0,)):
        done = subprocess.run([batch_tool, *map(str, args)], cwd=tmp_path, capture_output=True, text=True,
                              timeout=300)
        assert done.returncode in expect, done.stderr
        return done
    return run


def run_module(*args, cwd=None):
    """python3 -m ammonite.sweep ARGS in a new interpreter."""
    return subprocess.run([sys.executable, "-m", "ammonite.sweep", *map(str, args)], cwd=cwd,
                          capture_output=True, text=True, timeout=300)
