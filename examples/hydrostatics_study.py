#!/usr/bin/python3
"""The hydrostatics of a gallery form, stage by stage and across a morphospace.

Grows Ancyloceras from the gallery and plots, over its stages, the mean
density of the shell with its body (against the density of sea water: below
the line the animal floats), the life orientation of the aperture and the
stability index. Then sweeps the radius ratio α against the density of the
body chamber, takes the sweep as an xarray map and draws where the grown
shells are neutrally buoyant.

    PYTHONPATH=build/python python3 examples/hydrostatics_study.py [--out-dir docs] [--small]

--small runs a 4 × 4 map instead of 24 × 24 (the test suite runs it so).
"""

from __future__ import annotations

import argparse
import io
import pathlib

import matplotlib

matplotlib.use("Agg")  # files, no screen
import matplotlib.pyplot as plt
import numpy as np

import ammonite

GALLERY = pathlib.Path(__file__).resolve().parents[1] / "gallery"
FORM = "ancyloceras"
# The first stages are a tube of almost no volume whose hydrostatics the
# table leaves empty; the plots start past them.
FIRST_STAGE = 20


def save(fig: matplotlib.figure.Figure, path: pathlib.Path) -> None:
    """Writes the figure as a PNG through the package's safe writer."""
    png = io.BytesIO()
    fig.savefig(png, format="png", dpi=110)
    plt.close(fig)
    ammonite.write_file(path, png.getvalue())


def stage_figure(shell: ammonite.Shell, path: pathlib.Path) -> None:
    """Density, orientation and stability over the stages of one shell."""
    table = shell.table.loc[FIRST_STAGE:]  # indexed by stage
    stage = table.index
    fig, (density, angle, stability) = plt.subplots(3, 1, figsize=(7.5, 7.5), sharex=True, constrained_layout=True)
    density.plot(stage, table["mean_density_g_cm3"], color="tab:blue")
    density.axhline(ammonite.SEA_WATER_DENSITY, color="tab:red", linestyle="--",
                    label=f"sea water {ammonite.SEA_WATER_DENSITY:g} g/cm³ (neutral buoyancy)")
    density.set_ylabel("mean density (g/cm³)")
    density.legend(loc="upper right", fontsize="small")
    angle.plot(stage, table["orientation_angle_deg"], color="tab:green")
    angle.set_ylabel("orientation of the aperture (°)")
    stability.plot(stage, table["stability_index"], color="tab:purple")
    stability.set_ylabel("stability index")
    stability.set_xlabel("stage")
    density.set_title(f"{shell.scenario.heading}: hydrostatics over {stage[-1]} stages")
    save(fig, path)


def map_figure(grid, path: pathlib.Path) -> None:
    """Final mean density over the swept plane, with the neutral-buoyancy contour."""
    density = grid["mean_density_g_cm3"]
    fig, ax = plt.subplots(figsize=(7, 5), constrained_layout=True)
    density.plot(ax=ax, x="density_body", y="alpha", cmap="RdBu_r", center=ammonite.SEA_WATER_DENSITY,
                 cbar_kwargs={"label": f"final mean density ({density.attrs['units']})"})
    if np.nanmin(density) < ammonite.SEA_WATER_DENSITY < np.nanmax(density):
        lines = density.plot.contour(ax=ax, x="density_body", y="alpha", levels=[ammonite.SEA_WATER_DENSITY],
                                     colors="black", linewidths=1.5)
        ax.clabel(lines, fmt={ammonite.SEA_WATER_DENSITY: "neutral"}, fontsize="small")
    ax.set_xlabel(f"density of the body chamber ({grid['density_body'].attrs['units']})")
    ax.set_ylabel("radius ratio α")
    ax.set_title(f"{FORM.capitalize()}: where the grown shell floats")
    save(fig, path)


def main(argv: list[str] | None = None) -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--out-dir", default=".", help="folder for the two PNG figures")
    parser.add_argument("--small", action="store_true", help="a 4 x 4 map (quick)")
    args = parser.parse_args(argv)
    out = pathlib.Path(args.out_dir)

    scenario = ammonite.Scenario.load(GALLERY / f"{FORM}.toml")
    shell = ammonite.grow(scenario)
    stage_figure(shell, out / "hydrostatics_stages.png")

    steps = 4 if args.small else 24
    grid = ammonite.sweep({"alpha": f"1.004:1.012:{steps}", "density_body": f"1.0:1.6:{steps}"},
                          scenario=scenario, progress=not args.small, as_xarray=True)
    map_figure(grid, out / "hydrostatics_map.png")
    print(f"wrote {out / 'hydrostatics_stages.png'} and {out / 'hydrostatics_map.png'}")


if __name__ == "__main__":
    main()
