#include "model/Circle.h"

#include "model/DrawSurface.h"
#include "model/SurfData.h"

void Circle::Draw(DrawSurface& dc) const {
  // Same 0.1 cm units as the generatrices, so a charge is shown where it is
  // (rounding to whole centimetres first put a rod's charges on the axis).
  dc.SetPixel(LogicalUnits(x), LogicalUnits(y));
}
