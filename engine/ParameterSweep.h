#pragma once
// Parameter studies: one complete batch run (BatchRun) per value of one or
// more numbers of a system, varied together in equal steps: a generatrix's
// coordinate, radius, angle, potential, permittivity, count or L/d, or the
// external field. Each value gets its own copy of the system and its own
// FieldCalc, so values can run side by side; a value that fails keeps its
// message and the study goes on. kalvor-calc --sweep and the desktop's
// study dialog run the same code.

#include <atomic>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "engine/BatchRun.h"
#include "engine/CalcParameters.h"
#include "model/CSurfColl.h"

enum class SweepField {
  kX1, kY1, kX2, kY2,                       // line, cm
  kCx, kCy, kRadius, kAngle1, kAngle2,      // arc, cm and degrees
  kPotential, kEpsInner, kEpsOuter, kCount, kLd,
  kExternalField                            // the calculation's, kV/cm (no generatrix)
};

struct SweepVariable {
  int generatrix = -1;  // 0-based; -1 with kExternalField
  SweepField field = SweepField::kExternalField;
  double from = 0.0, to = 0.0;
};

// The names kalvor-calc and the Python module use: x1 y1 x2 y2 cx cy radius
// angle1 angle2 potential eps_inner eps_outer count ld external_field.
bool SweepFieldFromName(const std::string& name, SweepField& field);
std::string SweepFieldName(SweepField field);
// The Russian label of the desktop ("Радиус R, см", ...).
std::string SweepFieldLabel(SweepField field);
// The fields a generatrix of this kind has (all but kExternalField).
std::vector<SweepField> SweepFieldsOf(const SurfData& e);
// The field's current value in the system (degrees for angles); NaN when
// the generatrix has no such number.
double SweepFieldValue(const CSurfColl& system, const CalcParameters& params, const SweepVariable& v);

// One option of kalvor-calc: "I:FIELD=FROM:TO:STEPS" (generatrix I counted
// from 1) or "external_field=FROM:TO:STEPS"; "" or what is wrong.
std::string ParseSweepOption(const std::string& text, SweepVariable& v, int& steps);
constexpr int kMaxSweepSteps = 10000;

// Value k (0-based) of `steps` from `from` to `to`, both included.
double SweepValue(const SweepVariable& v, int k, int steps);

// Whether every variable names an existing generatrix and a number it has
// ("" when so, else the reason in Russian).
std::string CheckSweep(const CSurfColl& system, const std::vector<SweepVariable>& variables);

// Sets the variable's number to `value` in `system` / `params`; "" or why
// not (a dielectric or a floating conductor has no potential to set).
std::string ApplySweepValue(CSurfColl& system, CalcParameters& params, const SweepVariable& v, double value);

struct SweepRow {
  std::vector<double> values;  // one per variable
  bool success = false;
  int errorCode = 0;
  std::string error;  // the engine's full message of a failed value
  // Per conductor body, in the summary's order.
  std::vector<double> maxField;       // kV/cm
  std::vector<double> maxFieldError;  // kV/cm: the estimated error of maxField
  std::vector<double> charge;         // C
  std::vector<double> potential;      // kV
  std::vector<std::vector<double>> capacitance;  // F, over the fixed bodies
  long long unknowns = 0;
};

// The system with every variable at step k, calculated from start to end.
// `ui` gets the run's progress and cancel queries.
SweepRow RunSweepPoint(const CSurfColl& system, const CalcParameters& params, const BatchOptions& options,
                       const std::vector<SweepVariable>& variables, int k, int steps, ProgressReporter& ui);

struct SweepControl {
  int parallel = 1;                         // values calculated side by side, one thread each
  const std::atomic<bool>* stop = nullptr;  // ends every run at its next check
  // After each value, on the calling thread, in order of completion.
  std::function<void(int k, const SweepRow& row)> onRow;
};

// Every step; rows in step order. With parallel > 1 the engine's worker
// threads and BLAS run one thread per value meanwhile. A stopped study
// returns the rows finished so far (the others with code kAborted).
std::vector<SweepRow> RunSweep(const CSurfColl& system, const CalcParameters& params, const BatchOptions& options,
                               const std::vector<SweepVariable>& variables, int steps, const SweepControl& control);

// CSV with a header line, LF line ends, numbers with 10 significant
// digits: value (the first variable's), then for every body B (1-based)
// max_field_kv_per_cm_B, max_field_error_kv_per_cm_B, charge_c_B, then
// capacitance_f_I_J over the fixed bodies, then error (the message of a
// failed value, quoted).
void WriteSweepCsv(const std::vector<SweepRow>& rows, std::ostream& out);
