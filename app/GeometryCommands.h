#pragma once
// The desktop's geometry commands: "Скруглить угол…" from the view's right
// click near a corner (or with two marked generatrices that share an end),
// "Импорт DXF…" and "Экспорт DXF…" of the File menu. Each change goes to the
// document as one undoable step; the work itself is the engine's.

#include <QObject>
#include <QPointF>
#include <functional>

class CKalvorDoc;
class CKalvorView;
class QAction;
class QWidget;

class GeometryCommands : public QObject {
  Q_OBJECT

 public:
  // `openAsNew` empties the document for a new one (asking to save the old
  // first); false when the user cancelled. Takes the view's right click.
  GeometryCommands(QWidget* frame, CKalvorDoc& doc, CKalvorView& view, std::function<bool()> openAsNew);

  QAction* ImportAction() const { return import_; }
  QAction* ExportAction() const { return export_; }

  // The view's right click: a menu with "Скруглить угол…" when the point is
  // within `reachCm` of a corner or two marked generatrices share an end.
  // False (nothing shown) otherwise: the click then marks as usual.
  bool CornerMenu(QPoint globalPos, QPointF model, double reachCm);
  // The dialog for the corner of generatrices i and j (0-based); true when
  // the rounding was applied.
  bool RoundCorner(int i, int j);
  void ImportDxf();
  // Into `path` when given, else asks for a file.
  bool ExportDxf(const QString& path = {});

 private:
  QWidget* frame_;
  CKalvorDoc& doc_;
  CKalvorView& view_;
  std::function<bool()> openAsNew_;
  QAction* import_;
  QAction* export_;
};
