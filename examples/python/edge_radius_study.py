#!/usr/bin/env python3
"""How the largest field of a sphere-plane gap falls as the gap grows.

A sphere of radius 5 cm at 100 kV above an earthed plane; the gap between
its lowest point and the plane runs from 2 to 20 cm. Every gap is one
kalvor.solve; the solves spread over a Dask cluster: a local one (the
machine's cores) by default, an existing one with --scheduler ADDRESS
(start it with `dask-scheduler` on one machine and `dask-worker ADDRESS` on
each of the others; every worker needs the kalvor module).

Writes the table (CSV) and the plot (PNG) beside --out.

    python3 edge_radius_study.py                      # local cluster
    python3 edge_radius_study.py --scheduler tcp://10.0.0.5:8786
    python3 edge_radius_study.py --serial             # no Dask at all
"""

import argparse
import csv
import math
import os
import time

import kalvor

RADIUS = 5.0  # cm
VOLTAGE = 100.0  # kV


def sphere_plane(gap):
    """The system for one gap (cm): the sphere's half circle, clockwise, charges inside."""
    system = kalvor.System()
    system.add_arc(0.0, RADIUS + gap, RADIUS, 90.0, -90.0, potential=VOLTAGE, count=60, ld=2.0)
    return system


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--scheduler", help="address of a running Dask scheduler (default: a local cluster)")
    parser.add_argument("--workers", type=int, default=os.cpu_count(), help="workers of the local cluster")
    parser.add_argument("--serial", action="store_true", help="solve one after another, without Dask")
    parser.add_argument("--steps", type=int, default=19, help="number of gaps from 2 to 20 cm")
    parser.add_argument("--out", default="edge_radius_study", help="output name without extension")
    args = parser.parse_args()

    gaps = [2.0 + 18.0 * i / (args.steps - 1) for i in range(args.steps)]
    options = {"earth": True}
    start = time.monotonic()
    if args.serial:
        rows = kalvor.sweep(sphere_plane, gaps, options)
    else:
        from distributed import Client, LocalCluster

        if args.scheduler:
            with Client(args.scheduler) as client:
                rows = kalvor.sweep(sphere_plane, gaps, options, executor=client)
        else:
            with LocalCluster(n_workers=args.workers, threads_per_worker=1, dashboard_address=None) as cluster, \
                    Client(cluster) as client:
                rows = kalvor.sweep(sphere_plane, gaps, options, executor=client)
    seconds = time.monotonic() - start
    if hasattr(rows, "to_dict"):  # a pandas DataFrame
        rows = rows.to_dict("records")

    with open(args.out + ".csv", "w", newline="") as f:
        out = csv.writer(f)
        out.writerow(["gap_cm", "max_field_kv_per_cm", "charge_c", "error"])
        for r in rows:
            out.writerow([r["value"], r["max_field_kv_per_cm"], r["charge_c"][0] if r["charge_c"] else "",
                          r["error"]])
    failed = [r for r in rows if r["error"]]
    for r in failed:
        print(f"gap {r['value']:g} cm: {r['error']}")
    print(f"{len(rows) - len(failed)} of {len(rows)} gaps in {seconds:.2f} s: {args.out}.csv")

    import matplotlib

    if not os.environ.get("DISPLAY"):
        matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    ok = [r for r in rows if not r["error"]]
    fig, ax = plt.subplots(figsize=(7, 4.5))
    ax.plot([r["value"] for r in ok], [r["max_field_kv_per_cm"] for r in ok], "o-", label="Kalvor")
    # The image series (Emax R / U at h/R = 0.5, 1, 2): what the curve must pass through.
    series = [(0.5, 2.71799), (1.0, 1.77028), (2.0, 1.33885)]
    ax.plot([h * RADIUS for h, _ in series], [e * VOLTAGE / RADIUS for _, e in series], "s", mfc="none",
            ms=10, label="image series")
    ax.set_xlabel("gap, cm")
    ax.set_ylabel("largest field, kV/cm")
    ax.set_title(f"Sphere R = {RADIUS:g} cm at {VOLTAGE:g} kV above an earthed plane")
    ax.grid(True, alpha=0.3)
    ax.legend()
    fig.tight_layout()
    fig.savefig(args.out + ".png", dpi=120)
    print(f"plot: {args.out}.png")
    if os.environ.get("DISPLAY") and matplotlib.get_backend().lower() != "agg":
        plt.show()


if __name__ == "__main__":
    main()
