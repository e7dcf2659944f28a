#pragma once
// The engine object: the field-forming system, the gap curves, the
// calculation parameters, the counters that size a calculation, the placed
// contour points and ring charges, the system of equations and the error
// state of the last step.
//
// Every step records a failure as an error code (0 = none) and ends its
// loop; showing the message and discarding results belong to the caller
// (CalculationRun). Long steps report to an attached ProgressReporter and end
// with kAborted when the user confirms an abort.
//
// A solution holds only for the system and the parameters it was computed
// with: every change to the generatrices, the external field or the earth
// discards it.

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "engine/CalcParameters.h"
#include "engine/matrixT.h"
#include "model/CSurfColl.h"
#include "model/Circle.h"

class ControlStream;
class ProgressReporter;
namespace ringkernel {
class ChargeArrays;
}

class FieldCalc {
 public:
  enum ErrorCode {
    kNoError = 0,
    kFileOpen = 1,
    kNoLines = 2,
    kBadParameter = 3,
    kBadPotential = 4,
    kUnknownKind = 5,
    kOpenSurfaces = 6,
    kBadKindLetter = 7,
    kEarthBelowZero = 8,
    kAborted = 9,
    kNoMemory = 10,
    kSingular = 11,
    kBadElement = 12,
  };

  // Bounds of the output: the parameters dialog's range of points between
  // contour points, and the rows of one surface result file (the dialogs'
  // largest count of contour points times that range).
  static constexpr int kMaxPointsBetween = 100;
  static constexpr long long kMaxResultRows = 10000LL * kMaxPointsBetween + 2;

  FieldCalc() = default;
  FieldCalc(const FieldCalc&) = delete;
  FieldCalc& operator=(const FieldCalc&) = delete;

  // ---- The system ----
  const CSurfColl& Generatrices() const { return generatrices_; }
  const CSurfColl& GapCurves() const { return gapCurves_; }
  // Changes to the generatrices discard the solution and recount.
  int AddGeneratrix(std::unique_ptr<SurfData> e);
  // Puts `e` before the element at `index` (at the end for an index past
  // it); returns where it went.
  int InsertGeneratrix(int index, std::unique_ptr<SurfData> e);
  bool RemoveGeneratrix(int index);
  bool ReplaceGeneratrix(int index, std::unique_ptr<SurfData> e);
  // The selection mark of the view; changes nothing else.
  bool SetMarked(int index, bool marked);
  // Gap curves are output only: the solution stays.
  void SetGapCurves(CSurfColl curves);

  // ---- Parameters ----
  const CalcParameters& Parameters() const { return parameters_; }
  // Discards the solution when the new parameters change the equations
  // (external field, earth).
  void SetParameters(const CalcParameters& p);
  double ExternalField() const { return parameters_.ExternalField; }
  bool UseEarth() const { return parameters_.UseEarth; }

  // ---- Counters ----
  long long TotalCharges() const { return totalCharges_; }
  long long TotalPoints() const { return totalPoints_; }
  long long TotalFloating() const { return totalFloating_; }
  long long Unknowns() const { return totalCharges_ + totalFloating_; }

  // ---- Placement and solution ----
  const std::vector<ContourPoint>& Points() const { return points_; }  // placement order
  const std::vector<Charge>& Charges() const { return charges_; }      // placement order
  const matrixT& Rhs() const { return rhs_; }                          // n x 1
  const matrixT& Coefficients() const { return coefficients_; }        // n x n
  // Whether contour points and solved charges are present.
  bool HasSolution() const { return solved_; }
  // The system, the parameters, the contour points and the charges without
  // the matrices and the gap curves: what reading the field needs
  // (SolutionSnapshot).
  std::unique_ptr<FieldCalc> SolutionCopy() const;

  // ---- Errors ----
  int ErrorCode() const { return errorCode_; }
  // Words added to the table message: which generatrix, which file line.
  const std::string& ErrorDetail() const { return errorDetail_; }
  int ErrorLine() const { return errorLine_; }  // 1-based file line of a reading error (codes 2, 7)
  // The fixed message of a code ("" for 0); codes beyond the table give "".
  static std::string MessageFor(int code);
  // Sets `text` to the message of the error code and returns code != 0; for
  // a code beyond the table `text` is left alone.
  bool ErrorText(std::string& text) const;
  // The message followed by the detail on a line of its own, if any.
  std::string FullErrorText() const;
  void ClearError();
  void SetError(int code, std::string detail = {}, int line = 0);

  // ---- Progress ----
  // Attaches a reporter for the lifetime of the scope object, so that no
  // exit path can leave a dangling one.
  class ProgressScope {
   public:
    ProgressScope(FieldCalc& calc, ProgressReporter& reporter) : calc_(calc), previous_(calc.progress_) {
      calc.progress_ = &reporter;
    }
    ~ProgressScope() { calc_.progress_ = previous_; }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

   private:
    FieldCalc& calc_;
    ProgressReporter* previous_;
  };

  // ---- Steps ----
  void Reset(bool full);
  void Recount();
  // Checks the system, allocates the arrays and matrices and places every
  // generatrix's contour points and charges.
  void Place();
  void CheckClosure();

  // Field-system file.
  void ReadSystem(std::istream& in);
  void WriteSystem(std::ostream& out) const;

  double RegionPermittivity(int region) const;
  // `prepared`: the charges laid out once for a stage that asks at many
  // points (PrepareCharges); the same numbers, a third faster.
  void FieldAt(int region, double x, double y, double* phi, double* Ex, double* Ey,
               const ringkernel::ChargeArrays* prepared = nullptr) const;
  // FieldAt for two regions at one point in one pass over the charges:
  // {phi, Ex, Ey} for each, the same numbers as two FieldAt calls.
  void FieldAtTwo(int regionA, int regionB, double x, double y, double a[3], double b[3],
                  const ringkernel::ChargeArrays* prepared = nullptr) const;
  // FieldAtTwo with the exact elliptic integrals whatever the mode: the
  // yardstick for the approximate formula's own error (many times slower).
  void FieldAtTwoExact(int regionA, int regionB, double x, double y, double a[3], double b[3]) const;
  // The charges as they are now in the vectorised kernel's layout; empty in
  // precise mode (which does not use it).
  std::unique_ptr<ringkernel::ChargeArrays> PrepareCharges() const;

  // The system of equations.
  void FillMatrix();
  // With keepMatrix false the matrix is factorised in its own storage, which
  // halves the memory of the largest step; the factors are then kept when
  // the parameters ask for the capacitance (Capacitance.h reads them) and
  // released otherwise. keepMatrix keeps the matrix itself (for its dump).
  void SolveCharges(bool keepMatrix = true);
  // Gives back the matrix (or its kept factors) once nothing needs it.
  void ReleaseMatrix();

  // Control file: the matrix with its right-hand side, the contour-point
  // potentials, and the charges with the recalculated potential and normal
  // field on both sides of every contour point (which closes the file).
  void WriteMatrix(ControlStream& out);
  void WritePotentials(ControlStream& out);
  void WriteControl(ControlStream& out);

  // Result files: 01.dat ... (one per generatrix, k evaluation points per
  // interval between contour points) and 01space.dat ... (one per gap curve).
  void WriteSurfaceResults(const std::string& folder, int k);
  void WriteGapResults(const std::string& folder);
  static std::string SurfaceFileName(int m);
  // Largest |E| (kV/cm) at the evaluation points of generatrix `index`, on
  // its outer side and, for a dielectric, its inner side.
  double MaxSurfaceField(int index, int k) const;
  static std::string GapFileName(int m);

  // Whether the control file's folder has room for what the parameters ask
  // to be written into it (the matrix dumps above all); else sets code 1
  // with the sizes. Needs the counters of a placed system.
  bool CheckControlFileSpace();

  // Files the calculation reads (the system file, its gap curves): no run
  // writes over them, under whatever name they are reached.
  void SetInputFiles(std::vector<std::string> paths) { inputFiles_ = std::move(paths); }
  const std::vector<std::string>& InputFiles() const { return inputFiles_; }
  // Whether none of the files the run will write (the control file and the
  // surface results, or with `gap` the gap results) is one of the input
  // files; else sets code 1 naming the file. Checked before anything is
  // calculated.
  bool CheckOutputsAreNotInputs(bool gap);

  // Memory a new allocation can have now without swapping: the system's
  // available memory, within the limit of the process's control group; 0
  // when unknown.
  static double AvailableMemoryBytes();

  // Asks the user, after a cancel request, whether to stop; on Yes sets
  // code 9 and returns true.
  bool AbortRequested();

 private:
  void FieldAtTwoWith(bool exact, int regionA, int regionB, double x, double y, double a[3], double b[3],
                      const ringkernel::ChargeArrays* prepared) const;
  // Items [0, count) in chunks: the cancel question item by item (unless
  // askCancel is false), then the chunk computed in parallel by
  // compute(begin, end), then emit(i) for each item in order on this
  // thread. Stops before the item at which an abort is confirmed; false
  // after an abort.
  bool ChunkedLoop(long long count, long long chunk,
                   const std::function<void(long long, long long)>& compute,
                   const std::function<void(long long)>& emit, bool askCancel = true);
  // Items per chunk for items costing `evaluationsPerItem` ring evaluations.
  static long long ChunkFor(double evaluationsPerItem);

  bool ValidateSystem();
  // Permittivities, counts, L/d and lengths that the equations divide by;
  // floating conductors without contour points.
  bool CheckValues();
  // A system without unknowns has nothing to solve (and the solver nothing
  // to factorise).
  bool CheckUnknowns();
  // Index of the first solved charge that is not finite, -1 when all are.
  long long FirstNonFiniteCharge() const;
  // Index of the generatrix that placed charge `charge` (placement order).
  int GeneratrixOfCharge(long long charge) const;
  // Whether the free space of `folder` holds `bytes`; else sets the error.
  bool CheckFreeSpace(const std::string& folder, double bytes);
  bool ReserveStorage();
  // After any change to the generatrices.
  void SystemChanged();

  // One result file per element of `items` (gap curves when `gap`).
  void WriteResultFiles(const CSurfColl& items, const std::string& folder, bool gap);
  // One result row; `finite` is false when a number of it is nan or inf.
  std::string SurfaceRow(const SurfData& e, long long j, bool& finite,
                         const ringkernel::ChargeArrays* prepared) const;
  std::string GapRow(const SurfData& curve, long long j, bool& finite,
                     const ringkernel::ChargeArrays* prepared) const;

  CalcParameters parameters_;
  CSurfColl generatrices_;
  CSurfColl gapCurves_;

  long long totalCharges_ = 0;
  long long totalPoints_ = 0;
  long long totalFloating_ = 0;

  std::vector<ContourPoint> points_;
  std::vector<Charge> charges_;
  matrixT rhs_;
  matrixT coefficients_;
  std::vector<double> rowMax_;  // largest magnitude in each row of the filled matrix

  int errorCode_ = 0;
  std::string errorDetail_;
  std::vector<std::string> inputFiles_;
  int errorLine_ = 0;

  ProgressReporter* progress_ = nullptr;  // not owned; see ProgressScope
  bool solved_ = false;
  int resultsPerInterval_ = 1;  // k of the surface results being written
};
