"""Parameter sweeps: one solve per value, run wherever an executor sends them.

The systems are made here, on the caller's side (make_system need not be
picklable); the System, the value and the solve options travel to the
worker, which needs only the kalvor module. Rows come back in the order of
the values whatever order the workers finish in.
"""

import math

from . import _kalvor


def _largest_field_error(summary):
    """The ± figure of the largest field (kV/cm), NaN when the summary has none."""
    best = None
    for body in summary.get("bodies", []):
        err = body.get("max_field_error_kv_per_cm")
        if err is not None and (best is None or body["max_field_kv_per_cm"] > best[0]):
            best = (body["max_field_kv_per_cm"], err)
    return math.nan if best is None else float(best[1])


def solve_row(system, value, solve_options):
    """Solves one system of a sweep and returns its row (see sweep).

    A failure of the engine becomes the row's `error`; any other exception
    propagates. Module-level, so that executors can send it by name."""
    row = {
        "value": value,
        "max_field_kv_per_cm": math.nan,
        "max_field_error_kv_per_cm": math.nan,
        "charge_c": [],
        "body_max_field_kv_per_cm": [],
        "capacitance_f": [],
        "unknowns": 0,
        "error": "",
    }
    try:
        result = _kalvor.solve(system, **(solve_options or {}))
    except _kalvor.Error as e:
        row["error"] = e.message
        return row
    summary = result.summary
    bodies = summary["bodies"]
    fields = [b["max_field_kv_per_cm"] for b in bodies]
    if not fields:  # no conductor: the largest field on any generatrix
        fields = [g["max_field_kv_per_cm"] for g in summary["generatrices"]]
    row["max_field_kv_per_cm"] = max(fields) if fields else math.nan
    row["max_field_error_kv_per_cm"] = _largest_field_error(summary)
    row["charge_c"] = [b["charge_c"] for b in bodies]
    row["body_max_field_kv_per_cm"] = [b["max_field_kv_per_cm"] for b in bodies]
    row["capacitance_f"] = summary["capacitance_f"]
    row["unknowns"] = summary["counts"]["unknowns"]
    return row


def _made(make_system, value):
    system = make_system(value)
    if not isinstance(system, _kalvor.System):
        raise TypeError(f"make_system({value!r}) returned {type(system).__name__}, not kalvor.System")
    return system


def sweep(make_system, values, solve_options=None, executor=None):
    """Solves one system per value and returns one row per value, in order.

    make_system(value) returns the kalvor.System for that value (called here,
    in the caller's process); solve_options is a dict of kalvor.solve's
    keywords (earth, external_field, precise, target_error, capacitance).

    executor runs the solves: anything with submit (a concurrent.futures
    pool, a dask.distributed.Client) or with map; None solves them one after
    another here. Systems pickle exactly, so process pools and remote
    workers give the same numbers as a serial sweep, to the bit where they
    run the BLAS on as many threads as the caller (Dask's worker processes
    use one, which moves the last digit or two: ~1e-14 relative).

    Each row holds value; max_field_kv_per_cm (the largest over the bodies);
    max_field_error_kv_per_cm (its error estimate, NaN where the engine gives
    none); charge_c (one per body, C); body_max_field_kv_per_cm (one per
    body); capacitance_f (the capacitance matrix, F, when computed);
    unknowns; error (the engine's message when the run failed, else "").

    Returns a pandas DataFrame when pandas is importable, else a list of
    dicts.
    """
    values = list(values)
    options = dict(solve_options or {})
    if "progress" in options:
        raise ValueError("a sweep reports no progress per solve: leave out 'progress'")
    systems = [_made(make_system, v) for v in values]
    if executor is None:
        rows = [solve_row(s, v, options) for s, v in zip(systems, values)]
    elif hasattr(executor, "submit"):
        futures = [executor.submit(solve_row, s, v, options) for s, v in zip(systems, values)]
        rows = [f.result() for f in futures]
    elif hasattr(executor, "map"):
        rows = list(executor.map(solve_row, systems, values, [options] * len(values)))
    else:
        raise TypeError("executor needs a submit or a map method")
    try:
        import pandas
    except ImportError:
        return rows
    return pandas.DataFrame(rows)
