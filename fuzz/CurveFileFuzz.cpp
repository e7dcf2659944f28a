// The gap-curve file reader: any file reads, the curves it accepts write
// back and read again to as many curves, and the bounds check answers.

#include <cstdlib>
#include <sstream>

#include "FuzzSupport.h"
#include "engine/GapCurves.h"
#include "model/CSurfColl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CSurfColl curves;
  std::istringstream in(AsText(data, size));
  LoadGapCurves(curves, in);
  const std::string problem = GapCurveProblem(curves);
  std::ostringstream out;
  SaveGapCurves(curves, out);
  CSurfColl again;
  std::istringstream back(out.str());
  const ElementReadResult r = LoadGapCurves(again, back);
  if (r.errorCode != 0 || again.GetSize() != curves.GetSize()) std::abort();
  if (problem.empty()) {
    double x, y, nx, ny;
    for (const auto& c : curves)
      for (int j = 0; j < c->pointCount + 2; ++j) c->GetCalcPoint(x, y, nx, ny, j, 1.0f);
  }
  return 0;
}
