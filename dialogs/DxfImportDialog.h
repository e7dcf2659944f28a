#pragma once
// "Импорт DXF": the layers of a drawing with their entity counts, the kind
// each layer maps to (with its potential or permittivities), the units, the
// snapping tolerance, the density of contour points and L/d, and a picture
// of the system the import would make with its notes and warnings. Works on
// the drawing already read; the caller opens Result() as a new document.

#include <QDialog>
#include <vector>

#include "engine/DxfImport.h"

class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class SystemPreview;

class DxfImportDialog : public QDialog {
  Q_OBJECT

 public:
  DxfImportDialog(DxfDrawing drawing, const QString& fileName, QWidget* parent = nullptr);

  DxfImportOptions Options() const;
  const DxfImportResult& Result() const { return result_; }

  // For tests and the command line's equivalents: layer row k.
  void SetLayer(int row, DxfLayerKind kind, double value1 = 0, double value2 = 1);
  QTableWidget* LayerTable() const { return table_; }

 private:
  void Update();

  DxfDrawing drawing_;
  QTableWidget* table_;
  QComboBox* units_;
  QLineEdit* tolerance_;
  QDoubleSpinBox* density_;
  QDoubleSpinBox* ratioLd_;
  SystemPreview* preview_;
  QPlainTextEdit* notes_;
  QPushButton* ok_ = nullptr;
  DxfImportResult result_;
  bool updating_ = false;
};
