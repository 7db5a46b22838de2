#!/usr/bin/python3
"""A 40 x 40 morphospace sweep (α x body-chamber density of the default shell)
through a Dask LocalCluster of 2 worker processes on 127.0.0.1, against
``ammonite-batch --jobs 2`` on the same grid. The runs alternate (batch, Dask,
batch, ...) so that a busy machine weighs on both alike; the medians and
their ratio are printed, and both tables are checked to be the same.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_sweep_bench.py [--batch build/ammonite-batch] [--runs 3]
"""

import argparse
import os
import pathlib
import resource
import statistics
import subprocess
import sys
import tempfile
import time

AXES = {"alpha": "1.002:1.012:40", "density_body": "1.0:1.6:40"}


def _cpu_seconds(usage):
    return usage.ru_utime + usage.ru_stime


def _process_cpu():
    return _cpu_seconds(resource.getrusage(resource.RUSAGE_SELF))


def _workers_cpu(client):
    return sum(client.run(_process_cpu).values())


def main():
    here = pathlib.Path(__file__).resolve().parents[1]
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--batch", default=str(here / "build" / "ammonite-batch"), help="the batch tool")
    parser.add_argument("--runs", type=int, default=3, help="timed runs of each (default 3)")
    parser.add_argument("--chunk", type=int, default=None, help="grid points per Dask task (default: automatic)")
    args = parser.parse_args()

    import ammonite
    from ammonite._sweep import sweep_csv
    from distributed import Client, LocalCluster

    # The worker processes import the package from where this one found it.
    package_parent = str(pathlib.Path(ammonite.__file__).resolve().parents[1])
    os.environ["PYTHONPATH"] = os.pathsep.join(p for p in (package_parent, os.environ.get("PYTHONPATH")) if p)

    batch_args = [args.batch, "--jobs", "2"]
    for name, grid in AXES.items():
        batch_args += ["--sweep", f"{name}={grid}"]

    start = time.perf_counter()
    cluster = LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                           dashboard_address=None)
    client = Client(cluster)
    cluster_start = time.perf_counter() - start
    # The first task on each worker imports the package.
    start = time.perf_counter()
    sweep_csv({"alpha": [1.005, 1.006]}, stages=10, client=client, chunk=1, progress=False)
    warm_up = time.perf_counter() - start

    batch_times, dask_times, batch_cpu, dask_cpu = [], [], [], []
    with tempfile.TemporaryDirectory() as folder:
        out = pathlib.Path(folder) / "grid.csv"
        for run in range(args.runs):
            cpu = _cpu_seconds(resource.getrusage(resource.RUSAGE_CHILDREN))
            start = time.perf_counter()
            subprocess.run(batch_args + ["--sweep-out", str(out)], check=True, stderr=subprocess.DEVNULL)
            batch_times.append(time.perf_counter() - start)
            batch_cpu.append(_cpu_seconds(resource.getrusage(resource.RUSAGE_CHILDREN)) - cpu)
            cpu = _workers_cpu(client)
            start = time.perf_counter()
            csv = sweep_csv(AXES, client=client, chunk=args.chunk, progress=False)
            dask_times.append(time.perf_counter() - start)
            dask_cpu.append(_workers_cpu(client) - cpu)
            if csv != out.read_text():
                sys.exit("the Dask table differs from the batch tool's")
            print(f"run {run + 1}: ammonite-batch --jobs 2 {batch_times[-1]:.2f} s ({batch_cpu[-1]:.2f} s CPU), "
                  f"Dask 2 workers {dask_times[-1]:.2f} s ({dask_cpu[-1]:.2f} s CPU in the workers)", flush=True)
    client.close()
    cluster.close()

    batch, dask = statistics.median(batch_times), statistics.median(dask_times)
    print(f"grid: 40 x 40 = 1600 points ({', '.join(f'{k}={v}' for k, v in AXES.items())})")
    print(f"cluster start: {cluster_start:.2f} s, first tasks (package import): {warm_up:.2f} s (not timed below)")
    print(f"median of {args.runs}: ammonite-batch --jobs 2 {batch:.2f} s wall ({statistics.median(batch_cpu):.2f} s CPU), "
          f"Dask LocalCluster 2 workers {dask:.2f} s wall ({statistics.median(dask_cpu):.2f} s CPU)")
    print(f"machine load average at the end: {os.getloadavg()[0]:.2f} on {os.cpu_count()} cores")
    print(f"ratio Dask / batch: {dask / batch:.3f} (goal: at most 1.25)")


if __name__ == "__main__":
    main()
