#pragma once
// The engine object: the field-forming system, the gap curves, the
// calculation parameters it keeps, the counters that size a calculation,
// the placed contour points and ring charges, the system of equations and
// the error state of the last step.
//
// Every step records a failure in errorCode (0 = none) and ends its loop;
// showing the message and discarding results belong to the caller
// (CalculationRun). Long steps report to `progress` when one is attached and
// end with code 9 when the user confirms an abort.

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "engine/matrixT.h"
#include "model/CSurfColl.h"
#include "model/Circle.h"

class ControlStream;
class ProgressReporter;

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

  FieldCalc() = default;
  FieldCalc(const FieldCalc&) = delete;
  FieldCalc& operator=(const FieldCalc&) = delete;

  // Calculation parameters kept by the engine.
  double ExternalField = 0.0;  // kV/cm along +y; its potential is -E0*y
  bool UseEarth = false;       // mirror images in the earth plane y = 0
  std::string ControlFilePath;

  CSurfColl Generatrices;
  CSurfColl GapCurves;

  long long totalCharges = 0;
  long long totalPoints = 0;
  long long totalFloating = 0;
  long long Unknowns() const { return totalCharges + totalFloating; }

  std::vector<ContourPoint> points;  // placement order
  std::vector<Charge> charges;       // placement order
  matrixT rhs;                       // n x 1
  matrixT coefficients;              // n x n

  int errorCode = 0;
  // Words added to the table message: which generatrix, which file line.
  std::string errorDetail;
  int errorLine = 0;  // 1-based file line of a reading error (codes 2, 7)

  ProgressReporter* progress = nullptr;  // not owned

  // The fixed message of a code ("" for 0); codes beyond the table give "".
  static std::string MessageFor(int code);
  // Sets `text` to the message of errorCode and returns errorCode != 0; for
  // a code beyond the table `text` is left alone.
  bool ErrorText(std::string& text) const;
  // The message followed by errorDetail on a line of its own, if any.
  std::string FullErrorText() const;

  void Reset(bool full);
  void SetProgress(ProgressReporter* p) { progress = p; }
  void ClearError();
  void Recount();
  // Checks the system, allocates the arrays and matrices and places every
  // generatrix's contour points and charges.
  void Place();
  void CheckClosure();
  // Whether contour points and solved charges are present.
  bool HasSolution() const { return solved_; }

  // Field-system file.
  void ReadSystem(std::istream& in);
  void WriteSystem(std::ostream& out) const;

  double RegionPermittivity(int region) const;
  void FieldAt(int region, double x, double y, double* phi, double* Ex, double* Ey) const;
  // FieldAt for two regions at one point in one pass over the charges:
  // {phi, Ex, Ey} for each, the same numbers as two FieldAt calls.
  void FieldAtTwo(int regionA, int regionB, double x, double y, double a[3], double b[3]) const;

  // The system of equations.
  void FillMatrix();
  // With keepMatrix false the matrix is factorised in its own storage and
  // released (nothing reads it after the solution unless it is dumped
  // again), which halves the memory of the largest step.
  void SolveCharges(bool keepMatrix = true);

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

  // Asks the user, after a cancel request, whether to stop; on Yes sets
  // code 9 and returns true.
  bool AbortRequested();

 private:
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

  void SetError(int code, std::string detail = {});
  bool ValidateSystem();
  bool ReserveStorage();

  // One result file per element of `items` (gap curves when `gap`).
  void WriteResultFiles(const CSurfColl& items, const std::string& folder, bool gap);
  std::string SurfaceRow(const SurfData& e, long long j) const;
  std::string GapRow(const SurfData& curve, long long j) const;

  bool solved_ = false;
  int resultsPerInterval_ = 1;  // k of the surface results being written
};
