"""grow() gives exactly what ammonite-batch gives for the same options."""

import io
import math
import struct

import matplotlib.image
import numpy as np
import pandas as pd
import pytest

import ammonite
from ammonite._shell import read_stage_table

# Option sets: grow() keywords and the batch tool's arguments for the same run.
OPTION_SETS = {
    "defaults": ({}, []),
    "stages_scale_view": (dict(stages="1200", scale=3, view=(1, 0.5, 0), origin=(400, 300)),
                          ["--stages", "1200", "--scale", "3", "--view", "1,0.5,0", "--origin", "400,300"]),
    "two_runs_shaded": (dict(runs=2, shade=True, ribbing=True, light=(1, -1, 1), densities=(0.002, 1.3)),
                        ["--runs", "2", "--shade", "--ribbing", "on", "--light", "1,-1,1",
                         "--densities", "0.002,1.3"]),
    "thresholds_orientation": (dict(thresholds=(400, 800, -20, -60), orientation=False, stages=900.0),
                               ["--thresholds", "400,800,-20,-60", "--orientation", "off", "--stages", "900"]),
}


def batch_results(run_batch, tmp_path, args):
    done = run_batch(*args, "--tables", tmp_path / "t.csv", "--log", tmp_path / "l.txt", "--png", tmp_path / "p.png",
                     "--stl", tmp_path / "m.stl", expect=(0, 1))
    return done


def png_pixels(path):
    rgb = matplotlib.image.imread(path)[:, :, :3]
    return np.rint(rgb * 255).astype(np.uint8)


def stl_triangles(path):
    data = path.read_bytes()
    (count,) = struct.unpack_from("<I", data, 80)
    records = np.frombuffer(data, dtype=np.dtype([("n", "<f4", 3), ("v", "<f4", (3, 3)), ("a", "<u2")]),
                            count=count, offset=84)
    return records["v"]


@pytest.mark.parametrize("name", OPTION_SETS)
def test_results_equal_the_batch_tool(name, run_batch, tmp_path):
    kwargs, args = OPTION_SETS[name]
    done = batch_results(run_batch, tmp_path, args)
    shell = ammonite.grow(**kwargs)

    # The stage table, cell by cell (NaN where the batch tool leaves a cell empty).
    expected = pd.read_csv(tmp_path / "t.csv", dtype=float, float_precision="round_trip")
    table = shell.table
    assert list(table.columns) == list(expected.columns)
    assert (table.dtypes == np.float64).all()
    pd.testing.assert_frame_equal(table, expected, check_exact=True)
    assert table["mean_density_g_cm3"].isna().any() or name != "defaults"

    summary = shell.summary
    assert summary == ammonite._shell._summary_dict(done.stdout)
    assert list(summary) == [line.split("=")[0] for line in done.stdout.splitlines()]
    assert isinstance(summary["shown_stage"], int) and isinstance(summary["stability_index"], float)
    assert isinstance(summary["density_label"], str)

    assert shell.log == (tmp_path / "l.txt").read_text(encoding="utf-8").splitlines()

    image = shell.image()
    assert image.shape == (760, 1000, 3) and image.dtype == np.uint8
    np.testing.assert_array_equal(image, png_pixels(tmp_path / "p.png"))
    if name == "defaults":
        assert shell._repr_png_() == (tmp_path / "p.png").read_bytes()

    mesh = shell.mesh()
    for part in ("phragmocone", "body_chamber"):
        vertices, faces = mesh[part]
        assert vertices.dtype == np.float64 and faces.dtype == np.int64
        assert vertices.shape[1] == 3 and faces.shape[1] == 3
        np.testing.assert_array_equal(vertices[faces].astype(np.float32), stl_triangles(tmp_path / f"m_{part}.stl"))


def test_save_writes_the_batch_tools_files(run_batch, tmp_path):
    run_batch("--runs", "2", "--tables", "t.csv", "--svg", "p.svg", "--png", "p.png", "--obj", "m.obj",
              "--ply", "m.ply", "--mesh-scale", "2", "--mesh-ring-points", "36")
    shell = ammonite.grow(runs=2)
    out = tmp_path / "py"
    out.mkdir()
    assert shell.save(out / "t.csv") == [str(out / "t.csv")]
    shell.save(out / "p.svg")
    shell.save(out / "p.png")
    # The batch tool writes the PLY meshes before the OBJ; the OBJ's sidecar stays.
    shell.save(out / "m.PLY", mesh_scale=2, ring_points=36)
    assert shell.save(out / "m.obj", mesh_scale=2, ring_points=36) == [str(out / "m.obj"), str(out / "m_volumes.txt")]
    for name in ("t.csv", "p.svg", "p.png", "m.obj", "m_volumes.txt", "m_phragmocone.ply", "m_body_chamber.ply"):
        assert (out / name).read_bytes() == (tmp_path / name).read_bytes(), name


def test_save_refuses_what_it_cannot_write(tmp_path):
    shell = ammonite.grow(stages=300)
    with pytest.raises(ValueError, match=r"\.png, \.svg, \.csv, \.stl, \.ply or|must be one of"):
        shell.save(tmp_path / "picture.jpg")
    (tmp_path / "folder.csv").mkdir()
    with pytest.raises(ammonite.WriteError, match="folder.csv"):
        shell.save(tmp_path / "folder.csv")
    with pytest.raises(OSError):
        shell.save(tmp_path / "missing" / "t.png")
    assert sorted(p.name for p in tmp_path.iterdir()) == ["folder.csv"]  # no temporary left behind
    with pytest.raises(ValueError, match="ring_points"):
        shell.mesh(ring_points=7)
    with pytest.raises(ValueError, match="scale"):
        shell.save(tmp_path / "m.stl", mesh_scale=0)


def test_a_runtime_error_keeps_what_was_reached(run_batch, tmp_path):
    # α = 1 grows a tube of no volume: the hydrostatics divide by zero.
    profiles = ammonite.default_profiles()
    profiles["alpha"] = 1.0
    ammonite.write_profiles(tmp_path / "flat.txt", profiles)
    done = run_batch("--profiles", "flat.txt", "--tables", "t.csv", expect=(1,))
    with pytest.warns(RuntimeWarning, match="Division by zero"):
        shell = ammonite.grow(profiles=profiles)
    assert shell.error and shell.error in done.stderr
    pd.testing.assert_frame_equal(shell.table, read_stage_table((tmp_path / "t.csv").read_text()), check_exact=True)
    assert shell.summary == ammonite._shell._summary_dict(done.stdout)
    with pytest.raises(ValueError, match="run"):
        shell.mesh()


@pytest.mark.parametrize("kwargs, message", [
    (dict(stages=1e9), "stages: .*too large"),
    (dict(stages="99999"), "stages: .*too large"),
    (dict(scale=[2]), "scale must be a number"),
    (dict(view=(1, 2)), "view must be 3 numbers"),
    (dict(light=(1, "x", 0)), "light: 'x' is not a finite number"),
    (dict(origin=(1e15, 0)), "origin: .*too large"),
    (dict(densities=(0.1, -1)), "densities: .*negative"),
    (dict(orientation="maybe"), "orientation must be True or False"),
    (dict(thresholds=(0, 0, 5, 0)), "thresholds FT1: 5 is outside -80..0"),
    (dict(thresholds=(0, 0, 0)), "thresholds must be 4 whole numbers"),
    (dict(runs=-1), "runs: -1 is outside 0..100000"),
    (dict(runs=1.5), "runs: 1.5 is not a whole number"),
    (dict(profiles=42), "profiles must be a path"),
    (dict(profiles="no/such/file.txt"), "file.txt"),
    (dict(profiles={"alpha": 1.0}), "profiles: the key 'stage_range' is missing"),
])
def test_bad_options_name_what_was_wrong(kwargs, message):
    with pytest.raises((ValueError, TypeError), match=message):
        ammonite.grow(**kwargs)


def test_grow_runs_alongside_other_threads():
    # The engine releases the interpreter: shells grown on threads at once
    # are the shells grown one after the other.
    from concurrent.futures import ThreadPoolExecutor
    stages = [400, 700, 1000, 1300]
    with ThreadPoolExecutor(4) as pool:
        together = list(pool.map(lambda s: ammonite.grow(stages=s).summary, stages))
    assert together == [ammonite.grow(stages=s).summary for s in stages]


def test_the_interpreter_runs_on_while_a_shell_grows():
    import threading
    import time
    ammonite.grow(stages=10)  # the toolkit is started before timing
    grower = threading.Thread(target=ammonite.grow, kwargs=dict(runs=30))
    ticks = 0
    grower.start()
    while grower.is_alive():
        time.sleep(0.002)
        ticks += 1
    # One engine call of several hundred milliseconds: a held interpreter lock
    # would leave this thread a tick or two.
    assert ticks >= 10


def test_a_scale_text_that_is_no_number_stops_start_as_the_window_does():
    with pytest.warns(RuntimeWarning):
        shell = ammonite.grow(scale="2x")
    assert shell.error == 'SCALE: "2x" is not a number (type a number such as 2)'
