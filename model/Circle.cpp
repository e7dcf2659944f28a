#include "model/Circle.h"

#include "model/DrawSurface.h"
#include "model/TextFormat.h"

void Circle::Draw(DrawSurface& dc) const {
  // Truncate first, then scale: the picture shows whole centimetres.
  dc.SetPixel(text::TruncateToInt(std::trunc(x) * 10.0), text::TruncateToInt(std::trunc(y) * 10.0));
}
