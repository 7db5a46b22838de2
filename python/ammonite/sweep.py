"""A morphospace sweep from the shell, on local threads or a Dask cluster:

    python3 -m ammonite.sweep NAME=FROM:TO:STEPS [NAME=...]
        [--scheduler ADDRESS | --workers N] [--timeout SECONDS] [--out FILE.csv] [grow options]

The CSV is the one ``ammonite-batch --sweep ... --sweep-out`` writes for the
same grid; a progress bar goes to standard error. Exit status as the batch
tool's: 0 done, 1 a point stopped on a runtime error, 2 bad arguments (or a
cluster that cannot be reached), 3 the table could not be written; and 4 when
the cluster fails during the sweep (no worker seen for --timeout seconds,
workers of another version): the old --out file is then left as it was.
"""

import argparse
import sys
import time

from . import _ammonite
from ._cluster import DEFAULT_TIMEOUT, ClusterError
from ._sweep import SWEEP_NAMES, _Grid, stream_to_file


EXIT_DONE, EXIT_RUNTIME_ERROR, EXIT_BAD_INPUT, EXIT_WRITE_FAILED, EXIT_CLUSTER_FAILED = 0, 1, 2, 3, 4


class _Parser(argparse.ArgumentParser):
    def error(self, message):
        self.print_usage(sys.stderr)
        self.exit(EXIT_BAD_INPUT, f"ammonite.sweep: {message}\n")


def _option(name):
    """Reads the text of --NAME by the batch tool's rule for it."""
    def read(text):
        try:
            return _ammonite.read_option(name, text)
        except ValueError as e:
            raise argparse.ArgumentTypeError(str(e)) from None
    return read


def _positive_int(text):
    try:
        n = int(text)
    except ValueError:
        n = 0
    if n < 1:
        raise argparse.ArgumentTypeError(f"'{text}' is not a whole number from 1 up")
    return n


def _seconds(text):
    try:
        v = float(text)
    except ValueError:
        v = 0
    if not 0 < v < 1e9:
        raise argparse.ArgumentTypeError(f"'{text}' is not a number of seconds above 0")
    return v


def _parser():
    p = _Parser(prog="python3 -m ammonite.sweep",
                description="Runs the ammonite growth model for every point of a grid, on local threads or a "
                            "Dask cluster, and writes one CSV row per point (the table of ammonite-batch "
                            "--sweep-out).")
    p.add_argument("axes", nargs="+", metavar="NAME=FROM:TO:STEPS",
                   help="STEPS evenly spaced values of NAME from FROM to TO; more than one for a grid. "
                        f"NAME is one of: {', '.join(SWEEP_NAMES)}")
    where = p.add_mutually_exclusive_group()
    where.add_argument("--scheduler", metavar="ADDRESS",
                       help="run on an existing Dask cluster, e.g. tcp://host:8786")
    where.add_argument("--workers", metavar="N", type=_positive_int,
                       help="start a local Dask cluster of N worker processes for the sweep")
    p.add_argument("--jobs", metavar="N", type=_option("jobs"),
                   help="threads when running without a cluster (default: all cores)")
    p.add_argument("--timeout", metavar="SECONDS", type=_seconds, default=DEFAULT_TIMEOUT,
                   help=f"stop when no Dask worker has been seen for this long (default {DEFAULT_TIMEOUT:g})")
    p.add_argument("--chunk", metavar="N", type=_positive_int, help="grid points per Dask task")
    p.add_argument("--out", metavar="FILE.csv", help="the table (default: standard output)")
    p.add_argument("--no-progress", action="store_true", help="no progress bar")
    g = p.add_argument_group("grow options (as ammonite-batch's)")
    for entry in _ammonite.option_table():
        # A sweep draws nothing: SHADE is not among its options.
        if "grow" in entry["uses"] and entry["type"] != "flag":
            g.add_argument("--" + entry["name"], metavar=entry["metavar"], type=_option(entry["name"]),
                           default=int(entry["default"]) if entry["name"] == "runs" else None, help=entry["help"])
    return p


def _axes(texts):
    axes = {}
    for text in texts:
        name, _, given = text.partition("=")
        try:
            _ammonite.parse_axis(text)  # the batch tool's message for a bad axis
        except ValueError as e:
            raise ValueError(str(e)) from None
        if name in axes:
            raise ValueError(f"--sweep {name} is given twice")
        axes[name] = given
    return axes


def main(argv=None):
    args = _parser().parse_args(argv)
    try:
        axes = _axes(args.axes)
    except ValueError as e:
        print(f"ammonite.sweep: {e}", file=sys.stderr)
        return EXIT_BAD_INPUT
    options = {e["name"]: getattr(args, e["name"]) for e in _ammonite.option_table()
               if "grow" in e["uses"] and e["type"] != "flag"}
    for switch in ("orientation", "ribbing"):
        if isinstance(options.get(switch), str):
            options[switch] = options[switch] == "on"
    if args.profiles:
        # A bad profile file is reported before anything starts.
        try:
            _ammonite.read_profiles(args.profiles)
        except ValueError as e:
            print(f"ammonite.sweep: {e}", file=sys.stderr)
            return EXIT_BAD_INPUT

    try:
        grid = _Grid(axes, None, options)
    except (ValueError, TypeError) as e:
        print(f"ammonite.sweep: {e}", file=sys.stderr)
        return EXIT_BAD_INPUT

    client = cluster = None
    try:
        if args.scheduler or args.workers:
            from distributed import Client, LocalCluster
            if args.scheduler:
                client = Client(args.scheduler, timeout="20s")
            else:
                cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                                       host="127.0.0.1", dashboard_address=None)
                client = Client(cluster)
    except (OSError, TimeoutError) as e:
        where = args.scheduler or "of --workers"
        print(f"ammonite.sweep: cannot start or reach the cluster {where}: {e}", file=sys.stderr)
        return EXIT_BAD_INPUT
    # The table streams to its file (checked before the points run) as the
    # points are done; the old file stays until the whole table is written.
    try:
        start = time.monotonic()
        points, stopped = stream_to_file(grid, args.out or "-", client=client, chunk=args.chunk,
                                         progress=not args.no_progress, jobs=args.jobs or 0, timeout=args.timeout)
        elapsed = time.monotonic() - start
    except OSError as e:
        print(f"ammonite.sweep: {e} (--out)" if args.out else f"ammonite.sweep: {e} (the sweep table)",
              file=sys.stderr)
        return EXIT_WRITE_FAILED
    except (ValueError, TypeError) as e:
        print(f"ammonite.sweep: {e}", file=sys.stderr)
        return EXIT_BAD_INPUT
    except ClusterError as e:
        print(f"ammonite.sweep: {e}", file=sys.stderr)
        return EXIT_CLUSTER_FAILED
    except KeyboardInterrupt:
        print("\nammonite.sweep: cancelled", file=sys.stderr)
        return 130
    except Exception as e:  # a task that failed on the cluster
        print(f"ammonite.sweep: the cluster failed: {type(e).__name__}: {e}", file=sys.stderr)
        return EXIT_CLUSTER_FAILED
    finally:
        if client is not None:
            client.close()
        if cluster is not None:
            cluster.close()

    print(f"sweep: {points} points in {elapsed:.3f} s wall", file=sys.stderr)
    if stopped:
        print(f"sweep: {stopped} points stopped with a runtime error", file=sys.stderr)
    return EXIT_RUNTIME_ERROR if stopped else EXIT_DONE


if __name__ == "__main__":
    sys.exit(main())
