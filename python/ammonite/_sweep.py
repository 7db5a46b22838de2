"""Morphospace sweeps: a grid of model inputs, one independent model per grid
point, on local threads or as tasks of a Dask cluster, one table row per
point exactly as ``ammonite-batch --sweep-out`` writes it."""

import io
import itertools
import math
import sys
import time
from collections.abc import Mapping

import pandas as pd

from . import _ammonite
from ._scenario import scenario_with

try:
    from ._version import __version__ as _program_version
except ImportError:
    _program_version = "0+unknown"

class ClusterError(RuntimeError):
    """The Dask cluster could not run the sweep's tasks."""


# The largest grid, as the batch tool allows.
MAX_POINTS = 10_000_000


def axis_values(given):
    """The values of an axis written FROM:TO:STEPS (or NAME=FROM:TO:STEPS):
    STEPS evenly spaced values, both ends included, rounded for whole-number
    inputs, exactly as ``ammonite-batch --sweep`` makes them."""
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


def _run_chunk(options, names, points):
    """One Dask task: a chunk of grid points, their CSV rows in order."""
    axes = [_ammonite.axis_named(n) for n in names]
    return _ammonite.run_points(_ammonite.scenario_session_options(options), axes, points, jobs=1)


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


def _chunk_size(chunk, total, client):
    if chunk is not None:
        if isinstance(chunk, bool) or not isinstance(chunk, int) or chunk < 1:
            raise ValueError(f"chunk must be a whole number of points from 1 up, not {chunk!r}")
        return chunk
    # About eight tasks per worker thread: few enough that the scheduler's
    # overhead stays small, enough that the threads finish together.
    threads = sum(client.nthreads().values()) if client is not None else 1
    return max(1, min(2000, math.ceil(total / (8 * max(1, threads)))))


def sweep_csv(axes, *, scenario=None, client=None, chunk=None, progress=True, jobs=0, **grow_options):
    """sweep() as the CSV text ``ammonite-batch --sweep-out`` writes."""
    header, rows, _ = _sweep_rows(axes, client, chunk, progress, jobs, grow_options, scenario)
    return header + "".join(rows)


def _sweep_rows(axes, client, chunk, progress, jobs, grow_options, scenario=None):
    """The CSV header and rows of a sweep, and the fixed scenario every point
    starts from (read from `scenario` and changed by `grow_options`, as grow()
    reads them, before anything runs)."""
    if grow_options.get("shade"):
        raise ValueError("shade cannot be combined with a sweep")
    # A sweep paints nothing: a scenario's SHADE does not apply to its points.
    fixed = scenario_with(scenario, grow_options).replace(shade=False)
    if isinstance(jobs, bool) or not isinstance(jobs, int) or not 0 <= jobs <= 256:
        raise ValueError(f"jobs must be a whole number of threads from 1 to 256 (0: all cores), not {jobs!r}")
    engine_axes, values = _axes(axes)
    total = math.prod(len(v) for v in values)
    if total > MAX_POINTS:
        raise ValueError(f"the grid has {total} points, more than {MAX_POINTS} (fewer values)")
    points = [list(p) for p in itertools.product(*values)]
    header = _ammonite.sweep_csv_header(engine_axes)
    names = [a.name for a in engine_axes]
    report = _progress_for(progress, total)
    try:
        if client is None:
            rows = _ammonite.run_points(_ammonite.scenario_session_options(dict(fixed)), engine_axes, points,
                                        jobs=jobs, progress=report)
        else:
            rows = _run_on_cluster(client, dict(fixed), names, points, chunk, report)
    finally:
        if isinstance(report, ProgressBar):
            report.close()
    return header, rows, fixed


def _run_on_cluster(client, checked, names, points, chunk, report):
    from distributed import as_completed

    # The scenario holds the profiles themselves, never a file the workers may not see.
    size = _chunk_size(chunk, len(points), client)
    chunks = [points[i:i + size] for i in range(0, len(points), size)]
    futures = client.map(_run_chunk, [checked] * len(chunks), [names] * len(chunks), chunks, pure=False)
    order = {f.key: i for i, f in enumerate(futures)}
    results = [None] * len(chunks)
    done = 0
    try:
        for future in as_completed(futures):
            i = order[future.key]
            results[i] = future.result()
            done += len(chunks[i])
            if report:
                report(done, len(points))
    except ImportError as e:
        client.cancel(futures)
        raise ClusterError(f"the Dask workers cannot import the ammonite package ({e}): start them with "
                           "PYTHONPATH set to the build's python folder") from None
    except BaseException:
        # Ctrl+C or a lost cluster: nothing is left running for this sweep.
        client.cancel(futures)
        raise
    return [row for chunk_rows in results for row in chunk_rows]


def sweep(axes, *, scenario=None, client=None, chunk=None, progress=True, jobs=0, **grow_options):
    """Runs a grid of independent models and returns one row per grid point
    with the columns of ``ammonite-batch --sweep-out``.

    `axes` maps a sweep name (see SWEEP_NAMES) to its values: a sequence, or
    the text FROM:TO:STEPS for the batch tool's evenly spaced values. The grid
    is the product of the axes, the first outermost. Every point starts from
    `scenario` changed by `grow_options`, as grow() takes them (not `shade`). With `client=None` the points run on `jobs`
    local threads (0: all cores); with a ``dask.distributed.Client`` they run
    as Dask tasks of `chunk` points each on that cluster. `progress` shows a
    bar on standard error (or is called as progress(done, total)); Ctrl+C
    stops the sweep.

    Every column but `error` is float (NaN where a point has no result); a
    point that stopped on a runtime error has its message in `error`, the
    others an empty text.

    The table says what made it: ``attrs["scenario"]`` is the fixed scenario
    (an ammonite.Scenario), ``attrs["axes"]`` the swept names and
    ``attrs["version"]`` the program's version; row_scenario(table, i) is the
    scenario of row i, and grow(row_scenario(table, i)) grows that point again
    (a swept α is set before every START, so with runs > 1 and stages past 200
    an α row is not one scenario)."""
    header, rows, fixed = _sweep_rows(axes, client, chunk, progress, jobs, grow_options, scenario)
    table = read_sweep_table(header + "".join(rows))
    table.attrs["scenario"] = fixed
    table.attrs["axes"] = tuple(_axes(axes)[0][i].name for i in range(len(axes)))
    table.attrs["version"] = _program_version
    return table


# Sweep names that set a profile: the profile made constant at the value.
_PROFILE_NAMES = ("gamma", "C", "T", "beta")


def row_scenario(table, i):
    """The scenario of row `i` (by position) of a table sweep() returned: its
    fixed scenario with the row's swept values."""
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
    return table
