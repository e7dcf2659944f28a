#include "views/ViewExport.h"

#include <QPainter>

#include "views/CKalvorView.h"

QString ExportView(CKalvorView& view, const QString& path) {
  const ViewMapping mapping = view.Mapping(false);
  return SavePicture(path, view.viewport()->size(), [&](QPainter& painter) { view.PaintSystem(painter, mapping); });
}
