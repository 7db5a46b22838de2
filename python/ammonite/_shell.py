"""grow() and the Shell it returns."""

import io
import os
import warnings

import numpy as np
import pandas as pd

from . import _ammonite
from ._scenario import scenario_with

# Summary keys whose values are texts shown in the window, kept as texts.
_SUMMARY_TEXTS = ("orientation_label", "density_label", "pt_ratio_text", "stability_label")
# Summary keys holding a vector X,Y,Z.
_SUMMARY_VECTORS = ("view_vector", "life_view_vector")

_MESH_FORMATS = ("stl", "ply", "obj")
SAVE_EXTENSIONS = (".png", ".svg", ".csv", ".stl", ".ply", ".obj")


def _number(text):
    try:
        return int(text)
    except ValueError:
        return float(text)


def _summary_dict(text):
    out = {}
    for line in text.splitlines():
        key, _, value = line.partition("=")
        if key in _SUMMARY_TEXTS:
            out[key] = value
        elif key in _SUMMARY_VECTORS:
            out[key] = tuple(float(v) for v in value.split(","))
        else:
            try:
                out[key] = _number(value)
            except ValueError:
                out[key] = value
    return out


def read_stage_table(text):
    """The per-stage CSV as a DataFrame: every column float, empty cells NaN."""
    return pd.read_csv(io.StringIO(text), dtype=float, float_precision="round_trip")


class Shell:
    """A grown shell: what ``ammonite-batch`` writes after the same options."""

    def __init__(self, result, scenario):
        self._result = result
        # The full scenario grown (ammonite.Scenario), defaults included.
        self.scenario = scenario
        self.options = dict(scenario)
        # The message of the runtime error that stopped the model, or None.
        self.error = result.runtime_error or None
        self._table = None
        self._summary = None

    def __repr__(self):
        s = self.summary
        state = f"stopped: {self.error}" if self.error else f"{s['shown_stage']} stages"
        return f"<ammonite.Shell {state}, density {s['density_label']}, stability {s['stability_label']}>"

    @property
    def table(self):
        """pandas.DataFrame, one row per stage: the columns and values of
        ``ammonite-batch --tables`` (numbers as floats, empty cells NaN)."""
        if self._table is None:
            self._table = read_stage_table(self._result.tables_csv())
        return self._table.copy()

    @property
    def summary(self):
        """dict of the keys of ``ammonite-batch --summary``: numbers as int or
        float, the window's texts as str, the view vectors as 3-tuples."""
        if self._summary is None:
            self._summary = _summary_dict(self._result.summary_text())
        return dict(self._summary)

    @property
    def log(self):
        """The regulation log lines, as ``--log`` writes them."""
        return list(self._result.log_lines())

    @property
    def profiles(self):
        """The model's profiles, α and stage range after the runs (the dict
        read_profiles() returns)."""
        return _ammonite.parse_profiles(self._result.profile_file_bytes())

    def image(self):
        """The main window's picture: uint8 array of shape (760, 1000, 3),
        the pixels ``--png`` writes."""
        return self._result.picture()

    def _repr_png_(self):
        # Notebooks show the shell as its picture.
        return self._result.picture_png()

    def mesh(self, scale=1.0, ring_points=360):
        """The closed objects ``--stl`` writes: {"phragmocone": (vertices,
        faces), "body_chamber": (vertices, faces)}, vertices float64 (N, 3) in
        millimetres, faces int64 (M, 3) counter-clockwise seen from outside.
        `scale` is millimetres per model unit, `ring_points` a divisor of 360."""
        scale, ring_points = _mesh_options(scale, ring_points)
        return self._result.mesh(scale, ring_points)

    def save(self, path, *, mesh_scale=1.0, ring_points=360):
        """Writes the file the extension names, through the program's safe
        writer: .png or .svg (the picture), .csv (the stage tables), .stl, .ply
        or .obj (the meshes, with their volumes sidecar, as ``ammonite-batch``
        names them). Returns the paths written. WriteError (an OSError) when a
        file cannot be written; ValueError for an unknown extension or a mesh
        of a run that did not finish."""
        path = os.fspath(path)
        extension = os.path.splitext(path)[1].lower()
        if extension == ".png":
            self._result.save_png(path)
        elif extension == ".svg":
            self._result.save_svg(path)
        elif extension == ".csv":
            self._result.save_tables(path)
        elif extension[1:] in _MESH_FORMATS:
            scale, ring_points = _mesh_options(mesh_scale, ring_points)
            return list(self._result.save_mesh(extension[1:], path, scale, ring_points))
        else:
            raise ValueError(f"cannot save {path!r}: the extension must be one of {', '.join(SAVE_EXTENSIONS)}")
        return [path]


def _mesh_options(scale, ring_points):
    if isinstance(scale, bool) or not isinstance(scale, (int, float, np.number)) or not 0 < scale <= 1e6:
        raise ValueError(f"mesh scale must be a number of millimetres per unit in (0, 1e6], not {scale!r}")
    if isinstance(ring_points, bool) or not isinstance(ring_points, (int, np.integer)) \
            or not 3 <= ring_points <= 360 or 360 % ring_points:
        raise ValueError(f"ring_points must be a divisor of 360 from 3 up, not {ring_points!r}")
    return float(scale), int(ring_points)


def grow(scenario=None, **changes):
    """Grows a shell from a fresh start, as ``ammonite-batch --scenario`` does.

    `scenario` is an ammonite.Scenario, a dict of its keys, the path of a
    scenario file (or of a PNG, SVG or mesh sidecar that carries one), or None
    for the defaults. `changes` change it: any scenario key (stages, scale,
    view, light, origin, density_air, density_body, ribbing, orientation,
    st1, st2, ft1, ft2, alpha, final_stage, gamma, C, T, beta, runs, shade),
    so ``grow(**row_scenario)`` reproduces a sweep row; and
    densities=(air, body), thresholds=(st1, st2, ft1, ft2) and profiles=.

    profiles= is a profile set (a dict as read_profiles() returns), which sets
    α, the final stage and the profiles but never the stage count; or the path
    of a profile data file, read as D-Load reads it, which also makes its
    final stage the stage count (unless `stages` is given).

    Every input is checked before anything runs (see ammonite.Scenario); a
    runtime error of the model stops the actions, as in the window: the Shell
    keeps what was reached and its message in Shell.error (and a
    RuntimeWarning says so). Shell.scenario is the full scenario grown."""
    effective = scenario_with(scenario, changes)
    result = _ammonite.grow_scenario(dict(effective))
    shell = Shell(result, effective)
    if shell.error:
        warnings.warn(f"the model stopped: {shell.error}", RuntimeWarning, stacklevel=2)
    return shell
