"""Morphospace sweeps: a grid of model inputs, one independent model per grid
point, on local threads or as tasks of a Dask cluster, one table row per
point exactly as ``ammonite-batch --sweep-out`` writes it."""

from __future__ import annotations

import io
import math
import os
import sys
import tempfile
import time
from collections.abc import Callable, Mapping
from typing import Any

import numpy as np
import pandas as pd

from . import _ammonite, _cluster, _columns
from ._cluster import ClusterError
from ._paths import file_path
from ._scenario import KEYS, Scenario, scenario_with

try:
    from ._version import __version__ as _program_version
except ImportError:
    _program_version = "0+unknown"


# The names a sweep accepts and the largest grid, from the program's option table.
SWEEP_NAMES = tuple(_ammonite.sweep_names().split(", "))
MAX_POINTS = _ammonite.MAX_SWEEP_POINTS
_JOBS = next(e for e in _ammonite.option_table() if e["name"] == "jobs" and "batch" in e["uses"])["ranges"][0]


def axis_values(given: str) -> list[float]:
    """The values of an axis written ``FROM:TO:STEPS``.

    STEPS evenly spaced values, both ends included, rounded for whole-number
    inputs, exactly as ``ammonite-batch --sweep`` makes them.

    Parameters
    ----------
    given : str
        ``FROM:TO:STEPS``, or ``NAME=FROM:TO:STEPS`` for an input whose values
        are whole numbers (``stages``, ``st1`` ... ``ft2``).

    Returns
    -------
    list of float
        The axis's values, in order.

    Raises
    ------
    ValueError
        For a text that is not an axis, naming what is wrong.

    Examples
    --------
    >>> import ammonite
    >>> ammonite.axis_values("1:2:3")
    [1.0, 1.5, 2.0]
    >>> ammonite.axis_values("st1=100:200:3")
    [100.0, 150.0, 200.0]
    """
    text = given if "=" in given else "alpha=" + given
    return _ammonite.parse_axis(text).values()


def _axes(axes):
    """The engine's axes and each one's checked values."""
    if not isinstance(axes, Mapping) or not axes:
        raise ValueError("axes must map at least one sweep name to its values, e.g. {'alpha': [1.004, 1.006]}")
    engine_axes, values = [], []
    for name, given in axes.items():
        if not isinstance(name, str):
            raise TypeError(f"a sweep name must be a text, not {name!r}")
        axis = _ammonite.axis_named(name)
        if isinstance(given, str):
            try:
                parsed = _ammonite.parse_axis(f"{name}={given}")
            except ValueError as e:
                raise ValueError(f"{name}: {e}") from None
            grid = parsed.values()
        else:
            try:
                grid = list(given)
            except TypeError:
                raise TypeError(f"{name}: give a sequence of values or FROM:TO:STEPS, not {given!r}") from None
            if not grid:
                raise ValueError(f"{name}: no values to sweep")
            checked = []
            for v in grid:
                try:
                    f = float(v)
                except (TypeError, ValueError):
                    raise ValueError(f"{name}: {v!r} is not a number") from None
                if isinstance(v, bool) or not math.isfinite(f):
                    raise ValueError(f"{name}: {v!r} is not a finite number")
                checked.append(_ammonite.check_value(axis, f))
            grid = checked
        engine_axes.append(axis)
        values.append(grid)
    return engine_axes, values


class ProgressBar:
    """A progress bar on standard error, redrawn at most ten times a second."""

    def __init__(self, total, stream=None, width=30):
        self.total, self.stream, self.width = total, stream or sys.stderr, width
        self.start = time.monotonic()
        self.shown, self.shown_done = -1.0, -1

    def __call__(self, done, total=None):
        now = time.monotonic()
        if done == self.shown_done or (done < self.total and now - self.shown < 0.1):
            return
        self.shown, self.shown_done = now, done
        filled = int(self.width * done / self.total) if self.total else self.width
        bar = "#" * filled + "-" * (self.width - filled)
        self.stream.write(f"\rsweep: [{bar}] {done}/{self.total} points, {now - self.start:.1f} s")
        self.stream.flush()

    def close(self):
        self.stream.write("\n")
        self.stream.flush()


def _progress_for(progress, total):
    if progress is True:
        return ProgressBar(total)
    if callable(progress):
        return progress
    if progress in (False, None):
        return None
    raise TypeError("progress must be True, False or a function progress(done, total)")


def _chunk_size(chunk, total, threads):
    if chunk is not None:
        if isinstance(chunk, bool) or not isinstance(chunk, int) or chunk < 1:
            raise ValueError(f"chunk must be a whole number of points from 1 up, not {chunk!r}")
        return chunk
    # About eight tasks per worker thread: few enough that the scheduler's
    # overhead stays small, enough that the threads finish together.
    return max(1, min(2000, math.ceil(total / (8 * max(1, threads)))))


# The result columns of a sweep, after the swept values: (table name, unit,
# meaning), as ``ammonite-batch --sweep-out`` names them.
RESULT_COLUMNS = (
    ("shown_stage", "stage", "the last stage the run reached"),
    ("orientation_angle_deg", "degrees", "life orientation angle of the aperture at the last stage"),
    ("mean_density_g_cm3", "g/cm³", "mean density of the shell with its body at the last stage"),
    ("pt_ratio_percent", "%", "phragmocone volume over total volume (P/T ratio)"),
    ("stability_index", "1", "stability index |B - G| / V^(1/3) at the last stage"),
    ("ribs", "ribs", "number of ribs the regulation made"),
)
# The units of the swept inputs, from the scenario's keys.
_INPUT_UNITS = {name: unit for name, unit, _allowed, _help in KEYS}
# Points a local sweep runs per call into the engine: enough to keep every
# thread busy, few enough that a grid streamed to a file stays small in memory.
_BLOCK = 8192


def _python_name(name: str) -> str:
    """The package's name for a column of the sweep CSV (the file keeps the
    batch tool's names)."""
    return _columns.python_name(name, "sweep")


def rename_columns(table: pd.DataFrame) -> pd.DataFrame:
    """The sweep table with the package's column names, its counts as whole
    numbers (missing where a point stopped)."""
    table = _columns.rename(table, "sweep")
    for name in table.columns:
        if name in _columns.INTEGER_NAMES and name not in _INPUT_UNITS:
            table[name] = table[name].astype("Int64")
    return table


def _result_frame(columns: dict, names: list[str], start: int = 0) -> pd.DataFrame:
    """A block of rows as the sweep table: the swept values, the results as
    floats (NaN where a point stopped) and the error texts."""
    values = columns["values"]
    errors = np.asarray(columns["error"], dtype=object)
    stopped = errors != ""
    data = {}
    # A zero of either sign is written 0, as the table's text has it.
    for k, name in enumerate(names):
        data[name] = values[:, k] + 0.0
    results = (columns["shown_stage"].astype(np.float64), columns["orientation_angle"], columns["mean_density"],
               100 * columns["pt_ratio"], columns["stability_index"], columns["ribs"].astype(np.float64))
    for (name, _unit, _meaning), result in zip(RESULT_COLUMNS, results):
        data[name] = np.where(stopped, np.nan, result + 0.0)
    data["error"] = errors
    frame = pd.DataFrame(data, index=pd.RangeIndex(start, start + len(errors)))
    return frame


def _stopped(columns: dict) -> int:
    """Points that stopped on a runtime error (a point a cancelled sweep
    skipped is not one)."""
    return sum(1 for e in columns["error"] if e and e != "cancelled")


class _Grid:
    """A checked sweep: the fixed scenario, the axes and their values."""

    def __init__(self, axes, scenario, grow_options):
        if grow_options.get("shade"):
            raise ValueError("shade cannot be combined with a sweep")
        # A sweep paints nothing: a scenario's SHADE does not apply to its points.
        self.fixed = scenario_with(scenario, grow_options).replace(shade=False)
        self.axes, self.values = _axes(axes)
        self.names = [a.name for a in self.axes]
        self.shape = tuple(len(v) for v in self.values)
        self.total = math.prod(self.shape)
        if self.total > MAX_POINTS:
            raise ValueError(f"the grid has {self.total} points, more than {MAX_POINTS} (fewer values)")

    def options(self) -> dict:
        return dict(self.fixed)

    def run(self, *, client, chunk, jobs, report, deliver, timeout):
        """Runs every point, locally or on `client`, and hands the columns of
        each block to deliver(columns, start) in grid order."""
        if client is None:
            session = _ammonite.scenario_session_options(self.options())
            for start in range(0, self.total, _BLOCK):
                stop = min(self.total, start + _BLOCK)
                step = None if report is None else (lambda done, _n, start=start: report(start + done, self.total))
                deliver(_ammonite.run_points(session, self.axes, _cluster.grid_points(self.values, start, stop),
                                             jobs=jobs, progress=step), start)
            return
        threads = _cluster.check_workers(client, timeout)
        size = _chunk_size(chunk, self.total, threads)
        _cluster.run_on_cluster(client, self.options(), self.names, self.values, self.total, size, threads,
                                timeout, deliver, report)


def _check_jobs(jobs):
    if isinstance(jobs, bool) or not isinstance(jobs, int) or not (jobs == 0 or _JOBS[0] <= jobs <= _JOBS[1]):
        raise ValueError(f"jobs must be a whole number of threads from {_JOBS[0]:g} to {_JOBS[1]:g} (0: all cores), "
                         f"not {jobs!r}")


def stream_to_file(grid: _Grid, path: str, *, client=None, chunk=None, progress=True, jobs=0,
                   timeout=_cluster.DEFAULT_TIMEOUT) -> tuple[int, int]:
    """Runs `grid` and writes its table to `path` through the safe writer,
    block by block in grid order: the old file stays until the whole table is
    written. Returns the points run and how many stopped on a runtime error."""
    table = _ammonite.SweepFile(path)  # checked before any point runs
    stopped = 0

    def deliver(columns, _start):
        nonlocal stopped
        table.write_columns(columns)
        stopped += _stopped(columns)

    report = _progress_for(progress, grid.total)
    try:
        table.write_header(grid.axes)
        grid.run(client=client, chunk=chunk, jobs=jobs, report=report, deliver=deliver, timeout=timeout)
        table.commit()
    except BaseException:
        table.discard()
        raise
    finally:
        if isinstance(report, ProgressBar):
            report.close()
    return grid.total, stopped


def _as_dataset(table: pd.DataFrame, grid: _Grid):
    """The sweep table as an xarray.Dataset over the swept axes."""
    import xarray as xr
    coords = {name: (name, np.asarray(values, dtype=np.float64), {"units": _INPUT_UNITS.get(name, "")})
              for name, values in zip(grid.names, grid.values)}
    data = {}
    for name, unit, meaning in RESULT_COLUMNS:
        data[name] = (grid.names, table[_python_name(name)].to_numpy(dtype=np.float64, na_value=np.nan).reshape(grid.shape), {"units": unit, "long_name": meaning})
    data["error"] = (grid.names, table["error"].to_numpy().reshape(grid.shape),
                     {"long_name": "runtime error that stopped the point (empty: none)"})
    dataset = xr.Dataset(data, coords=coords)
    dataset = dataset.rename({n: _python_name(n) for n in dataset.data_vars})
    dataset.attrs["scenario"] = grid.fixed.toml()
    dataset.attrs["axes"] = list(grid.names)
    dataset.attrs["version"] = _program_version
    return dataset


def _lazy_table(grid: _Grid, client, chunk, timeout):
    """The sweep as a dask.dataframe of delayed chunks."""
    import dask
    import dask.dataframe as dd
    threads = _cluster.check_workers(client, timeout) if client is not None else 1
    size = _chunk_size(chunk, grid.total, threads)
    starts = list(range(0, grid.total, size))
    task = dask.delayed(_chunk_table, pure=True)
    parts = [task(grid.options(), grid.names, grid.values, start, min(grid.total, start + size)) for start in starts]
    meta = _chunk_table_meta(grid.names)
    return dd.from_delayed(parts, meta=meta, divisions=tuple(starts) + (grid.total - 1,), verify_meta=False)


def _chunk_table(options, names, values, start, stop):
    """One partition of a lazy sweep: points start..stop-1 as table rows."""
    return rename_columns(_result_frame(_cluster.run_chunk(options, names, values, start, stop), names, start))


def _chunk_table_meta(names):
    empty = {"values": np.zeros((0, len(names))), "error": [], "shown_stage": np.zeros(0, np.int64),
             "orientation_angle": np.zeros(0), "mean_density": np.zeros(0), "pt_ratio": np.zeros(0),
             "stability_index": np.zeros(0), "ribs": np.zeros(0, np.int64)}
    return rename_columns(_result_frame(empty, names))


def sweep(axes: Mapping[str, Any], *, scenario: Any = None, client: Any = None, chunk: int | None = None,
          progress: bool | Callable[[int, int], Any] = True, jobs: int = 0, out: str | os.PathLike | None = None,
          as_xarray: bool = False, compute: bool = True, timeout: float = _cluster.DEFAULT_TIMEOUT,
          **grow_options: Any) -> Any:
    """Run a grid of independent models, one table row per grid point.

    The rows hold the columns of ``ammonite-batch --sweep-out``, with the
    same numbers.

    Parameters
    ----------
    axes : mapping
        A sweep name (see ``SWEEP_NAMES``) to its values: a sequence, or the
        text ``"FROM:TO:STEPS"`` for the batch tool's evenly spaced values.
        The grid is the product of the axes, the first outermost.
    scenario : Scenario, dict, path or None
        What every point starts from (default: the defaults), changed by
        `grow_options` as ``grow()`` takes them (not ``shade``).
    client : distributed.Client or str, optional
        Run the points as Dask tasks of `chunk` points on this cluster (a
        Client, or a scheduler address such as ``"tcp://host:8786"``, for
        which a Client is made, closed again after a blocking sweep and kept
        as the default client for a lazy one). The workers' ammonite
        version is checked first. An asynchronous Client is refused. Without
        a client the points run on `jobs` local threads.
    chunk : int, optional
        Grid points per Dask task (default: about eight tasks per thread).
    progress : bool or callable
        A progress bar on standard error, or ``progress(done, total)``.
    jobs : int
        Local threads (0: all cores).
    out : str or path, optional
        Write the table to this CSV file instead of returning it: the
        bytes ``ammonite-batch --sweep-out`` writes, streamed through the safe
        writer, so memory stays flat whatever the grid's size and the old
        file stays whole until the new one is complete.
    as_xarray : bool
        Return an ``xarray.Dataset`` over the swept axes instead of a table.
    compute : bool
        False: return a ``dask.dataframe.DataFrame`` of delayed chunks,
        computed where ``.compute()`` runs (on `client`'s cluster once it
        exists).
    timeout : float
        Seconds a cluster sweep waits when no worker is left before it
        stops with a ClusterError.
    **grow_options
        Scenario keys and ``grow()``'s groups (``densities``,
        ``thresholds``, ``profiles``).

    Returns
    -------
    pandas.DataFrame, xarray.Dataset, dask.dataframe.DataFrame or dict
        The table: every column but ``error`` float (NaN where a point
        stopped), ``error`` the runtime error that stopped a point ("" for
        none). ``attrs["scenario"]`` is the fixed scenario,
        ``attrs["axes"]`` the swept names and ``attrs["version"]`` the
        program's version; ``row_scenario(table, i)`` is the scenario of row
        i. As a Dataset the swept names are its dimensions, each variable and
        coordinate has ``units`` in its attrs, and ``attrs["scenario"]`` is
        the scenario file's text. With `out`: ``{"path", "points",
        "stopped"}``.

    Raises
    ------
    ValueError
        For bad axes, values or options, before anything runs.
    TypeError
        For a value of the wrong kind, or an asynchronous Client.
    ClusterError
        When the cluster cannot run the sweep: no worker seen for `timeout`
        seconds, a scheduler out of reach, or workers of another version.
    WriteError
        When `out` cannot be written (the old file is untouched).
    KeyboardInterrupt
        Ctrl+C stops the sweep within a second; nothing keeps running.

    Examples
    --------
    >>> import ammonite
    >>> table = ammonite.sweep({"density_body": [1.1, 1.3], "st1": [300]}, stages=250, progress=False)
    >>> len(table), table.attrs["axes"], list(table["density_body"])
    (2, ('density_body', 'st1'), [1.1, 1.3])
    >>> (table["error"] == "").all()
    True
    >>> grid = ammonite.sweep({"density_body": [1.1, 1.3]}, stages=250, progress=False, as_xarray=True)
    >>> grid["mean_density_g_cm3"].dims, grid["density_body"].attrs["units"]
    (('density_body',), 'g/cm³')
    """
    timeout = _cluster.check_timeout(timeout)
    if out is not None and (as_xarray or not compute):
        raise ValueError("out= writes the table to a file: it cannot be combined with as_xarray or compute=False")
    if as_xarray and not compute:
        raise ValueError("as_xarray cannot be combined with compute=False")
    _check_jobs(jobs)
    grid = _Grid(axes, scenario, grow_options)
    if out is not None:
        path = file_path(out)
    owned = False
    if client is not None:
        client, owned = _cluster.connect(client, timeout)
    try:
        if not compute:
            owned = False  # the lazy table computes on this client later
            return _lazy_table(grid, client, chunk, timeout)
        if out is not None:
            points, stopped = stream_to_file(grid, path, client=client, chunk=chunk, progress=progress, jobs=jobs,
                                             timeout=timeout)
            return {"path": path, "points": points, "stopped": stopped}
        blocks = []
        report = _progress_for(progress, grid.total)
        try:
            grid.run(client=client, chunk=chunk, jobs=jobs, report=report, timeout=timeout,
                     deliver=lambda columns, start: blocks.append(_result_frame(columns, grid.names, start)))
        finally:
            if isinstance(report, ProgressBar):
                report.close()
    finally:
        if owned:
            client.close()
    table = pd.concat(blocks) if len(blocks) > 1 else blocks[0]
    table = rename_columns(table)
    if as_xarray:
        return _as_dataset(table, grid)
    table.attrs["scenario"] = grid.fixed
    table.attrs["axes"] = tuple(grid.names)
    table.attrs["version"] = _program_version
    return table


def sweep_csv(axes, **options) -> str:
    """sweep() as the CSV text ``ammonite-batch --sweep-out`` writes (through
    a file, as out= writes it)."""
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "sweep.csv")
        sweep(axes, out=path, **options)
        with open(path, encoding="utf-8") as f:
            return f.read()

# Sweep names that set a profile: the profile made constant at the value.
_PROFILE_NAMES = ("gamma", "C", "T", "beta")


def row_scenario(table: pd.DataFrame, i: int) -> Scenario:
    """The scenario of one row of a sweep table.

    Parameters
    ----------
    table : pandas.DataFrame
        A table ``sweep()`` returned (it carries its fixed scenario).
    i : int
        The row, by position.

    Returns
    -------
    Scenario
        The table's fixed scenario with the row's swept values; ``grow()``
        of it grows that point again.

    Raises
    ------
    ValueError
        For a table that carries no scenario.

    Examples
    --------
    >>> import ammonite
    >>> table = ammonite.sweep({"density_body": [1.1, 1.3]}, stages=120, progress=False)
    >>> scenario = ammonite.row_scenario(table, 1)
    >>> scenario.density_body, scenario.stages
    (1.3, 120)
    """
    try:
        fixed, names = table.attrs["scenario"], table.attrs["axes"]
    except KeyError:
        raise ValueError("the table carries no scenario (it was not made by ammonite.sweep())") from None
    row = table.iloc[i]
    changes = {}
    for name in names:
        value = float(row[name])
        changes[name] = [(0, value)] if name in _PROFILE_NAMES else value
    return fixed.replace(**changes)


def read_sweep_table(text):
    """A sweep CSV as the DataFrame sweep() returns."""
    columns = text.split("\n", 1)[0].split(",")
    dtypes = {c: (str if c == "error" else float) for c in columns}
    table = pd.read_csv(io.StringIO(text), dtype=dtypes, float_precision="round_trip", keep_default_na=False,
                        na_values={c: [""] for c in columns if c != "error"})
    return rename_columns(table)
