"""kalvor-calc --sweep gives the numbers of separate runs."""

import csv
import json
import subprocess

import pytest

import kalvor


def run(kalvor_calc, *args):
    return subprocess.run([kalvor_calc, *map(str, args)], capture_output=True, text=True)


def test_sweep_lines_equal_separate_runs(kalvor_calc, examples, tmp_path):
    path = examples / "rod-support.txt"
    out = tmp_path / "sweep.csv"
    # The rod's tip (generatrices 3 and 2's end) moves down together.
    r = run(kalvor_calc, path, "--earth", "--quiet", "--sweep", "3:cy=5:4:3", "--sweep", "2:y2=5:4:3",
            "--sweep-out", out)
    assert r.returncode == 0, r.stderr
    with open(out, newline="") as f:
        rows = list(csv.DictReader(f))
    assert list(rows[0]) == ["value", "max_field_kv_per_cm_1", "max_field_error_kv_per_cm_1", "charge_c_1",
                             "capacitance_f_1_1", "error"]
    assert [float(row["value"]) for row in rows] == [5.0, 4.5, 4.0]
    for row in rows:
        system = kalvor.read_system(path)
        system[2].cy = system[1].y2 = float(row["value"])
        system.write(tmp_path / "one.txt")
        assert run(kalvor_calc, tmp_path / "one.txt", "--earth", "--quiet", "--no-surface-results",
                   "--summary", tmp_path / "one.json").returncode == 0
        summary = json.loads((tmp_path / "one.json").read_text())
        (body,) = summary["bodies"]
        assert float(row["max_field_kv_per_cm_1"]) == pytest.approx(body["max_field_kv_per_cm"], rel=1e-9)
        assert float(row["charge_c_1"]) == pytest.approx(body["charge_c"], rel=1e-9)
        assert float(row["max_field_error_kv_per_cm_1"]) == pytest.approx(body["max_field_error_kv_per_cm"], rel=1e-9)
        assert float(row["capacitance_f_1_1"]) == pytest.approx(summary["capacitance_f"][0][0], rel=1e-9)
        assert row["error"] == ""


def test_failing_value_is_reported_and_the_sweep_goes_on(kalvor_calc, examples, tmp_path):
    out = tmp_path / "sweep.csv"
    r = run(kalvor_calc, examples / "sphere-plane.txt", "--earth", "--quiet", "--sweep", "1:ld=-1:2:4",
            "--sweep-out", out)
    assert r.returncode == 1  # not every value was calculated
    with open(out, newline="") as f:
        rows = list(csv.DictReader(f))
    assert [row["error"] != "" for row in rows] == [True, True, False, False]
    assert "L/d" in rows[0]["error"] and rows[0]["charge_c_1"] == ""
    assert float(rows[3]["charge_c_1"]) > 0


def test_bad_sweeps_are_refused_before_anything_runs(kalvor_calc, examples, tmp_path):
    path = examples / "sphere-plane.txt"
    out = tmp_path / "sweep.csv"
    for args, words in ((["--sweep", "1:x1=0:1:3"], "не имеет числа x1"),  # an arc has no x1
                        (["--sweep", "7:cy=0:1:3"], "Образующей 7 нет"),
                        (["--sweep", "1:cy=0:1"], "нужно I:ПОЛЕ"),
                        (["--sweep", "1:cy=0:1:3", "--sweep", "1:radius=1:2:4"], "одно число шагов"),
                        (["--sweep", "1:cy=0:1:3", "--map", tmp_path / "m.csv"], "не сочетается")):
        r = run(kalvor_calc, path, *args, "--sweep-out", out)
        assert r.returncode == 2 and words in r.stderr, (args, r.stderr)
    assert not out.exists()
    r = run(kalvor_calc, path, "--sweep", "1:cy=10:20:2", "--sweep-out", tmp_path / "no" / "s.csv")
    assert r.returncode == 1 and "no/s.csv" in r.stderr
