"""The names of the results in Python and in the batch tool's files.

``ammonite-batch`` keeps the column names its files have always had (files
and scripts rely on them). The Python package names every quantity once, with
its unit in the name, and uses that name in the per-stage table, the summary
and the sweep rows alike. This module holds the mapping both ways:

* ``TABLE_COLUMNS``: ``--tables`` header -> ``Shell.table`` column
  (``stage`` becomes the table's index),
* ``SUMMARY_KEYS``: ``--summary`` key -> ``Shell.summary`` key,
* ``SWEEP_COLUMNS``: ``--sweep-out`` result column -> sweep row column (the
  axis columns keep the input's name, as in the batch tool).

Lengths are in the model's unit, which the program reads as one millimetre
(``_mm``; a mesh at ``mm_per_unit=1`` has the same size), volumes in cubic
millimetres (``_mm3``), angles in degrees (``_deg``), densities in g/cm³
(``_g_cm3``), masses in grams (``_g``) and ratios in per cent (``_percent``).
Names without a unit are pure numbers, counts, or lengths in aperture radii
(``beta``, ``step``).

>>> rename({"orientation_angle": -37.66, "volume": 30069.3168}, "tables")
{'orientation_angle_deg': -37.66, 'volume_mm3': 30069.3168}
>>> to_batch({"orientation_angle_deg": -37.66}, "tables")
{'orientation_angle': -37.66}
>>> python_name("orientation_shift_x", "summary")
'orientation_shift_x_mm'
"""

from __future__ import annotations

from collections.abc import Mapping
from typing import Literal, TypeVar, overload

import pandas as pd

__all__ = [
    "INTEGER_NAMES",
    "KINDS",
    "SUMMARY_KEYS",
    "SWEEP_COLUMNS",
    "TABLE_COLUMNS",
    "Kind",
    "batch_name",
    "python_name",
    "rename",
    "to_batch",
]

Kind = Literal["tables", "summary", "sweep"]
KINDS: tuple[str, ...] = ("tables", "summary", "sweep")

# ``ammonite-batch --tables``, in the order of its header.
TABLE_COLUMNS: dict[str, str] = {
    "stage": "stage",
    "radius": "radius_mm",
    "centre_x": "centre_x_mm",
    "centre_y": "centre_y_mm",
    "centre_z": "centre_z_mm",
    "rim_x": "rim_x_mm",
    "rim_y": "rim_y_mm",
    "rim_z": "rim_z_mm",
    "gamma": "gamma",
    "curvature": "curvature",
    "torsion": "torsion",
    "beta": "beta",
    "step": "step",
    "rib_mark": "rib_mark",
    "cumulative_length": "cumulative_length_mm",
    "volume": "volume_mm3",
    "buoyancy_x": "buoyancy_centre_x_mm",
    "buoyancy_y": "buoyancy_centre_y_mm",
    "buoyancy_z": "buoyancy_centre_z_mm",
    "view_x": "view_x_mm",
    "view_y": "view_y_mm",
    "view_depth": "view_depth_mm",
    "orientation_angle": "orientation_angle_deg",
    "mean_density_g_cm3": "mean_density_g_cm3",
    "pt_ratio_percent": "pt_ratio_percent",
    "air_centre_x_mm": "air_centre_x_mm",
    "air_centre_y_mm": "air_centre_y_mm",
    "air_centre_z_mm": "air_centre_z_mm",
    "body_centre_x_mm": "body_centre_x_mm",
    "body_centre_y_mm": "body_centre_y_mm",
    "body_centre_z_mm": "body_centre_z_mm",
    "mass_centre_x_mm": "mass_centre_x_mm",
    "mass_centre_y_mm": "mass_centre_y_mm",
    "mass_centre_z_mm": "mass_centre_z_mm",
    "stability_index": "stability_index",
}

# ``ammonite-batch --summary``, in the order of its lines.
SUMMARY_KEYS: dict[str, str] = {
    "shown_stage": "shown_stage",
    "last_stage": "last_stage",
    "alpha": "alpha",
    "orientation_label": "orientation_label",
    "density_label": "density_label",
    "pt_ratio_text": "pt_ratio_text",
    "tangent_stage": "tangent_stage",
    "view_vector": "view_vector",
    "life_view_vector": "life_view_vector",
    "orientation_sin": "orientation_sin",
    "orientation_cos": "orientation_cos",
    "orientation_shift_x": "orientation_shift_x_mm",
    "orientation_shift_y": "orientation_shift_y_mm",
    "pending_ribs": "pending_ribs",
    "rib_countdown": "rib_countdown",
    "segments": "segments",
    "stability_index": "stability_index",
    "stability_label": "stability_label",
    "generator": "generator",
}

# ``ammonite-batch --sweep-out``: the result columns after the axes.
SWEEP_COLUMNS: dict[str, str] = {
    "shown_stage": "shown_stage",
    "orientation_angle_deg": "orientation_angle_deg",
    "mean_density_g_cm3": "mean_density_g_cm3",
    "pt_ratio_percent": "pt_ratio_percent",
    "stability_index": "stability_index",
    "ribs": "ribs",
    "error": "error",
}

# Python names whose values are whole numbers (stage numbers and counts).
# In a sweep row that stopped on an error they are missing.
INTEGER_NAMES: frozenset[str] = frozenset({
    "stage", "rib_mark", "shown_stage", "last_stage", "built_stage", "hydrostatic_stage", "tangent_stage",
    "pending_ribs", "rib_countdown", "segments", "ribs", "event", "body_start_stage",
})

_BY_KIND: dict[str, dict[str, str]] = {"tables": TABLE_COLUMNS, "summary": SUMMARY_KEYS, "sweep": SWEEP_COLUMNS}
_TO_BATCH: dict[str, dict[str, str]] = {k: {p: b for b, p in m.items()} for k, m in _BY_KIND.items()}

Renamed = TypeVar("Renamed", pd.DataFrame, dict)


def _mapping(kind: str, table: dict[str, dict[str, str]]) -> dict[str, str]:
    try:
        return table[kind]
    except KeyError:
        raise ValueError(f"kind must be one of {', '.join(map(repr, KINDS))}, not {kind!r}") from None


def python_name(batch: str, kind: Kind = "tables") -> str:
    """The Python name of a batch tool's column or summary key.

    Parameters
    ----------
    batch : str
        The name in the batch tool's file.
    kind : {"tables", "summary", "sweep"}
        Which file: ``--tables``, ``--summary`` or ``--sweep-out``.

    Returns
    -------
    str
        The Python name; a name the mapping does not hold (a sweep axis) is
        returned unchanged.

    Raises
    ------
    ValueError
        For an unknown `kind`.

    Examples
    --------
    >>> python_name("radius")
    'radius_mm'
    >>> python_name("alpha", "sweep")
    'alpha'
    """
    return _mapping(kind, _BY_KIND).get(batch, batch)


def batch_name(python: str, kind: Kind = "tables") -> str:
    """The batch tool's name of a Python column or summary key.

    Parameters
    ----------
    python : str
        The Python name.
    kind : {"tables", "summary", "sweep"}
        Which file: ``--tables``, ``--summary`` or ``--sweep-out``.

    Returns
    -------
    str
        The batch tool's name; a name it does not write (a quantity only the
        Python package gives) is returned unchanged.

    Raises
    ------
    ValueError
        For an unknown `kind`.

    Examples
    --------
    >>> batch_name("buoyancy_centre_x_mm")
    'buoyancy_x'
    """
    return _mapping(kind, _TO_BATCH).get(python, python)


@overload
def rename(data: pd.DataFrame, kind: Kind) -> pd.DataFrame: ...
@overload
def rename(data: Mapping[str, object], kind: Kind) -> dict: ...


def rename(data, kind):
    """Renames the columns of a DataFrame, or the keys of a dict, from the
    batch tool's names to the Python names.

    Parameters
    ----------
    data : pandas.DataFrame or Mapping
        A table read from one of the batch tool's files (columns renamed),
        or a dict of its names (keys renamed).
    kind : {"tables", "summary", "sweep"}
        Which file it came from.

    Returns
    -------
    pandas.DataFrame or dict
        A new object; values, index and order are unchanged, and names the
        mapping does not hold (sweep axes) are kept.

    Raises
    ------
    ValueError
        For an unknown `kind`.
    TypeError
        When `data` is neither a DataFrame nor a mapping.

    Examples
    --------
    >>> import pandas as pd
    >>> rename(pd.DataFrame({"alpha": [1.004], "ribs": [12]}), "sweep").columns.tolist()
    ['alpha', 'ribs']
    """
    return _renamed(data, _mapping(kind, _BY_KIND))


@overload
def to_batch(data: pd.DataFrame, kind: Kind) -> pd.DataFrame: ...
@overload
def to_batch(data: Mapping[str, object], kind: Kind) -> dict: ...


def to_batch(data, kind):
    """The inverse of :func:`rename`: Python names back to the batch tool's.

    Parameters
    ----------
    data : pandas.DataFrame or Mapping
        Columns or keys with the Python names.
    kind : {"tables", "summary", "sweep"}
        Which of the batch tool's files to name them after.

    Returns
    -------
    pandas.DataFrame or dict
        A new object with the batch tool's names.

    Raises
    ------
    ValueError
        For an unknown `kind`.
    TypeError
        When `data` is neither a DataFrame nor a mapping.

    Examples
    --------
    >>> to_batch({"radius_mm": 1.0, "stage": 0}, "tables")
    {'radius': 1.0, 'stage': 0}
    """
    return _renamed(data, _mapping(kind, _TO_BATCH))


def _renamed(data, names: dict[str, str]):
    if isinstance(data, pd.DataFrame):
        return data.rename(columns=lambda c: names.get(c, c))
    if isinstance(data, Mapping):
        return {names.get(k, k): v for k, v in data.items()}
    raise TypeError(f"expected a pandas.DataFrame or a dict, not {type(data).__name__}")
