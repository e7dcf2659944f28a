#!/usr/bin/env python3
"""Writes a field system of about N unknowns for the end-to-end benchmark:
a row of conductor spheres at alternating potentials above an earthed plane,
each on a dielectric post (two unknowns per dielectric contour point).

    bench/make_system.py [N] > system.txt
"""
import sys

target = int(sys.argv[1]) if len(sys.argv) > 1 else 10000
bodies = 10
per_body = target // bodies          # unknowns per electrode with its post
sphere_points = per_body // 2         # one unknown per conductor point
post_points = (per_body - sphere_points) // 2  # two per dielectric point

print("// %d spheres of radius 4 cm on dielectric posts above an earthed plane" % bodies)
print("// about %d unknowns; run with --earth" % (bodies * (sphere_points + 2 * post_points)))
for k in range(bodies):
    yc = 20.0 + 12.0 * k
    u = 100.0 if k % 2 == 0 else -100.0
    print("Me; %d ; 1 ;    ; 1.0 ;\t\tc; 0.000 ; %.3f ; 4.000 ; 90.00000 ; -90.00000 ; %.3f ;%3d ; 1.0000 ;"
          % (10 + k, yc, u, sphere_points))
    # A thin dielectric ring around each sphere's equator, like a support.
    print("De; %d ; 1 ;4.0 ; 1.0 ;\t\tl; 6.000 ; %.3f ; 6.000 ; %.3f ;%3d ; 1.0000 ;"
          % (100 + k, yc + 3.0, yc - 3.0, post_points))
