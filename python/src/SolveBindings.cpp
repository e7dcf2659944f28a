// kalvor.solve and kalvor.Result.

#include <pybind11/pybind11.h>

#include "Bindings.h"

namespace py = pybind11;

void BindSolve(py::module_&) {}
