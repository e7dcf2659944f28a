#pragma once
// The coordinate boxes ("Координаты начала и конца образующей [см]") that a
// generatrix dialog and the gap-curve dialog of the same kind lay out alike.
// The edits are passed in the order in which they stand in the box.

class QGroupBox;
class QLineEdit;

// Left column: Центр X, Центр Y, Радиус R; right column: Начал. угол, Конечн. угол.
QGroupBox* ArcGeometryBox(QLineEdit* xc, QLineEdit* yc, QLineEdit* radius, QLineEdit* angle1, QLineEdit* angle2);
// Two rows: X1 Y1, then X2 Y2.
QGroupBox* LineGeometryBox(QLineEdit* x1, QLineEdit* y1, QLineEdit* x2, QLineEdit* y2);
