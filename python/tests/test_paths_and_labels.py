"""Paths the system cannot take are refused, and the summary's label texts stay
the texts the window shows."""

import pytest

import ammonite


def test_a_path_with_a_nul_character_is_refused_not_cut_short(tmp_path):
    profiles = tmp_path / "p.txt"
    ammonite.write_profiles(profiles, ammonite.default_profiles())
    cut = str(profiles) + "\0junk"
    # The part before the NUL names a good file: it must not be read instead.
    with pytest.raises(ValueError, match="NUL"):
        ammonite.grow(profiles=cut, stages=20)
    with pytest.raises(ValueError, match="NUL"):
        ammonite.read_profiles(cut)
    with pytest.raises(ValueError, match="NUL"):
        ammonite.write_profiles(str(tmp_path / "q.txt") + "\0junk", ammonite.default_profiles())
    shell = ammonite.grow(stages=20)
    for name in ("t.csv\0.png", "m.stl\0x"):
        with pytest.raises(ValueError, match="NUL"):
            shell.save(tmp_path / name)
    assert sorted(p.name for p in tmp_path.iterdir()) == ["p.txt"]


def test_every_label_text_of_the_summary_is_the_text_itself(run_batch):
    # The labels are the texts the window shows ("1.020" is not 1.02, "87" is
    # not 87): whatever their names, each arrives as the batch tool's text.
    done = run_batch("--stages", "400")
    printed = dict(line.split("=", 1) for line in done.stdout.splitlines())
    labels = [key for key in printed if key.endswith(("_label", "_text"))]
    assert len(labels) >= 4, labels
    summary = ammonite.grow(stages="400").summary
    for key in labels:
        assert isinstance(summary[key], str), (key, summary[key])
        assert summary[key] == printed[key], key
    # The numbers beside them are numbers.
    assert isinstance(summary["shown_stage"], int) and isinstance(summary["stability_index"], float)
