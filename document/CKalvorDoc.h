#pragma once
// The one document of the program: the engine object with the field-forming
// system, the calculation parameters, the flags that tie editing,
// calculation and display together, and the extents of the drawing.
//
// It is the only way to change a field system. Each operation decides once
// whether the document is modified and whether the results of the last
// calculation still hold: any change to the generatrices, the external field
// or the earth discards them (charges, contour points, the gap calculation),
// exactly as a failed run does; output-only parameters and the gap curves
// keep them. Views, panes and dialogs read the document and follow its
// signals. It needs QtCore and QtGui's undo stack only, so it is tested
// without widgets.
//
// Every change to the system goes through a command on the document's undo
// stack; the commands call the document's own operations, and the stack's
// clean state is the modified mark. Undoing a change that discarded results
// does not bring them back: results hold only for the system they were
// computed for.

#include <QObject>
#include <QString>
#include <QUndoStack>
#include <memory>
#include <string>
#include <vector>

#include "engine/Accuracy.h"
#include "engine/CalculationRun.h"
#include "engine/FieldCalc.h"
#include "engine/Inception.h"
#include "engine/SolutionSnapshot.h"

class ProgressReporter;

class CKalvorDoc : public QObject {
  Q_OBJECT

 public:
  explicit CKalvorDoc(QObject* parent = nullptr);

  const FieldCalc& Calc() const { return calc_; }
  const CSurfColl& Generatrices() const { return calc_.Generatrices(); }
  const CSurfColl& GapCurves() const { return calc_.GapCurves(); }
  const CalcParameters& Parameters() const { return calc_.Parameters(); }

  // ---- Files ----
  // Empty system with the values after New.
  void NewDocument();

  struct OpenResult {
    bool opened = false;
    QString error;    // why nothing was opened
    QString warning;  // opened, but reading stopped early or its parameters file has a spoiled value
  };
  // Reads a field-system file. A file that cannot be read leaves the
  // document untouched; one whose reading stops at a bad line opens with what
  // was read and a warning naming the line.
  OpenResult OpenDocument(const QString& path);
  // Writes the system atomically: a failed save leaves the old file intact.
  // Returns an empty string on success, else the reason.
  QString SaveDocument(const QString& path);

  // A comment line ("//") of the opened file and the number of element lines
  // above it; saving writes it back in the same place.
  struct FileComment {
    int elementsBefore = 0;
    std::string text;
  };
  const std::vector<FileComment>& Comments() const { return comments_; }
  // The line at which the reading of the opened file stopped (0: read
  // whole). Saving over that file would lose the lines from it on.
  int StoppedAtLine() const { return stoppedAtLine_; }

  QString FilePath() const { return path_; }
  // The name shown in the caption.
  QString Title() const;
  bool IsModified() const { return modified_; }

  // ---- Changes to the system ----
  // Each is one undoable command; each returns false (and changes nothing)
  // for an index outside the system.
  int AddGeneratrix(std::unique_ptr<SurfData> g);
  bool RemoveGeneratrix(int index);
  bool ReplaceGeneratrix(int index, std::unique_ptr<SurfData> g);
  // The view's selection mark: neither a modification nor a reason to
  // discard results.
  bool ToggleMarked(int index);
  void SetParameters(const CalcParameters& p);
  void SetGapCurves(CSurfColl curves);
  // Whether the gap curves in memory belong to this system (loaded with it
  // or set while it was open). The curves stay in memory across New and
  // Open, but only their own system's parameters file gets them.
  bool GapCurvesAreOwn() const { return gapCurvesOwner_ == SystemIdentity(); }

  QUndoStack& UndoStack() { return undoStack_; }

  // ---- Calculation ----
  // The calculation with the given reporter (no confirmation asked). The
  // results-present flag follows the outcome, so a failed run never leaves
  // discarded results on show.
  RunReport Calculate(ProgressReporter& ui);
  // One result file per gap curve; returns the engine's error code (-1 when
  // there is nothing to calculate).
  int GapCalculate(ProgressReporter& ui);

  bool ResultsPresent() const { return resultsPresent_ && calc_.HasSolution(); }
  // The solution of the last successful run as an immutable copy, for work
  // on other threads (the field picture); null without results. The same
  // pointer until the solution is discarded or replaced, so a reader on
  // another thread never shares anything the document changes.
  std::shared_ptr<const SolutionSnapshot> Solution() const { return solution_; }
  // The report of the last successful run and what its solution is worth:
  // accuracy, bodies, capacitance, warnings (meaningful while
  // ResultsPresent()).
  const RunReport& LastRun() const { return lastRun_; }
  const SolutionAnalysis& Analysis() const { return analysis_; }
  // Discharge inception of the last run's bodies, when its parameters asked
  // for it (an errorCode without onsets when the screening failed).
  const InceptionResult& Inception() const { return inception_; }
  // Whether the next calculation must recount the engine totals.
  bool ChangedSinceCalculation() const { return changedSinceCalculation_; }

  // Xmax, Ymax of the drawing, whole cm.
  int Xmax() const { return xmax_; }
  int Ymax() const { return ymax_; }

  // ---- Display toggles of the View menu ----
  bool ShowGapCurves() const { return showGapCurves_; }
  bool ShowCharges() const { return showCharges_; }
  void ToggleGapCurves();
  void ToggleCharges();

  // ---- Command enabling ----
  bool CanCalculate() const { return !Generatrices().IsEmpty(); }
  bool CanShowGapCurves() const { return CanCalculate(); }
  bool CanShowCharges() const { return ResultsPresent(); }
  bool CanGapCalculate() const { return ResultsPresent() && !GapCurves().IsEmpty(); }

  // The folder of the program, where a new document puts its results.
  static QString ProgramFolder();

 signals:
  // New or Open: panes are rebuilt from the collection.
  void documentReset();
  void generatrixAdded(int index);
  void generatrixRemoved(int index);
  void generatrixChanged(int index);
  void gapCurvesChanged();
  void parametersChanged();
  // Results appeared (after a successful run) or were discarded.
  void resultsChanged(bool present);
  // Solution() was replaced or dropped: readers of the old snapshot finish
  // with it or stop, and start again on the new one.
  void solutionChanged();
  // Something drawn changed: repaint.
  void viewsChanged();
  void modifiedChanged(bool modified);
  void titleChanged();
  // Toggles, results or the collection changed: update check marks and
  // command enabling.
  void commandStateChanged();

 private:
  friend class AddGeneratrixCommand;
  friend class RemoveGeneratrixCommand;
  friend class ReplaceGeneratrixCommand;
  friend class SetParametersCommand;
  friend class SetGapCurvesCommand;
  friend class ReplaceSystemCommand;

  // The operations the commands are made of.
  int InsertGeneratrixAt(int index, std::unique_ptr<SurfData> g);
  bool DoRemoveGeneratrix(int index);
  bool DoReplaceGeneratrix(int index, std::unique_ptr<SurfData> g);
  void DoSetParameters(const CalcParameters& p);
  void DoSetGapCurves(CSurfColl curves, const QString& owner);
  // The file of the system, or a name of its own for a new one.
  QString SystemIdentity() const;
  const QString& GapCurvesOwner() const { return gapCurvesOwner_; }
  // After New, Open and Save: nothing to undo across documents, and the
  // saved state is the clean one.
  void MarkClean(bool forgetHistory);

  void SetDefaults(const QString& resultsFolder);
  void SetModified(bool modified);
  // After every change of the generatrices.
  void SystemEdited();
  // Follows the engine after an operation that may have discarded the
  // solution.
  void UpdateResults();
  // Takes a new snapshot of the engine's solution (none without one).
  void RenewSolution();
  void ComputeExtents();
  void ScreenForInception(const InceptionParameters& p, ProgressReporter& ui);

  FieldCalc calc_;
  std::shared_ptr<const SolutionSnapshot> solution_;
  QUndoStack undoStack_;
  std::vector<FileComment> comments_;
  int stoppedAtLine_ = 0;
  RunReport lastRun_;
  SolutionAnalysis analysis_;
  InceptionResult inception_;
  QString path_;
  int newSystems_ = 0;  // numbers the new systems of this run
  QString gapCurvesOwner_;
  bool modified_ = false;
  bool changedSinceCalculation_ = false;
  bool resultsPresent_ = false;
  bool showGapCurves_ = false;
  bool showCharges_ = false;
  int xmax_ = 0;
  int ymax_ = 0;
};
