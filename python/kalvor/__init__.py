"""Kalvor: axisymmetric electrostatic fields by the charge simulation method.

The engine of the desktop program and of kalvor-calc, for scripts and
studies::

    import kalvor
    system = kalvor.read_system("sphere-plane.txt")
    system.generatrices[0].cy = 20.0          # move the sphere up
    result = kalvor.solve(system, earth=True)
    print(result.summary["bodies"][0]["max_field_kv_per_cm"])

    rows = kalvor.sweep(make_system, values, {"earth": True}, executor=client)

Lengths in cm, potentials in kV, fields in kV/cm, charges in C,
capacitances in F. Every failure of the engine raises kalvor.Error with the
engine's message and error code.
"""

from ._kalvor import Error, Generatrix, Result, System, read_system, solve
from ._sweep import sweep

__all__ = ["Error", "Generatrix", "Result", "System", "read_system", "solve", "sweep"]
