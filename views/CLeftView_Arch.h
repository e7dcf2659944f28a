#pragma once
// The editor pane of a circular-arc generatrix (left column); angles are
// shown and entered in degrees.

#include "views/GeneratrixPane.h"

class Arch;

class CLeftView_Arch : public GeneratrixPane {
  Q_OBJECT

 public:
  CLeftView_Arch(CKalvorDoc& doc, LeftPaneHost* host, QWidget* parent = nullptr);

  double xc = 0.0, yc = 0.0, radius = 0.0;
  double teta1 = 0.0, teta2 = 0.0;  // degrees

  void Fill(int index, const Arch& arch);

  QLineEdit* XEdit() const { return xEdit_; }
  QLineEdit* YEdit() const { return yEdit_; }
  QLineEdit* REdit() const { return rEdit_; }
  QLineEdit* Teta1Edit() const { return teta1Edit_; }
  QLineEdit* Teta2Edit() const { return teta2Edit_; }

 protected:
  void RegisterCoordinates(NumberFields& fields) override;
  bool WriteInto(SurfData& g, const SurfParams& params) override;
  void FillFrom(int index, const SurfData& g) override;

 private:
  QLineEdit* xEdit_ = nullptr;
  QLineEdit* yEdit_ = nullptr;
  QLineEdit* rEdit_ = nullptr;
  QLineEdit* teta1Edit_ = nullptr;
  QLineEdit* teta2Edit_ = nullptr;
};
