#!/usr/bin/env python3
"""Wall time of a 16-gap sphere-plane sweep: serial against a 2-worker local
Dask cluster (threads, then processes), side by side in one run, and the
check that every run gives the serial numbers.

    PYTHONPATH=build/python python3 bench/sweep_dask_bench.py [--count 400] [--repeat 3]

Unset OPENBLAS_CORETYPE and OPENBLAS_L2_SIZE to measure what a user who set
nothing gets. Each Dask figure includes sending the systems and the rows,
not the start of the cluster.
"""

import argparse
import time

import kalvor


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--count", type=int, default=400, help="contour points of the sphere (unknowns)")
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    gaps = [2.0 + 0.5 * i for i in range(16)]

    def sphere_plane(gap):
        s = kalvor.System()
        s.add_arc(0.0, 5.0 + gap, 5.0, 90.0, -90.0, potential=100.0, count=args.count, ld=2.0)
        return s

    def timed(executor):
        best, rows = float("inf"), None
        for _ in range(args.repeat):
            start = time.perf_counter()
            rows = kalvor.sweep(sphere_plane, gaps, {"earth": True}, executor=executor)
            best = min(best, time.perf_counter() - start)
        return best, rows.to_dict("records") if hasattr(rows, "to_dict") else rows

    from distributed import Client, LocalCluster

    serial, reference = timed(None)
    print(f"16 gaps, {args.count} unknowns each, best of {args.repeat}")
    print(f"  serial                      {serial:8.3f} s")
    for processes in (False, True):
        with LocalCluster(n_workers=2, threads_per_worker=1, processes=processes,
                          dashboard_address=None) as cluster, Client(cluster) as client:
            seconds, rows = timed(client)
        kind = "processes" if processes else "threads"
        print(f"  Dask, 2 workers ({kind:9}) {seconds:8.3f} s  x{serial / seconds:4.2f}  {agreement(rows, reference)}")


def agreement(rows, reference):
    """'same numbers' when every charge and largest field is the serial one
    to the bit; otherwise the largest relative difference. Dask's worker
    processes run the BLAS on one thread (its nanny sets OMP_NUM_THREADS=1),
    which sums the factorisation in another order: the last one or two
    digits move, far below the method's own error. Above 1e-12 it is a fault."""
    worst = 0.0
    for a, b in zip(rows, reference):
        pairs = list(zip(a["charge_c"], b["charge_c"])) + [(a["max_field_kv_per_cm"], b["max_field_kv_per_cm"])]
        for x, y in pairs:
            if x != y:
                worst = max(worst, abs(x - y) / max(abs(x), abs(y)))
    if len(rows) != len(reference) or worst > 1e-12:
        return f"NUMBERS DIFFER (relative {worst:.1e})"
    return "same numbers" if worst == 0 else f"same to {worst:.0e} (BLAS threads differ)"


if __name__ == "__main__":
    main()
