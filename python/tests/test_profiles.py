"""Profile data files as plain Python values."""

import pandas as pd
import pytest

import ammonite
from conftest import GALLERY

GALLERY_FILES = sorted(GALLERY.glob("*.txt"))


def test_files_round_trip_byte_for_byte(run_batch, tmp_path):
    run_batch("--save-profiles", "saved.txt")
    run_batch("--runs", "0", "--save-profiles", "start.txt")
    files = [tmp_path / "saved.txt", tmp_path / "start.txt", *GALLERY_FILES]
    assert len(files) > 2
    for path in files:
        profiles = ammonite.read_profiles(path)
        ammonite.write_profiles(tmp_path / "copy.txt", profiles)
        assert (tmp_path / "copy.txt").read_bytes() == path.read_bytes(), path.name
    saved = ammonite.read_profiles(tmp_path / "saved.txt")
    assert saved == dict(ammonite.grow().profiles, title="SAMPLE")
    assert ammonite.read_profiles(tmp_path / "start.txt") == dict(ammonite.default_profiles(), title="SAMPLE")
    assert set(saved) == {"title", "alpha", "stage_range", "gamma", "C", "T", "beta"}
    assert all(len(p) == 2 for p in saved["gamma"])


def test_grow_takes_a_path_or_the_profiles_alike(tmp_path):
    path = GALLERY / "hamites.txt"
    from_file = ammonite.grow(profiles=path, scale=10, runs=2)
    from_values = ammonite.grow(profiles=ammonite.read_profiles(path), scale=10, runs=2)
    pd.testing.assert_frame_equal(from_file.table, from_values.table, check_exact=True)
    assert from_file.summary == from_values.summary
    assert from_file.log == from_values.log
    # Edited values reach the model.
    edited = ammonite.read_profiles(path)
    edited["C"] = [(0, 0.1), (300, 0.1)]
    shell = ammonite.grow(profiles=edited, stages=150)
    assert shell.table["curvature"].iloc[1:150].eq(0.1).all()
    assert shell.profiles["C"] == [(0.0, 0.1), (300.0, 0.1)]


@pytest.mark.parametrize("change, message, grow_message", [
    (dict(gamma=[]), "gamma has 0 points, not 1 to 51", r"gamma = \[\]: a list of 1 to 51"),
    (dict(gamma=[(0, 1)] * 52), "gamma has 52 points", "gamma = .*: a list of 1 to 51"),
    (dict(C=[(0, 1, 2)]), r"C point 0 must be \(stage, value\)", r"C = \[\[0, 1, 2\]\]"),
    (dict(T=[(5000, 1)]), "T point 0 stage 5000 is outside 0..4000", r"T = \[\[5000, 1\]\]"),
    (dict(beta=[(0, "x")]), "beta point 0 value is not a number", r'beta = \[\[0, "x"\]\]'),
    (dict(stage_range=(0,)), r"stage_range must be \(first, final\)", r"stage_range = \(0,\): must be"),
    (dict(alpha=None), "alpha is not a number", "alpha = None"),
    (dict(alpha=float("nan")), "alpha = nan is not a finite number", "alpha = nan"),
    (dict(C=[(0, 1), (3000, float("inf"))]), "C point 1 value = inf is not a finite number", "C = "),
])
def test_bad_profiles_are_refused_and_nothing_written(change, message, grow_message, tmp_path):
    profiles = dict(ammonite.default_profiles(), **change)
    with pytest.raises(ValueError, match=message):
        ammonite.write_profiles(tmp_path / "p.txt", profiles)
    with pytest.raises((ValueError, TypeError), match=grow_message):
        ammonite.grow(profiles=profiles)
    assert not list(tmp_path.iterdir())


def test_a_bad_file_names_its_line(tmp_path):
    bad = tmp_path / "bad.txt"
    bad.write_bytes(b'"SAMPLE"\r\n"x",1.005\r\n0,zz\r\n')
    with pytest.raises(ValueError, match="line 3"):
        ammonite.read_profiles(bad)
    ammonite.write_profiles(bad, ammonite.default_profiles())
    (tmp_path / "ro").mkdir(mode=0o500)
    with pytest.raises(OSError, match="ro"):
        ammonite.write_profiles(tmp_path / "ro" / "p.txt", ammonite.default_profiles())
