// The control file's three writers: matrix dump, contour-point potentials
// and the control recalculation at the contour points.

#include <vector>

#include "engine/ControlStream.h"
#include "engine/FieldCalc.h"
#include "engine/ProgressReporter.h"
#include "model/TextFormat.h"

void FieldCalc::WriteMatrix(ControlStream& out) {
  const long long n = Unknowns();
  out.SetFixed();
  out.EndLine();
  for (long long k = 1; k <= n; ++k) out.Int(k, 13).Text(" ");
  out.Text("Column", 13).EndLine();
  if (progress) {
    progress->ShowStage("Запись матрицы в файл");
    progress->SetRange(0, n);
    progress->SetPosition(0);
  }
  out.SetScientific();
  out.SetPrecision(3);
  for (long long i = 0; i < n; ++i) {
    if (AbortRequested()) return;
    out.Int(i + 1, 4).Text("::");
    for (long long k = 0; k < n; ++k) out.Double(coefficients(i, k), 13).Text(" ");
    out.Text(" ||\t").Double(rhs(i, 0)).EndLine();
    if (progress) progress->StepForward();
  }
}

void FieldCalc::WritePotentials(ControlStream& out) {
  out.SetScientific();
  out.SetPrecision(7);
  for (size_t i = 0; i < points.size(); ++i) {
    const ContourPoint& p = points[i];
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
  for (size_t i = 0; i < charges.size(); ++i)
    out.Text("Charges[").Int(static_cast<long long>(i)).Text("]= ").Double(charges[i].q).Text(" ").EndLine();
  out.EndLine();
  if (progress) {
    progress->ShowStage("Запись в файл контрольных расчетов Е и Fi в КТ");
    progress->SetRange(0, totalPoints);
    progress->SetPosition(0);
  }
  out.SetFixed();

  struct Values {
    double eIn, eOut, phiIn, phiOut;
  };
  std::vector<Values> values(points.size());
  auto compute = [&](long long begin, long long end) {
    for (long long j = begin; j < end; ++j) {
      const ContourPoint& p = points[j];
      double in[3], outside[3];
      FieldAtTwo(p.region, p.otherRegion, p.x, p.y, in, outside);
      const double c = p.NormalX(), s = p.NormalY();
      values[j] = {c * in[1] + s * in[2], c * outside[1] + s * outside[2], in[0], outside[0]};
    }
  };
  auto emit = [&](long long j) {
    const ContourPoint& p = points[j];
    const Values& v = values[j];
    const int jj = static_cast<int>(j);
    out.Text(text::Format("\nE  in internal surface in %3i point [x= %4.2f,y= %4.2f] is %7.4f", jj, p.x, p.y, v.eIn));
    out.Text(text::Format("\nE  in external surface in %3i point [x= %4.2f,y= %4.2f] is %7.4f\n", jj, p.x, p.y, v.eOut));
    out.Text(text::Format("\nfi in internal surface in %3i point [x= %4.2f,y= %4.2f] is %7.4f", jj, p.x, p.y, v.phiIn));
    out.Text(text::Format("\nfi in external surface in %3i point [x= %4.2f,y= %4.2f] is %7.4f\n", jj, p.x, p.y, v.phiOut));
    if (progress) progress->StepForward();
  };
  ChunkedLoop(static_cast<long long>(points.size()), ChunkFor(2.0 * static_cast<double>(charges.size())),
              compute, emit);
  out.Text("\n-------------------------------------------").EndLine();
  if (!out.Close() && errorCode == 0)
    SetError(kFileOpen, "Ошибка записи контрольного файла " + ControlFilePath);
}
