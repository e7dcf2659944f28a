// The element-line parser: any text builds an element (or none) whose
// derived values and written line are defined, and whose written line
// reads back as an element of the same kind.

#include <cstdlib>

#include "FuzzSupport.h"
#include "model/ElementText.h"
#include "model/SurfData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line = AsText(data, size);
  if (line.find('\n') != std::string::npos) return 0;
  const std::unique_ptr<SurfData> e = MakeElementFromLine(line);
  if (!e) return 0;
  const std::string text = e->GetText();
  const std::unique_ptr<SurfData> again = MakeElementFromLine(ToUpperAscii(text));
  if (!again || again->GetKind() != e->GetKind()) std::abort();
  if (again->pointCount != e->pointCount || again->material != e->material) std::abort();
  // Small elements are also discretised (large counts are the engine's to refuse).
  if (e->pointCount >= 0 && e->pointCount <= 200) {
    std::vector<ContourPoint> points;
    std::vector<Charge> charges;
    e->MakeContourPoints(points);
    e->MakeCharges(charges, true);
    if (points.size() != static_cast<size_t>(e->PointCount())) std::abort();
    if (charges.size() != static_cast<size_t>(e->ChargeCount())) std::abort();
    double x, y, nx, ny;
    for (int j = 0; j < e->pointCount + 2; ++j) e->GetCalcPoint(x, y, nx, ny, j, 1.0f);
  }
  return 0;
}
