"""grow() and the Shell it returns."""

from __future__ import annotations

import io
import os
import warnings
from collections.abc import Iterator, Mapping
from typing import Any, Literal

import numpy as np
import pandas as pd

from . import _ammonite
from ._columns import rename
from ._paths import file_path
from ._scenario import Scenario, scenario_with

try:
    from ._version import __version__ as _program_version
except ImportError:
    _program_version = "0+unknown"

__all__ = ["SAVE_EXTENSIONS", "Shell", "grow"]

# Summary keys whose values are texts shown in the window, kept as texts.
_SUMMARY_TEXTS = ("orientation_label", "density_label", "pt_ratio_text", "stability_label")
# Summary keys holding a vector X,Y,Z.
_SUMMARY_VECTORS = ("view_vector", "life_view_vector")

_MESH_FORMATS = ("stl", "ply", "obj")
SAVE_EXTENSIONS = (".png", ".svg", ".csv", ".stl", ".ply", ".obj")

# Columns of the per-stage table that the hydrostatic step of a stage writes:
# empty (NaN) in the rows where that step did not run.
_HYDROSTATIC_STEP = (
    "cumulative_length_mm", "volume_mm3", "buoyancy_centre_x_mm", "buoyancy_centre_y_mm", "buoyancy_centre_z_mm",
    "orientation_angle_deg",
    "mean_density_g_cm3", "pt_ratio_percent",
    "air_centre_x_mm", "air_centre_y_mm", "air_centre_z_mm",
    "body_centre_x_mm", "body_centre_y_mm", "body_centre_z_mm",
    "mass_centre_x_mm", "mass_centre_y_mm", "mass_centre_z_mm", "stability_index")
# Columns that need the shell split into phragmocone and body chamber: empty
# while the body chamber is longer than the whole tube.
_CHAMBER_SPLIT = _HYDROSTATIC_STEP[5:]

FilmKind = Literal["growth", "turntable", "both"]
Mesh = dict[str, tuple[np.ndarray, np.ndarray]]


def _number(text: str) -> int | float:
    try:
        return int(text)
    except ValueError:
        return float(text)


def _summary_dict(text: str) -> dict[str, Any]:
    """The batch tool's ``--summary`` as a dict of its own keys."""
    out: dict[str, Any] = {}
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


def read_stage_table(text: str) -> pd.DataFrame:
    """The batch tool's per-stage CSV as it stands: its column names, every
    column float, empty cells NaN."""
    return pd.read_csv(io.StringIO(text), dtype=float, float_precision="round_trip")


def analysis_table(raw: pd.DataFrame) -> pd.DataFrame:
    """The batch tool's per-stage table made ready for analysis: the package's
    column names, indexed by the stage (int), rib marks as integers, and NaN
    where a quantity is undefined (docs/columns.md says where)."""
    table = rename(raw, "tables")
    table["stage"] = table["stage"].astype(np.int64)
    table["rib_mark"] = table["rib_mark"].astype(np.int64)
    table = table.set_index("stage")
    # The hydrostatic step left these rows (stage 0, the stages a rib built
    # past the count asked for, a stage it stopped in): what the table holds
    # there is no result of theirs.
    not_computed = table["mean_density_g_cm3"].isna()
    table.loc[not_computed, list(_HYDROSTATIC_STEP)] = np.nan
    # While the body chamber is longer than the tube, the split extrapolates
    # a phragmocone of negative volume: no density or centre of it means anything.
    no_phragmocone = table["pt_ratio_percent"] < 0
    table.loc[no_phragmocone, list(_CHAMBER_SPLIT)] = np.nan
    return table


def _events_table(columns: Mapping[str, np.ndarray]) -> pd.DataFrame:
    events = pd.DataFrame(dict(columns))
    return events.set_index("stage")


class Shell:
    """A grown shell: the results ``ammonite-batch`` gives for the same
    scenario, as pandas and NumPy objects.

    A Shell is made by :func:`grow` and does not change afterwards. It keeps
    the scenario that grew it, so every result can say what made it.

    What it holds: :attr:`scenario` and :attr:`options` (what made it),
    :attr:`error`, :attr:`table` (one row per stage), :attr:`summary` (the
    final numbers next to the window's texts), :attr:`events` (the
    regulation's decisions), :attr:`log` and :attr:`profiles`; what it makes:
    :meth:`image`, :meth:`mesh`, :meth:`save`, :meth:`film` and
    :meth:`frames`.

    Notes
    -----
    The hydrostatics (volumes, centres, density, orientation) are those of
    the smooth tube, as the model computes them; ribs swell only the drawn
    and exported surface. docs/columns.md describes every column and key.

    A Shell pickles with its scenario and its results (table, summary, events,
    log), so it can be sent between processes or returned by a Dask task. The
    picture, the meshes and the films are made again from the scenario the
    first time an unpickled Shell needs them.

    Examples
    --------
    >>> import ammonite
    >>> shell = ammonite.grow(stages=300)
    >>> shell
    <ammonite.Shell 300 stages (a rib finished to stage 305): orientation 87.05°, density 1.0214 g/cm³, P/T 62.8 %, stability 0.260>
    >>> shell.table.loc[300, "mean_density_g_cm3"] == shell.summary["mean_density_g_cm3"]
    True
    >>> shell.events.loc[204:206, ["event", "rib_mark", "gamma"]]
           event  rib_mark  gamma
    stage
    204        6         5    3.5
    205        6         4    3.5
    206        6         3    3.5
    >>> shell.error is None
    True
    """

    __slots__ = ("_result", "_scenario", "_error", "_table", "_summary", "_events", "_log", "_version")

    def __init__(self, result: Any, scenario: Scenario) -> None:
        """Made by :func:`grow` from the engine's result and the scenario
        grown; not to be called directly."""
        object.__setattr__(self, "_result", result)
        object.__setattr__(self, "_scenario", scenario)
        object.__setattr__(self, "_error", result.runtime_error or None)
        object.__setattr__(self, "_version", _program_version)
        for name in ("_table", "_summary", "_events", "_log"):
            object.__setattr__(self, name, None)

    def __setattr__(self, name: str, value: Any) -> None:
        raise AttributeError(f"a Shell does not change after it is grown (cannot set {name!r}); "
                             "grow another with ammonite.grow(shell.scenario, ...)")

    def __delattr__(self, name: str) -> None:
        raise AttributeError(f"a Shell does not change after it is grown (cannot delete {name!r})")

    def _keep(self, name: str, value: Any) -> Any:
        object.__setattr__(self, name, value)
        return value

    def _engine(self) -> Any:
        """The grown engine state; an unpickled Shell grows its scenario again
        and checks that it gives the same results."""
        if self._result is None:
            result = _ammonite.grow_scenario(dict(self._scenario))
            again = rename(_summary_dict(result.summary_text()), "summary")
            kept = {k: v for k, v in self.summary.items() if k in again}
            if again != kept:
                raise RuntimeError(f"this shell was grown by ammonite {self._version}; ammonite "
                                   f"{_program_version} grows its scenario differently, so its picture and "
                                   "meshes cannot be made here")
            object.__setattr__(self, "_result", result)
        return self._result

    # ---- what made it ----

    @property
    def scenario(self) -> Scenario:
        """Scenario: the full scenario grown, defaults included."""
        return self._scenario

    @property
    def options(self) -> dict[str, Any]:
        """dict: every value of the scenario grown, defaults included (a new
        dict at every access; changing it changes nothing)."""
        return dict(self._scenario)

    @property
    def error(self) -> str | None:
        """str or None: the message of the runtime error that stopped the
        model, or None when every action ran to its end."""
        return self._error

    # ---- results ----

    @property
    def table(self) -> pd.DataFrame:
        """pandas.DataFrame: one row per stage from 0 to the last stage built.

        Indexed by ``stage`` (int); ``rib_mark`` is an integer column, the
        others float64. The values are those of ``ammonite-batch --tables``,
        under the package's names (see ``ammonite._columns`` and
        docs/columns.md), with NaN where a quantity is undefined: the
        hydrostatic columns of stage 0 and of the stages a rib built past the
        count asked for, and the density, P/T ratio, orientation, chamber and
        mass centres and stability of the first stages, while the body
        chamber is still longer than the whole tube. A new copy at every access.
        """
        if self._table is None:
            self._keep("_table", analysis_table(read_stage_table(self._engine().tables_csv())))
        return self._table.copy()

    @property
    def summary(self) -> dict[str, Any]:
        """dict: the run's final results as numbers, next to the window's texts.

        The keys of ``ammonite-batch --summary`` under the package's names
        (numbers as int or float, the label texts as str, the view vectors
        as 3-tuples), then the final orientation, density and P/T ratio as
        numbers (``orientation_angle_deg``, ``mean_density_g_cm3``,
        ``pt_ratio_percent``; NaN when the run stopped on an error), the rib
        count ``ribs``, the stage counts ``built_stage`` and
        ``hydrostatic_stage``, and the chamber volumes (``*_volume_mm3``) and
        masses (``*_mass_g``, at one millimetre per model unit). A sweep row
        has the same names for the same values. A new dict at every access.
        """
        if self._summary is None:
            summary = rename(_summary_dict(self._engine().summary_text()), "summary")
            summary.update(self._engine().numbers())
            self._keep("_summary", summary)
        return dict(self._summary)

    @property
    def events(self) -> pd.DataFrame:
        """pandas.DataFrame: what the regulation decided at every regulated stage.

        Indexed by ``stage`` (from 201 on). ``event`` is the code the log
        writes (1 a step of the rib clock's length that starts a rib, 2 a
        step of the fatigue clock's length that starts a rib, 3 a step of the
        schedule clock, 4 and 5 the fatigue or schedule step while a rib
        waits, 6 a stage of a rib being laid); ``rib_mark`` 5 to 1 through a
        rib, 0 elsewhere; ``gamma`` the γ the orientation chose; ``step`` the
        aperture's advance in radii (0 on a rib stage); ``fatigue_clock``,
        ``schedule_clock``, ``rib_clock`` the clocks the event was chosen on;
        ``fatigue_threshold``; ``pending_ribs`` after the event; and
        ``previous_orientation_angle_deg``, the orientation of the stage
        before, which chose γ. Taken from the engine's own values, not from
        the log's text. Empty for a run of 200 stages or fewer.
        """
        if self._events is None:
            self._keep("_events", _events_table(self._engine().events()))
        return self._events.copy()

    @property
    def log(self) -> list[str]:
        """list of str: the regulation log lines, as ``ammonite-batch --log``
        writes them."""
        if self._log is None:
            self._keep("_log", list(self._engine().log_lines()))
        return list(self._log)

    @property
    def profiles(self) -> dict[str, Any]:
        """dict: the model's profiles, α and stage range after the runs (the
        dict :func:`read_profiles` returns)."""
        return _ammonite.parse_profiles(self._engine().profile_file_bytes())

    def __repr__(self) -> str:
        s = self.summary
        asked = self._scenario["stages"]
        if self._error:
            return f"<ammonite.Shell stopped after {s['built_stage']} of {asked} stages: {self._error}>"
        if s["hydrostatic_stage"] == 0:
            return f"<ammonite.Shell with no stage grown (runs={self._scenario['runs']})>"
        built = f" (a rib finished to stage {s['built_stage']})" if s["built_stage"] > s["hydrostatic_stage"] else ""
        return (f"<ammonite.Shell {s['hydrostatic_stage']} stages{built}: "
                f"orientation {s['orientation_angle_deg']:.2f}°, density {s['mean_density_g_cm3']:.4f} g/cm³, "
                f"P/T {s['pt_ratio_percent']:.1f} %, stability {s['stability_index']:.3f}>")

    # ---- pickling: the scenario and the results, not the engine ----

    def __getstate__(self) -> dict[str, Any]:
        return {"version": self._version, "scenario": self._scenario, "error": self._error,
                "table": self._table if self._table is not None else self.table,
                "summary": self.summary, "events": self.events, "log": self.log}

    def __setstate__(self, state: dict[str, Any]) -> None:
        object.__setattr__(self, "_result", None)
        object.__setattr__(self, "_version", state["version"])
        object.__setattr__(self, "_scenario", state["scenario"])
        object.__setattr__(self, "_error", state["error"])
        for name in ("table", "summary", "events", "log"):
            object.__setattr__(self, "_" + name, state[name])

    # ---- pictures, meshes, files, films ----

    def image(self) -> np.ndarray:
        """The main window's picture.

        Returns
        -------
        numpy.ndarray
            uint8 array of shape (760, 1000, 3): the pixels ``--png`` writes.
        """
        return self._engine().picture()

    def _repr_png_(self) -> bytes:
        # Notebooks show the shell as its picture.
        return self._engine().picture_png()

    def mesh(self, mm_per_unit: float = 1.0, ring_points: int = 360, *, ribbing: bool | None = None,
             scale: float | None = None) -> Mesh:
        """The closed objects ``ammonite-batch --stl`` writes.

        The hydrostatics (volumes, centres, density) are those of the smooth
        tube, as the model computes them; with ribbing on, the swollen ribs
        narrow the tube between them, so the enclosed volume of a ribbed mesh
        is smaller than the run's. ``ribbing=False`` gives the smooth mesh
        that matches the hydrostatics.

        Parameters
        ----------
        mm_per_unit : float, default 1.0
            Millimetres per model unit, in (0, 1e6] (the batch tool's
            ``--mesh-scale``). The drawing scale of the picture is grow()'s
            ``scale``, which does not change the meshes.
        ring_points : int, default 360
            Points per ring, a divisor of 360 from 3 up.
        ribbing : bool or None, default None
            Swell the ribs (True) or not (False); None as the shell was grown.
        scale : float, optional
            Deprecated name of `mm_per_unit`.

        Returns
        -------
        dict
            ``{"phragmocone": (vertices, faces), "body_chamber": (vertices,
            faces)}``: vertices float64 (N, 3) in millimetres, faces int64
            (M, 3), counter-clockwise seen from outside.

        Raises
        ------
        ValueError
            For a bad `mm_per_unit` or `ring_points`, or a shell whose run
            stopped before its end.

        Examples
        --------
        >>> import ammonite
        >>> shell = ammonite.grow(stages=300, ribbing=True)
        >>> vertices, faces = shell.mesh(ring_points=36, ribbing=False)["body_chamber"]
        >>> vertices.shape[1], faces.dtype
        (3, dtype('int64'))
        """
        mm_per_unit = _renamed_keyword("mesh", "scale", scale, mm_per_unit)
        return self._engine().mesh(mm_per_unit, ring_points, _ribbing(ribbing))

    def save(self, path: str | os.PathLike[str], *, mm_per_unit: float = 1.0, ring_points: int = 360,
             ribbing: bool | None = None, mesh_scale: float | None = None) -> list[str]:
        """Writes the file the extension names, through the program's safe writer.

        Parameters
        ----------
        path : str or os.PathLike
            ``.png`` or ``.svg`` (the picture), ``.csv`` (the stage tables,
            with the batch tool's columns), ``.stl``, ``.ply`` or ``.obj``
            (the meshes and their volumes sidecar, named as
            ``ammonite-batch`` names them).
        mm_per_unit : float, default 1.0
            Millimetres per model unit of the meshes.
        ring_points : int, default 360
            Points per ring of the meshes, a divisor of 360 from 3 up.
        ribbing : bool or None, default None
            Ribs on the meshes or not; None as the shell was grown.
        mesh_scale : float, optional
            Deprecated name of `mm_per_unit`.

        Returns
        -------
        list of str
            The paths written.

        Raises
        ------
        WriteError
            (an OSError) when a file cannot be written; the old file stays.
        ValueError
            For an unknown extension, bad mesh options, or a mesh of a run
            that did not finish.

        Examples
        --------
        >>> import os, tempfile, ammonite
        >>> folder = tempfile.mkdtemp()
        >>> shell = ammonite.grow(stages=300)
        >>> [os.path.basename(p) for p in shell.save(os.path.join(folder, "shell.obj"), ring_points=36)]
        ['shell.obj', 'shell_volumes.txt']
        """
        mm_per_unit = _renamed_keyword("save", "mesh_scale", mesh_scale, mm_per_unit)
        path = file_path(path)
        extension = os.path.splitext(path)[1].lower()
        if extension == ".png":
            self._engine().save_png(path)
        elif extension == ".svg":
            self._engine().save_svg(path)
        elif extension == ".csv":
            self._engine().save_tables(path)
        elif extension[1:] in _MESH_FORMATS:
            return list(self._engine().save_mesh(extension[1:], path, mm_per_unit, ring_points, _ribbing(ribbing)))
        else:
            raise ValueError(f"cannot save {path!r}: the extension must be one of {', '.join(SAVE_EXTENSIONS)}")
        return [path]

    def film(self, path: str | os.PathLike[str], kind: FilmKind = "growth", size: tuple[int, int] = (1280, 720),
             fps: int = 30, seconds: float = 10) -> list[str]:
        """Records a film of the shell.

        Parameters
        ----------
        path : str or os.PathLike
            A path ending in .mp4, .webm or .gif is encoded by the ffmpeg
            program; any other path is a folder of numbered PNG frames.
        kind : {"growth", "turntable", "both"}
            "growth": stage 1 to the last, each in its life orientation, the
            water line level, the stage's numbers as a caption; "turntable":
            one turn about the vertical at the last stage; "both".
        size : (int, int)
            Width and height in pixels.
        fps : int
            Frames per second.
        seconds : float
            Length of the film.

        Returns
        -------
        list of str
            The paths written, through the program's safe writer.

        Raises
        ------
        ValueError
            For bad settings.
        RuntimeError
            When a video is asked for and ffmpeg is missing (the message names it).
        WriteError
            (an OSError) when a file cannot be written.
        """
        path = os.fspath(path)
        width, height, fps, seconds = _film_settings(kind, size, fps, seconds)
        video = os.path.splitext(path)[1].lower() in (".mp4", ".webm", ".gif")
        inputs = f"Python Shell.film({path!r}, kind={kind!r}, size=({width}, {height}), fps={fps}, seconds={seconds!r})"
        return list(self._engine().film(path if video else None, None if video else path, kind, width, height, fps,
                                        seconds, inputs, self._scenario.toml()))

    def frames(self, kind: FilmKind = "growth", size: tuple[int, int] = (1280, 720), fps: int = 30,
               seconds: float = 10) -> Iterator[np.ndarray]:
        """The frames :meth:`film` records, one by one.

        Parameters
        ----------
        kind, size, fps, seconds
            As for :meth:`film`.

        Yields
        ------
        numpy.ndarray
            uint8 arrays of shape (height, width, 3), drawn on all cores a
            few at a time.

        Raises
        ------
        ValueError
            For bad settings.
        """
        width, height, fps, seconds = _film_settings(kind, size, fps, seconds)
        first, chunk = 0, 16
        engine = self._engine()
        while True:
            total, frames = engine.film_frames(kind, width, height, fps, seconds, first, chunk)
            yield from frames
            first += len(frames)
            if not frames or first >= total:
                return


def _renamed_keyword(function: str, old: str, old_value: float | None, value: float) -> float:
    """The millimetres per unit given under the new name or, with a warning,
    the old one."""
    if old_value is None:
        return value
    warnings.warn(f"Shell.{function}({old}=...) is deprecated: use mm_per_unit=", DeprecationWarning, stacklevel=3)
    if value != 1.0:
        raise TypeError(f"Shell.{function}() got both mm_per_unit and its old name {old}")
    return old_value


def _ribbing(value: bool | None) -> bool | None:
    if value is None or isinstance(value, (bool, np.bool_)):
        return None if value is None else bool(value)
    raise TypeError(f"ribbing must be True, False or None, not {value!r}")


def _film_settings(kind: str, size: tuple[int, int], fps: int, seconds: float) -> tuple[int, int, int, float]:
    if kind not in ("growth", "turntable", "both"):
        raise ValueError(f"kind must be 'growth', 'turntable' or 'both', not {kind!r}")
    try:
        width, height = (int(v) for v in size)
    except (TypeError, ValueError):
        raise ValueError(f"size must be (width, height) in pixels, not {size!r}") from None
    if isinstance(fps, bool) or int(fps) != fps:
        raise ValueError(f"fps must be a whole number, not {fps!r}")
    return width, height, int(fps), float(seconds)


def grow(scenario: Scenario | Mapping[str, Any] | str | os.PathLike[str] | None = None, **changes: Any) -> Shell:
    """Grows a shell from a fresh start, as ``ammonite-batch --scenario`` does.

    Parameters
    ----------
    scenario : Scenario, dict, path or None
        An :class:`ammonite.Scenario`, a dict of its keys, the path of a
        scenario file (or of a PNG, SVG or mesh sidecar that carries one),
        or None for the defaults.
    **changes
        Changes to it: any scenario key (stages, scale, view, light, origin,
        density_air, density_body, ribbing, orientation, st1, st2, ft1, ft2,
        alpha, final_stage, gamma, C, T, beta, runs, shade), so
        ``grow(**row_scenario)`` reproduces a sweep row; and
        ``densities=(air, body)``, ``thresholds=(st1, st2, ft1, ft2)`` and
        ``profiles=``: a profile set (a dict as :func:`read_profiles`
        returns), which sets α, the final stage and the profiles but never the
        stage count, or the path of a profile data file, read as D-Load reads
        it, which also makes its final stage the stage count (unless
        `stages` is given). ``scale`` is the picture's drawing scale; the
        meshes' size is :meth:`Shell.mesh`'s `mm_per_unit`.

    Returns
    -------
    Shell
        The grown shell; ``Shell.scenario`` is the full scenario grown.

    Raises
    ------
    ValueError
        For a bad input (naming the input, the value and what is allowed),
        checked before anything runs, or a bad profile data file.
    TypeError
        For an unknown input or a value of no scenario type.

    Warns
    -----
    RuntimeWarning
        When a runtime error of the model stopped the actions, as in the
        window: the Shell keeps what was reached and the message in
        ``Shell.error``.

    Examples
    --------
    >>> import ammonite
    >>> shell = ammonite.grow(stages=300, density_body=1.2)
    >>> shell.summary["hydrostatic_stage"], shell.summary["density_label"]
    (300, '0.961')
    >>> round(shell.summary["mean_density_g_cm3"], 6)
    0.961219
    >>> ammonite.grow(shell.scenario).summary == shell.summary
    True
    """
    effective = scenario_with(scenario, changes)
    result = _ammonite.grow_scenario(dict(effective))
    shell = Shell(result, effective)
    if shell.error:
        warnings.warn(f"the model stopped: {shell.error}", RuntimeWarning, stacklevel=2)
    return shell
