"""Fitting the growth profiles to a measured specimen: ``fit()`` returns a
``Fit`` with the fitted profiles, the shell they grow, the residual of every
measured point, the transform that lays the model over the specimen and the
fitted shell's hydrostatics per stage."""

from __future__ import annotations

import math
import os
from typing import Any

import numpy as np
import pandas as pd
from numpy.typing import ArrayLike

from . import _ammonite
from ._scenario import scenario_with
from ._shell import Shell, grow

_RESIDUAL_COLUMNS = ["row", "x_mm", "y_mm", "z_mm", "fitted_x_mm", "fitted_y_mm", "fitted_z_mm", "stage",
                     "distance_mm", "radius_mm", "fitted_radius_mm"]
_STAGE_COLUMNS = ["stage", "density", "orientation_deg", "stability", "pt_ratio"]


class Fit:
    """The result of ``fit()``.

    ``scenario``: an ammonite.Scenario that grows the fitted shell (profiles,
    alpha, stage count); ``mm_per_unit`` and ``first_stage``: the scale and
    the stage of the first measured point; ``shell``: that shell, grown; ``residuals``:
    a DataFrame, one row per measured point; ``transform``: 4 x 4 array from
    model units to the specimen's millimetres; ``rms_mm``, ``max_mm``;
    ``verdict`` ("good", "rough" or "failed"), ``converged`` and ``message``;
    ``stages``: density, orientation and stability of the fitted shell at
    every stage (the densities are the model's inputs, not measured ones).
    """

    def __init__(self, result: dict[str, Any], densities: tuple[float, float] | None) -> None:
        self._result = result
        self._densities = densities
        self._shell = None
        self.profiles = _ammonite.parse_profiles(result["profile_file"])
        # The scenario grows the fitted shell; the millimetres per model unit
        # and the stage of the first measured point are the fit's own.
        self.scenario = scenario_with(None, {"profiles": self.profiles, "stages": result["stages"],
                                             "densities": tuple(densities) if densities is not None else None,
                                             "mm_per_unit": result["mm_per_unit"],
                                             "first_measured_stage": result["first_stage"]})
        self.residuals = pd.DataFrame(result["residuals"], columns=_RESIDUAL_COLUMNS)
        self.stages = pd.DataFrame(result["stage_rows"], columns=_STAGE_COLUMNS)
        self.transform = np.array(result["transform"], dtype=float).reshape(4, 4)
        for key in ("rms_mm", "max_mm", "radius_rms_mm", "specimen_length_mm", "verdict", "converged",
                    "cancelled", "message", "final_density", "final_orientation", "evaluations", "seconds",
                    "alpha", "mm_per_unit", "first_stage", "planar", "gamma", "beta"):
            setattr(self, key, result[key])
        self.last_stage = result["stages"]

    @property
    def shell(self) -> Shell:
        """The fitted shell, grown as ``grow()`` grows one (once, then kept)."""
        if self._shell is None:
            self._shell = grow(self.scenario)
        return self._shell

    def __repr__(self) -> str:
        return f"<Fit {self.verdict}: RMS {self.rms_mm:.4g} mm, stages {self.first_stage}..{self.last_stage}>"


def _specimen(points, radii):
    """The engine's form of the specimen: a path, or the coordinates row by
    row with their column count, and the radii (NaN where not measured)."""
    if isinstance(points, (str, bytes)) or hasattr(points, "__fspath__"):
        if radii is not None:
            raise ValueError("radii come from the file's radius_mm column when points is a path")
        import os
        return os.fsdecode(points), 0, []
    array = np.asarray(points, dtype=float)
    if array.ndim != 2 or array.shape[1] not in (2, 3):
        raise ValueError(f"points must be an (N, 3) or (N, 2) array, not of shape {array.shape}")
    flat = [float(v) for v in array.ravel()]
    r = []
    if radii is not None:
        r = np.asarray(radii, dtype=float).ravel()
        if len(r) != array.shape[0]:
            raise ValueError(f"there are {len(r)} radii for {array.shape[0]} points")
        r = [float(v) for v in r]
    return flat, int(array.shape[1]), r


def fit(points: str | os.PathLike[str] | ArrayLike, radii: ArrayLike | None = None, *, knots: int = 6,
        beta: float | None = None, budget: float | None = None, client: Any = None, evaluations: int | None = None,
        densities: tuple[float, float] | None = None, missing_share: float | None = None) -> Fit:
    """Fits the growth profiles to a specimen.

    Parameters
    ----------
    points : array_like or path
        An (N, 3) or (N, 2) array of the centre line in millimetres, from
        the oldest preserved part to the aperture (2 columns: a form that
        lies in one plane, fitted without torsion), or the path of a
        specimen CSV file (docs/fitting.md).
    radii : array_like, optional
        Half the whorl height at each point (NaN where not measured).
    knots : int, default 6
        Control points per profile, 4..12.
    beta : float, optional
        The body-chamber length in radii (default: from the file's marks,
        else 12).
    budget : float, optional
        Seconds the search may take.
    client : dask.distributed.Client, optional
        A client over whose workers the starting guesses are spread.
    evaluations : int, optional
        Engine runs the search may take (default 12000).
    densities : (float, float), optional
        Densities of the air chamber and the body chamber, g/cm³, for the
        fitted shell's hydrostatics (default 0.6 and 1.3).
    missing_share : float, optional
        The share of the stages grown before the first measured point, the
        young shell that is missing from the specimen (default 0.2; 0 when
        the specimen is complete from the apex).

    Returns
    -------
    Fit
        A fit that does not converge returns its best result with
        ``converged`` False.

    Raises
    ------
    ValueError
        Naming what is wrong with a refused specimen.
    """
    specimen, columns, r = _specimen(points, radii)
    options = {"knots": int(knots), "beta": beta, "budget": budget, "evaluations": evaluations,
               "densities": tuple(densities) if densities is not None else None,
               "missing_share": missing_share, "threads": None}
    if client is None:
        return Fit(_ammonite.fit(specimen, columns, r, options), densities)
    return Fit(_fit_on_cluster(client, specimen, columns, r, options), densities)


def _fit_start(specimen, columns, radii, options, start, evaluations):
    return _ammonite.fit_start(specimen, columns, radii, options, start, evaluations)


def _fit_refine(specimen, columns, radii, options, best, evaluations):
    return _ammonite.fit_refine(specimen, columns, radii, options, best, evaluations)


def _fit_on_cluster(client, specimen, columns, radii, options):
    """Every starting guess is a task on the cluster; the best few are
    refined there too; the finish runs here. The same budget of engine runs
    is shared out as the local fit shares it."""
    starts = _ammonite.fit_start_count(specimen, columns, radii, options)
    budget = options["evaluations"] or _ammonite.fit_default_evaluations
    per_start = max(1, budget * 4 // 10 // starts)
    futures = client.map(_fit_start, [specimen] * starts, [columns] * starts, [radii] * starts, [options] * starts,
                         range(starts), [per_start] * starts, pure=False)
    results = sorted(client.gather(futures), key=lambda t: t[2])
    used = sum(t[3] for t in results)
    keep = min(len(results), 4)
    left = max(0, budget - used)
    if left > 0:
        futures = client.map(_fit_refine, [specimen] * keep, [columns] * keep, [radii] * keep, [options] * keep,
                             results[:keep], [left // keep] * keep, pure=False)
        refined = list(client.gather(futures))
        used += sum(r[3] - f[3] for r, f in zip(refined, results[:keep]))
        results = sorted(results + refined, key=lambda t: t[2])
    best = results[0]
    return _ammonite.fit_finish(specimen, columns, radii, options,
                                (best[0], best[1], best[2], used, best[4]) + tuple(best[5:]))
