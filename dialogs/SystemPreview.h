#pragma once
// A small picture of generatrices for the geometry dialogs: the system (or
// a part of it) fitted into the widget, in the view's colours, with some
// generatrices drawn bold and a faint "before" outline underneath.

#include <QWidget>
#include <set>

#include "model/CSurfColl.h"

class SystemPreview : public QWidget {
  Q_OBJECT

 public:
  explicit SystemPreview(QWidget* parent = nullptr);

  // `highlight`: indices drawn bold. `before`: drawn dashed underneath.
  // `frame`: indices of `system` whose box the picture is fitted to (all
  // when empty).
  void SetSystem(CSurfColl system, std::set<int> highlight = {}, CSurfColl before = {}, std::set<int> frame = {});
  QSize sizeHint() const override { return {360, 280}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  CSurfColl system_;
  CSurfColl before_;
  std::set<int> highlight_;
  std::set<int> frame_;
};
