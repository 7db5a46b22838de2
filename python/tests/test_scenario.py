"""Scenarios: one value that says "this shell", the same in Python, the batch
tool and the files the program writes."""

import pickle

import pandas as pd
import pytest

import ammonite
from ammonite._shell import read_stage_table
from batch_columns import assert_summary_matches_batch, assert_table_matches_batch
from conftest import GALLERY


def test_defaults_are_the_main_windows():
    d = ammonite.defaults()
    assert d == ammonite.Scenario()
    assert (d.stages, d.scale, d.alpha, d.final_stage, d.runs, d.shade) == (1700, 2, 1.005, 3000, 1, False)
    assert d.C[4] == (177.0, 0.93)
    assert set(ammonite.SWEEP_NAMES) <= set(d)
    assert ammonite.grow().scenario == d
    for name in d:
        assert name in ammonite.Scenario.__doc__


def test_file_round_trip_and_the_batch_tool(run_batch, tmp_path):
    s = ammonite.Scenario.load(GALLERY / "hamites.toml")
    assert s.name == "hamites" and s.runs == 2
    s.save(tmp_path / "h.toml")
    assert ammonite.Scenario.load(tmp_path / "h.toml") == s
    assert (tmp_path / "h.toml").read_bytes() == (GALLERY / "hamites.toml").read_bytes()
    changed = s.replace(stages=250, density_body=1.4, name="mine")
    assert changed.stages == 250 and s.stages == 300
    changed.save(tmp_path / "c.toml")
    done = run_batch("--scenario", "c.toml", "--tables", "t.csv", "--save-scenario", "again.toml")
    shell = ammonite.grow(changed)
    assert_summary_matches_batch(shell.summary, done.stdout)
    assert_table_matches_batch(shell.table, read_stage_table((tmp_path / "t.csv").read_text()))
    assert ammonite.Scenario.load(tmp_path / "again.toml") == changed
    assert pickle.loads(pickle.dumps(changed)) == changed


def test_what_grew_before_changes_nothing():
    hamites = ammonite.Scenario.load(GALLERY / "hamites.toml")
    first = ammonite.grow(hamites)
    ammonite.grow(ammonite.Scenario.load(GALLERY / "turrilites.toml"))
    ammonite.grow(runs=10)
    again = ammonite.grow(hamites)
    assert again.summary == first.summary
    pd.testing.assert_frame_equal(again.table, first.table, check_exact=True)


def test_results_carry_their_scenario(tmp_path):
    shell = ammonite.grow(ammonite.Scenario.load(GALLERY / "scaphites.toml"), density_air=0.7)
    written = shell.save(tmp_path / "p.png") + shell.save(tmp_path / "v.svg") + shell.save(tmp_path / "m.stl")
    sidecar = [p for p in written if p.endswith("_volumes.txt")]
    for carrier in [tmp_path / "p.png", tmp_path / "v.svg", *sidecar]:
        back = ammonite.Scenario.from_result(carrier)
        assert back == shell.scenario
        assert ammonite.grow(carrier).summary == shell.summary


def test_bad_files_are_refused_naming_the_key(tmp_path):
    (tmp_path / "a.toml").write_text("format = 1\nstages = 1200.5\n")
    with pytest.raises(ValueError, match="a.toml: stages = 1200.5: must be a whole number from 1 to 3999"):
        ammonite.Scenario.load(tmp_path / "a.toml")
    (tmp_path / "b.toml").write_text("stages = 12\n")
    with pytest.raises(ValueError, match="b.toml: no format key"):
        ammonite.Scenario.load(tmp_path / "b.toml")
    (tmp_path / "c.toml").write_text("format = 1\ncurvature = 3\n")
    with pytest.raises(ValueError, match="c.toml: unknown key 'curvature'"):
        ammonite.Scenario.load(tmp_path / "c.toml")
    (tmp_path / "d.toml").write_text("format = 1\nstages = = 1\n")
    with pytest.raises(ValueError, match="d.toml"):
        ammonite.Scenario.load(tmp_path / "d.toml")
    with pytest.raises(ValueError, match="unknown key 'x'"):
        ammonite.Scenario(x=1)
    with pytest.raises(TypeError, match="stages = None"):
        ammonite.Scenario(stages=None)
    with pytest.raises(AttributeError, match="replace"):
        ammonite.defaults().stages = 5
