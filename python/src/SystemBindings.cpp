// kalvor.System and kalvor.Generatrix.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "Bindings.h"
#include "PySystem.h"
#include "model/Arch.h"
#include "model/Line.h"

namespace py = pybind11;

namespace {

using GenPtr = std::shared_ptr<PyGeneratrix>;

py::object GetPotential(const PyGeneratrix& g) {
  double value, from, to;
  switch (g.Potential(value, from, to)) {
    case PyGeneratrix::PotentialKind::kFixed:
      return py::float_(value);
    case PyGeneratrix::PotentialKind::kVariable:
      return py::make_tuple(from, to);
    default:
      return py::none();
  }
}

void SetPotential(PyGeneratrix& g, const py::object& v) {
  if (v.is_none()) {
    g.SetFloating();
  } else if (py::isinstance<py::tuple>(v) || py::isinstance<py::list>(v)) {
    const auto pair = v.cast<std::vector<double>>();
    if (pair.size() != 2) throw py::value_error("a variable potential is a pair (from, to) in kV");
    g.SetVariable(pair[0], pair[1]);
  } else {
    g.SetFixed(v.cast<double>());
  }
}

void DefineGeometry(py::class_<PyGeneratrix, GenPtr>& cls, const char* name, const char* shape,
                    const char* doc) {
  const std::string field = name;
  const std::string other = std::string(shape) == "line" ? "an arc" : "a line";
  cls.def_property(
      name,
      [field, other](const PyGeneratrix& g) {
        double v;
        if (!g.Get(field, v)) throw py::attribute_error(other + " has no " + field);
        return v;
      },
      [field, other](PyGeneratrix& g, double v) {
        if (!g.Set(field, v)) throw py::attribute_error(other + " has no " + field);
      },
      doc);
}

SurfParams CommonParams(const std::string& kind, int innerRegion, int outerRegion, double epsInner,
                        double epsOuter, int count, double ld) {
  if (kind != "conductor" && kind != "dielectric")
    throw py::value_error("kind must be \"conductor\" or \"dielectric\", not \"" + kind + "\"");
  SurfParams p;
  p.material = kind == "conductor" ? 1 : 0;
  p.innerRegion = innerRegion;
  p.outerRegion = outerRegion;
  p.epsInner = p.material ? 0.0 : epsInner;
  p.epsOuter = epsOuter;
  p.pointCount = count;
  p.ratioLd = ld;
  return p;
}

GenPtr Added(PySystem& s, std::unique_ptr<SurfData> e, const py::object& potential) {
  PyGeneratrix probe(e->Clone());
  if (e->IsConductor()) SetPotential(probe, potential);  // checked before the system changes
  GenPtr g = s.Add(probe.Element().Clone());
  return g;
}

std::string PathOf(const py::object& path) {
  return py::str(py::module_::import("os").attr("fspath")(path)).cast<std::string>();
}

}  // namespace

void BindSystem(py::module_& m) {
  py::class_<PyGeneratrix, GenPtr> gen(m, "Generatrix", R"(One generatrix of a field-forming system: a straight line or a circular arc
in the meridian half-plane (x the distance from the axis, y along it, cm).

Generatrices belong to a System (System.generatrices, add_line, add_arc);
setting a field changes the system at once.)");
  gen.def_property(
         "kind", &PyGeneratrix::Kind, &PyGeneratrix::SetKind,
         "\"conductor\" or \"dielectric\". A generatrix turned into a conductor starts at a fixed 0 kV.")
      .def_property_readonly("shape", &PyGeneratrix::Shape, "\"line\" or \"arc\" (fixed when it is added).")
      .def_property("inner_region", &PyGeneratrix::InnerRegion, &PyGeneratrix::SetInnerRegion,
                    "Identifier of the region on the inner side (to the right of the direction of travel).")
      .def_property("outer_region", &PyGeneratrix::OuterRegion, &PyGeneratrix::SetOuterRegion,
                    "Identifier of the region on the outer side.")
      .def_property("eps_inner", &PyGeneratrix::EpsInner, &PyGeneratrix::SetEpsInner,
                    "Relative permittivity of the inner region (dielectrics; a conductor's file line leaves it blank).")
      .def_property("eps_outer", &PyGeneratrix::EpsOuter, &PyGeneratrix::SetEpsOuter,
                    "Relative permittivity of the outer region.")
      .def_property("potential", &GetPotential, &SetPotential,
                    R"(Potential of a conductor in kV: a number when fixed, None when floating
(found by the calculation), a pair (from, to) when it runs linearly along the
generatrix. None for a dielectric, which has no potential.)")
      .def_property("count", &PyGeneratrix::Count, &PyGeneratrix::SetCount, "Number of contour points.")
      .def_property("ld", &PyGeneratrix::Ld, &PyGeneratrix::SetLd,
                    "Ratio L/d: how deep the ring charges stand behind the surface, in contour-point steps.")
      .def("to_text", &PyGeneratrix::Text, "The generatrix's line of the field-system file (without the line end).")
      .def("__repr__", [](const PyGeneratrix& g) { return "<kalvor.Generatrix " + g.Text() + ">"; });
  DefineGeometry(gen, "x1", "line", "Start point x of a line, cm.");
  DefineGeometry(gen, "y1", "line", "Start point y of a line, cm.");
  DefineGeometry(gen, "x2", "line", "End point x of a line, cm.");
  DefineGeometry(gen, "y2", "line", "End point y of a line, cm.");
  DefineGeometry(gen, "cx", "arc", "Centre x of an arc, cm.");
  DefineGeometry(gen, "cy", "arc", "Centre y of an arc, cm.");
  DefineGeometry(gen, "radius", "arc", "Radius of an arc, cm.");
  DefineGeometry(gen, "angle1", "arc", "Start angle of an arc, degrees from +x towards +y.");
  DefineGeometry(gen, "angle2", "arc",
                 "End angle of an arc, degrees (below angle1: clockwise, the charges of a conductor inside).");

  py::class_<PySystem> sys(m, "System", R"(A field-forming system: the generatrices of its surfaces, in file order.

Make one with kalvor.read_system(path) or System.from_text(text), or build
it with add_line and add_arc on System(). Systems pickle exactly (every
number at full precision), so they can be sent to other processes and
machines.)");
  sys.def(py::init<>(), "An empty system.")
      .def_static(
          "from_text", [](const std::string& text) { return PySystem::FromText(text); }, py::arg("text"),
          "Parses the text of a field-system file. Raises kalvor.Error with the reader's message and line.")
      .def("to_text", &PySystem::Text, "The text of the field-system file (LF line ends), as the programs write it.")
      .def(
          "write", [](const PySystem& s, const py::object& path) { s.Write(PathOf(path)); }, py::arg("path"),
          "Writes the field-system file; the file appears complete or not at all. Raises kalvor.Error.")
      .def("copy", &PySystem::Copy, "An independent copy of the system.")
      .def("__copy__", &PySystem::Copy, "An independent copy of the system.")
      .def(
          "__deepcopy__", [](const PySystem& s, const py::object&) { return s.Copy(); }, py::arg("memo"),
          "An independent copy of the system.")
      .def_property_readonly(
          "generatrices",
          [](const PySystem& s) { return std::vector<GenPtr>(s.Items().begin(), s.Items().end()); },
          "The generatrices in file order (a new list of the live objects: set their fields to edit the "
          "system; add and remove with add_line, add_arc and remove).")
      .def("__len__", [](const PySystem& s) { return s.Items().size(); }, "Number of generatrices.")
      .def("__getitem__", &PySystem::At, py::arg("index"), "The generatrix at `index` (0-based; negative from the end).")
      .def(
          "add_line",
          [](PySystem& s, double x1, double y1, double x2, double y2, const std::string& kind,
             const py::object& potential, int inner, int outer, double epsInner, double epsOuter, int count,
             double ld) {
            return Added(s, std::make_unique<Line>(CommonParams(kind, inner, outer, epsInner, epsOuter, count, ld),
                                                   x1, y1, x2, y2),
                         potential);
          },
          py::arg("x1"), py::arg("y1"), py::arg("x2"), py::arg("y2"), py::kw_only(), py::arg("kind") = "conductor",
          py::arg("potential") = py::float_(0.0), py::arg("inner_region") = 1, py::arg("outer_region") = 2,
          py::arg("eps_inner") = 1.0, py::arg("eps_outer") = 1.0, py::arg("count") = 20, py::arg("ld") = 2.0,
          R"(Appends a straight generatrix from (x1, y1) to (x2, y2), cm, and returns it.
The inner region lies to the right of the direction of travel. `potential`
as Generatrix.potential (ignored for a dielectric).)")
      .def(
          "add_arc",
          [](PySystem& s, double cx, double cy, double radius, double angle1, double angle2, const std::string& kind,
             const py::object& potential, int inner, int outer, double epsInner, double epsOuter, int count,
             double ld) {
            return Added(s,
                         std::make_unique<Arch>(CommonParams(kind, inner, outer, epsInner, epsOuter, count, ld), cx,
                                                cy, radius, DegreesToRadians(angle1), DegreesToRadians(angle2)),
                         potential);
          },
          py::arg("cx"), py::arg("cy"), py::arg("radius"), py::arg("angle1"), py::arg("angle2"), py::kw_only(),
          py::arg("kind") = "conductor", py::arg("potential") = py::float_(0.0), py::arg("inner_region") = 1,
          py::arg("outer_region") = 2, py::arg("eps_inner") = 1.0, py::arg("eps_outer") = 1.0, py::arg("count") = 20,
          py::arg("ld") = 2.0,
          R"(Appends a circular-arc generatrix about (cx, cy) with `radius` (cm) from
angle1 to angle2 (degrees) and returns it. A clockwise arc (angle2 < angle1)
has its inner region inside the circle.)")
      .def("remove", &PySystem::Remove, py::arg("index"), "Removes the generatrix at `index` (0-based; negative from the end).")
      .def(
          "__eq__",
          [](const PySystem& a, const py::object& b) {
            return py::isinstance<PySystem>(b) && a.State() == b.cast<const PySystem&>().State();
          },
          "Equal when every field of every generatrix is equal.")
      .def("__repr__",
           [](const PySystem& s) { return "<kalvor.System of " + std::to_string(s.Items().size()) + " generatrices>"; })
      .def(py::pickle([](const PySystem& s) { return py::make_tuple(1, s.State()); },
                      [](const py::tuple& t) {
                        if (t.size() != 2 || t[0].cast<int>() != 1)
                          throw py::value_error("not the state of a kalvor.System");
                        return PySystem::FromState(t[1].cast<std::vector<std::vector<double>>>());
                      }));

  m.def(
      "read_system", [](const py::object& path) { return PySystem::Read(PathOf(path)); }, py::arg("path"),
      "Reads a field-system file. Raises kalvor.Error with the engine's message, the path and the line.");
}
