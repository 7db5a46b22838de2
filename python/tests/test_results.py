"""The shell's results as data: the final numbers against the labels, a sweep
row and the mesh sidecar; the regulation's events against its log; meshes
with and without ribs; a shell that does not change and that pickles."""

import math
import pickle

import numpy as np
import pytest

import ammonite
from ammonite._columns import SWEEP_COLUMNS


def sidecar_values(path):
    return dict(line.split("=", 1) for line in path.read_text().splitlines() if "=" in line)


@pytest.fixture(scope="module")
def shell_1200():
    return ammonite.grow(stages=1200)


def test_final_numbers_are_the_labels_the_sweep_row_and_the_sidecar(shell_1200, run_batch, tmp_path):
    s = shell_1200.summary
    # The labels are the numbers truncated, as the window truncates them.
    assert float(s["orientation_label"]) == math.floor(10 * s["orientation_angle_deg"]) / 10
    assert float(s["density_label"]) == math.floor(1000 * s["mean_density_g_cm3"]) / 1000
    assert float(s["pt_ratio_text"]) == math.floor(10 * s["pt_ratio_percent"]) / 10
    # A rib under way at stage 1200 was finished: the results describe stage 1200.
    assert (s["hydrostatic_stage"], s["built_stage"], s["shown_stage"]) == (1200, 1204, 1203)
    table = shell_1200.table
    assert table.index[-1] == s["built_stage"]
    assert table.loc[1200, "mean_density_g_cm3"] == s["mean_density_g_cm3"]
    assert table.loc[1200, "pt_ratio_percent"] == s["pt_ratio_percent"]
    assert table.loc[1200, "stability_index"] == s["stability_index"]
    assert table.loc[1200, "volume_mm3"] == pytest.approx(s["total_volume_mm3"], abs=5e-5)
    # The final orientation is measured once more along the last stage built,
    # so it is not the orientation of stage 1200's row.
    assert table.loc[1200, "orientation_angle_deg"] != s["orientation_angle_deg"]

    # The batch tool's sweep row for the same scenario, under the same names.
    grid = run_batch("--sweep", "stages=1200:1200:1").stdout.splitlines()
    row = dict(zip(grid[0].split(","), grid[1].split(",")))
    for name in SWEEP_COLUMNS:
        if name != "error":
            assert s[name] == type(s[name])(row[name]), name
    assert row["error"] == ""

    # Volumes and masses: the run's values the mesh sidecar reports.
    run_batch("--stages", "1200", "--stl", tmp_path / "m.stl")
    side = sidecar_values(tmp_path / "m_volumes.txt")
    # (the sidecar writes them to a dozen digits)
    for name, key in (("air_volume_mm3", "run_air_volume_mm3"), ("body_volume_mm3", "run_body_volume_mm3"),
                      ("total_volume_mm3", "run_total_volume_mm3"), ("total_mass_g", "run_mass_g")):
        assert s[name] == pytest.approx(float(side[key]), rel=1e-11), name
    assert s["air_mass_g"] + s["body_mass_g"] == pytest.approx(s["total_mass_g"], rel=1e-12)
    assert s["ribs"] == int(row["ribs"]) > 0


def test_events_are_the_logs_and_the_tables_values(shell_1200):
    events, log, table = shell_1200.events, shell_1200.log, shell_1200.table
    assert events.index.name == "stage" and events.index[0] == 201 and events.index[-1] == 1204
    assert events["event"].dtype == np.int64 and events["rib_mark"].dtype == np.int64
    # The log: a header, an empty line, the clocks at the start, one line per stage.
    assert log[3:] == [f"{e}： {r}" for e, r in zip(events["event"], events["rib_mark"])]
    first = events.iloc[0]
    assert log[2] == " ".join(f"{v:g}" for v in (first.fatigue_clock, first.schedule_clock, first.rib_clock))
    assert (events["rib_mark"] == table.loc[201:, "rib_mark"]).all()
    assert (events["gamma"] == table.loc[201:, "gamma"]).all()
    assert set(events["gamma"]) <= {1.5, 3.5, 4.5}
    ribs = events[events["event"] == 6]
    assert (ribs["step"] == 0).all() and set(ribs["rib_mark"]) == {1, 2, 3, 4, 5}
    # γ was chosen on the orientation of the stage before.
    chosen = events.loc[202:1200, "previous_orientation_angle_deg"]
    assert (chosen.to_numpy() == table.loc[201:1199, "orientation_angle_deg"].to_numpy()).all()
    assert ammonite.grow(stages=150).events.empty


def test_the_smooth_mesh_matches_the_hydrostatics():
    def volume(vertices, faces):
        a, b, c = (vertices[faces[:, k]] for k in range(3))
        return float(np.einsum("ij,ij->i", a, np.cross(b, c)).sum() / 6)

    ribbed = ammonite.grow(stages=600, ribbing=True)
    smooth = ammonite.grow(stages=600, ribbing=False)
    run = ribbed.summary["total_volume_mm3"]
    assert smooth.summary["total_volume_mm3"] == run  # ribs never reach the hydrostatics
    as_smooth = ribbed.mesh(ring_points=90, ribbing=False)
    for part in ("phragmocone", "body_chamber"):
        np.testing.assert_array_equal(as_smooth[part][0], smooth.mesh(ring_points=90)[part][0])
    total = sum(volume(*as_smooth[p]) for p in as_smooth)
    with_ribs = sum(volume(*v) for v in ribbed.mesh(2, 90).values()) / 8
    assert total == pytest.approx(run, rel=0.01)
    assert with_ribs < 0.97 * run


def test_mesh_options_and_their_old_names():
    shell = ammonite.grow(stages=300)
    with pytest.warns(DeprecationWarning, match="mm_per_unit"):
        old = shell.mesh(scale=2.0, ring_points=36)
    new = shell.mesh(mm_per_unit=2.0, ring_points=36)
    np.testing.assert_array_equal(old["phragmocone"][0], new["phragmocone"][0])
    with pytest.raises(TypeError, match="both"), pytest.warns(DeprecationWarning):
        shell.mesh(mm_per_unit=3.0, scale=2.0)
    for bad in (0, -1, float("nan"), float("inf"), 2e6, True, "2"):
        with pytest.raises(ValueError, match=r"mm_per_unit must be a number .* in \(0, 1000000\]"):
            shell.mesh(bad)
    for bad in (7, 0, 720, 36.0, True):
        with pytest.raises(ValueError, match=r"ring_points must be a divisor of 360 in \[3, 360\]"):
            shell.mesh(ring_points=bad)
    with pytest.raises(TypeError, match="ribbing"):
        shell.mesh(ribbing="off")


def test_a_shell_does_not_change(shell_1200):
    for name, value in (("error", "x"), ("options", {}), ("scenario", None), ("table", None), ("new", 1)):
        with pytest.raises(AttributeError, match="does not change"):
            setattr(shell_1200, name, value)
    options = shell_1200.options
    assert options == dict(ammonite.defaults().replace(stages=1200))  # every value, defaults included
    options["stages"] = 5
    shell_1200.table.loc[1200, "radius_mm"] = 0
    shell_1200.summary["ribs"] = 0
    assert shell_1200.options["stages"] == 1200 and shell_1200.table.loc[1200, "radius_mm"] > 0
    assert shell_1200.summary["ribs"] > 0


def test_a_shell_pickles_with_its_results(tmp_path):
    import pandas as pd
    shell = ammonite.grow(stages=400, ribbing=True)
    data = pickle.dumps(shell)
    assert len(data) < 200_000
    back = pickle.loads(data)
    assert back.scenario == shell.scenario and back.error is None and repr(back) == repr(shell)
    pd.testing.assert_frame_equal(back.table, shell.table, check_exact=True)
    pd.testing.assert_frame_equal(back.events, shell.events, check_exact=True)
    assert back.summary == shell.summary and back.log == shell.log
    # The picture and the meshes are made again from the scenario, the same.
    np.testing.assert_array_equal(back.image(), shell.image())
    assert back.save(tmp_path / "a.csv") and shell.save(tmp_path / "b.csv")
    assert (tmp_path / "a.csv").read_bytes() == (tmp_path / "b.csv").read_bytes()

    with pytest.warns(RuntimeWarning):
        stopped = ammonite.grow(stages=300, alpha=1.0)
    again = pickle.loads(pickle.dumps(stopped))
    assert again.error == stopped.error and repr(again) == repr(stopped)
    assert repr(stopped).startswith("<ammonite.Shell stopped after 0 of 300 stages: Division by zero")


def test_a_dask_worker_grows_a_shell_and_sends_it_back():
    from distributed import Client, LocalCluster
    with LocalCluster(n_workers=1, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=":0") as local, Client(local) as client:
        shell = client.submit(ammonite.grow, stages=500, density_body=1.2).result(timeout=120)
    here = ammonite.grow(stages=500, density_body=1.2)
    assert shell.summary == here.summary and shell.log == here.log
    assert shell.table.equals(here.table) and shell.events.equals(here.events)


def test_a_shell_without_a_run_has_no_final_numbers():
    empty = ammonite.grow(runs=0)
    assert repr(empty) == "<ammonite.Shell with no stage grown (runs=0)>"
    for name in ("orientation_angle_deg", "mean_density_g_cm3", "total_volume_mm3", "total_mass_g"):
        assert math.isnan(empty.summary[name]), name
    assert empty.events.empty and list(empty.table.index) == [0]
