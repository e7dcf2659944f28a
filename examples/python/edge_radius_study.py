#!/usr/bin/env python3
"""How the largest field of a rod's end falls as its edge is rounded.

A rod of radius 2 cm at 100 kV, its flat end 5 cm above an earthed plane
and its far end a hemisphere; the edge between the flat end and the side is
rounded with a radius from 0.1 to 1.9 cm. A sharp edge has an infinite
field; the rounder the edge, the lower the peak, down to the hemispherical
end (radius 2 cm). Every radius is one kalvor.solve; the solves spread over
a Dask cluster: a local one (the machine's cores) by default, an existing
one with --scheduler ADDRESS (start it with `dask-scheduler` on one machine
and `dask-worker ADDRESS` on each of the others; every worker needs the
kalvor module).

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

ROD = 2.0  # rod radius, cm
GAP = 5.0  # flat end above the plane, cm
LENGTH = 30.0  # from the flat end to the far hemisphere's centre, cm
VOLTAGE = 100.0  # kV


def rounded_rod(edge):
    """The rod with its end edge rounded to `edge` cm: clockwise from the top of the axis, charges inside."""
    top = GAP + LENGTH
    system = kalvor.System()
    system.add_arc(0.0, top, ROD, 90.0, 0.0, potential=VOLTAGE, count=20, ld=2.0)
    system.add_line(ROD, top, ROD, GAP + edge, potential=VOLTAGE, count=60, ld=2.0)
    system.add_arc(ROD - edge, GAP + edge, edge, 0.0, -90.0, potential=VOLTAGE, count=30, ld=2.0)
    system.add_line(ROD - edge, GAP, 0.0, GAP, potential=VOLTAGE, count=20, ld=2.0)
    return system


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--scheduler", help="address of a running Dask scheduler (default: a local cluster)")
    parser.add_argument("--workers", type=int, default=os.cpu_count(), help="workers of the local cluster")
    parser.add_argument("--serial", action="store_true", help="solve one after another, without Dask")
    parser.add_argument("--steps", type=int, default=10, help="number of edge radii from 0.1 to 1.9 cm")
    parser.add_argument("--out", default="edge_radius_study", help="output name without extension")
    args = parser.parse_args()

    steps = max(args.steps, 2)
    radii = [0.1 + 1.8 * i / (steps - 1) for i in range(steps)]
    # Refined until the largest field is known to 1e-4: a small edge radius
    # needs contour points graded toward the edge.
    options = {"earth": True, "target_error": 1e-4}
    start = time.monotonic()
    if args.serial:
        rows = kalvor.sweep(rounded_rod, radii, options)
    else:
        from distributed import Client, LocalCluster

        if args.scheduler:
            with Client(args.scheduler) as client:
                rows = kalvor.sweep(rounded_rod, radii, options, executor=client)
        else:
            with LocalCluster(n_workers=args.workers, threads_per_worker=1, dashboard_address=None) as cluster, \
                    Client(cluster) as client:
                rows = kalvor.sweep(rounded_rod, radii, options, executor=client)
    seconds = time.monotonic() - start
    if hasattr(rows, "to_dict"):  # a pandas DataFrame
        rows = rows.to_dict("records")

    with open(args.out + ".csv", "w", newline="") as f:
        out = csv.writer(f)
        out.writerow(["edge_radius_cm", "max_field_kv_per_cm", "max_field_error_kv_per_cm", "charge_c", "error"])
        for r in rows:
            out.writerow([r["value"], r["max_field_kv_per_cm"], r["max_field_error_kv_per_cm"],
                          r["charge_c"][0] if r["charge_c"] else "", r["error"]])
    failed = [r for r in rows if r["error"]]
    for r in failed:
        print(f"edge radius {r['value']:g} cm: {r['error']}")
    print(f"{len(rows) - len(failed)} of {len(rows)} radii in {seconds:.2f} s: {args.out}.csv")

    import matplotlib

    if not os.environ.get("DISPLAY"):
        matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    ok = [r for r in rows if not r["error"]]
    fig, ax = plt.subplots(figsize=(7, 4.5))
    ax.errorbar([r["value"] for r in ok], [r["max_field_kv_per_cm"] for r in ok],
                yerr=[r["max_field_error_kv_per_cm"] for r in ok], fmt="o-", capsize=3, label="Kalvor")
    ax.set_xlabel("edge radius, cm")
    ax.set_ylabel("largest field, kV/cm")
    ax.set_title(f"Rod R = {ROD:g} cm at {VOLTAGE:g} kV, end {GAP:g} cm above an earthed plane")
    ax.grid(True, alpha=0.3)
    ax.legend()
    fig.tight_layout()
    fig.savefig(args.out + ".png", dpi=120)
    print(f"plot: {args.out}.png")
    if os.environ.get("DISPLAY") and matplotlib.get_backend().lower() != "agg":
        plt.show()


if __name__ == "__main__":
    main()
