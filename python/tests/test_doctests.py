"""The Examples of every docstring of the package run as written."""

import doctest
import importlib
import pkgutil

import pytest

import ammonite

# Every module of the package, the compiled engine and the command-line
# sweep included (their docstrings are reference documentation too).
MODULES = ["ammonite"] + sorted(m.name for m in pkgutil.iter_modules(ammonite.__path__, "ammonite."))


@pytest.mark.parametrize("name", MODULES)
def test_the_examples_run(name, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)  # examples that write files write them here
    module = importlib.import_module(name)
    finder = doctest.DocTestFinder(exclude_empty=True)
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS | doctest.NORMALIZE_WHITESPACE)
    report = []
    for test in finder.find(module, name):  # each with its module's names, as testmod runs them
        runner.run(test, out=report.append)
    assert runner.failures == 0, "".join(report)


def test_every_module_is_found():
    assert {"ammonite._shell", "ammonite._columns"} <= set(MODULES)
