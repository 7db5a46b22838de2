"""Films from Python: the frames as NumPy arrays agree with the PNG frames
the same call writes, and a video is read back with ffprobe."""

import shutil
import subprocess

import numpy as np
import pytest

import ammonite
from conftest import GALLERY


@pytest.fixture(scope="module")
def shell():
    return ammonite.grow(GALLERY / "ancyloceras.toml")


def test_frames_are_the_films_frames(shell, tmp_path):
    frames = list(shell.frames(size=(96, 64), fps=5, seconds=4))
    assert len(frames) == 20
    assert all(f.shape == (64, 96, 3) and f.dtype == np.uint8 for f in frames)
    assert all((a != b).any() for a, b in zip(frames, frames[1:]))
    written = shell.film(tmp_path / "frames", size=(96, 64), fps=5, seconds=4)
    assert [p.rsplit("/", 1)[1] for p in written[:2]] == ["frame_00001.png", "frame_00002.png"]
    assert len(written) == 20


def test_bad_settings_name_what_was_wrong(shell, tmp_path):
    with pytest.raises(ValueError, match="kind"):
        shell.film(tmp_path / "f", kind="zoom")
    with pytest.raises(ValueError, match="even"):
        next(shell.frames(size=(97, 64)))
    with pytest.raises(ValueError, match="size"):
        shell.film(tmp_path / "f", size=720)


@pytest.mark.skipif(shutil.which("ffprobe") is None, reason="ffmpeg is not installed")
def test_webm_read_back_with_ffprobe(shell, tmp_path):
    path = tmp_path / "turn.webm"
    assert shell.film(path, kind="turntable", size=(128, 96), fps=8, seconds=1) == [str(path)]
    out = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                          "stream=codec_name,width,height,nb_read_frames", "-of", "default=nw=1", str(path)],
                         capture_output=True, text=True, check=True).stdout
    assert "codec_name=vp9" in out and "width=128" in out and "height=96" in out and "nb_read_frames=8" in out
