#include "document/CKalvorDoc.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <sstream>

#include "document/SafeSave.h"
#include "engine/ProgressReporter.h"

CKalvorDoc::CKalvorDoc(QObject* parent) : QObject(parent) { SetDefaults(ProgramFolder()); }

QString CKalvorDoc::ProgramFolder() {
  const QString dir = QCoreApplication::applicationDirPath();
  return dir.isEmpty() ? QStringLiteral(".") : dir;
}

void CKalvorDoc::SetDefaults(const QString& resultsFolder) {
  // The external field and the earth come from the engine's reset; the rest
  // of the parameters start afresh with every system.
  CalcParameters p;
  p.ExternalField = calc_.Parameters().ExternalField;
  p.UseEarth = calc_.Parameters().UseEarth;
  p.ResultsFolder = resultsFolder.toStdString();
  p.ControlFilePath = ControlFileIn(p.ResultsFolder);
  calc_.SetParameters(p);
  lastRun_ = RunReport{};
  analysis_ = SolutionAnalysis{};
  changedSinceCalculation_ = false;
  resultsPresent_ = false;
  showGapCurves_ = false;
  showCharges_ = false;
}

void CKalvorDoc::NewDocument() {
  const ChangeGuard guard(*this);
  calc_.Reset(true);
  SetDefaults(ProgramFolder());
  xmax_ = 0;
  ymax_ = 0;
  path_.clear();
  Replaced();
}

void CKalvorDoc::Replaced() {
  SetModified(false);
  emit titleChanged();
  emit documentReset();
  emit resultsChanged(false);
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

  const ChangeGuard guard(*this);
  calc_.Reset(true);
  std::istringstream in(bytes.toStdString());
  calc_.ReadSystem(in);
  const int code = calc_.ErrorCode();
  if (code == FieldCalc::kNoLines || code == FieldCalc::kBadKindLetter) {
    QString message = QString::fromStdString(FieldCalc::MessageFor(code));
    if (code == FieldCalc::kBadKindLetter && calc_.ErrorLine() > 0)
      message += QStringLiteral("\nСтрока файла: %1. Прочитано образующих: %2.")
                     .arg(calc_.ErrorLine())
                     .arg(calc_.Generatrices().GetSize());
    result.warning = message;
  }
  ComputeExtents();
  const QFileInfo info(path);
  SetDefaults(info.absolutePath());
  path_ = info.absoluteFilePath();
  result.opened = true;
  Replaced();
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

void CKalvorDoc::UpdateResults() {
  if (resultsPresent_ && !calc_.HasSolution()) {
    resultsPresent_ = false;
    lastRun_ = RunReport{};
    analysis_ = SolutionAnalysis{};
    emit resultsChanged(false);
  }
}

void CKalvorDoc::SystemEdited() {
  SetModified(true);
  changedSinceCalculation_ = true;
  UpdateResults();
  ComputeExtents();
  emit commandStateChanged();
  emit viewsChanged();
}

int CKalvorDoc::AddGeneratrix(std::unique_ptr<SurfData> g) {
  const ChangeGuard guard(*this);
  const int index = calc_.AddGeneratrix(std::move(g));
  if (index < 0) return index;
  emit generatrixAdded(index);
  SystemEdited();
  return index;
}

bool CKalvorDoc::RemoveGeneratrix(int index) {
  const ChangeGuard guard(*this);
  if (!calc_.RemoveGeneratrix(index)) return false;
  emit generatrixRemoved(index);
  SystemEdited();
  return true;
}

bool CKalvorDoc::ReplaceGeneratrix(int index, std::unique_ptr<SurfData> g) {
  const ChangeGuard guard(*this);
  if (!calc_.ReplaceGeneratrix(index, std::move(g))) return false;
  emit generatrixChanged(index);
  SystemEdited();
  return true;
}

bool CKalvorDoc::ToggleMarked(int index) {
  const SurfData* g = Generatrices().At(index);
  if (!g || !calc_.SetMarked(index, !g->marked)) return false;
  emit viewsChanged();
  return true;
}

void CKalvorDoc::SetParameters(const CalcParameters& p) {
  if (p == calc_.Parameters()) return;
  const ChangeGuard guard(*this);
  calc_.SetParameters(p);
  UpdateResults();
  emit parametersChanged();
  emit commandStateChanged();
  emit viewsChanged();
}

void CKalvorDoc::SetGapCurves(CSurfColl curves) {
  calc_.SetGapCurves(std::move(curves));
  emit gapCurvesChanged();
  emit commandStateChanged();
  emit viewsChanged();
}

void CKalvorDoc::ComputeExtents() {
  double mx = 0.0, my = 0.0;
  for (const auto& e : Generatrices()) {
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

RunReport CKalvorDoc::Calculate(ProgressReporter& ui) {
  const ChangeGuard guard(*this);
  const bool before = ResultsPresent();
  RunReport report = RunCalculation(calc_, changedSinceCalculation_, ui);
  resultsPresent_ = report.success;
  lastRun_ = report.success ? report : RunReport{};
  analysis_ = SolutionAnalysis{};
  if (report.success) {
    analysis_ = AnalyseSolution(calc_, report.parameters.PointsBetweenCPs);
    AddCapacitance(calc_, analysis_);
  }
  if (before || report.success) emit resultsChanged(report.success);
  emit commandStateChanged();
  emit viewsChanged();
  return report;
}

int CKalvorDoc::GapCalculate(ProgressReporter& ui) {
  if (!CanGapCalculate()) return -1;
  const ChangeGuard guard(*this);
  return RunGapCalculation(calc_, ui);
}
