#pragma once
// The editor pane of a straight generatrix (left column).

#include "views/GeneratrixPane.h"

class Line;

class CLeftView_Line : public GeneratrixPane {
  Q_OBJECT

 public:
  CLeftView_Line(CKalvorDoc& doc, LeftPaneHost* host, QWidget* parent = nullptr);

  double x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0;

  // The values of `line` into the fields and the controls.
  void Fill(int index, const Line& line);

  QLineEdit* X1Edit() const { return x1Edit_; }
  QLineEdit* Y1Edit() const { return y1Edit_; }
  QLineEdit* X2Edit() const { return x2Edit_; }
  QLineEdit* Y2Edit() const { return y2Edit_; }

 protected:
  void RegisterCoordinates(NumberFields& fields) override;
  bool WriteInto(SurfData& g, const SurfParams& params) override;
  void FillFrom(int index, const SurfData& g) override;

 private:
  QLineEdit* x1Edit_ = nullptr;
  QLineEdit* y1Edit_ = nullptr;
  QLineEdit* x2Edit_ = nullptr;
  QLineEdit* y2Edit_ = nullptr;
};
