"""The ammonite growth engine in Python.

Grow a shell as ``ammonite-batch`` would and take its results as pandas and
NumPy objects, and run morphospace sweeps on local threads or a Dask cluster::

    import ammonite
    shell = ammonite.grow(density_air=0.001, density_body=1.2)
    shell.scenario       # ammonite.Scenario: everything that made it
    shell.table          # pandas.DataFrame, one row per stage
    shell.summary        # dict
    shell.image()        # numpy uint8 array (760, 1000, 3)
    grid = ammonite.sweep({"alpha": [1.004, 1.006], "density_body": "1.0:1.5:6"})
    f = ammonite.fit("specimen.csv")   # growth profiles fitted to a specimen
    ammonite.grow(ammonite.row_scenario(grid, 3))   # row 3 again
    ammonite.Scenario.load("gallery/hamites.toml").replace(stages=250).save("mine.toml")
"""

try:
    from ._version import __version__
except ImportError:
    __version__ = "0+unknown"

from ._ammonite import WriteError
from ._files import write_file
from ._fit import Fit, fit
from ._profiles import default_profiles, read_profiles, write_profiles
from ._scenario import Scenario, defaults
from ._shell import Shell, grow
from ._ammonite import SEA_WATER_DENSITY
from ._sweep import SWEEP_NAMES, ClusterError, axis_values, row_scenario, sweep

__all__ = [
    "ClusterError",
    "Fit",
    "SEA_WATER_DENSITY",
    "Scenario",
    "Shell",
    "SWEEP_NAMES",
    "WriteError",
    "axis_values",
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
