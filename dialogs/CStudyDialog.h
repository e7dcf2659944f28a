#pragma once
// "Исследование параметра": one number of the system (a generatrix's
// coordinate, radius, angle, potential, count, L/d, or the external field)
// in equal steps over a range, one complete calculation per value, in the
// background. Works on a copy of the system and its parameters handed in
// by the command; the document is never touched. Shows a table and a plot
// of the largest field per body, the charges or the capacitances against
// the parameter; exports them to CSV, PNG and SVG; saves any row's system
// as a file for the command to open.

#include <QDialog>
#include <QString>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "engine/CalcParameters.h"
#include "engine/ParameterSweep.h"
#include "model/CSurfColl.h"

class QChart;
class QChartView;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

class CStudyDialog : public QDialog {
  Q_OBJECT
 public:
  CStudyDialog(CSurfColl system, const CalcParameters& params, QWidget* parent = nullptr);
  ~CStudyDialog() override;

  // What to vary (generatrix -1: the external field); fills the controls.
  void SetStudy(int generatrix, SweepField field, double from, double to, int steps);
  SweepVariable Variable() const;
  int Steps() const;

  void Start();
  // Asks the running study to stop; the runs end at their next check.
  void Stop();
  bool Running() const { return worker_.joinable() && !finished_; }
  // Rows in step order (those not yet calculated absent while running).
  const std::vector<SweepRow>& Rows() const { return rows_; }

  // The system and parameters of row k, as calculated.
  CSurfColl SystemOfRow(int k, CalcParameters& params) const;
  // "" on success, else the reason (Russian, naming the path).
  QString ExportCsv(const QString& path) const;
  QString ExportPicture(const QString& path) const;  // .png or .svg
  // A row's system saved by "Открыть как систему" (the command opens it),
  // with the parameters it was calculated with.
  QString SavedSystemPath() const { return savedSystem_; }
  const CalcParameters& SavedSystemParameters() const { return savedParams_; }

  QComboBox* GeneratrixBox() const { return generatrix_; }
  QComboBox* FieldBox() const { return field_; }
  QComboBox* PlotBox() const { return plot_; }
  QTableWidget* Table() const { return table_; }
  QPushButton* StartButton() const { return start_; }
  QPushButton* StopButton() const { return stop_; }

 public slots:
  // Stops a running study first (the runs end at their next check).
  void reject() override;

 signals:
  void studyFinished();

 private:
  void FillFields();
  void FieldChosen();
  void RowDone(int k, const SweepRow& row);
  void AllDone(const std::vector<SweepRow>& rows);
  void UpdateTable();
  void UpdatePlot();
  void UpdateButtons();
  void Join();
  void ExportCsvAsked();
  void ExportPictureAsked();
  void OpenRowAsked();

  CSurfColl system_;
  CalcParameters params_;
  std::vector<SweepVariable> running_;  // the study being (or last) calculated
  int runningSteps_ = 0;
  std::vector<SweepRow> rows_;
  std::thread worker_;
  std::atomic<bool> stopFlag_{false};
  bool finished_ = true;
  QString savedSystem_;
  CalcParameters savedParams_;

  QComboBox* generatrix_;
  QComboBox* field_;
  QDoubleSpinBox* from_;
  QDoubleSpinBox* to_;
  QSpinBox* steps_;
  QPushButton* start_;
  QPushButton* stop_;
  QPushButton* exportCsv_;
  QPushButton* exportPicture_;
  QPushButton* openRow_;
  QProgressBar* progress_;
  QLabel* status_;
  QTableWidget* table_;
  QComboBox* plot_;
  QChart* chart_;
  QChartView* chartView_;
};
