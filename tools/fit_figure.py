"""Makes docs/fit_overlay.png: the example specimen's points and residuals
over the fitted tube, and the fitted shell's density and orientation over the
stages.  PYTHONPATH=build/python python3 tools/fit_figure.py"""

import pathlib
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np

import ammonite

ROOT = pathlib.Path(__file__).resolve().parents[1]
f = ammonite.fit(str(ROOT / "examples" / "measured" / "scaphites_like.csv"), knots=12)
table = f.shell.table
stages = np.arange(0, f.last_stage + 1)
centres = table[["centre_x_mm", "centre_y_mm", "centre_z_mm"]].to_numpy()[stages]
radii = table["radius_mm"].to_numpy()[stages]
placed = centres @ f.transform[:3, :3].T + f.transform[:3, 3]
mm = radii * f.mm_per_unit

fig, (ax, bx) = plt.subplots(1, 2, figsize=(11, 4.8), gridspec_kw={"width_ratios": [1.1, 1]})
# The tube: its outline in the specimen's plane, and its centre line.
d = np.gradient(placed[:, :2], axis=0)
n = np.column_stack([-d[:, 1], d[:, 0]])
n /= np.linalg.norm(n, axis=1)[:, None]
for side in (1, -1):
    edge = placed[:, :2] + side * n * mm[:, None]
    ax.plot(edge[f.first_stage:, 0], edge[f.first_stage:, 1], color="#c4704e", lw=0.8)
ax.plot(placed[:, 0], placed[:, 1], color="#555", lw=1, label="fitted centre line")
r = f.residuals
for _, row in r.iterrows():
    ax.plot([row.x_mm, row.fitted_x_mm], [row.y_mm, row.fitted_y_mm], color="red", lw=0.8)
ax.scatter(r.x_mm, r.y_mm, s=12, color="red", zorder=3, label="specimen")
ax.set_aspect("equal")
ax.set_xlabel("x (mm)")
ax.set_ylabel("y (mm)")
ax.set_title(f"{f.verdict} fit: RMS {f.rms_mm:.2f} mm, stages {f.first_stage}–{f.last_stage}")
ax.legend(loc="lower left", fontsize=8)

s = f.stages
bx.plot(s.stage, s.density, color="#335")
bx.set_xlabel("stage")
bx.set_ylabel("density (g/cm³, model densities 0.6 / 1.3)")
bx.axhline(1.026, color="#88a", lw=0.6, ls="--")
cx = bx.twinx()
cx.plot(s.stage, s.orientation_deg, color="#c4704e")
cx.set_ylabel("orientation (°)", color="#c4704e")
bx.set_title("fitted shell's hydrostatics per stage")
fig.tight_layout()
out = ROOT / "docs" / "fit_overlay.png"
fig.savefig(out, dpi=90)
print(out, f)
