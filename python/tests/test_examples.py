"""The worked examples run (on a small grid) and draw their figures."""

import subprocess
import sys

from conftest import ROOT


def test_the_hydrostatics_study_draws_its_two_figures(tmp_path):
    done = subprocess.run([sys.executable, str(ROOT / "examples" / "hydrostatics_study.py"), "--small",
                           "--out-dir", str(tmp_path)], capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    for name in ("hydrostatics_stages.png", "hydrostatics_map.png"):
        assert (tmp_path / name).read_bytes()[:8] == b"\x89PNG\r\n\x1a\n", name
