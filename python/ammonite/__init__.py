"""The ammonite growth engine in Python.

Grow a shell as ``ammonite-batch`` would and take its results as pandas and
NumPy objects, and run morphospace sweeps on local threads or a Dask cluster::

    import ammonite
    shell = ammonite.grow(densities=(0.001, 1.2))
    shell.table          # pandas.DataFrame, one row per stage
    shell.summary        # dict
    shell.image()        # numpy uint8 array (760, 1000, 3)
    grid = ammonite.sweep({"alpha": [1.004, 1.006], "density_body": "1.0:1.5:6"})
    f = ammonite.fit("specimen.csv")   # growth profiles fitted to a specimen
"""

try:
    from ._version import __version__
except ImportError:
    __version__ = "0+unknown"

from ._ammonite import WriteError
from ._fit import Fit, fit
from ._options import SWEEP_NAMES
from ._profiles import default_profiles, read_profiles, write_profiles
from ._shell import Shell, grow
from ._sweep import ClusterError, axis_values, sweep

__all__ = [
    "ClusterError",
    "Fit",
    "Shell",
    "SWEEP_NAMES",
    "WriteError",
    "axis_values",
    "default_profiles",
    "fit",
    "grow",
    "read_profiles",
    "sweep",
    "write_profiles",
]
