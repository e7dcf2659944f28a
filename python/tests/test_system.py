"""Reading, editing, writing and pickling field systems."""

import copy
import math
import pickle

import pytest

import kalvor

SPHERE_PLANE = "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 15.000 ; 5.000 ; 90.00000 ; -90.00000 ; 100.000 ; 60 ; 2.0000 ;\n"


def test_examples_read_write_and_read_back(examples, tmp_path):
    for name in ("sphere-plane.txt", "floating-sphere.txt"):  # written by the program
        lines = [l for l in (examples / name).read_text().splitlines() if not l.startswith("//")]
        assert kalvor.read_system(examples / name).to_text() == "".join(l + "\n" for l in lines)
    for name in ("sphere-plane.txt", "floating-sphere.txt", "rod-support.txt"):
        system = kalvor.read_system(examples / name)
        system.write(tmp_path / name)
        again = kalvor.read_system(str(tmp_path / name))
        assert again == system and again.to_text() == system.to_text()


def test_fields_read_as_the_file_says(examples):
    s = kalvor.read_system(examples / "floating-sphere.txt")
    assert len(s) == 3
    g = s.generatrices[0]
    assert (g.kind, g.shape, g.inner_region, g.outer_region) == ("conductor", "arc", 3, 2)
    assert (g.cx, g.cy, g.radius, g.angle1, g.angle2) == pytest.approx((0.0, 10.0, 3.0, 90.0, 0.0))
    assert g.potential is None  # floating
    assert (g.count, g.ld) == (30, 2.0)
    d = s[-1]
    assert (d.kind, d.eps_inner, d.eps_outer, d.potential) == ("dielectric", 6.0, 1.0, None)
    with pytest.raises(AttributeError):
        d.x1
    rod = kalvor.read_system(examples / "rod-support.txt")[1]
    assert (rod.shape, rod.x1, rod.y1, rod.x2, rod.y2, rod.potential) == ("line", 1.0, 30.0, 1.0, 5.0, 50.0)


def test_edits_reach_the_file_text():
    s = kalvor.System.from_text(SPHERE_PLANE)
    g = s.generatrices[0]
    g.cy = 20.0
    g.radius = 2.5
    g.angle2 = -45.0
    g.count = 7
    g.ld = 1.5
    g.potential = 50.0
    assert s.to_text() == ("Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 20.000 ; 2.500 ; 90.00000 ; -45.00000 ;"
                           " 50.000 ;  7 ; 1.5000 ;\n")
    g.potential = None
    assert "x ;" in s.to_text() and g.potential is None
    g.potential = (10.0, 20.0)
    assert g.potential == (10.0, 20.0) and "~ ; 10.000 ; 20.000 ;" in s.to_text()
    g.kind = "dielectric"
    g.eps_inner = 4.0
    assert g.potential is None
    assert s.to_text().startswith("De; 1 ; 2 ;4.0 ; 1.0 ;")
    with pytest.raises(ValueError):
        g.potential = 1.0  # a dielectric has none
    with pytest.raises(ValueError):
        g.kind = "metal"


def test_line_edits_recompute_the_geometry_the_engine_uses():
    s = kalvor.System()
    line = s.add_line(0.0, 0.0, 1.0, 0.0, potential=1.0, count=4)
    line.x2 = 0.0
    line.y2 = 2.0
    line.count = 9
    back = kalvor.System.from_text(s.to_text())
    assert (back[0].x2, back[0].y2, back[0].count) == (0.0, 2.0, 9)


def test_add_and_remove():
    s = kalvor.System()
    s.add_arc(0, 15, 5, 90, -90, potential=100.0, count=60)
    s.add_line(0, 2, 9, 2, kind="dielectric", inner_region=3, eps_inner=4.0, count=80)
    s.add_line(0, 40, 5, 40, potential=None)
    assert [g.shape for g in s.generatrices] == ["arc", "line", "line"]
    assert s.to_text().splitlines()[0] + "\n" == SPHERE_PLANE
    assert s[2].potential is None
    s.remove(1)
    assert [g.shape for g in s.generatrices] == ["arc", "line"]
    with pytest.raises(IndexError):
        s.remove(5)
    with pytest.raises(ValueError):
        s.add_line(0, 0, 1, 1, potential=(1.0, 2.0, 3.0))
    assert len(s) == 2  # a refused addition adds nothing


def test_pickle_and_copy_keep_every_digit():
    s = kalvor.System()
    g = s.add_arc(0.1, 15.123456789, 5 / 3, 90.0, -math.pi, potential=(1 / 3, 2 / 7), count=61, ld=2 / 3)
    s.add_line(0, 2, 9, 2.000000001, kind="dielectric", eps_inner=4.25, count=80)
    for other in (pickle.loads(pickle.dumps(s)), copy.deepcopy(s), s.copy()):
        assert other == s
        assert other[0].radius == g.radius and other[0].potential == g.potential
        assert other[0].angle2 == pytest.approx(-math.pi, rel=1e-15)
    other = s.copy()
    other[0].radius = 1.0
    assert s[0].radius == 5 / 3  # copies are independent


def test_bad_files_raise_the_engines_message(tmp_path):
    bad = tmp_path / "bad.txt"
    bad.write_text(SPHERE_PLANE + "garbage without the kind\n")
    with pytest.raises(kalvor.Error) as e:
        kalvor.read_system(bad)
    assert e.value.code == 7
    assert "Неверный тип образующей поверхности" in str(e.value)
    assert str(bad) + ": строка 2" in e.value.message
    with pytest.raises(kalvor.Error) as e:
        kalvor.System.from_text("// only a comment\n")
    assert e.value.code == 2 and "не найдены строки" in str(e.value)
    with pytest.raises(kalvor.Error) as e:
        kalvor.read_system(tmp_path / "missing.txt")
    assert e.value.code == 1 and "missing.txt" in str(e.value)
    with pytest.raises(kalvor.Error) as e:
        kalvor.System.from_text(SPHERE_PLANE).write(tmp_path / "no-such-folder" / "s.txt")
    assert e.value.code == 1
    # Errors pickle (executors send them back from workers).
    again = pickle.loads(pickle.dumps(e.value))
    assert (again.code, again.message) == (e.value.code, e.value.message)
