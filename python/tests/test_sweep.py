"""Sweeps on local threads and on a Dask cluster give the batch tool's table."""

import numpy as np
import pandas as pd
import pytest

import ammonite
from ammonite._sweep import read_sweep_table, sweep_csv
from conftest import run_module

# α = 1 grows a tube of no volume: the first row of points stops on a runtime error.
GRID = {"alpha": "1.0:1.01:3", "st1": "100:900:3"}
GRID_ARGS = ["--sweep", "alpha=1.0:1.01:3", "--sweep", "st1=100:900:3", "--stages", "800"]


@pytest.fixture(scope="module")
def batch_grid(batch_tool, tmp_path_factory):
    import subprocess
    folder = tmp_path_factory.mktemp("grid")
    subprocess.run([batch_tool, *GRID_ARGS, "--sweep-out", "grid.csv"], cwd=folder, capture_output=True,
                   check=False, timeout=300)
    return (folder / "grid.csv").read_text()


@pytest.fixture(scope="module")
def cluster():
    from distributed import Client, LocalCluster
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as local, Client(local) as client:
        yield local, client


def test_local_threads_give_the_batch_table(batch_grid):
    assert sweep_csv(GRID, stages=800, progress=False, jobs=2) == batch_grid
    table = ammonite.sweep(GRID, stages=800, progress=False)
    assert list(table.columns) == batch_grid.splitlines()[0].split(",")
    pd.testing.assert_frame_equal(table, read_sweep_table(batch_grid), check_exact=True)
    stopped = table["alpha"] == 1.0
    assert table.loc[stopped, "error"].str.startswith("Division by zero").all()
    assert table.loc[stopped, "mean_density_g_cm3"].isna().all()
    assert (table.loc[~stopped, "error"] == "").all()
    assert (table.drop(columns=["error", "shown_stage", "ribs"]).dtypes == np.float64).all()
    # Counts are whole numbers, missing where a point stopped.
    assert table["ribs"].dtype == "Int64" and table.loc[stopped, "ribs"].isna().all()


def test_a_cluster_of_two_workers_gives_the_batch_table(cluster, batch_grid, tmp_path):
    local, client = cluster
    seen = []
    table = ammonite.sweep(GRID, stages=800, client=client, chunk=2, progress=lambda d, t: seen.append((d, t)))
    pd.testing.assert_frame_equal(table, read_sweep_table(batch_grid), check_exact=True)
    assert seen[-1] == (9, 9) and len(seen) == 5  # one report per chunk
    # The same through the command line, on the running scheduler.
    done = run_module(*GRID_ARGS[1::2][:2], "--stages", "800", "--scheduler", local.scheduler_address,
                      "--out", tmp_path / "grid.csv", cwd=tmp_path)
    assert done.returncode == 1, done.stderr  # some points stopped, as the batch tool's status says
    assert (tmp_path / "grid.csv").read_text() == batch_grid
    assert "9/9 points" in done.stderr and "3 points stopped with a runtime error" in done.stderr


def test_a_profile_file_reaches_the_workers(cluster, run_batch, tmp_path):
    from conftest import GALLERY
    path = GALLERY / "crioceratites.txt"
    expected = run_batch("--profiles", path, "--sweep", "density_body=1:1.6:4", "--sweep", "C=0.15:0.2:2").stdout
    csv = sweep_csv({"density_body": "1:1.6:4", "C": "0.15:0.2:2"}, profiles=path, client=cluster[1],
                    progress=False)
    assert csv == expected


def test_given_values_are_rounded_and_checked_as_the_batch_tool_does(run_batch):
    expected = run_batch("--sweep", "st1=100:900:2", "--sweep", "density_body=1.1:1.2:2", "--stages", "500").stdout
    given = {"st1": [100.4, 899.6], "density_body": np.array([1.1, 1.2])}
    assert sweep_csv(given, stages=500, progress=False) == expected
    assert ammonite.axis_values("1:2:3") == [1.0, 1.5, 2.0]
    three = ammonite.sweep({"alpha": [1.004, 1.006], "st1": [300], "beta": [10, 12, 14]}, stages=300,
                           progress=False)
    assert list(three.columns[:3]) == ["alpha", "st1", "beta"] and len(three) == 6
    assert list(three["beta"][:3]) == [10, 12, 14]


@pytest.mark.parametrize("axes, options, message", [
    ({"radius": [1]}, {}, "cannot sweep 'radius'"),
    ({"st1": [1200]}, {}, "st1 must lie in 0..1000"),
    ({"alpha": []}, {}, "alpha: no values"),
    ({"alpha": ["x"]}, {}, "alpha: 'x' is not a number"),
    ({"alpha": "1:2"}, {}, "NAME=FROM:TO:STEPS"),
    ({}, {}, "at least one sweep name"),
    ({"alpha": [1.005]}, {"shade": True}, "shade cannot be combined"),
    ({"alpha": [1.005]}, {"colour": 3}, "unknown input 'colour'"),
    ({"alpha": [1.005]}, {"profiles": "missing.txt"}, "missing.txt"),
    ({"alpha": [1.005]}, {"jobs": -1}, "jobs must be a whole number"),
    ({"alpha": range(4000), "beta": range(4000)}, {}, "16000000 points, more than 10000000"),
])
def test_bad_sweeps_are_refused_before_anything_runs(axes, options, message):
    with pytest.raises((ValueError, TypeError), match=message):
        ammonite.sweep(axes, progress=False, **options)


def test_an_interrupted_sweep_stops():
    calls = []

    def interrupt(done, total):
        calls.append(done)
        raise KeyboardInterrupt

    with pytest.raises(KeyboardInterrupt):
        ammonite.sweep({"alpha": "1.004:1.006:200"}, progress=interrupt, jobs=1)
    assert calls and calls[0] < 200


def test_the_command_line_on_local_threads(run_batch, tmp_path):
    expected = run_batch("--sweep", "density_air=0.1:0.9:3", "--densities", "0.5,1.2", "--stages", "400").stdout
    done = run_module("density_air=0.1:0.9:3", "--densities", "0.5,1.2", "--stages", "400", "--jobs", "2",
                      cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    assert done.stdout == expected
    bad = run_module("alpha=1:2", cwd=tmp_path)
    assert bad.returncode == 2 and "alpha=1:2' is not NAME=FROM:TO:STEPS" in bad.stderr
    (tmp_path / "folder.csv").mkdir()
    unwritable = run_module("alpha=1.004:1.006:2", "--out", tmp_path / "folder.csv", cwd=tmp_path)
    assert unwritable.returncode == 3 and "folder.csv" in unwritable.stderr and "points" not in unwritable.stderr


def test_the_command_line_starts_its_own_local_cluster(run_batch, tmp_path):
    expected = run_batch("--sweep", "gamma=3:5:3", "--sweep", "ft1=-60:-20:2", "--stages", "300").stdout
    done = run_module("gamma=3:5:3", "ft1=-60:-20:2", "--stages", "300", "--workers", "2", "--chunk", "2",
                      cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    assert done.stdout == expected


def test_every_row_says_what_made_it():
    from conftest import GALLERY
    base = ammonite.Scenario.load(GALLERY / "hamites.toml").replace(runs=1, shade=False)
    table = ammonite.sweep({"density_body": [1.1, 1.4], "C": [0.2, 0.3], "st1": [150]}, scenario=base,
                           progress=False, jobs=2)
    assert table.attrs["scenario"] == base
    assert table.attrs["axes"] == ("density_body", "C", "st1")
    assert table.attrs["version"] == ammonite.__version__
    for i in range(len(table)):
        row = ammonite.row_scenario(table, i)
        shell = ammonite.grow(**row)
        assert shell.summary["shown_stage"] == table["shown_stage"].iloc[i]
        assert shell.summary["stability_index"] == table["stability_index"].iloc[i]
    assert ammonite.row_scenario(table, 3).C == [(0.0, 0.3)]


def test_importing_the_command_line_module_keeps_the_function():
    import importlib
    module = importlib.import_module("ammonite.sweep")
    assert callable(ammonite.sweep) and ammonite.sweep is ammonite._sweep.sweep
    assert module.main and module.__name__ == "ammonite.sweep"
