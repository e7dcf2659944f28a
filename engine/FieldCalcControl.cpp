// The control file's three writers: matrix dump, contour-point potentials
// and the control recalculation at the contour points.

#include <cmath>
#include <vector>

#include "engine/ControlStream.h"
#include "engine/FieldCalc.h"
#include "engine/ProgressReporter.h"
#include "engine/RingKernel.h"
#include "model/TextFormat.h"

bool FieldCalc::CheckControlFileSpace() {
  // Upper bounds of the line widths the writers below use.
  const double n = static_cast<double>(Unknowns());
  const double dump = n * (n * 14.0 + 40.0) + n * 14.0;
  double bytes = 200.0;
  if (parameters_.DumpMatrix) bytes += dump;
  if (parameters_.DumpInverseMatrix) bytes += dump;
  if (parameters_.ControlPotentials) bytes += 50.0 * static_cast<double>(totalPoints_);
  if (parameters_.ControlCalc)
    bytes += 40.0 * static_cast<double>(totalCharges_) + 4.0 * 120.0 * static_cast<double>(totalPoints_);
  const std::string& path = parameters_.ControlFilePath;
  const size_t slash = path.rfind('/');
  return CheckFreeSpace(slash == std::string::npos ? std::string() : path.substr(0, slash + 1), bytes);
}

void FieldCalc::WriteMatrix(ControlStream& out) {
  const long long n = Unknowns();
  out.SetFixed();
  out.EndLine();
  for (long long k = 1; k <= n; ++k) out.Int(k, 13).Text(" ");
  out.Text("Column", 13).EndLine();
  if (progress_) {
    progress_->ShowStage("Запись матрицы в файл");
    progress_->SetRange(0, n);
    progress_->SetPosition(0);
  }
  out.SetScientific();
  out.SetPrecision(3);
  for (long long i = 0; i < n; ++i) {
    if (AbortRequested()) return;
    out.Int(i + 1, 4).Text("::");
    for (long long k = 0; k < n; ++k) out.Double(coefficients_(i, k), 13).Text(" ");
    out.Text(" ||\t").Double(rhs_(i, 0)).EndLine();
    if (progress_) progress_->StepForward();
  }
}

void FieldCalc::WritePotentials(ControlStream& out) {
  out.SetScientific();
  out.SetPrecision(7);
  for (size_t i = 0; i < points_.size(); ++i) {
    const ContourPoint& p = points_[i];
    out.Text("Potential in CP[").Int(static_cast<long long>(i));
    if (p.isFloating)
      out.Text("] is Flow").Text(" ").EndLine();
    else
      out.Text("]= ").Double(p.potential).Text(" ").EndLine();
  }
}

void FieldCalc::WriteControl(ControlStream& out) {
  out.SetScientific();
  out.SetPrecision(7);
  for (size_t i = 0; i < charges_.size(); ++i)
    out.Text("Charges[").Int(static_cast<long long>(i)).Text("]= ").Double(charges_[i].q).Text(" ").EndLine();
  out.EndLine();
  if (progress_) {
    progress_->ShowStage("Запись в файл контрольных расчетов Е и Fi в КТ");
    progress_->SetRange(0, totalPoints_);
    progress_->SetPosition(0);
  }
  out.SetFixed();

  struct Values {
    double eIn, eOut, phiIn, phiOut;
  };
  std::vector<Values> values(points_.size());
  const auto prepared = PrepareCharges();
  auto compute = [&](long long begin, long long end) {
    for (long long j = begin; j < end; ++j) {
      const ContourPoint& p = points_[j];
      double in[3], outside[3];
      FieldAtTwo(p.region, p.otherRegion, p.x, p.y, in, outside, prepared.get());
      const double c = p.NormalX(), s = p.NormalY();
      values[j] = {c * in[1] + s * in[2], c * outside[1] + s * outside[2], in[0], outside[0]};
    }
  };
  long long badPoint = -1;
  auto emit = [&](long long j) {
    const ContourPoint& p = points_[j];
    const Values& v = values[j];
    if (!std::isfinite(v.eIn) || !std::isfinite(v.eOut) || !std::isfinite(v.phiIn) || !std::isfinite(v.phiOut)) {
      if (badPoint < 0) badPoint = j;
      return;
    }
    const int jj = static_cast<int>(j);
    out.Text(text::Format("\nE  in internal surface in %3i point [x= %4.2f,y= %4.2f] is %7.4f", jj, p.x, p.y, v.eIn));
    out.Text(text::Format("\nE  in external surface in %3i point [x= %4.2f,y= %4.2f] is %7.4f\n", jj, p.x, p.y, v.eOut));
    out.Text(text::Format("\nfi in internal surface in %3i point [x= %4.2f,y= %4.2f] is %7.4f", jj, p.x, p.y, v.phiIn));
    out.Text(text::Format("\nfi in external surface in %3i point [x= %4.2f,y= %4.2f] is %7.4f\n", jj, p.x, p.y, v.phiOut));
    if (progress_) progress_->StepForward();
  };
  if (!ChunkedLoop(static_cast<long long>(points_.size()), ChunkFor(2.0 * static_cast<double>(charges_.size())),
                   compute, emit))
    return;  // aborted: the caller drops the unfinished file
  if (badPoint >= 0) {
    SetError(kBadParameter, text::Format("Контрольный файл, контурная точка %lld: потенциал или напряженность не "
                                         "являются конечными числами.",
                                         badPoint));
    return;
  }
  out.Text("\n-------------------------------------------").EndLine();
  if (!out.Close() && errorCode_ == 0)
    SetError(kFileOpen, parameters_.ControlFilePath + ": " + out.Error());
}
