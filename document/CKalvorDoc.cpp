#include "document/CKalvorDoc.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdint>
#include <sstream>

#include "document/DocumentCommands.h"
#include "document/SafeSave.h"
#include "document/SystemSidecar.h"
#include "engine/GapCurves.h"
#include "engine/ProgressReporter.h"

namespace {

// The comment lines of a field-system file with the number of element lines
// above each, up to the line where reading stopped (0: the whole file). The
// reader's rule: a line that starts with "//".
std::vector<CKalvorDoc::FileComment> CommentsOf(const std::string& text, int stopLine) {
  std::vector<CKalvorDoc::FileComment> comments;
  std::istringstream in(text);
  std::string line;
  int lineNo = 0, elements = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (stopLine > 0 && lineNo >= stopLine) break;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() >= 2 && line[0] == '/' && line[1] == '/')
      comments.push_back({elements, line});
    else if (line.find_first_not_of(" \t") != std::string::npos)
      ++elements;
  }
  return comments;
}

}  // namespace

CKalvorDoc::CKalvorDoc(QObject* parent) : QObject(parent) {
  SetDefaults(ProgramFolder());
  connect(&undoStack_, &QUndoStack::cleanChanged, this, [this](bool clean) { SetModified(!clean); });
}

void CKalvorDoc::MarkClean(bool forgetHistory) {
  if (forgetHistory) undoStack_.clear();
  undoStack_.setClean();
  SetModified(false);
}

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
  inception_ = InceptionResult{};
  changedSinceCalculation_ = false;
  resultsPresent_ = false;
  showGapCurves_ = false;
  showCharges_ = false;
}

void CKalvorDoc::NewDocument() {
  calc_.Reset(true);
  RenewSolution();
  SetDefaults(ProgramFolder());
  xmax_ = 0;
  ymax_ = 0;
  path_.clear();
  calc_.SetInputFiles({});
  ++newSystems_;
  comments_.clear();
  stoppedAtLine_ = 0;
  MarkClean(true);
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

  calc_.Reset(true);
  RenewSolution();
  const std::string text = bytes.toStdString();
  std::istringstream in(text);
  calc_.ReadSystem(in);
  const int code = calc_.ErrorCode();
  // A line of no known kind or with a number that overflows stops reading.
  const bool stopped = code == FieldCalc::kBadKindLetter || code == FieldCalc::kBadParameter;
  stoppedAtLine_ = stopped ? std::max(1, calc_.ErrorLine()) : 0;
  comments_ = CommentsOf(text, stoppedAtLine_);
  if (code == FieldCalc::kNoLines || stopped) {
    QString message = QString::fromStdString(FieldCalc::MessageFor(code));
    if (stopped && calc_.ErrorLine() > 0)
      message += QStringLiteral("\nСтрока файла: %1. Прочитано образующих: %2.")
                     .arg(calc_.ErrorLine())
                     .arg(calc_.Generatrices().GetSize());
    result.warning = message;
  }
  ComputeExtents();
  const QFileInfo info(path);
  SetDefaults(info.absolutePath());
  // The parameters and curves saved with the system, when there are any.
  sidecar::Contents saved = sidecar::Read(info.absoluteFilePath(), calc_.Parameters());
  if (saved.found) calc_.SetParameters(saved.parameters);
  // A spoiled value keeps its default; the user learns which one.
  if (!saved.problem.empty())
    result.warning += (result.warning.isEmpty() ? QString() : QStringLiteral("\n\n")) +
                      QString::fromStdString(saved.problem) + QStringLiteral("\nДействует значение по умолчанию.");
  path_ = info.absoluteFilePath();
  // A run never writes its results over the system's own file.
  calc_.SetInputFiles({QFile::encodeName(path_).toStdString()});
  if (saved.hasGapCurves) {
    calc_.SetGapCurves(std::move(saved.gapCurves));
    gapCurvesOwner_ = path_;
  }
  result.opened = true;
  MarkClean(true);
  emit titleChanged();
  emit documentReset();
  emit resultsChanged(false);
  emit parametersChanged();
  emit gapCurvesChanged();
  emit commandStateChanged();
  emit viewsChanged();
  return result;
}

QString CKalvorDoc::SaveDocument(const QString& path) {
  // The element lines as the engine writes them, the file's comments where
  // they were (those below the last element at the end).
  std::ostringstream elements;
  calc_.WriteSystem(elements);
  std::istringstream lines(elements.str());
  std::ostringstream out;
  std::string line;
  size_t next = 0;
  int written = 0;
  auto commentsUpTo = [&](int count) {
    for (; next < comments_.size() && comments_[next].elementsBefore <= count; ++next)
      out << comments_[next].text << '\n';
  };
  while (std::getline(lines, line)) {
    commentsUpTo(written);
    out << line << '\n';
    ++written;
  }
  commentsUpTo(INT32_MAX);
  const std::string text = out.str();
  if (const QString reason = SafeSave(path, QByteArray::fromStdString(text)); !reason.isEmpty())
    return QStringLiteral("Не удается сохранить файл %1:\n%2").arg(path, reason);
  const QString saved = QFileInfo(path).absoluteFilePath();
  if (saved == path_) stoppedAtLine_ = 0;  // the shorter text is now the file
  if (path_.isEmpty()) {
    // A new system's results go beside it, not into the program's folder.
    CalcParameters p = calc_.Parameters();
    const std::string folder = QFileInfo(saved).absolutePath().toStdString();
    if (p.ResultsFolder == ProgramFolder().toStdString()) p.ResultsFolder = folder;
    if (p.ControlFilePath == ControlFileIn(ProgramFolder().toStdString())) p.ControlFilePath = ControlFileIn(folder);
    if (!(p == calc_.Parameters())) {
      calc_.SetParameters(p);
      emit parametersChanged();
    }
  }
  // The curves go with their own system, to its new name too; another
  // system's curves stay out of this one's file.
  const bool ownCurves = GapCurvesAreOwn();
  path_ = saved;
  calc_.SetInputFiles({QFile::encodeName(path_).toStdString()});
  if (ownCurves) gapCurvesOwner_ = path_;
  const QString sidecarError = sidecar::Write(saved, calc_.Parameters(), ownCurves ? &GapCurves() : nullptr);
  if (!sidecarError.isEmpty()) {
    emit titleChanged();
    return sidecarError;
  }
  MarkClean(false);
  emit titleChanged();
  emit viewsChanged();
  return {};
}

QString CKalvorDoc::SystemIdentity() const {
  return path_.isEmpty() ? QStringLiteral("*new %1").arg(newSystems_) : path_;
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
  if (solution_ && !calc_.HasSolution()) RenewSolution();
  if (resultsPresent_ && !calc_.HasSolution()) {
    resultsPresent_ = false;
    lastRun_ = RunReport{};
    analysis_ = SolutionAnalysis{};
    inception_ = InceptionResult{};
    emit resultsChanged(false);
  }
}

void CKalvorDoc::RenewSolution() {
  std::shared_ptr<const SolutionSnapshot> next = SolutionSnapshot::Of(calc_);
  if (!next && !solution_) return;
  solution_ = std::move(next);
  emit solutionChanged();
}

void CKalvorDoc::SystemEdited() {
  changedSinceCalculation_ = true;
  UpdateResults();
  ComputeExtents();
  emit commandStateChanged();
  emit viewsChanged();
}

int CKalvorDoc::AddGeneratrix(std::unique_ptr<SurfData> g) {
  if (!g) return -1;
  auto* command = new AddGeneratrixCommand(*this, std::move(g));
  undoStack_.push(command);  // the stack owns it and keeps it: only a null element is refused
  return command->Index();
}

bool CKalvorDoc::RemoveGeneratrix(int index) {
  if (!Generatrices().At(index)) return false;
  undoStack_.push(new RemoveGeneratrixCommand(*this, index));
  return true;
}

bool CKalvorDoc::ReplaceGeneratrix(int index, std::unique_ptr<SurfData> g) {
  if (!g || !Generatrices().At(index)) return false;
  undoStack_.push(new ReplaceGeneratrixCommand(*this, index, std::move(g)));
  return true;
}

int CKalvorDoc::InsertGeneratrixAt(int index, std::unique_ptr<SurfData> g) {
  const int at = calc_.InsertGeneratrix(index, std::move(g));
  if (at < 0) return at;
  emit generatrixAdded(at);
  SystemEdited();
  return at;
}

bool CKalvorDoc::DoRemoveGeneratrix(int index) {
  if (!calc_.RemoveGeneratrix(index)) return false;
  emit generatrixRemoved(index);
  SystemEdited();
  return true;
}

bool CKalvorDoc::DoReplaceGeneratrix(int index, std::unique_ptr<SurfData> g) {
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
  undoStack_.push(new SetParametersCommand(*this, p));
}

void CKalvorDoc::DoSetParameters(const CalcParameters& p) {
  calc_.SetParameters(p);
  UpdateResults();
  emit parametersChanged();
  emit commandStateChanged();
  emit viewsChanged();
}

void CKalvorDoc::SetGapCurves(CSurfColl curves) {
  // The dialog hands its curves back whichever button closed it: an
  // unchanged set is no change.
  auto text = [](const CSurfColl& c) {
    std::ostringstream out;
    SaveGapCurves(c, out);
    return out.str();
  };
  if (text(curves) == text(GapCurves())) return;
  undoStack_.push(new SetGapCurvesCommand(*this, std::move(curves)));
}

void CKalvorDoc::DoSetGapCurves(CSurfColl curves, const QString& owner) {
  calc_.SetGapCurves(std::move(curves));
  gapCurvesOwner_ = owner;
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
  const bool before = ResultsPresent();
  // The run starts by discarding the solution the snapshot was taken of.
  if (solution_) {
    solution_.reset();
    emit solutionChanged();
  }
  RunReport report = RunCalculation(calc_, changedSinceCalculation_, ui);
  resultsPresent_ = report.success;
  lastRun_ = report.success ? report : RunReport{};
  analysis_ = SolutionAnalysis{};
  inception_ = InceptionResult{};
  if (report.success) {
    analysis_ = AnalyseSolution(calc_, report.parameters.PointsBetweenCPs);
    // A stop during the condition estimate leaves the figures without the
    // capacitance; the results are already written and stay.
    (void)AddCapacitance(calc_, analysis_, &ui);
    calc_.ReleaseMatrix();  // the factors served the capacitance; nothing else reads them
    ScreenForInception(report.parameters.Inception, ui);
    RenewSolution();
  }
  if (before || report.success) emit resultsChanged(report.success);
  emit commandStateChanged();
  emit viewsChanged();
  return report;
}

void CKalvorDoc::ScreenForInception(const InceptionParameters& p, ProgressReporter& ui) {
  if (!p.Enabled) return;
  std::string error;
  const std::optional<GasModel> gas = GasModel::FromName(p.Gas, error);
  if (!gas) {
    // The run stands; the pane shows why the screening did not.
    inception_.errorCode = FieldCalc::kFileOpen;
    inception_.error = error;
    return;
  }
  inception_ = ScreenInception(calc_, analysis_, *gas, p, &ui);
}

int CKalvorDoc::GapCalculate(ProgressReporter& ui) {
  if (!CanGapCalculate()) return -1;
  return RunGapCalculation(calc_, ui);
}
