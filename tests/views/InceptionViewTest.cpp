// Discharge inception in the desktop program: the results pane lists each
// body's onset and margin (red below 1) and the view draws the critical
// field line, its avalanche region thick.
#include <gtest/gtest.h>

#include <QBrush>
#include <QImage>
#include <QPainter>
#include <QTreeWidget>

#include "app/GuiTestSupport.h"
#include "engine/ProgressReporter.h"
#include "views/CKalvorView.h"
#include "views/ResultsPane.h"
#include "views/ViewMapping.h"

namespace {

// A sphere of radius 5 cm about (0, 10) at `u` kV: 500 kV puts 100 kV/cm on
// its surface, far above the ~36 kV/cm at which air breaks into corona.
QString Sphere(double u) {
  return QStringLiteral("Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 10.000 ; 5.000 ; 90.00000 ; -90.00000 ; %1 ; 20 ; 3.0 ;\n")
      .arg(u, 0, 'f', 3);
}

class InceptionViewTest : public GuiTest {
 protected:
  void Solve(double u, bool inception) {
    Start();
    ASSERT_TRUE(frame()->OpenFile(WriteFile(dir, "sphere.txt", Sphere(u).toUtf8())));
    CalcParameters p = doc().Parameters();
    p.Inception.Enabled = inception;
    doc().SetParameters(p);
    SilentProgress quiet;
    ASSERT_TRUE(doc().Calculate(quiet).success);
  }
  QTreeWidgetItem* Section(const QString& title) {
    QTreeWidget* tree = frame()->Results()->Tree();
    for (int s = 0; s < tree->topLevelItemCount(); ++s)
      if (tree->topLevelItem(s)->text(0) == title) return tree->topLevelItem(s);
    return nullptr;
  }
  QImage Paint() {
    CKalvorView* view = frame()->GeometryView();
    QImage image(view->viewport()->size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    view->PaintSystem(painter, view->Mapping(false));
    return image;
  }
  // Whether a pixel within 2 of `at` is strongly red.
  static bool RedNear(const QImage& image, QPointF at) {
    for (int dx = -2; dx <= 2; ++dx)
      for (int dy = -2; dy <= 2; ++dy) {
        const QPoint p = at.toPoint() + QPoint(dx, dy);
        if (!image.rect().contains(p)) continue;
        const QColor c = image.pixelColor(p);
        if (c.red() > 180 && c.green() < 80 && c.blue() < 80) return true;
      }
    return false;
  }
};

}  // namespace

TEST_F(InceptionViewTest, ThePaneShowsTheOnsetInRedBelowMarginOneAndTheViewDrawsTheCriticalLine) {
  Solve(500.0, true);
  const InceptionResult& r = doc().Inception();
  ASSERT_EQ(r.errorCode, 0) << r.error;
  ASSERT_EQ(r.bodies.size(), 1u);
  const InceptionOnset& o = r.bodies[0];
  ASSERT_TRUE(o.incepts);
  EXPECT_LT(o.margin, 1.0);
  EXPECT_GT(o.margin, 0.2);

  QTreeWidgetItem* section = Section(QStringLiteral("Возникновение разряда"));
  ASSERT_NE(section, nullptr);
  QTreeWidgetItem* body = nullptr;
  for (int k = 0; k < section->childCount(); ++k)
    if (section->child(k)->text(0) == QStringLiteral("Тело 1")) body = section->child(k);
  ASSERT_NE(body, nullptr);
  EXPECT_TRUE(body->text(1).contains(QStringLiteral("возникает при %1 кВ").arg(o.onsetKv, 0, 'g', 4))) << body->text(1).toStdString();
  EXPECT_TRUE(body->text(1).contains(QStringLiteral("запас %1").arg(o.margin, 0, 'g', 4)));
  EXPECT_EQ(body->foreground(1).color(), QColor(Qt::red));
  EXPECT_EQ(body->data(0, ResultsPane::kPointRole).toPointF(), QPointF(o.startX, o.startY));

  // The avalanche region, halfway along it, is drawn thick and red.
  ASSERT_GE(o.avalanche.size(), 2u);
  const FieldLinePoint& mid = o.avalanche[o.avalanche.size() / 2];
  const QPointF at = frame()->GeometryView()->Mapping(false).ToDevice(10.0 * mid.x, 10.0 * mid.y);
  EXPECT_TRUE(RedNear(Paint(), at));
}

TEST_F(InceptionViewTest, WithoutTheScreeningThereIsNoSectionAndNoLine) {
  Solve(500.0, false);
  EXPECT_EQ(Section(QStringLiteral("Возникновение разряда")), nullptr);
  EXPECT_TRUE(doc().Inception().bodies.empty());
  const QPointF at = frame()->GeometryView()->Mapping(false).ToDevice(10.0 * 0.0, 10.0 * 15.8);
  EXPECT_FALSE(RedNear(Paint(), at));
}

TEST_F(InceptionViewTest, AMarginAboveOneIsNotRed) {
  Solve(100.0, true);
  QTreeWidgetItem* section = Section(QStringLiteral("Возникновение разряда"));
  ASSERT_NE(section, nullptr);
  ASSERT_GE(section->childCount(), 2);
  EXPECT_GT(doc().Inception().bodies.at(0).margin, 1.0);
  EXPECT_NE(section->child(1)->foreground(1).color(), QColor(Qt::red));
}
