#include "dialogs/GeometryBoxes.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

QGroupBox* NewBox() { return new QGroupBox(QStringLiteral("Координаты начала и конца образующей [см]")); }

}  // namespace

QGroupBox* ArcGeometryBox(QLineEdit* xc, QLineEdit* yc, QLineEdit* radius, QLineEdit* angle1, QLineEdit* angle2) {
  auto* geometry = NewBox();
  auto* h = new QHBoxLayout(geometry);
  auto* left = new QFormLayout;
  left->addRow(QStringLiteral("Центр X"), xc);
  left->addRow(QStringLiteral("Центр Y"), yc);
  left->addRow(QStringLiteral("Радиус R"), radius);
  auto* right = new QFormLayout;
  right->addRow(QStringLiteral("Начал. угол"), angle1);
  right->addRow(QStringLiteral("Конечн. угол"), angle2);
  h->addLayout(left);
  h->addLayout(right);
  return geometry;
}

QGroupBox* LineGeometryBox(QLineEdit* x1, QLineEdit* y1, QLineEdit* x2, QLineEdit* y2) {
  auto* geometry = NewBox();
  auto* g = new QGridLayout(geometry);
  g->addWidget(new QLabel(QStringLiteral("X1")), 0, 0);
  g->addWidget(x1, 0, 1);
  g->addWidget(new QLabel(QStringLiteral("Y1")), 0, 2);
  g->addWidget(y1, 0, 3);
  g->addWidget(new QLabel(QStringLiteral("X2")), 1, 0);
  g->addWidget(x2, 1, 1);
  g->addWidget(new QLabel(QStringLiteral("Y2")), 1, 2);
  g->addWidget(y2, 1, 3);
  return geometry;
}
