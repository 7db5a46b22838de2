"""grow() gives exactly what ammonite-batch gives for the same options."""

import io
import math
import struct

import matplotlib.image
import numpy as np
import pandas as pd
import pytest

import ammonite
from batch_columns import assert_summary_matches_batch, assert_table_matches_batch
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

    raw = read_stage_table((tmp_path / "t.csv").read_text())
    assert_table_matches_batch(shell.table, raw)

    summary = shell.summary
    assert_summary_matches_batch(summary, done.stdout)
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
    shell.save(out / "m.PLY", mm_per_unit=2, ring_points=36)
    assert shell.save(out / "m.obj", mm_per_unit=2, ring_points=36) == [str(out / "m.obj"), str(out / "m_volumes.txt")]
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
    with pytest.raises(ValueError, match=r"mm_per_unit must be a number of millimetres per model unit in \(0, 1000000\], not 0"):
        shell.save(tmp_path / "m.stl", mm_per_unit=0)


def test_a_runtime_error_keeps_what_was_reached(run_batch, tmp_path):
    # α = 1 grows a tube of no volume: the hydrostatics divide by zero.
    profiles = ammonite.default_profiles()
    profiles["alpha"] = 1.0
    ammonite.write_profiles(tmp_path / "flat.txt", profiles)
    done = run_batch("--profiles", "flat.txt", "--tables", "t.csv", expect=(1,))
    with pytest.warns(RuntimeWarning, match="Division by zero"):
        # A profile set never changes the stage count: the file's load does.
        shell = ammonite.grow(profiles=profiles, stages=3000)
    assert shell.error and shell.error in done.stderr
    assert_table_matches_batch(shell.table, read_stage_table((tmp_path / "t.csv").read_text()))
    assert_summary_matches_batch(shell.summary, done.stdout)
    # The final report was not reached: no final numbers, as in a sweep row.
    assert math.isnan(shell.summary["orientation_angle_deg"]) and math.isnan(shell.summary["mean_density_g_cm3"])
    assert shell.error in repr(shell) and "density ," not in repr(shell)
    with pytest.raises(ValueError, match="run"):
        shell.mesh()


@pytest.mark.parametrize("kwargs, message", [
    (dict(stages=1e9), "stages = 1000000000: must be a whole number from 1 to 3999"),
    (dict(stages="99999"), 'stages = "99999": must be a whole number from 1 to 3999'),
    (dict(scale=[2]), r"scale = \[2\]: must be a number"),
    (dict(view=(1, 2)), r"view = \[1, 2\]: must be 3 numbers"),
    (dict(light=(1, "x", 0)), r'light = \[1, "x", 0\]: must be 3 numbers'),
    (dict(origin=(1e15, 0)), r"origin = .*: must be 2 numbers, each from -9e14 to 9e14"),
    (dict(densities=(0.1, -1)), "density_body = -1: must be a density from 0 to 1e12"),
    (dict(orientation="maybe"), 'orientation = "maybe": must be true or false'),
    (dict(thresholds=(0, 0, 5, 0)), "ft1 = 5: must be a whole number from -80 to 0"),
    (dict(thresholds=(0, 0, 0)), r"thresholds = \(0, 0, 0\): must be 4 values"),
    (dict(runs=-1), "runs = -1: must be a whole number from 0 to 100000"),
    (dict(runs=1.5), "runs = 1.5: must be a whole number"),
    (dict(profiles=42), "profiles must be a path"),
    (dict(profiles="no/such/file.txt"), "file.txt"),
    (dict(profiles={"curvature": [(0, 1)]}), "profiles: unknown key 'curvature'"),
    (dict(curvature=[(0, 1)]), "unknown input 'curvature'"),
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


# What grow() used to take silently: every case is refused naming the input,
# the value and what is allowed.
@pytest.mark.parametrize("kwargs, message", [
    (dict(stages="abc"), 'stages = "abc": must be a whole number from 1 to 3999'),
    (dict(stages=-5), "stages = -5: must be a whole number from 1 to 3999"),
    (dict(stages=""), 'stages = "": must be a whole number'),
    (dict(stages="1,200"), 'stages = "1,200": must be a whole number'),
    (dict(stages="12abc"), 'stages = "12abc": must be a whole number'),
    (dict(stages=1200.5), "stages = 1200.5: must be a whole number"),
    (dict(stages=0), "stages = 0: must be a whole number from 1 to 3999"),
    (dict(C=[(1500, 0.2)]), "C starts at stage 1500: a profile starts at stage 0"),
    (dict(C=[(0, 1), (300, 0.5), (200, 0.4), (3000, 0)]), "C: stage 200 follows stage 300: stages must not decrease"),
    (dict(C=[(0, 1), (3500, 0)]), r"C: point \[3500, 0\]: stages run from 0 to final_stage \(3000\)"),
    (dict(C=[(0, 1), (2000, 0)]), r"C ends at stage 2000: a profile ends at final_stage \(3000\)"),
    (dict(alpha=float("nan")), "alpha = nan: must be a number"),
    (dict(scale=float("inf")), "scale = inf: must be a number"),
    (dict(density_air="0.5x"), 'density_air = "0.5x": must be a density'),
])
def test_silently_wrong_inputs_are_refused(kwargs, message):
    with pytest.raises(ValueError, match=message):
        ammonite.grow(**kwargs)


def test_numbers_given_as_whole_texts_and_one_point_profiles():
    assert ammonite.grow(stages="300").summary == ammonite.grow(stages=300).summary
    # One point is a constant over the whole stage range.
    one = ammonite.grow(C=[(0, 0.2)], stages=300)
    assert one.scenario.C == [(0.0, 0.2)]
    assert one.profiles["C"] == [(0.0, 0.2), (3000.0, 0.2)]
    assert one.summary == ammonite.grow(C=[(0, 0.2), (3000, 0.2)], stages=300).summary


def test_a_profile_set_never_changes_the_stage_count(tmp_path):
    plain = ammonite.grow()
    assert ammonite.grow(profiles=ammonite.default_profiles()).summary == plain.summary
    assert plain.summary["shown_stage"] == ammonite.grow(stages=1700).summary["shown_stage"]
    # Reading a profile data file does, as D-Load does.
    ammonite.write_profiles(tmp_path / "p.txt", ammonite.default_profiles())
    assert ammonite.grow(profiles=tmp_path / "p.txt").scenario.stages == 3000
    assert ammonite.grow(profiles=tmp_path / "p.txt", stages=500).scenario.stages == 500


def test_a_scale_text_that_is_no_number_is_refused_with_the_windows_message():
    # Refused before anything runs, in the words the window uses for that text.
    with pytest.raises(ValueError) as refused:
        ammonite.grow(scale="2x")
    assert str(refused.value) == 'SCALE: "2x" is not a number (type a number such as 2)'
