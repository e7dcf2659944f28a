#include "dialogs/CFinalResult.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "dialogs/CDirDialog.h"
#include "dialogs/NumberFields.h"
#include "dialogs/UpDownControl.h"

namespace {

QString PickFolder(const QString& title, const QString& preselected) {
  CDirDialog dir;
  dir.title = title;
  dir.initialPath = preselected;
  // No owner window: the picker stands on its own.
  return dir.Browse(nullptr) ? dir.path : QString();
}

}  // namespace

CFinalResult::CFinalResult(QWidget* parent)
    : COptionPage(parent),
      pickFolder(PickFolder),
      skipBox_(new QCheckBox(QStringLiteral("Не производить расчет"))),
      pointsEdit_(new QLineEdit),
      pointsUpDown_(new UpDownControl(pointsEdit_)),
      folderEdit_(new QLineEdit),
      browse_(new QPushButton(QStringLiteral(">>"))) {
  skipBox_->setObjectName("SkipFinalResults");
  pointsEdit_->setObjectName("PointsBetweenCPs");
  folderEdit_->setObjectName("ResultsFolder");
  browse_->setObjectName("browseResultsFolder");
  browse_->setAutoDefault(false);
  browse_->setFixedWidth(36);
  pointsEdit_->setMaximumWidth(60);
  folderEdit_->setMinimumWidth(300);

  auto* points = new QHBoxLayout;
  points->setSpacing(1);
  points->addWidget(pointsEdit_);
  points->addWidget(pointsUpDown_);
  points->addSpacing(6);
  points->addWidget(new QLabel(QStringLiteral("расченых точек между КТ")));
  points->addStretch(1);

  auto* box = new QGroupBox;
  auto* grid = new QGridLayout(box);
  grid->addWidget(skipBox_, 0, 0, 1, 2);
  grid->addLayout(points, 1, 0, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Результаты расчета помещать в папку")), 2, 0, 1, 2);
  grid->addWidget(folderEdit_, 3, 0);
  grid->addWidget(browse_, 3, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(box);
  layout->addStretch(1);

  // The stored flag follows every click, so showing the page again agrees
  // with the box even before the page takes its values back.
  connect(skipBox_, &QCheckBox::clicked, this, [this] {
    SkipFinalResults = !SkipFinalResults;
    EnableByStoredFlag();
  });
  connect(browse_, &QPushButton::clicked, this, &CFinalResult::Browse);
}

void CFinalResult::LoadControls() {
  skipBox_->setChecked(SkipFinalResults);
  pointsEdit_->setText(NumberFields::FormatInteger(PointsBetweenCPs));
  folderEdit_->setText(ResultsFolder);
  EnableByStoredFlag();
}

bool CFinalResult::TakeBack() {
  NumberFields fields;
  fields.AddInteger(pointsEdit_, &PointsBetweenCPs, 0, 100, QStringLiteral("Число расчетных точек между КТ"));
  if (!fields.Take(this)) return false;
  SkipFinalResults = skipBox_->isChecked();
  ResultsFolder = folderEdit_->text();
  return true;
}

void CFinalResult::showEvent(QShowEvent* event) {
  EnableByStoredFlag();
  COptionPage::showEvent(event);
}

void CFinalResult::EnableByStoredFlag() {
  const bool on = !SkipFinalResults;
  folderEdit_->setEnabled(on);
  pointsEdit_->setEnabled(on);
  browse_->setEnabled(on);
}

void CFinalResult::Browse() {
  // The stored folder, not text typed since the page was last exchanged.
  const QString chosen =
      pickFolder ? pickFolder(QStringLiteral("Выберите папку для сохранения результатов"), ResultsFolder)
                 : QString();
  if (!chosen.isEmpty()) folderEdit_->setText(chosen);
}
