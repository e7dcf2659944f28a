#!/usr/bin/env python3
"""Drawings written by an independent DXF writer (ezdxf) for the import tests.

Usage: write_dxf_fixtures.py OUT_DIR
"""
import math
import os
import sys

import ezdxf


def new(units):
    doc = ezdxf.new("R2010")
    doc.header["$INSUNITS"] = units
    return doc, doc.modelspace()


def main(out):
    os.makedirs(out, exist_ok=True)

    # Sphere R = 50 mm, centre 100 mm above the earth (gap h = R), as an ARC.
    doc, msp = new(4)
    doc.layers.add("SPHERE")
    msp.add_arc((0, 100), 50, -90, 90, dxfattribs={"layer": "SPHERE"})
    msp.add_line((0, 0), (0, 50), dxfattribs={"layer": "AXIS"})
    doc.saveas(os.path.join(out, "sphere_mm.dxf"))

    # Rod of radius 1 cm with a hemispherical tip: an LWPOLYLINE with a bulge.
    doc, msp = new(5)
    msp.add_lwpolyline([(0, 30, 0), (1, 30, 0), (1, 5, -math.tan(math.pi / 8)), (0, 4, 0)],
                       format="xyb", dxfattribs={"layer": "ROD"})
    doc.saveas(os.path.join(out, "rod_bulge.dxf"))

    # Dielectric plate r <= 10, 0 <= z <= 2 as a closed polyline (its side on
    # the axis is no surface).
    doc, msp = new(5)
    msp.add_lwpolyline([(0, 0), (10, 0), (10, 2), (0, 2)], close=True, dxfattribs={"layer": "PLATE"})
    doc.saveas(os.path.join(out, "plate.dxf"))

    # A rectangle around the axis whose corner misses by `gap` cm.
    for name, gap in (("gap_1e-6.dxf", 1e-6), ("gap_1e-2.dxf", 1e-2)):
        doc, msp = new(5)
        a = {"layer": "BODY"}
        msp.add_line((0, 10), (5, 10), dxfattribs=a)
        msp.add_line((5, 10 + gap), (5, 0), dxfattribs=a)
        msp.add_line((5, 0), (0, 0), dxfattribs=a)
        doc.saveas(os.path.join(out, name))

    # Entities we do not read.
    doc, msp = new(5)
    msp.add_line((0, 10), (5, 10), dxfattribs={"layer": "BODY"})
    msp.add_line((5, 10), (0, 9), dxfattribs={"layer": "BODY"})
    msp.add_spline([(0, 0), (1, 1), (2, 0), (3, 1)], dxfattribs={"layer": "BODY"})
    msp.add_text("U = 100 kV", dxfattribs={"layer": "NOTES"})
    doc.saveas(os.path.join(out, "spline_text.dxf"))

    # A whole section drawn on both sides of the axis, in metres.
    doc, msp = new(6)
    msp.add_circle((0, 0.15), 0.05, dxfattribs={"layer": "SPHERE"})
    doc.saveas(os.path.join(out, "circle_m.dxf"))

    # Binary DXF.
    doc, msp = new(5)
    msp.add_line((0, 10), (5, 10), dxfattribs={"layer": "BODY"})
    doc.saveas(os.path.join(out, "binary.dxf"), fmt="bin")


if __name__ == "__main__":
    main(sys.argv[1])
