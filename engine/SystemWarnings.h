#pragma once
// Systems the reader accepts but whose calculation means nothing: a line of
// zero length, an arc of zero radius or span, a dielectric with the same
// permittivity inside and out (it has no charges to find), a generatrix with
// no contour points, a region given two permittivities by two generatrices. Each warning names the generatrix by its number
// (1-based, as the tree shows it); the user may still calculate. The desktop
// program shows them before the calculation, kalvor-calc prints them.

#include <string>
#include <vector>

class CSurfColl;

std::vector<std::string> SystemWarnings(const CSurfColl& generatrices);
