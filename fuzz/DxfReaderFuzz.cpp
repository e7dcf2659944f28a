// The DXF reader and the import behind it: any file reads without undefined
// behaviour or a crash, and whatever imports exports and reads back.

#include <cstdlib>
#include <sstream>

#include "FuzzSupport.h"
#include "engine/DxfExport.h"
#include "engine/DxfImport.h"
#include "engine/DxfReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(AsText(data, size));
  const DxfDrawing d = ReadDxf(in);
  if (!d.Ok()) return 0;
  DxfImportOptions o;
  for (size_t k = 0; k < d.layers.size(); ++k) {
    DxfLayerMapping m;
    m.kind = k % 3 == 0 ? DxfLayerKind::kConductor : k % 3 == 1 ? DxfLayerKind::kDielectric : DxfLayerKind::kFloating;
    m.epsInner = 4;
    o.layers[d.layers[k].name] = m;
  }
  o.tolerance = size % 2 ? 1e-4 : 1e-2;
  const DxfImportResult r = ImportDxf(d, o);
  if (!r.Ok()) return 0;
  if (r.system.IsEmpty()) std::abort();
  std::istringstream back(DxfText(r.system));
  const DxfDrawing again = ReadDxf(back);
  if (!again.Ok()) std::abort();
  return 0;
}
