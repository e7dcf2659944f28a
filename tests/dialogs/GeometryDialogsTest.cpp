// The rounding and DXF import dialogs on values, and the rounding as one
// undoable step of the document.

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <cstdlib>
#include <sstream>

#include "dialogs/DxfImportDialog.h"
#include "dialogs/RoundCornerDialog.h"
#include "document/CKalvorDoc.h"
#include "document/SystemCommands.h"
#include "model/Arch.h"
#include "model/Line.h"

namespace {

CSurfColl Cylinder() {
  SurfParams p;
  p.innerRegion = 1;
  p.outerRegion = 2;
  p.epsOuter = 1;
  p.pointCount = 10;
  p.ratioLd = 2;
  CSurfColl c;
  c.Append(std::make_unique<Line>(p, 0, 10, 5, 10));
  c.Append(std::make_unique<Line>(p, 5, 10, 5, 0));
  c.Append(std::make_unique<Line>(p, 5, 0, 0, 0));
  for (const auto& e : c) e->SetFixedPotential(10);
  return c;
}

// With KALVOR_SHOTS set, the dialogs are saved there as pictures to look at.
void Shot(QWidget& w, const char* name) {
  if (const char* dir = std::getenv("KALVOR_SHOTS")) {
    w.show();
    w.grab().save(QString::fromUtf8(dir) + "/" + name + ".png");
  }
}

QPushButton* Ok(QDialog& d) { return d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok); }

TEST(RoundCornerDialog, ARadiusThatDoesNotFitIsExplainedAndCannotBeConfirmed) {
  const CSurfColl system = Cylinder();
  RoundCornerDialog d(system, 0, 1);
  EXPECT_TRUE(d.Result().Ok());  // the proposed radius fits
  d.SetRadius(1.5);
  Shot(d, "round-corner");
  ASSERT_TRUE(d.Result().Ok());
  EXPECT_TRUE(Ok(d)->isEnabled());
  EXPECT_EQ(d.Result().system.GetSize(), 4);
  d.SetRadius(7);
  EXPECT_FALSE(Ok(d)->isEnabled());
  EXPECT_TRUE(d.findChild<QLabel*>("message")->text().contains(QStringLiteral("не помещается")));
  Shot(d, "round-corner-refused");
}

TEST(RoundCornerDialog, RoundingIsOneStepThatUndoRestoresTheCorner) {
  CKalvorDoc doc;
  for (const auto& e : Cylinder()) doc.AddGeneratrix(e->Clone());
  const int before = doc.UndoStack().count();
  const RoundCornerResult r = RoundCorner(doc.Generatrices(), 0, 1, 1.0);
  ASSERT_TRUE(r.Ok());
  doc.UndoStack().push(new ReplaceSystemCommand(doc, r.system.Clone(), QStringLiteral("Скругление угла")));
  EXPECT_EQ(doc.UndoStack().count(), before + 1);
  ASSERT_EQ(doc.Generatrices().GetSize(), 4);
  EXPECT_EQ(doc.Generatrices().At(1)->GetKind(), SurfData::kArch);
  EXPECT_TRUE(doc.IsModified());

  doc.UndoStack().undo();
  ASSERT_EQ(doc.Generatrices().GetSize(), 3);
  const auto* top = dynamic_cast<const Line*>(doc.Generatrices().At(0));
  const auto* side = dynamic_cast<const Line*>(doc.Generatrices().At(1));
  ASSERT_TRUE(top && side);
  EXPECT_EQ(top->x2, 5.0);
  EXPECT_EQ(side->y1, 10.0);
  EXPECT_EQ(top->pointCount, 10);

  doc.UndoStack().redo();
  EXPECT_EQ(doc.Generatrices().GetSize(), 4);
}

DxfDrawing TwoLayers() {
  std::istringstream in(
      "0\nSECTION\n2\nHEADER\n9\n$INSUNITS\n70\n5\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n"
      "0\nARC\n8\nELECTRODE\n10\n0\n20\n10\n40\n5\n50\n-90\n51\n90\n"
      "0\nLWPOLYLINE\n8\nINSULATOR\n90\n4\n70\n1\n10\n0\n20\n0\n10\n8\n20\n0\n10\n8\n20\n2\n10\n0\n20\n2\n"
      "0\nTEXT\n8\nNOTES\n10\n1\n20\n1\n40\n1\n1\nU = 100 kV\n"
      "0\nENDSEC\n0\nEOF\n");
  return ReadDxf(in);
}

TEST(DxfImportDialog, LayersMapToKindsAndThePictureFollows) {
  DxfImportDialog d(TwoLayers(), QStringLiteral("test.dxf"));
  QTableWidget* t = d.LayerTable();
  ASSERT_EQ(t->rowCount(), 3);
  EXPECT_EQ(t->item(0, 0)->text(), QStringLiteral("ELECTRODE"));
  EXPECT_TRUE(t->item(1, 1)->text().contains(QStringLiteral("LWPOLYLINE 1")));
  EXPECT_FALSE(Ok(d)->isEnabled());  // nothing mapped yet
  EXPECT_TRUE(d.findChild<QPlainTextEdit*>("notes")->toPlainText().contains(QStringLiteral("TEXT: 1")));

  d.SetLayer(0, DxfLayerKind::kConductor, 100);
  d.SetLayer(1, DxfLayerKind::kDielectric, 4, 1);
  Shot(d, "dxf-import");
  ASSERT_TRUE(d.Result().Ok()) << d.Result().error;
  EXPECT_TRUE(Ok(d)->isEnabled());
  const CSurfColl& s = d.Result().system;
  ASSERT_EQ(s.GetSize(), 4);  // the sphere, three sides of the plate (its side on the axis is none)
  EXPECT_TRUE(s.At(0)->isFixed);
  EXPECT_EQ(s.At(0)->fixedPotential, 100.0);
  EXPECT_EQ(s.At(1)->material, 0);
  EXPECT_EQ(s.At(1)->epsInner, 4.0);
  const DxfImportOptions o = d.Options();
  EXPECT_EQ(o.layers.at("NOTES").kind, DxfLayerKind::kSkip);
}

}  // namespace
