#!/usr/bin/python3
"""A morphospace of the default shell: 30 values of the radius ratio α times
30 densities of the body chamber, 900 independent models. The left panel
maps the final mean density of the shell with the contour of neutral
buoyancy in sea water (1.026 g/cm³); the right one the stability index
St = |B - G| / V^(1/3) (larger: the shell rights itself more strongly).

    PYTHONPATH=build/python python3 examples/morphospace.py [--out morphospace.png] [--scheduler ADDRESS]
"""

import argparse

import matplotlib

matplotlib.use("Agg")  # a file, no screen
import matplotlib.pyplot as plt
import numpy as np

import ammonite

ALPHA = np.linspace(1.001, 1.03, 30)
DENSITY_BODY = np.linspace(1.0, 1.6, 30)
SEA_WATER = ammonite.SEA_WATER_DENSITY  # g/cm³, the engine's own


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--out", default="morphospace.png", help="the figure (PNG)")
    parser.add_argument("--scheduler", help="run on this Dask cluster (e.g. tcp://host:8786) instead of local threads")
    args = parser.parse_args()

    client = None
    if args.scheduler:
        from distributed import Client
        client = Client(args.scheduler)
    table = ammonite.sweep({"alpha": ALPHA, "density_body": DENSITY_BODY}, client=client)
    if client is not None:
        client.close()
    stopped = table[table["error"] != ""]
    if len(stopped):
        print(f"{len(stopped)} points stopped: {stopped['error'].iloc[0]}")

    # Rows run α outermost: a 30 x 30 grid, α along the rows.
    shape = (len(ALPHA), len(DENSITY_BODY))
    density = table["mean_density_g_cm3"].to_numpy().reshape(shape)
    stability = table["stability_index"].to_numpy().reshape(shape)

    fig, (left, right) = plt.subplots(1, 2, figsize=(11, 4.6), constrained_layout=True)
    cells = dict(shading="nearest")
    mesh = left.pcolormesh(DENSITY_BODY, ALPHA, density, cmap="RdBu_r", norm=matplotlib.colors.TwoSlopeNorm(
        vcenter=SEA_WATER, vmin=np.nanmin(density), vmax=max(np.nanmax(density), SEA_WATER + 1e-3)), **cells)
    fig.colorbar(mesh, ax=left, label="final mean density (g/cm³)")
    contour = left.contour(DENSITY_BODY, ALPHA, density, levels=[SEA_WATER], colors="black", linewidths=1.5)
    left.clabel(contour, fmt={SEA_WATER: f"{SEA_WATER:g}"}, fontsize=9)
    left.set_title("Buoyancy: sinks above the line, floats below")
    mesh = right.pcolormesh(DENSITY_BODY, ALPHA, stability, cmap="viridis", **cells)
    fig.colorbar(mesh, ax=right, label="stability index |B − G| / V^(1/3)")
    right.contour(DENSITY_BODY, ALPHA, density, levels=[SEA_WATER], colors="white", linewidths=1, linestyles="--")
    right.set_title("Stability (dashed: neutral buoyancy)")
    for ax in (left, right):
        ax.set_xlabel("body-chamber density (g/cm³)")
        ax.set_ylabel("α (radius ratio per stage)")
    fig.suptitle("Morphospace of the default shell: 30 × 30 models")
    fig.savefig(args.out, dpi=100)
    print(f"wrote {args.out}")


if __name__ == "__main__":
    main()
