"""The ammonite growth engine in Python.

Grow a shell as ``ammonite-batch`` would and take its results as pandas and
NumPy objects, and run morphospace sweeps on local threads or a Dask cluster::

    import ammonite
    shell = ammonite.grow(density_air=0.001, density_body=1.2)
    shell.scenario       # ammonite.Scenario: everything that made it
    shell.table          # pandas.DataFrame, one row per stage, indexed by stage
    shell.summary        # dict: the final numbers next to the window's texts
    shell.events         # pandas.DataFrame: the regulation's decision per stage
    shell.image()        # numpy uint8 array (760, 1000, 3)
    shell.mesh(ribbing=False)   # the smooth tube the hydrostatics measure
    grid = ammonite.sweep({"alpha": [1.004, 1.006], "density_body": "1.0:1.5:6"})
    f = ammonite.fit("specimen.csv")   # growth profiles fitted to a specimen
    ammonite.grow(ammonite.row_scenario(grid, 3))   # row 3 again
    ammonite.Scenario.load("gallery/hamites.toml").replace(stages=250).save("mine.toml")

Every column and key carries its unit in its name; ``ammonite.columns`` maps
them to the batch tool's names (docs/columns.md describes them all).
"""

try:
    from ._version import __version__
except ImportError:
    __version__ = "0+unknown"

from . import _columns as columns
from ._ammonite import WriteError
from ._files import write_file
from ._fit import Fit, fit
from ._profiles import default_profiles, read_profiles, write_profiles
from ._scenario import Scenario, defaults
from ._shell import Shell, grow
from ._ammonite import SEA_WATER_DENSITY
from ._sweep import SWEEP_NAMES, ClusterError, axis_values, row_scenario, sweep



class _Package(type(columns)):
    """The package module: importing the command-line module ``ammonite.sweep``
    (``python3 -m ammonite.sweep``, a documentation build, a test that imports
    every module) leaves ``ammonite.sweep`` the function."""

    def __setattr__(self, name, value):
        if name == "sweep" and isinstance(value, type(columns)):
            return
        super().__setattr__(name, value)


import sys as _sys  # noqa: E402

_sys.modules[__name__].__class__ = _Package
del _sys

__all__ = [
    "ClusterError",
    "Fit",
    "SEA_WATER_DENSITY",
    "Scenario",
    "Shell",
    "SWEEP_NAMES",
    "WriteError",
    "axis_values",
    "columns",
    "default_profiles",
    "fit",
    "defaults",
    "grow",
    "read_profiles",
    "row_scenario",
    "sweep",
    "write_file",
    "write_profiles",
]
