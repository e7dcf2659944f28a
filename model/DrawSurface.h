#pragma once
// What an element needs from a canvas to draw itself. Coordinates are
// logical units of 0.1 cm with y pointing up; the view maps them to pixels.

class DrawSurface {
 public:
  virtual ~DrawSurface() = default;
  virtual void MoveTo(int x, int y) = 0;
  virtual void LineTo(int x, int y) = 0;
  // Whole circle (or ellipse) inside the box; left < right, bottom < top.
  virtual void Ellipse(int left, int top, int right, int bottom) = 0;
  // Part of the circle inscribed in the box, starting at `startAngle` and
  // sweeping `sweepAngle` radians (positive = counterclockwise, y up).
  virtual void Arc(int left, int top, int right, int bottom, double startAngle, double sweepAngle) = 0;
  // Solid black square of the marker pen.
  virtual void FillMarker(int left, int top, int right, int bottom) = 0;
  virtual void SetPixel(int x, int y) = 0;
};
