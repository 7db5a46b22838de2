"""A morphospace sweep from the shell, on local threads or a Dask cluster:

    python3 -m ammonite.sweep NAME=FROM:TO:STEPS [NAME=...]
        [--scheduler ADDRESS | --workers N] [--out FILE.csv] [grow options]

The CSV is the one ``ammonite-batch --sweep ... --sweep-out`` writes for the
same grid; a progress bar goes to standard error. Exit status as the batch
tool's: 0 done, 1 a point stopped on a runtime error, 2 bad arguments (or a
cluster that cannot be reached), 3 the table could not be written; and 4 when
the cluster fails during the sweep.
"""

import argparse
import sys
import time

from . import _ammonite
from ._options import SWEEP_NAMES
from ._sweep import _sweep_rows

EXIT_DONE, EXIT_RUNTIME_ERROR, EXIT_BAD_INPUT, EXIT_WRITE_FAILED, EXIT_CLUSTER_FAILED = 0, 1, 2, 3, 4


class _Parser(argparse.ArgumentParser):
    def error(self, message):
        self.print_usage(sys.stderr)
        self.exit(EXIT_BAD_INPUT, f"ammonite.sweep: {message}\n")


def _numbers(count):
    def parse(text):
        parts = text.split(",")
        try:
            values = tuple(float(p) for p in parts)
        except ValueError:
            values = ()
        if len(values) != count:
            raise argparse.ArgumentTypeError(f"'{text}' is not {count} numbers separated by commas")
        return values
    return parse


def _whole_numbers(count):
    def parse(text):
        values = _numbers(count)(text)
        if not all(v.is_integer() for v in values):
            raise argparse.ArgumentTypeError(f"'{text}' is not {count} whole numbers separated by commas")
        return tuple(int(v) for v in values)
    return parse


def _positive_int(text):
    try:
        n = int(text)
    except ValueError:
        n = 0
    if n < 1:
        raise argparse.ArgumentTypeError(f"'{text}' is not a whole number from 1 up")
    return n


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
    p.add_argument("--jobs", metavar="N", type=_positive_int,
                   help="threads when running without a cluster (default: all cores)")
    p.add_argument("--chunk", metavar="N", type=_positive_int, help="grid points per Dask task")
    p.add_argument("--out", metavar="FILE.csv", help="the table (default: standard output)")
    p.add_argument("--no-progress", action="store_true", help="no progress bar")
    g = p.add_argument_group("grow options (as ammonite-batch's)")
    g.add_argument("--stages", metavar="TEXT", help="text typed into the stage box")
    g.add_argument("--scale", metavar="TEXT", help="text typed into the scale box")
    g.add_argument("--view", metavar="X,Y,Z", type=_numbers(3))
    g.add_argument("--light", metavar="X,Y,Z", type=_numbers(3))
    g.add_argument("--origin", metavar="X,Y", type=_numbers(2))
    g.add_argument("--densities", metavar="A,B", type=_numbers(2))
    g.add_argument("--orientation", choices=("on", "off"))
    g.add_argument("--ribbing", choices=("on", "off"))
    g.add_argument("--thresholds", metavar="ST1,ST2,FT1,FT2", type=_whole_numbers(4))
    g.add_argument("--profiles", metavar="FILE", help="profile data file read before the first run")
    g.add_argument("--runs", metavar="K", type=int, default=1, help="START presses (default 1)")
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
    options = {name: getattr(args, name) for name in ("stages", "scale", "view", "light", "origin", "densities",
                                                       "orientation", "ribbing", "thresholds", "profiles", "runs")}
    for switch in ("orientation", "ribbing"):
        if options[switch] is not None:
            options[switch] = options[switch] == "on"
    if args.profiles:
        # A bad profile file is reported before anything starts.
        try:
            _ammonite.read_profiles(args.profiles)
        except ValueError as e:
            print(f"ammonite.sweep: {e}", file=sys.stderr)
            return EXIT_BAD_INPUT

    if args.out:
        # The table's file is checked before the points run, not after.
        try:
            _ammonite.check_writable(args.out)
        except OSError as e:
            print(f"ammonite.sweep: {e} (--out)", file=sys.stderr)
            return EXIT_WRITE_FAILED

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
        start = time.monotonic()
        header, rows, _ = _sweep_rows(axes, client, args.chunk, not args.no_progress, args.jobs or 0, options)
        elapsed = time.monotonic() - start
    except (ValueError, TypeError) as e:
        print(f"ammonite.sweep: {e}", file=sys.stderr)
        return EXIT_BAD_INPUT
    except OSError as e:
        if client is None:
            where = args.scheduler or "of --workers"
            print(f"ammonite.sweep: cannot start or reach the cluster {where}: {e}", file=sys.stderr)
            return EXIT_BAD_INPUT
        print(f"ammonite.sweep: the cluster failed: {e}", file=sys.stderr)
        return EXIT_CLUSTER_FAILED
    except KeyboardInterrupt:
        print("\nammonite.sweep: cancelled", file=sys.stderr)
        return 130
    except Exception as e:  # a worker lost or a task that failed on the cluster
        print(f"ammonite.sweep: the cluster failed: {type(e).__name__}: {e}", file=sys.stderr)
        return EXIT_CLUSTER_FAILED
    finally:
        if client is not None:
            client.close()
        if cluster is not None:
            cluster.close()

    print(f"sweep: {len(rows)} points in {elapsed:.3f} s wall", file=sys.stderr)
    stopped = sum(1 for r in rows if not r.endswith(",\n"))
    if stopped:
        print(f"sweep: {stopped} points stopped with a runtime error", file=sys.stderr)
    csv = header + "".join(rows)
    try:
        if args.out:
            _ammonite.write_file(args.out, csv.encode())
        else:
            sys.stdout.write(csv)
            sys.stdout.flush()
    except OSError as e:
        print(f"ammonite.sweep: {e} (--out)" if args.out else f"ammonite.sweep: {e} (the sweep table)",
              file=sys.stderr)
        return EXIT_WRITE_FAILED
    return EXIT_RUNTIME_ERROR if stopped else EXIT_DONE


if __name__ == "__main__":
    sys.exit(main())
