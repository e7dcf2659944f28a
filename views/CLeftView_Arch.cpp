#include "views/CLeftView_Arch.h"

#include <QGridLayout>
#include <QGroupBox>

#include "model/Arch.h"

CLeftView_Arch::CLeftView_Arch(CKalvorDoc& doc, LeftPaneHost* host, QWidget* parent)
    : GeneratrixPane(doc, host, parent) {
  QGroupBox* box = NewCoordinateBox();
  auto* grid = new QGridLayout(box);
  xEdit_ = CoordinateEdit(grid, 0, 0, QStringLiteral("X"));
  yEdit_ = CoordinateEdit(grid, 0, 1, QStringLiteral("Y"));
  rEdit_ = CoordinateEdit(grid, 0, 2, QStringLiteral("R"));
  teta1Edit_ = CoordinateEdit(grid, 2, 0, QStringLiteral("Teta1"));
  teta2Edit_ = CoordinateEdit(grid, 2, 1, QStringLiteral("Teta2"));
  BuildForm(box);
}

void CLeftView_Arch::RegisterCoordinates(NumberFields& fields) {
  fields.AddReal(xEdit_, &xc, -3276, 3276, QStringLiteral("X"));
  fields.AddReal(teta1Edit_, &teta1, -90, 360, QStringLiteral("Teta1"));
  fields.AddReal(teta2Edit_, &teta2, -180, 360, QStringLiteral("Teta2"));
  fields.AddReal(rEdit_, &radius, 0.1, 32760, QStringLiteral("R"));
  fields.AddReal(yEdit_, &yc, -3276, 3276, QStringLiteral("Y"));
}

void CLeftView_Arch::Fill(int index, const Arch& arch) {
  FillCommon(index, arch);
  xc = arch.xc;
  yc = arch.yc;
  radius = arch.radius;
  teta1 = RadiansToDegrees(arch.angle1);
  teta2 = RadiansToDegrees(arch.angle2);
  LoadControls();
}

bool CLeftView_Arch::WriteInto(SurfData& g, const SurfParams& params) {
  auto* arch = dynamic_cast<Arch*>(&g);
  if (!arch) return false;
  arch->SetAll(params, xc, yc, radius, DegreesToRadians(teta1), DegreesToRadians(teta2));
  return true;
}

void CLeftView_Arch::FillFrom(int index, const SurfData& g) {
  if (const auto* e = dynamic_cast<const Arch*>(&g)) Fill(index, *e);
}
