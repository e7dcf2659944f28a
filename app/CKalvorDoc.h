#pragma once
// The one document of the program: the engine object with the field-forming
// system, the calculation parameters the engine does not keep, the flags that
// tie editing, calculation and display together, and the extents of the
// drawing. It is not a widget: views and panes read it, change it through
// these operations and repaint on its signals.

#include <QObject>
#include <QString>

#include "engine/CalculationRun.h"
#include "engine/FieldCalc.h"

class ProgressReporter;
class QWidget;

class CKalvorDoc : public QObject {
  Q_OBJECT

 public:
  explicit CKalvorDoc(QObject* parent = nullptr);

  FieldCalc& Calc() { return calc_; }
  const FieldCalc& Calc() const { return calc_; }
  CSurfColl& Generatrices() { return calc_.Generatrices; }
  CalcSettings& Settings() { return settings_; }
  const CalcSettings& Settings() const { return settings_; }

  // Empty system with the values after New.
  void NewDocument();

  struct OpenResult {
    bool opened = false;
    QString error;    // why nothing was opened
    QString warning;  // opened, but reading stopped early
  };
  // Reads a field-system file. A file that cannot be read leaves the
  // document untouched; one whose reading stops at a bad line opens with what
  // was read and a warning naming the line.
  OpenResult OpenDocument(const QString& path);
  // Writes the system atomically: a failed save leaves the old file intact.
  // Returns an empty string on success, else the reason.
  QString SaveDocument(const QString& path);

  QString FilePath() const { return path_; }
  // The name shown in the caption.
  QString Title() const;
  bool IsModified() const { return modified_; }
  void SetModified(bool modified);
  // Every change of a generatrix: the document is modified and the next
  // calculation recounts the engine totals.
  void MarkEdited();

  // Discards the charges, contour points and matrices of the last
  // calculation; the generatrices and the totals stay.
  void DiscardResults();
  // Xmax, Ymax from the generatrices, truncated to whole cm.
  void ComputeExtents();
  int Xmax() const { return xmax_; }
  int Ymax() const { return ymax_; }

  bool changedSinceCalculation = false;
  bool ResultsPresent() const { return resultsPresent_ && calc_.HasSolution(); }

  // Display toggles of the View menu.
  bool ShowGapCurves() const { return showGapCurves_; }
  bool ShowCharges() const { return showCharges_; }
  void ToggleGapCurves();
  void ToggleCharges();

  // Command enabling.
  bool CanCalculate() const { return !calc_.Generatrices.IsEmpty(); }
  bool CanShowGapCurves() const { return CanCalculate(); }
  bool CanShowCharges() const { return ResultsPresent(); }
  bool CanGapCalculate() const { return ResultsPresent() && !calc_.GapCurves.IsEmpty(); }

  // The calculation with the given reporter (no confirmation asked). The
  // results-present flag follows the outcome, so a failed run never leaves
  // discarded results on show.
  bool Calculate(ProgressReporter& ui);
  // One result file per gap curve; returns the engine's error code.
  int GapCalculate(ProgressReporter& ui);

  // The commands with their windows: the summary for confirmation, then the
  // progress window over `mainWindow`.
  void OnCalculate(QWidget* mainWindow);
  void OnGapCalculate(QWidget* mainWindow);

  // The folder of the program, where a new document puts its results.
  static QString ProgramFolder();

  // Tells the views that everything may have changed (after edits made
  // directly on the collections).
  void UpdateAllViews() { emit viewsChanged(); }

 signals:
  // New or Open: panes are rebuilt from the collection.
  void documentReset();
  // Something drawn changed: repaint.
  void viewsChanged();
  void modifiedChanged(bool modified);
  void titleChanged();
  // Toggles, results or the collection changed: update check marks and
  // command enabling.
  void commandStateChanged();

 private:
  void SetDefaults(const QString& resultsFolder);

  FieldCalc calc_;
  CalcSettings settings_;
  QString path_;
  bool modified_ = false;
  bool resultsPresent_ = false;
  bool showGapCurves_ = false;
  bool showCharges_ = false;
  int xmax_ = 0;
  int ymax_ = 0;
};
