"""Sweeps on a Dask cluster: the client, the workers' package version, chunks
of grid points as tasks, and a watch on the workers so that a sweep whose
cluster is gone stops with a ClusterError instead of waiting for ever."""

from __future__ import annotations

import time
from collections.abc import Callable, Iterator
from typing import Any

import numpy as np

from . import _ammonite

try:
    from ._version import __version__ as _program_version
except ImportError:  # pragma: no cover - a source tree without a build
    _program_version = "0+unknown"

# How long a sweep waits for a worker when none is left (seconds).
DEFAULT_TIMEOUT = 60.0


class ClusterError(RuntimeError):
    """The Dask cluster cannot run the sweep's tasks: no worker left, a
    scheduler out of reach, workers of another package version or workers
    that cannot import the package."""


def _worker_version() -> str:
    """The package version on a worker (run there by Client.run)."""
    from . import _cluster
    return _cluster._program_version


def check_timeout(timeout: float) -> float:
    if isinstance(timeout, bool) or not isinstance(timeout, (int, float)) or not 0 < timeout < 1e9:
        raise ValueError(f"timeout must be a number of seconds above 0, not {timeout!r}")
    return float(timeout)


def connect(client: Any, timeout: float) -> tuple[Any, bool]:
    """The Client to run on and whether the sweep made it (and closes it):
    `client` is a distributed.Client or the address of a scheduler."""
    if isinstance(client, str):
        from distributed import Client
        try:
            return Client(client, timeout=f"{timeout}s"), True
        except (OSError, TimeoutError) as e:
            raise ClusterError(f"cannot reach the Dask scheduler at {client}: {e}") from None
    if not callable(getattr(client, "submit", None)) or not hasattr(client, "scheduler"):
        raise TypeError(f"client must be a distributed.Client or a scheduler address such as "
                        f"'tcp://host:8786', not {client!r}")
    if getattr(client, "asynchronous", False):
        raise TypeError("sweep() waits for its points and cannot drive an asynchronous Client "
                        "(Client(asynchronous=True)): give it a synchronous Client or the scheduler's address")
    return client, False


def _address(client: Any) -> str:
    try:
        return client.scheduler.address
    except AttributeError:  # pragma: no cover
        return "the scheduler"


def worker_count(client: Any, wait: float) -> int | None:
    """The number of workers the scheduler knows now; None when the
    scheduler does not answer within `wait` seconds."""
    try:
        info = client.sync(client.scheduler.identity, callback_timeout=wait)
    except Exception:
        return None
    return len(info.get("workers", {}))


def check_workers(client: Any, timeout: float) -> int:
    """Waits up to `timeout` seconds for a worker, then checks that every
    worker runs this package version; returns the cluster's thread count."""
    start = time.monotonic()
    while True:
        seen = worker_count(client, min(5.0, timeout))
        if seen:
            break
        if time.monotonic() - start >= timeout:
            where = _address(client)
            if seen is None:
                raise ClusterError(f"the Dask scheduler at {where} does not answer (waited {timeout:g} s)")
            raise ClusterError(f"the Dask cluster at {where} has no worker (waited {timeout:g} s for one)")
        time.sleep(0.2)
    try:
        versions = client.run(_worker_version)
    except ImportError as e:
        raise ClusterError(f"the Dask workers cannot import the ammonite package ({e}): start them with "
                           "PYTHONPATH set to the build's python folder") from None
    except Exception as e:
        raise ClusterError(f"the Dask workers cannot run the ammonite package: {type(e).__name__}: {e}") from None
    other = {w: v for w, v in versions.items() if v != _program_version}
    if other:
        worker, version = sorted(other.items())[0]
        raise ClusterError(f"{len(other)} of {len(versions)} Dask workers run ammonite {version} (e.g. {worker}), "
                           f"this process {_program_version}: start the workers from the same build")
    return max(1, sum(client.nthreads().values()))


def grid_points(values: list[list[float]], start: int, stop: int) -> list[list[float]]:
    """Points start..stop-1 of the grid of `values` (the first axis outermost)."""
    shape = tuple(len(v) for v in values)
    index = np.unravel_index(np.arange(start, stop, dtype=np.int64), shape)
    columns = [np.asarray(v, dtype=np.float64)[i] for v, i in zip(values, index)]
    return np.stack(columns, axis=1).tolist() if columns else []


def run_chunk(options: dict, names: list[str], values: list[list[float]], start: int, stop: int) -> dict:
    """One task: points start..stop-1 of the grid, as the engine's columns."""
    axes = [_ammonite.axis_named(n) for n in names]
    session = _ammonite.scenario_session_options(options)
    return _ammonite.run_points(session, axes, grid_points(values, start, stop), jobs=1)


def _result(future: Any, wait: float) -> dict | None:
    """The columns of a finished task; None when they could not be fetched
    within `wait` seconds."""
    try:
        return future.result(timeout=wait)
    except TimeoutError:
        return None
    except ImportError as e:
        raise ClusterError(f"the Dask workers cannot import the ammonite package ({e}): start them with "
                           "PYTHONPATH set to the build's python folder") from None
    except Exception as e:
        name = type(e).__name__
        if name == "KilledWorker":
            raise ClusterError(f"a chunk of points was lost with its worker several times ({e})") from None
        if name == "CancelledError":
            raise ClusterError("the cluster dropped the sweep's tasks (was the scheduler restarted?)") from None
        raise


def run_on_cluster(client: Any, options: dict, names: list[str], values: list[list[float]], total: int,
                   chunk: int, threads: int, timeout: float, deliver: Callable[[dict, int], None],
                   report: Callable[[int, int], Any] | None) -> None:
    """Runs the grid as tasks of `chunk` points, a bounded number at a time,
    and hands each chunk's columns to deliver(columns, start) in grid order.
    ClusterError when no worker has been seen for `timeout` seconds."""
    starts: Iterator[int] = iter(range(0, total, chunk))
    window = max(4, 4 * threads)
    pending: dict[Any, tuple[int, int]] = {}
    ready: dict[int, dict] = {}
    next_start, done = 0, 0
    last_seen, next_look = time.monotonic(), 0.0
    try:
        while True:
            while len(pending) < window:
                start = next(starts, None)
                if start is None:
                    break
                stop = min(total, start + chunk)
                future = client.submit(run_chunk, options, names, values, start, stop, pure=False)
                pending[future] = (start, stop)
            if not pending:
                break
            finished = []
            for future in [f for f in pending if f.done()]:
                # A result whose worker died before it was fetched is run
                # again: the future is pending once more.
                columns = _result(future, min(5.0, timeout))
                if columns is None:
                    continue
                start, stop = pending.pop(future)
                finished.append(future)
                ready[start] = columns
                done += stop - start
                if report:
                    report(done, total)
            while next_start in ready:
                columns = ready.pop(next_start)
                deliver(columns, next_start)
                next_start += len(columns["error"])
            if finished:
                last_seen = time.monotonic()
                continue
            now = time.monotonic()
            if now >= next_look:
                next_look = now + 0.5
                seen = worker_count(client, min(5.0, timeout))
                if seen:
                    last_seen = now
                elif now - last_seen >= timeout:
                    what = "does not answer" if seen is None else "has no worker left"
                    raise ClusterError(f"the Dask cluster at {_address(client)} {what}: no worker seen for "
                                       f"{timeout:g} s, {done} of {total} points done")
            time.sleep(0.02)
    except BaseException:
        # Ctrl+C or a lost cluster: nothing is left running for this sweep.
        if pending:
            try:
                client.cancel(list(pending))
            except Exception:
                pass
        raise
