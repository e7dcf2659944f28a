#include "app/CKalvorDoc.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <algorithm>
#include <sstream>

#include "dialogs/CCalcInfo.h"
#include "document/SafeSave.h"
#include "dialogs/CProgressDialog.h"
#include "engine/ProgressReporter.h"

namespace {

std::string ControlFileIn(const QString& folder) { return (folder + "/ControlCalc.txt").toStdString(); }

}  // namespace

CKalvorDoc::CKalvorDoc(QObject* parent) : QObject(parent) { SetDefaults(ProgramFolder()); }

QString CKalvorDoc::ProgramFolder() {
  const QString dir = QCoreApplication::applicationDirPath();
  return dir.isEmpty() ? QStringLiteral(".") : dir;
}

void CKalvorDoc::SetDefaults(const QString& resultsFolder) {
  settings_ = CalcSettings{};
  settings_.ResultsFolder = resultsFolder.toStdString();
  calc_.ControlFilePath = ControlFileIn(resultsFolder);
  changedSinceCalculation = false;
  resultsPresent_ = false;
  showGapCurves_ = false;
  showCharges_ = false;
}

void CKalvorDoc::NewDocument() {
  calc_.Reset(true);
  SetDefaults(ProgramFolder());
  xmax_ = 0;
  ymax_ = 0;
  path_.clear();
  SetModified(false);
  emit titleChanged();
  emit documentReset();
  emit commandStateChanged();
  emit viewsChanged();
}

CKalvorDoc::OpenResult CKalvorDoc::OpenDocument(const QString& path) {
  OpenResult result;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    result.error = QStringLiteral("Не удается открыть файл %1:\n%2").arg(path, file.errorString());
    return result;
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    result.error = QStringLiteral("Не удается прочитать файл %1:\n%2").arg(path, file.errorString());
    return result;
  }

  calc_.Reset(true);
  std::istringstream in(bytes.toStdString());
  calc_.ReadSystem(in);
  if (calc_.errorCode == FieldCalc::kNoLines || calc_.errorCode == FieldCalc::kBadKindLetter) {
    QString message = QString::fromStdString(FieldCalc::MessageFor(calc_.errorCode));
    if (calc_.errorCode == FieldCalc::kBadKindLetter && calc_.errorLine > 0)
      message += QStringLiteral("\nСтрока файла: %1. Прочитано образующих: %2.")
                     .arg(calc_.errorLine)
                     .arg(calc_.Generatrices.GetSize());
    result.warning = message;
  }
  ComputeExtents();
  const QFileInfo info(path);
  SetDefaults(info.absolutePath());
  path_ = info.absoluteFilePath();
  result.opened = true;
  SetModified(false);
  emit titleChanged();
  emit documentReset();
  emit commandStateChanged();
  emit viewsChanged();
  return result;
}

QString CKalvorDoc::SaveDocument(const QString& path) {
  std::ostringstream out;
  calc_.WriteSystem(out);
  const std::string text = out.str();
  if (const QString reason = SafeSave(path, QByteArray::fromStdString(text)); !reason.isEmpty())
    return QStringLiteral("Не удается сохранить файл %1:\n%2").arg(path, reason);
  path_ = QFileInfo(path).absoluteFilePath();
  SetModified(false);
  emit titleChanged();
  emit viewsChanged();
  return {};
}

QString CKalvorDoc::Title() const {
  return path_.isEmpty() ? QStringLiteral("Kalvor") : QFileInfo(path_).fileName();
}

void CKalvorDoc::SetModified(bool modified) {
  if (modified_ == modified) return;
  modified_ = modified;
  emit modifiedChanged(modified);
}

void CKalvorDoc::MarkEdited() {
  SetModified(true);
  changedSinceCalculation = true;
  emit commandStateChanged();
}

void CKalvorDoc::DiscardResults() {
  calc_.Reset(false);
  resultsPresent_ = false;
  emit commandStateChanged();
}

void CKalvorDoc::ComputeExtents() {
  double mx = 0.0, my = 0.0;
  for (const auto& e : calc_.Generatrices) {
    double x = 0.0, y = 0.0;
    e->GetMaxCorner(x, y);
    mx = std::max(mx, x);
    my = std::max(my, y);
  }
  // Truncated towards zero; huge values saturate instead of overflowing.
  auto whole = [](double v) {
    if (!(v < 2.0e8)) return v != v ? 0 : 200000000;
    return static_cast<int>(v);
  };
  xmax_ = whole(mx);
  ymax_ = whole(my);
}

void CKalvorDoc::ToggleGapCurves() {
  showGapCurves_ = !showGapCurves_;
  emit commandStateChanged();
  emit viewsChanged();
}

void CKalvorDoc::ToggleCharges() {
  showCharges_ = !showCharges_;
  emit commandStateChanged();
  emit viewsChanged();
}

bool CKalvorDoc::Calculate(ProgressReporter& ui) {
  const RunReport report = RunCalculation(calc_, settings_, changedSinceCalculation, ui);
  resultsPresent_ = report.success;
  emit commandStateChanged();
  emit viewsChanged();
  return report.success;
}

int CKalvorDoc::GapCalculate(ProgressReporter& ui) {
  if (!CanGapCalculate()) return 0;
  return RunGapCalculation(calc_, settings_.ResultsFolder, ui);
}

void CKalvorDoc::OnCalculate(QWidget* mainWindow) {
  if (!CanCalculate()) return;
  CCalcInfo info(mainWindow);
  info.text = QString::fromStdString(ParameterSummary(calc_, settings_));
  if (info.exec() != QDialog::Accepted) return;
  CProgressDialog progress;
  if (!progress.CreateModeless(mainWindow)) return;
  progress.SetStep(1);
  Calculate(progress);
  progress.Close();
}

void CKalvorDoc::OnGapCalculate(QWidget* mainWindow) {
  if (!CanGapCalculate()) return;
  int code = 0;
  {
    CProgressDialog progress;
    if (!progress.CreateModeless(mainWindow)) return;
    progress.SetStep(1);
    code = GapCalculate(progress);
    progress.Close();
  }
  // A failed gap calculation is said so; files written before it remain.
  if (code != 0) {
    const QString text = QString::fromStdString(calc_.errorCode == code ? calc_.FullErrorText()
                                                                        : FieldCalc::MessageFor(code));
    QMessageBox::critical(mainWindow, QStringLiteral("Error"), text);
  }
}
