#pragma once
// The parts of the module, defined in their own files.

#include <pybind11/pybind11.h>

void BindSystem(pybind11::module_& m);
void BindSolve(pybind11::module_& m);
