"""ammonite.fit: the same fit as ammonite-batch --fit, as pandas and NumPy
values, locally or over a Dask cluster."""

import math
import subprocess

import numpy as np
import pytest

import ammonite

from conftest import ROOT

SPECIMEN = ROOT / "examples" / "measured" / "scaphites_like.csv"


def _coil(n=40, planar=True):
    """An open coil whose radius grows along it, in millimetres."""
    t = np.linspace(0.0, 2.5 * math.pi, n)
    r = 5.0 + 3.0 * t
    x, y = r * np.cos(t) + 12.0, r * np.sin(t) - 4.0
    radii = 0.8 + 0.25 * t
    if planar:
        return np.column_stack([x, y]), radii
    return np.column_stack([x, y, 0.8 * t]), radii


def test_fit_of_points_gives_scenario_residuals_transform_and_stages():
    points, radii = _coil()
    f = ammonite.fit(points, radii, knots=4, evaluations=600)
    assert f.verdict in ("good", "rough", "failed")
    assert list(f.residuals.columns[:4]) == ["row", "x_mm", "y_mm", "z_mm"]
    assert len(f.residuals) == len(points)
    assert f.rms_mm == pytest.approx(math.sqrt((f.residuals["distance_mm"] ** 2).mean()))
    assert f.transform.shape == (4, 4)
    assert f.transform[3].tolist() == [0, 0, 0, 1]
    assert f.planar
    assert all(v == 0 for _, v in f.profiles["T"])
    assert isinstance(f.scenario, ammonite.Scenario)
    assert f.scenario["stages"] == f.last_stage == f.stages["stage"].iloc[-1]
    # The scenario says how the shell lies over the specimen.
    assert f.scenario["mm_per_unit"] == f.mm_per_unit > 0
    assert f.scenario["first_measured_stage"] == f.first_stage
    assert f.rms_mm < 0.05 * f.specimen_length_mm
    # The shell grows the scenario: its final density is the fit's.
    assert float(f.shell.table["mean_density_g_cm3"].iloc[f.last_stage]) == pytest.approx(
        f.final_density, rel=1e-9)


def test_fit_of_a_file_matches_the_batch_tool(tmp_path, batch_tool):
    f = ammonite.fit(str(SPECIMEN), knots=4, evaluations=400)
    out = tmp_path / "res.csv"
    saved = tmp_path / "fitted.toml"
    run = subprocess.run([batch_tool, "--fit", str(SPECIMEN), "--fit-knots", "4", "--fit-out", str(out),
                          "--save-scenario", str(saved)], capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    # The saved scenario grows the fitted shell.
    again = ammonite.grow(str(saved))
    stages = int(next(l for l in run.stdout.splitlines() if l.startswith("fit_last_stage=")).split("=")[1])
    density = float(next(l for l in run.stdout.splitlines() if l.startswith("fit_final_density=")).split("=")[1])
    assert float(again.table["mean_density_g_cm3"].iloc[stages]) == pytest.approx(density, rel=1e-9)
    # Same specimen, same engine; the batch tool's default budget is larger,
    # so both must simply be sound fits of the same file.
    assert "fit_verdict=" in run.stdout
    assert len(open(out).read().splitlines()) == len(f.residuals) + 1


def test_refused_specimens_name_the_problem(tmp_path):
    with pytest.raises(ValueError, match="row 3"):
        ammonite.fit([[0, 0], [1, 1], [math.nan, 2]] + [[i, i] for i in range(3, 12)])
    with pytest.raises(ValueError, match="at least 8"):
        ammonite.fit([[0, 0, 0], [1, 0, 0]])
    with pytest.raises(ValueError, match=r"\(N, 3\) or \(N, 2\)"):
        ammonite.fit(np.zeros((10, 4)))
    with pytest.raises(ValueError, match="4 to 12"):
        ammonite.fit(_coil()[0], knots=20)
    bad = tmp_path / "bad.csv"
    bad.write_text("x_mm,y_mm,mark\n0,0,\n1,0,aperture\n2,0,septum\n")
    with pytest.raises(ValueError, match="row 4"):
        ammonite.fit(str(bad))


def test_fit_spreads_its_guesses_over_a_dask_cluster():
    from distributed import Client, LocalCluster
    points, radii = _coil(planar=False)
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as local, Client(local) as client:
        f = ammonite.fit(points, radii, knots=4, evaluations=600, client=client)
        # With more knots than the first searches use, a refined result
        # says where its knots lie; the finish here must grow the same shell
        # as the local fit, which keeps them.
        many = ammonite.fit(points, radii, knots=6, evaluations=600, client=client)
    assert f.evaluations > 0
    assert len(f.residuals) == len(points)
    assert not f.planar
    assert f.rms_mm < 0.1 * f.specimen_length_mm
    local = ammonite.fit(points, radii, knots=6, evaluations=600)
    assert many.rms_mm == pytest.approx(local.rms_mm, rel=1e-9)
    assert many.scenario == local.scenario
