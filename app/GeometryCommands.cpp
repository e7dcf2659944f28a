#include "app/GeometryCommands.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QWidget>

#include "dialogs/DxfImportDialog.h"
#include "dialogs/RoundCornerDialog.h"
#include "document/CKalvorDoc.h"
#include "document/SystemCommands.h"
#include "engine/CornerRounding.h"
#include "engine/DxfExport.h"
#include "engine/DxfReader.h"
#include "views/CKalvorView.h"

GeometryCommands::GeometryCommands(QWidget* frame, CKalvorDoc& doc, CKalvorView& view,
                                   std::function<bool()> openAsNew)
    : QObject(frame),
      frame_(frame),
      doc_(doc),
      view_(view),
      openAsNew_(std::move(openAsNew)),
      import_(new QAction(QStringLiteral("Импорт DXF..."), this)),
      export_(new QAction(QStringLiteral("Экспорт DXF..."), this)) {
  import_->setObjectName("importDxf");
  import_->setStatusTip(QStringLiteral("Открыть профиль из чертежа DXF как новую систему"));
  export_->setObjectName("exportDxf");
  export_->setStatusTip(QStringLiteral("Записать образующие в чертеж DXF (см, слой на тело или диэлектрик)"));
  view_.SetRightClickHook([this](QPoint global, QPointF model, double reach) { return CornerMenu(global, model, reach); });
  connect(import_, &QAction::triggered, this, [this] { ImportDxf(); });
  connect(export_, &QAction::triggered, this, [this] { ExportDxf(); });
  auto enable = [this] { export_->setEnabled(!doc_.Generatrices().IsEmpty()); };
  connect(&doc_, &CKalvorDoc::commandStateChanged, this, enable);
  connect(&doc_, &CKalvorDoc::documentReset, this, enable);
  enable();
}

bool GeometryCommands::CornerMenu(QPoint globalPos, QPointF model, double reachCm) {
  const CSurfColl& system = doc_.Generatrices();
  int i = -1, j = -1;
  std::vector<int> marked;
  for (int k = 0; k < system.GetSize(); ++k)
    if (system.At(k)->marked) marked.push_back(k);
  bool found = false;
  if (marked.size() == 2) {
    CSurfColl pair;
    pair.Append(system.At(marked[0])->Clone());
    pair.Append(system.At(marked[1])->Clone());
    int a = -1, b = -1;
    double x1, y1, x2, y2;
    pair.At(0)->GetEnds(x1, y1, x2, y2);
    // Two marked generatrices that share an end: their corner, wherever the click.
    found = FindCorner(pair, x1, y1, 1e300, a, b) || FindCorner(pair, x2, y2, 1e300, a, b);
    if (found) i = marked[0], j = marked[1];
  }
  if (!found) found = FindCorner(system, model.x(), model.y(), reachCm, i, j);
  if (!found) return false;
  QMenu menu(frame_);
  QAction* round = menu.addAction(QStringLiteral("Скруглить угол..."));
  round->setObjectName("roundCorner");
  menu.addAction(QStringLiteral("Отметить образующую"))->setObjectName("mark");
  QAction* chosen = menu.exec(globalPos);
  if (chosen == round) {
    RoundCorner(i, j);
  } else if (chosen) {
    return false;  // the usual mark
  }
  return true;
}

bool GeometryCommands::RoundCorner(int i, int j) {
  RoundCornerDialog dialog(doc_.Generatrices(), i, j, frame_);
  if (dialog.exec() != QDialog::Accepted || !dialog.Result().Ok()) return false;
  doc_.UndoStack().push(new ReplaceSystemCommand(doc_, dialog.Result().system.Clone(),
                                                 QStringLiteral("Скругление угла %1-%2").arg(i + 1).arg(j + 1)));
  return true;
}

void GeometryCommands::ImportDxf() {
  const QString path = QFileDialog::getOpenFileName(frame_, QStringLiteral("Импорт DXF"), QString(),
                                                    QStringLiteral("Чертежи DXF (*.dxf);;Все файлы (*)"));
  if (path.isEmpty()) return;
  DxfDrawing drawing = ReadDxfFile(path.toStdString());
  if (!drawing.Ok()) {
    QMessageBox::critical(frame_, QStringLiteral("Импорт DXF"), QString::fromStdString(drawing.error));
    return;
  }
  DxfImportDialog dialog(std::move(drawing), QFileInfo(path).fileName(), frame_);
  if (dialog.exec() != QDialog::Accepted || !dialog.Result().Ok()) return;
  if (!openAsNew_()) return;
  // The whole drawing is one step: undo leaves the new document empty.
  doc_.UndoStack().push(new ReplaceSystemCommand(doc_, dialog.Result().system.Clone(),
                                                 QStringLiteral("Импорт %1").arg(QFileInfo(path).fileName())));
  view_.ZoomToFit();
}

bool GeometryCommands::ExportDxf(const QString& given) {
  QString path = given;
  if (path.isEmpty()) {
    QString suggested = doc_.FilePath();
    if (!suggested.isEmpty()) suggested = QFileInfo(suggested).path() + "/" + QFileInfo(suggested).completeBaseName() + ".dxf";
    path = QFileDialog::getSaveFileName(frame_, QStringLiteral("Экспорт DXF"), suggested,
                                        QStringLiteral("Чертежи DXF (*.dxf)"));
    if (path.isEmpty()) return false;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".dxf");
  }
  std::string error;
  std::vector<std::string> notes;
  if (!::ExportDxf(doc_.Generatrices(), path.toStdString(), error, &notes)) {
    QMessageBox::critical(frame_, QStringLiteral("Экспорт DXF"), QString::fromStdString(error));
    return false;
  }
  if (!notes.empty()) {
    QStringList lines;
    for (const auto& n : notes) lines << QString::fromStdString(n);
    QMessageBox::information(frame_, QStringLiteral("Экспорт DXF"), lines.join('\n'));
  }
  return true;
}
