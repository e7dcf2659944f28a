// kalvor.solve and kalvor.Result.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <shared_mutex>
#include <sstream>

#include "Bindings.h"
#include "KalvorError.h"
#include "PySystem.h"
#include "PythonProgress.h"
#include "engine/AtomicFile.h"
#include "engine/BatchRun.h"
#include "engine/FieldLines.h"
#include "engine/FieldMap.h"
#include "engine/Parallel.h"
#include "engine/PlaneRegions.h"
#include "engine/RingKernel.h"
#include "engine/RunSummary.h"
#include "engine/ScratchFolder.h"

namespace py = pybind11;
namespace fs = std::filesystem;

namespace {

// A solved system: the engine with its charges, the summary and the control
// file's text (written only by write_results). Field evaluations read the
// engine from any thread; writing the result files takes it alone.
struct PyResult {
  std::unique_ptr<FieldCalc> calc;
  std::unique_ptr<PlaneRegions> regions;
  std::string summaryJson;
  std::string controlText;
  std::vector<std::vector<double>> capacitance;
  mutable std::shared_mutex lock;
};

std::shared_ptr<PyResult> Solve(const PySystem& system, bool earth, double externalField, bool precise,
                                std::optional<double> targetError, std::optional<bool> capacitance,
                                long long maxUnknowns, const py::object& progressCallback) {
  const auto start = std::chrono::steady_clock::now();
  auto result = std::make_shared<PyResult>();
  result->calc = std::make_unique<FieldCalc>();
  FieldCalc& calc = *result->calc;
  // The engine gets its own copy: the caller may edit the system meanwhile.
  for (const auto& e : system.Collection()) calc.AddGeneratrix(e->Clone());
  ScratchFolder scratch;  // for the control file the run writes
  if (scratch.Path().empty())
    throw KalvorError(FieldCalc::kFileOpen, FieldCalc::MessageFor(FieldCalc::kFileOpen) + "\nвременная папка");
  CalcParameters p;
  p.UseEarth = earth;
  p.ExternalField = externalField;
  p.Precise = precise;
  p.SurfaceResults = false;  // write_results writes them where asked
  p.ResultsFolder = scratch.Path();
  p.ControlFilePath = ControlFileIn(scratch.Path());
  calc.SetParameters(p);
  BatchOptions options;
  options.targetError = targetError;
  options.maxUnknowns = maxUnknowns;
  options.capacitance = capacitance;

  PythonProgress progress(progressCallback);
  BatchResult batch;
  {
    py::gil_scoped_release released;
    batch = RunBatch(calc, options, progress);
  }
  progress.RaiseIfStopped();  // Ctrl+C or an exception from the callback
  if (!batch.success) throw KalvorError(batch.errorCode, batch.errorText);

  std::ifstream control(p.ControlFilePath, std::ios::binary);
  std::ostringstream text;
  text << control.rdbuf();
  result->controlText = text.str();
  // No files are left where the summary would point.
  batch.report.parameters.ResultsFolder.clear();
  batch.report.parameters.ControlFilePath.clear();
  std::map<std::string, double> timings = batch.timings;
  timings["total"] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result->summaryJson = SummaryJson(calc, batch, options, timings);
  result->capacitance = batch.analysis.capacitance;
  result->regions = std::make_unique<PlaneRegions>(calc);
  return result;
}

py::array_t<double> Column(const std::vector<double>& v) {
  py::array_t<double> a(static_cast<py::ssize_t>(v.size()));
  std::copy(v.begin(), v.end(), a.mutable_data());
  return a;
}

// Runs `work(begin, end)` over [0, count) in chunks on all cores with the
// GIL released, stopping at Ctrl+C.
void ChunkedWithSignals(long long count, const std::function<void(long long, long long)>& work) {
  PythonProgress progress;
  {
    py::gil_scoped_release released;
    const long long chunk = 4096;
    for (long long begin = 0; begin < count && !progress.Stopped(); begin += chunk) {
      const long long end = std::min(count, begin + chunk);
      ParallelFor(end - begin, [&](long long b, long long e) { work(begin + b, begin + e); });
      progress.Poll();
    }
  }
  progress.RaiseIfStopped();
}

py::object FieldAt(const PyResult& r, const py::object& x, const py::object& y) {
  std::shared_lock guard(r.lock);
  const bool scalar = py::isinstance<py::float_>(x) || py::isinstance<py::int_>(x);
  if (scalar && (py::isinstance<py::float_>(y) || py::isinstance<py::int_>(y))) {
    const MapPoint m = EvaluatePoint(*r.calc, *r.regions, x.cast<double>(), y.cast<double>());
    py::dict d;
    d["phi_kv"] = m.phi;
    d["ex_kv_per_cm"] = m.ex;
    d["ey_kv_per_cm"] = m.ey;
    d["e_kv_per_cm"] = m.e;
    d["region"] = m.region;
    d["conductor"] = m.conductor;
    return d;
  }
  const py::module_ np = py::module_::import("numpy");
  const py::tuple both = np.attr("broadcast_arrays")(np.attr("asarray")(x, "float64"), np.attr("asarray")(y, "float64"));
  const auto xs = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(both[0]);
  const auto ys = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(both[1]);
  const long long n = xs.size();
  std::vector<py::ssize_t> shape(xs.shape(), xs.shape() + xs.ndim());
  py::array_t<double> phi(shape), ex(shape), ey(shape), e(shape);
  py::array_t<int> region(shape);
  py::array_t<bool> conductor(shape);
  const double *px = xs.data(), *py_ = ys.data();
  double *oPhi = phi.mutable_data(), *oEx = ex.mutable_data(), *oEy = ey.mutable_data(), *oE = e.mutable_data();
  int* oRegion = region.mutable_data();
  bool* oConductor = conductor.mutable_data();
  const auto prepared = r.calc->PrepareCharges();  // once for all the points
  ChunkedWithSignals(n, [&](long long b, long long end) {
    for (long long i = b; i < end; ++i) {
      const MapPoint m = EvaluatePoint(*r.calc, *r.regions, px[i], py_[i], prepared.get());
      oPhi[i] = m.phi, oEx[i] = m.ex, oEy[i] = m.ey, oE[i] = m.e, oRegion[i] = m.region, oConductor[i] = m.conductor;
    }
  });
  py::dict d;
  d["phi_kv"] = phi;
  d["ex_kv_per_cm"] = ex;
  d["ey_kv_per_cm"] = ey;
  d["e_kv_per_cm"] = e;
  d["region"] = region;
  d["conductor"] = conductor;
  return d;
}

MapRect RectFrom(const PyResult& r, const std::optional<std::vector<double>>& rect, double margin) {
  if (!rect) return DefaultMapRect(*r.calc, margin);
  if (rect->size() != 4) throw py::value_error("rect is (x1, y1, x2, y2) in cm");
  return {(*rect)[0], (*rect)[1], (*rect)[2], (*rect)[3]};
}

py::dict FieldMapColumns(const PyResult& r, const std::optional<std::vector<double>>& rect,
                         const std::pair<int, int>& size) {
  std::shared_lock guard(r.lock);
  const auto [width, height] = size;
  if (width < 2 || height < 2 || width > 2000 || height > 2000)
    throw py::value_error("size is (width, height), each from 2 to 2000 points");
  FieldMap map(RectFrom(r, rect, 0.5), width, height);
  PythonProgress progress;
  MapStatus status;
  {
    py::gil_scoped_release released;
    MapCallbacks cb;
    cb.stop = progress.StopFlag();
    cb.onProgress = [&](double) { progress.Poll(); };
    status = ComputeFieldMap(*r.calc, map, cb, false);
  }
  progress.RaiseIfStopped();
  if (status != MapStatus::kComplete)
    throw KalvorError(FieldCalc::kBadParameter, "Карта поля не построена");
  const size_t n = static_cast<size_t>(width) * height;
  std::vector<double> x(n), y(n), phi(n), ex(n), ey(n), e(n);
  py::array_t<int> region(static_cast<py::ssize_t>(n));
  py::array_t<bool> conductor(static_cast<py::ssize_t>(n));
  size_t k = 0;
  for (int j = 0; j < height; ++j)
    for (int i = 0; i < width; ++i, ++k) {
      const MapPoint& m = map.At(i, j);
      x[k] = map.X(i), y[k] = map.Y(j), phi[k] = m.phi, ex[k] = m.ex, ey[k] = m.ey, e[k] = m.e;
      region.mutable_data()[k] = m.region;
      conductor.mutable_data()[k] = m.conductor;
    }
  py::dict d;
  d["x_cm"] = Column(x);
  d["y_cm"] = Column(y);
  d["region"] = region;
  d["conductor"] = conductor;
  d["phi_kv"] = Column(phi);
  d["ex_kv_per_cm"] = Column(ex);
  d["ey_kv_per_cm"] = Column(ey);
  d["e_kv_per_cm"] = Column(e);
  return d;
}

py::list FieldLinesOf(const PyResult& r, int perElectrode, const std::optional<std::vector<double>>& rect) {
  std::shared_lock guard(r.lock);
  if (perElectrode < 1 || perElectrode > 1000) throw py::value_error("per_electrode is from 1 to 1000");
  FieldLineOptions options;
  options.extent = RectFrom(r, rect, 1.0);  // room for lines to turn back to the electrodes
  std::vector<FieldLine> lines;
  PythonProgress progress;
  {
    py::gil_scoped_release released;
    const std::vector<FieldLineStart> starts = DefaultFieldLineStarts(*r.calc, perElectrode);
    FieldLineCallbacks cb;
    cb.stop = progress.StopFlag();
    cb.onLine = [&](int, const FieldLine&) { progress.Poll(); };
    TraceFieldLines(*r.calc, starts, options, lines, cb);
  }
  progress.RaiseIfStopped();
  py::list out;
  for (const FieldLine& line : lines) {
    std::vector<double> x, y, e;
    for (const FieldLinePoint& p : line.points) x.push_back(p.x), y.push_back(p.y), e.push_back(p.e);
    py::dict d;
    d["x_cm"] = Column(x);
    d["y_cm"] = Column(y);
    d["e_kv_per_cm"] = Column(e);
    d["ends_on"] = LineEndText(line);
    out.append(d);
  }
  return out;
}

void WriteResults(PyResult& r, const std::string& folder, int pointsBetween) {
  if (pointsBetween < 1 || pointsBetween > FieldCalc::kMaxPointsBetween)
    throw py::value_error("points_between is from 1 to " + std::to_string(FieldCalc::kMaxPointsBetween));
  std::unique_lock guard(r.lock);
  std::error_code ec;
  fs::create_directories(folder, ec);  // a failure shows as the first file's
  FieldCalc& calc = *r.calc;
  PythonProgress progress;
  {
    py::gil_scoped_release released;
    const FieldCalc::ProgressScope attached(calc, progress);
    calc.ClearError();
    calc.WriteSurfaceResults(folder, pointsBetween);
    if (!calc.ErrorCode()) {
      const std::string path = ControlFileIn(folder);
      AtomicFile control;
      if (!control.Open(path))
        calc.SetError(FieldCalc::kFileOpen, path);
      else if (!(control.Stream() << r.controlText) || !control.Commit())
        calc.SetError(FieldCalc::kFileOpen, "Ошибка записи контрольного файла " + path);
    }
  }
  progress.RaiseIfStopped();
  if (calc.ErrorCode()) {
    const int code = calc.ErrorCode();
    const std::string text = calc.FullErrorText();
    calc.ClearError();
    throw KalvorError(code, text);
  }
}

py::object Summary(const PyResult& r) { return py::module_::import("json").attr("loads")(r.summaryJson); }

}  // namespace

void BindSolve(py::module_& m) {
  py::class_<PyResult, std::shared_ptr<PyResult>>(m, "Result", R"(A solved field system (from kalvor.solve): the figures of the run and the
field anywhere around it.)")
      .def_property_readonly("summary", &Summary,
                             R"(The run's summary as a dict: the content of kalvor-calc --summary
(parameters, counts, timings, generatrices, bodies, capacitance, accuracy,
warnings, refinement). A new dict on every access.)")
      .def_property_readonly(
          "bodies",
          [](const PyResult& r) {
            const py::object summary = Summary(r);
            return py::object(summary["bodies"]);
          },
          "The conductor bodies (summary['bodies']): generatrices, potential, charge, largest field and where.")
      .def_property_readonly(
          "capacitance_f",
          [](const PyResult& r) {
            const size_t n = r.capacitance.size();
            py::array_t<double> a({static_cast<py::ssize_t>(n), static_cast<py::ssize_t>(n)});
            for (size_t i = 0; i < n; ++i)
              for (size_t j = 0; j < n; ++j) a.mutable_at(i, j) = r.capacitance[i].size() > j ? r.capacitance[i][j] : 0.0;
            return a;
          },
          "The Maxwell capacitance matrix of the fixed-potential bodies, F (numpy, n x n; 0 x 0 when not computed).")
      .def_property_readonly(
          "summary_json", [](const PyResult& r) { return r.summaryJson; },
          "The summary as the JSON text kalvor-calc --summary writes.")
      .def("field_at", &FieldAt, py::arg("x"), py::arg("y"),
           R"(Potential and field at (x, y), cm: a dict with phi_kv, ex_kv_per_cm,
ey_kv_per_cm, e_kv_per_cm, region and conductor (inside a conductor its
potential and zero field). x and y may be numbers or numpy arrays (broadcast
together); arrays give arrays of their shape.)")
      .def("field_map", &FieldMapColumns, py::arg("rect") = py::none(), py::arg("size") = std::make_pair(200, 200),
           R"(Potential and field on a grid: a dict of numpy arrays with the columns of
kalvor-calc --map (x_cm, y_cm, region, conductor, phi_kv, ex_kv_per_cm,
ey_kv_per_cm, e_kv_per_cm), rows by y then x, so that each reshapes to
(height, width). rect is (x1, y1, x2, y2) in cm (default: the system with a
margin), size (width, height) in points.)")
      .def("field_lines", &FieldLinesOf, py::arg("per_electrode") = 10, py::arg("rect") = py::none(),
           R"(Field lines from every electrode of prescribed potential, per_electrode
each: a list of dicts with numpy arrays x_cm, y_cm, e_kv_per_cm along the line
and ends_on ("electrode N", "earth", "axis", "border" or "none"), as
kalvor-calc --field-lines writes them.)")
      .def(
          "write_results",
          [](PyResult& r, const py::object& folder, int k) {
            WriteResults(r, py::str(py::module_::import("os").attr("fspath")(folder)).cast<std::string>(), k);
          },
          py::arg("folder"), py::arg("points_between") = 1,
          R"(Writes the result files into folder as kalvor-calc writes them: 01.dat,
02.dat, ... (one per generatrix, points_between evaluation points between
contour points) and ControlCalc.txt. Raises kalvor.Error.)");

  m.def(
      "solve",
      [](const PySystem& system, bool earth, double externalField, bool precise, std::optional<double> targetError,
         std::optional<bool> capacitance, long long maxUnknowns, const py::object& progress) {
        return Solve(system, earth, externalField, precise, targetError, capacitance, maxUnknowns, progress);
      },
      py::arg("system"), py::arg("earth") = false, py::arg("external_field") = 0.0, py::arg("precise") = false,
      py::arg("target_error") = py::none(), py::arg("capacitance") = true,
      py::arg("max_unknowns") = kDefaultRefinementLimit, py::arg("progress") = py::none(),
      R"(Calculates the field of `system` and returns a kalvor.Result.

earth: mirror images in the earth plane y = 0; external_field: a uniform
field along +y, kV/cm; precise: exact elliptic integrals (slower, for
errors below 1e-5); target_error: refine the discretisation until the
potential errors are below it (max_unknowns bounds it); capacitance: compute
the capacitance matrix and the condition estimate (from the run's own factors);
progress: called as progress(stage, fraction) while it runs.

The calculation runs with the GIL released (other Python threads go on)
and stops within a fraction of a second on Ctrl+C (KeyboardInterrupt).
A failure raises kalvor.Error with the engine's message and code.)");
}
