#include "views/CLeftView_Line.h"

#include <QGridLayout>
#include <QGroupBox>

#include "model/Line.h"

CLeftView_Line::CLeftView_Line(CKalvorDoc& doc, LeftPaneHost* host, QWidget* parent)
    : GeneratrixPane(doc, host, parent) {
  QGroupBox* box = NewCoordinateBox();
  auto* grid = new QGridLayout(box);
  x1Edit_ = CoordinateEdit(grid, 0, 0, QStringLiteral("X1"));
  y1Edit_ = CoordinateEdit(grid, 0, 1, QStringLiteral("Y1"));
  x2Edit_ = CoordinateEdit(grid, 0, 2, QStringLiteral("X2"));
  y2Edit_ = CoordinateEdit(grid, 0, 3, QStringLiteral("Y2"));
  BuildForm(box);
}

void CLeftView_Line::RegisterCoordinates(NumberFields& fields) {
  fields.AddReal(x1Edit_, &x1, 0, 1e55, QStringLiteral("X1"));
  fields.AddReal(x2Edit_, &x2, 0, 1e55, QStringLiteral("X2"));
  fields.AddReal(y1Edit_, &y1, -1e55, 1e55, QStringLiteral("Y1"));
  fields.AddReal(y2Edit_, &y2, -1e55, 1e55, QStringLiteral("Y2"));
}

void CLeftView_Line::Fill(int index, const Line& line) {
  FillCommon(index, line);
  x1 = line.x1;
  y1 = line.y1;
  x2 = line.x2;
  y2 = line.y2;
  LoadControls();
}

bool CLeftView_Line::WriteInto(SurfData& g, const SurfParams& params) {
  auto* line = dynamic_cast<Line*>(&g);
  if (!line) return false;
  line->SetAll(params, x1, y1, x2, y2);
  return true;
}

void CLeftView_Line::FillFrom(int index, const SurfData& g) {
  if (const auto* e = dynamic_cast<const Line*>(&g)) Fill(index, *e);
}
