#include "dialogs/RoundCornerDialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "dialogs/OkCancelButtons.h"
#include "dialogs/SystemPreview.h"

namespace {

double Length(const SurfData& e) {
  double x1, y1, x2, y2;
  e.GetEnds(x1, y1, x2, y2);
  return std::hypot(x2 - x1, y2 - y1);
}

}  // namespace

RoundCornerDialog::RoundCornerDialog(const CSurfColl& system, int i, int j, QWidget* parent)
    : QDialog(parent),
      system_(system),
      i_(i),
      j_(j),
      radius_(new QDoubleSpinBox),
      message_(new QLabel),
      preview_(new SystemPreview) {
  setWindowTitle(QStringLiteral("Скругление угла"));
  radius_->setObjectName("radius");
  radius_->setDecimals(3);
  radius_->setRange(0.001, 1e5);
  radius_->setSuffix(QStringLiteral(" см"));
  // A quarter of the shorter piece: fits any corner of 90 degrees or more.
  const double shorter = std::min(Length(*system.At(i)), Length(*system.At(j)));
  const double start = shorter > 0 ? std::pow(10, std::floor(std::log10(shorter / 4))) : 0.1;
  radius_->setValue(std::max(0.001, std::round(shorter / 4 / start) * start));
  radius_->setSingleStep(std::max(0.001, start / 2));
  message_->setObjectName("message");
  message_->setWordWrap(true);
  message_->setStyleSheet(QStringLiteral("color: #b00000"));
  // Room for the longest refusal, so the dialog does not jump as R changes.
  message_->setMinimumHeight(message_->fontMetrics().lineSpacing() * 3 + 4);
  message_->setAlignment(Qt::AlignTop | Qt::AlignLeft);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Образующие:"), new QLabel(QStringLiteral("%1 и %2").arg(i + 1).arg(j + 1)));
  form->addRow(QStringLiteral("Радиус скругления R:"), radius_);
  auto* buttons = OkCancelButtons(this);
  ok_ = buttons->button(QDialogButtonBox::Ok);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(preview_, 1);
  layout->addWidget(message_);
  layout->addWidget(buttons);
  connect(radius_, &QDoubleSpinBox::valueChanged, this, [this] { Update(); });
  Update();
}

double RoundCornerDialog::Radius() const { return radius_->value(); }

void RoundCornerDialog::SetRadius(double r) { radius_->setValue(r); }

void RoundCornerDialog::Update() {
  result_ = RoundCorner(system_, i_, j_, radius_->value());
  CSurfColl before;
  before.Append(system_.At(i_)->Clone());
  before.Append(system_.At(j_)->Clone());
  if (result_.Ok()) {
    std::set<int> frame{result_.arcIndex};
    for (int k : {i_, j_})
      if (result_.indexMap[static_cast<size_t>(k)] >= 0) frame.insert(result_.indexMap[static_cast<size_t>(k)]);
    preview_->SetSystem(result_.system.Clone(), {result_.arcIndex}, std::move(before), frame);
    message_->clear();
  } else {
    CSurfColl shown = system_.Clone();
    preview_->SetSystem(std::move(shown), {i_, j_}, {}, {i_, j_});
    message_->setText(QString::fromStdString(result_.error));
  }
  ok_->setEnabled(result_.Ok());
}
