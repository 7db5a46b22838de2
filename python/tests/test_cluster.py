"""Sweeps on a Dask cluster: how the client is given, lazy tables, lost
workers and clusters, and workers of another version."""

import os
import signal
import time

import pandas as pd
import pytest

import ammonite
from ammonite import _cluster
from conftest import run_module

GRID = {"density_body": "1.0:1.6:4", "st1": [200, 600]}
OPTIONS = dict(stages=300, progress=False)


def local_cluster(workers):
    from distributed import LocalCluster
    return LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, host="127.0.0.1",
                        dashboard_address=":0")


@pytest.fixture(scope="module")
def cluster():
    from distributed import Client
    with local_cluster(2) as local, Client(local) as client:
        yield local, client


@pytest.fixture(scope="module")
def expected():
    return ammonite.sweep(GRID, jobs=2, **OPTIONS)


def worker_pids(client):
    return list(client.run(os.getpid).values())


def test_a_client_or_an_address_gives_the_local_table(cluster, expected):
    local, client = cluster
    pd.testing.assert_frame_equal(ammonite.sweep(GRID, client=client, chunk=3, **OPTIONS), expected,
                                  check_exact=True)
    by_address = ammonite.sweep(GRID, client=local.scheduler_address, **OPTIONS)
    pd.testing.assert_frame_equal(by_address, expected, check_exact=True)
    assert by_address.attrs["scenario"] == expected.attrs["scenario"]


def test_a_lazy_sweep_computes_to_the_blocking_table(cluster, expected):
    import dask.dataframe as dd
    lazy = ammonite.sweep(GRID, client=cluster[1], compute=False, chunk=3, **OPTIONS)
    assert isinstance(lazy, dd.DataFrame) and lazy.npartitions == 3
    assert list(lazy.columns) == list(expected.columns)
    pd.testing.assert_frame_equal(lazy.compute(), expected, check_exact=True)


def test_a_shell_grows_as_a_task(cluster):
    client = cluster[1]
    here = ammonite.grow(stages=250)
    there = client.submit(ammonite.grow, stages=250).result()
    assert there.scenario == here.scenario
    pd.testing.assert_frame_equal(there.table, here.table, check_exact=True)
    shells = client.gather(client.map(ammonite.grow, [ammonite.Scenario(stages=120), ammonite.Scenario(stages=180)]))
    assert [s.scenario.stages for s in shells] == [120, 180] and shells[1].summary == ammonite.grow(stages=180).summary


def test_an_asynchronous_client_or_another_object_is_refused():
    class Asynchronous:
        asynchronous = True
        scheduler = None

        def submit(self):
            pass

    with pytest.raises(TypeError, match="asynchronous Client"):
        ammonite.sweep(GRID, client=Asynchronous(), **OPTIONS)
    with pytest.raises(TypeError, match="distributed.Client or a scheduler address"):
        ammonite.sweep(GRID, client=42, **OPTIONS)


def test_workers_of_another_version_are_refused_before_work_is_sent(cluster, monkeypatch):
    client = cluster[1]
    monkeypatch.setattr(_cluster, "_program_version", "0.0+elsewhere")
    sent = []
    monkeypatch.setattr(client, "submit", lambda *a, **k: sent.append(a))
    with pytest.raises(ammonite.ClusterError, match=r"2 of 2 Dask workers run ammonite .* this process 0.0\+elsewhere"):
        ammonite.sweep(GRID, client=client, **OPTIONS)
    assert not sent


@pytest.mark.slow
def test_a_killed_worker_still_gives_the_whole_table(expected):
    from distributed import Client
    killed = []
    with local_cluster(2) as local, Client(local) as client:
        def kill_one(done, total):
            if not killed:
                killed.append(worker_pids(client)[0])
                os.kill(killed[0], signal.SIGKILL)

        table = ammonite.sweep(GRID, stages=300, client=client, chunk=1, progress=kill_one)
    assert killed
    pd.testing.assert_frame_equal(table, expected, check_exact=True)


@pytest.mark.slow
def test_a_cluster_whose_workers_are_all_gone_stops_the_sweep(tmp_path):
    from distributed import Client
    with local_cluster(1) as local, Client(local) as client:
        def kill_all(done, total):
            # The nannies let their workers go for good.
            for nanny in local.workers.values():
                nanny.close_gracefully()
            for pid in worker_pids(client):
                os.kill(pid, signal.SIGKILL)

        start = time.monotonic()
        with pytest.raises(ammonite.ClusterError, match=r"has no worker left: no worker seen for 2 s, 1 of 8 points"):
            ammonite.sweep(GRID, stages=300, client=client, chunk=1, progress=kill_all, timeout=2)
        assert time.monotonic() - start < 15


@pytest.mark.slow
def test_the_command_line_stops_on_a_cluster_without_workers_and_keeps_the_old_table(tmp_path):
    old = tmp_path / "grid.csv"
    old.write_text("the table of yesterday\n")
    with local_cluster(0) as local:
        start = time.monotonic()
        done = run_module("alpha=1.004:1.006:3", "--stages", "200", "--scheduler", local.scheduler_address,
                          "--timeout", "1", "--out", old, cwd=tmp_path)
    assert done.returncode == 4, done.stderr
    assert "has no worker (waited 1 s for one)" in done.stderr
    assert old.read_text() == "the table of yesterday\n"
    assert time.monotonic() - start < 30
