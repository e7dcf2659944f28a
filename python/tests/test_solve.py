"""kalvor.solve against the physics and against kalvor-calc."""

import csv
import json
import math
import os
import signal
import subprocess
import threading
import time

import numpy as np
import pytest

import kalvor

EPS0 = 8.8541878128e-12  # CODATA, as the summary reports charges


def isolated_sphere(radius=5.0, kv=100.0, count=20, ld=3.0):
    s = kalvor.System()
    s.add_arc(0.0, 0.0, radius, 90.0, -90.0, potential=kv, count=count, ld=ld)
    return s


def test_isolated_sphere_charge_and_field_are_the_analytic_ones():
    r = kalvor.solve(isolated_sphere(), precise=True)
    q = 4 * math.pi * EPS0 * 0.05 * 100e3  # 4 pi eps0 R U, SI
    (body,) = r.bodies
    assert body["charge_c"] == pytest.approx(q, rel=1e-5)
    assert r.capacitance_f.shape == (1, 1)
    assert r.capacitance_f[0, 0] == pytest.approx(4 * math.pi * EPS0 * 0.05, rel=1e-5)
    # Outside: phi = U R / r and |E| = U R / r^2 (kV, cm).
    p = r.field_at(0.0, 12.0)
    assert p["phi_kv"] == pytest.approx(100.0 * 5 / 12, rel=1e-5)
    assert p["e_kv_per_cm"] == pytest.approx(100.0 * 5 / 144, rel=1e-5)
    xs = np.array([[6.0, 8.0], [10.0, 20.0]])
    a = r.field_at(xs, 3.0)
    rho = np.hypot(xs, 3.0)
    assert a["phi_kv"].shape == (2, 2)
    np.testing.assert_allclose(a["phi_kv"], 100.0 * 5 / rho, rtol=1e-5)
    np.testing.assert_allclose(a["e_kv_per_cm"], 100.0 * 5 / rho**2, rtol=1e-5)
    inside = r.field_at(1.0, 1.0)
    assert inside["conductor"] and inside["phi_kv"] == 100.0 and inside["e_kv_per_cm"] == 0.0


def numbers_equal(a, b, path=""):
    """Every number of the two summaries equal (to the last bits a BLAS kernel may change)."""
    if isinstance(a, dict):
        assert a.keys() == b.keys(), path
        for k in a:
            numbers_equal(a[k], b[k], f"{path}.{k}")
    elif isinstance(a, list):
        assert len(a) == len(b), path
        for i, (x, y) in enumerate(zip(a, b)):
            numbers_equal(x, y, f"{path}[{i}]")
    elif isinstance(a, float) and isinstance(b, float):
        assert a == pytest.approx(b, rel=1e-9, abs=1e-13 if "error" in path or "jump" in path else 0), path
    else:
        assert a == b, path


def test_summary_is_kalvor_calc_summary(kalvor_calc, examples, tmp_path):
    path = examples / "sphere-plane.txt"
    subprocess.run([kalvor_calc, str(path), "--earth", "--quiet", "--results", str(tmp_path),
                    "--summary", str(tmp_path / "s.json")], check=True, capture_output=True)
    cli = json.loads((tmp_path / "s.json").read_text())
    py = kalvor.solve(kalvor.read_system(path), earth=True).summary
    for s in (cli, py):
        del s["timings_s"]
        for key in ("results_folder", "control_file", "surface_results"):  # Python writes no files
            del s["parameters"][key]
    numbers_equal(py, cli)
    # The sphere-plane field against the image series (h/R = 2: Emax R/V = 1.33885).
    assert py["bodies"][0]["max_field_kv_per_cm"] == pytest.approx(1.33885 * 100 / 5, rel=2e-3)


def test_field_map_is_the_map_csv(kalvor_calc, examples, tmp_path):
    path = examples / "sphere-plane.txt"
    subprocess.run([kalvor_calc, str(path), "--earth", "--quiet", "--no-surface-results",
                    "--results", str(tmp_path), "--map", str(tmp_path / "m.csv"), "--map-size", "31x23",
                    "--map-rect", "0,0,12,24"], check=True, capture_output=True)
    with open(tmp_path / "m.csv", newline="") as f:
        rows = list(csv.DictReader(f))
    m = kalvor.solve(kalvor.read_system(path), earth=True).field_map((0, 0, 12, 24), (31, 23))
    assert list(m) == list(rows[0])
    assert all(len(v) == 31 * 23 == len(rows) for v in m.values())
    for name, column in m.items():
        expected = np.array([float(r[name]) for r in rows])
        np.testing.assert_allclose(column.astype(float), expected, rtol=2e-9, atol=1e-12, err_msg=name)


def test_write_results_writes_what_kalvor_calc_writes(kalvor_calc, examples, tmp_path):
    path = examples / "rod-support.txt"
    (tmp_path / "cli").mkdir()
    subprocess.run([kalvor_calc, str(path), "--earth", "--quiet", "--results", str(tmp_path / "cli")],
                   check=True, capture_output=True)
    r = kalvor.solve(kalvor.read_system(path), earth=True)
    r.write_results(tmp_path / "py")
    names = sorted(p.name for p in (tmp_path / "cli").iterdir())
    assert names == ["01.dat", "02.dat", "03.dat", "04.dat", "05.dat", "06.dat", "ControlCalc.txt"]
    assert sorted(p.name for p in (tmp_path / "py").iterdir()) == names
    for name in names:
        assert (tmp_path / "py" / name).read_bytes() == (tmp_path / "cli" / name).read_bytes(), name
    lines = r.field_lines(per_electrode=4)
    assert len(lines) == 4 * 3  # three electrode generatrices
    assert all(len(l["x_cm"]) > 1 and l["ends_on"] for l in lines)


def test_failures_raise_the_engines_error():
    s = isolated_sphere()
    s.add_line(0.0, 20.0, 5.0, 20.0, kind="dielectric", eps_inner=0.0, count=10)
    with pytest.raises(kalvor.Error) as e:
        kalvor.solve(s)
    assert e.value.code == 3 and e.value.message.startswith("Ошибка в процессе анализа")
    assert "Образующая 2: диэлектрическая проницаемость внутренней области 0" in e.value.message
    stages = []
    r = kalvor.solve(isolated_sphere(), progress=lambda stage, f: stages.append((stage, f)))
    assert stages and all(0.0 <= f <= 1.0 for _, f in stages)
    assert r.summary["counts"]["unknowns"] == 20


def test_exception_in_progress_callback_stops_the_run():
    def fail(stage, fraction):
        raise RuntimeError("stop here")
    with pytest.raises(RuntimeError, match="stop here"):
        kalvor.solve(isolated_sphere(), progress=fail)


def test_ctrl_c_stops_a_large_solve_within_a_second():
    big = isolated_sphere(count=8000, ld=2.0)
    working = threading.Event()
    sent = []

    def progress(stage, fraction):
        if fraction > 0.0:  # past the allocation, in the fill or the solve
            working.set()

    def interrupt():
        if working.wait(120):
            time.sleep(0.3)
            sent.append(time.monotonic())
            os.kill(os.getpid(), signal.SIGINT)

    watcher = threading.Thread(target=interrupt, daemon=True)
    watcher.start()
    returned = []
    with pytest.raises(KeyboardInterrupt):
        kalvor.solve(big, capacitance=False, progress=progress)
        returned.append(True)
        time.sleep(5)  # the interrupt lands here instead
    stopped = time.monotonic()
    watcher.join()
    assert not returned, "the solve ended before the interrupt"
    assert sent and stopped - sent[0] < 1.0
