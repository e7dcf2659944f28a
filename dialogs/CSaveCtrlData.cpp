#include "dialogs/CSaveCtrlData.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString PickControlFile(QWidget* parent, const QString& initial) {
  QFileDialog dialog(parent, QStringLiteral("Открыть"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // The control file is written by the calculation; it need not exist yet.
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters({QStringLiteral("Текстовые файлы (*.txt)"), QStringLiteral("Все файлы (*.*)")});
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (!initial.isEmpty()) dialog.selectFile(initial);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

}  // namespace

CSaveCtrlData::CSaveCtrlData(QWidget* parent)
    : COptionPage(parent),
      pickFile(PickControlFile),
      skipBox_(new QCheckBox(QStringLiteral("Не производить контрольный расчет в КТ"))),
      matrixBox_(new QCheckBox(QStringLiteral("Матрица полевых коэффициентов"))),
      inverseBox_(new QCheckBox(QStringLiteral("Обращенная матрица"))),
      potentialsBox_(new QCheckBox(QStringLiteral("Потенциалы в контурных точках"))),
      pathEdit_(new QLineEdit),
      browse_(new QPushButton(QStringLiteral(">>"))) {
  skipBox_->setObjectName("SkipControlCalc");
  matrixBox_->setObjectName("DumpMatrix");
  inverseBox_->setObjectName("DumpInverseMatrix");
  potentialsBox_->setObjectName("ControlPotentials");
  pathEdit_->setObjectName("ControlFilePath");
  browse_->setObjectName("browseControlFile");
  browse_->setAutoDefault(false);
  browse_->setFixedWidth(36);
  pathEdit_->setMinimumWidth(300);

  auto* contents = new QGroupBox(QStringLiteral("Содержание файла результатов"));
  auto* cv = new QVBoxLayout(contents);
  cv->addWidget(matrixBox_);
  cv->addWidget(inverseBox_);
  cv->addWidget(potentialsBox_);

  auto* box = new QGroupBox(QStringLiteral("Опции сохранения контрольных результатов"));
  auto* grid = new QGridLayout(box);
  grid->addWidget(skipBox_, 0, 0, 1, 2);
  grid->addWidget(contents, 1, 0, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Контрольные результаты записывать в файл")), 2, 0, 1, 2);
  grid->addWidget(pathEdit_, 3, 0);
  grid->addWidget(browse_, 3, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(box);
  layout->addStretch(1);
  connect(browse_, &QPushButton::clicked, this, &CSaveCtrlData::Browse);
}

void CSaveCtrlData::LoadControls() {
  skipBox_->setChecked(SkipControlCalc);
  matrixBox_->setChecked(DumpMatrix);
  inverseBox_->setChecked(DumpInverseMatrix);
  potentialsBox_->setChecked(ControlPotentials);
  pathEdit_->setText(ControlFilePath);
}

bool CSaveCtrlData::TakeBack() {
  SkipControlCalc = skipBox_->isChecked();
  DumpMatrix = matrixBox_->isChecked();
  DumpInverseMatrix = inverseBox_->isChecked();
  ControlPotentials = potentialsBox_->isChecked();
  ControlFilePath = pathEdit_->text();
  return true;
}

void CSaveCtrlData::Browse() {
  const QString chosen = pickFile ? pickFile(this, ControlFilePath) : QString();
  if (chosen.isEmpty()) return;
  ControlFilePath = chosen;
  pathEdit_->setText(chosen);
}
