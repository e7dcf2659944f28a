// The Python module: kalvor._kalvor, re-exported by the package kalvor.

#include <pybind11/eval.h>
#include <pybind11/pybind11.h>

#include "Bindings.h"
#include "KalvorError.h"

namespace py = pybind11;

PYBIND11_MODULE(_kalvor, m) {
  m.doc() = "The Kalvor engine: field systems, their calculation and the results.";

  // One exception class for every failure of the engine, carrying its code.
  py::dict scope;
  scope["__builtins__"] = py::module_::import("builtins");
  py::exec(R"(
class Error(Exception):
    """A failure of the Kalvor engine: `message` is its text (Russian, naming
    the path, line or generatrix concerned), `code` its error code (as in
    kalvor-calc's messages; 9 is a stopped calculation)."""

    def __init__(self, message, code=0):
        super().__init__(message, code)
        self.message = message
        self.code = code

    def __str__(self):
        return self.message
Error.__module__ = "kalvor"
)",
           scope);
  static py::handle errorType = py::object(scope["Error"]).release();  // lives as long as the module
  m.attr("Error") = errorType;
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const KalvorError& e) {
      PyErr_SetObject(errorType.ptr(), py::make_tuple(e.what(), e.Code()).ptr());
    }
  });

  BindSystem(m);
  BindSolve(m);
}
