"""A sweep as a labelled array, and a sweep streamed to a file."""

import os
import subprocess
import sys
import textwrap

import numpy as np
import pytest

import ammonite
from ammonite._sweep import read_sweep_table

# α = 1 grows a tube of no volume: the points with it stop on a runtime error.
GRID = {"alpha": [1.0, 1.004, 1.006], "density_body": [1.1, 1.3], "st1": [300, 700]}


def test_a_sweep_as_a_dataset_over_its_axes():
    table = ammonite.sweep(GRID, stages=300, progress=False, jobs=2)
    grid = ammonite.sweep(GRID, stages=300, progress=False, jobs=2, as_xarray=True)
    assert tuple(grid.dims) == ("alpha", "density_body", "st1")
    assert grid.sizes == {"alpha": 3, "density_body": 2, "st1": 2}
    assert list(grid["st1"].values) == [300, 700]
    assert grid["density_body"].attrs["units"] == "g/cm³"
    assert grid["mean_density_g_cm3"].attrs["units"] == "g/cm³"
    assert grid.attrs["axes"] == ["alpha", "density_body", "st1"]
    assert ammonite.Scenario(**_toml_values(grid.attrs["scenario"])) == table.attrs["scenario"]
    # Cell (α, density, st1) holds the row of those values, the first axis outermost.
    for name in ("shown_stage", "mean_density_g_cm3", "stability_index", "error"):
        cells = grid[name].values.reshape(-1)
        column = table[name].to_numpy() if name == "error" else table[name].to_numpy(float, na_value=np.nan)
        assert (cells == column)[table["error"] == ""].all(), name
    one = grid.sel(alpha=1.006, density_body=1.3, st1=700)
    row = table[(table.alpha == 1.006) & (table.density_body == 1.3) & (table.st1 == 700)].iloc[0]
    assert float(one["ribs"]) == row["ribs"]
    assert np.isnan(grid["mean_density_g_cm3"].sel(alpha=1.0)).all()
    assert grid["error"].sel(alpha=1.0).str.startswith("Division by zero").all()


def _toml_values(text):
    import tomllib
    values = tomllib.loads(text)
    values.pop("format", None)
    return values


def test_a_sweep_streamed_to_a_file_is_the_batch_table(run_batch, tmp_path):
    expected = run_batch("--sweep", "alpha=1.0:1.01:3", "--sweep", "st1=100:900:3", "--stages", "400",
                         expect=(1,)).stdout
    done = ammonite.sweep({"alpha": "1.0:1.01:3", "st1": "100:900:3"}, stages=400, progress=False,
                          out=tmp_path / "grid.csv")
    assert (tmp_path / "grid.csv").read_text() == expected
    # Points are counted as stopped from the engine's values, not from the text.
    assert done == {"path": str(tmp_path / "grid.csv"), "points": 9, "stopped": 3}
    # The table returned and the table written hold the same numbers.
    table = ammonite.sweep({"alpha": "1.0:1.01:3", "st1": "100:900:3"}, stages=400, progress=False)
    assert table.equals(read_sweep_table(expected))


def _misaligned(a):
    """A copy of `a` that starts one byte into its buffer, as a column
    unpickled from a worker's message may."""
    if not isinstance(a, np.ndarray):
        return a
    buffer = np.zeros(a.nbytes + 1, dtype=np.uint8)
    copy = np.frombuffer(buffer.data, dtype=a.dtype, count=a.size, offset=1).reshape(a.shape)
    copy[...] = a
    assert a.itemsize == 1 or not copy.flags.aligned
    return copy


def test_columns_from_anywhere_in_memory_give_the_same_file(run_batch, tmp_path, monkeypatch):
    from ammonite import _sweep
    run_points = _sweep._ammonite.run_points
    monkeypatch.setattr(_sweep._ammonite, "run_points",
                        lambda *a, **k: {name: _misaligned(c) for name, c in run_points(*a, **k).items()})
    expected = run_batch("--sweep", "alpha=1.0:1.01:3", "--stages", "300", expect=(1,)).stdout
    ammonite.sweep({"alpha": "1.0:1.01:3"}, stages=300, progress=False, out=tmp_path / "grid.csv")
    assert (tmp_path / "grid.csv").read_text() == expected


def test_a_file_sweep_that_fails_keeps_the_old_file(tmp_path):
    old = tmp_path / "grid.csv"
    old.write_text("kept\n")

    def interrupt(done, total):
        raise KeyboardInterrupt

    with pytest.raises(KeyboardInterrupt):
        ammonite.sweep({"alpha": "1.004:1.006:50"}, out=old, progress=interrupt, jobs=1)
    with pytest.raises(ValueError, match="st1 must lie"):
        ammonite.sweep({"st1": [2000]}, out=old)
    (tmp_path / "folder.csv").mkdir()
    with pytest.raises(ammonite.WriteError, match="folder.csv"):
        ammonite.sweep({"alpha": [1.005]}, out=tmp_path / "folder.csv", progress=False)
    assert old.read_text() == "kept\n"
    assert sorted(p.name for p in tmp_path.iterdir()) == ["folder.csv", "grid.csv"]
    with pytest.raises(ValueError, match="cannot be combined"):
        ammonite.sweep({"alpha": [1.005]}, out=old, as_xarray=True)


PEAK = textwrap.dedent("""
    import resource, sys
    import ammonite
    n = int(sys.argv[1])
    ammonite.sweep({"alpha": f"1.004:1.006:{n}", "density_body": f"1.0:1.5:{n}"}, stages=1, progress=False,
                   out=sys.argv[2])
    print(resource.getrusage(resource.RUSAGE_SELF).ru_maxrss)
""")


def _peak_kib(n, path):
    done = subprocess.run([sys.executable, "-c", PEAK, str(n), str(path)], capture_output=True, text=True,
                          timeout=600, check=True)
    return int(done.stdout)


# The full 300 x 300 grid takes a minute and a half of engine time; the
# default run streams 100 x 100 (AMMONITE_SLOW_TESTS=1 runs the full grid).
# Under the address sanitizer the peak says nothing of the package.
@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""), reason="peak memory under the sanitizers")
def test_memory_stays_flat_whatever_the_grid_size(tmp_path):
    n = 300 if os.environ.get("AMMONITE_SLOW_TESTS") else 100
    small = _peak_kib(10, tmp_path / "small.csv")
    large = _peak_kib(n, tmp_path / "large.csv")
    assert len((tmp_path / "large.csv").read_text().splitlines()) == n * n + 1
    assert large <= 1.5 * small, f"peak {large} KiB for {n} x {n} against {small} KiB for 10 x 10"
