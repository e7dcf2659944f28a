// Measures, in one run and side by side: the default calculation (fill,
// solve, capacitance) against LAPACK's dgesv on the same matrix, with the
// kernel OpenBLAS picks itself and with the one the environment pins; the
// ring kernel and the fill against a plain scalar transcription of the
// written ring formula; progress and stops of the solve.
//
//   kalvor-bench [--solve N,N,...] [--fill N] [--system FILE] [--quick]
//
// Times are medians of three runs taken in turn (of five for the solve
// stage's path in one process), so that all of them see the same machine
// state; the load average is printed beside them.
// KALVOR_BENCH_STAGES=1 prints each default run's stage times to stderr.

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "LoadAverage.h"
#include "engine/Blas.h"
#include "engine/CalculationRun.h"
#include "engine/Capacitance.h"
#include "engine/Accuracy.h"
#include "engine/FieldCalc.h"
#include "engine/Parallel.h"
#include "engine/ProgressReporter.h"
#include "engine/RingField.h"
#include "engine/RingKernel.h"
#include "engine/matrixT.h"

extern "C" void dgesv_(const int* n, const int* nrhs, double* a, const int* lda, int* ipiv, double* b,
                       const int* ldb, int* info);

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// CPU seconds of the whole process (all threads): under load the honest
// measure of work, where wall time mostly measures the other programs.
double CpuNow() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// ---------------------------------------------------------------------------
// The written ring formula and nothing else (A&S polynomials, one log), as
// anyone would transcribe it: the yardstick for the kernel and the fill.
inline void PlainRing(bool field, double eps, double Q, double R, double r, double dz, double& phi, double& Er,
                      double& Ez) {
  const double h = r * R;
  const double o = (r + R) * (r + R) + dz * dz;
  const double t = (R - r) * (R - r) + dz * dz;
  double k2 = 4.0 * h / o;
  if (k2 > 0.9999) k2 = 0.9999;
  const double m1 = 1.0 - k2;
  const double L = std::log(m1);
  const double K = 1.3862944 + 0.1119723 * m1 + 0.0725296 * m1 * m1 - (0.5 + 0.1213478 * m1 + 0.0288729 * m1 * m1) * L;
  const double B = 2.0 * 3.141592653589793 * 3.141592653589793 * eps;
  phi = Q * K / B / std::sqrt(o);
  if (!field) return;
  const double E = 1.0 + 0.4630151 * m1 + 0.1077812 * m1 * m1 - (0.2452727 * m1 + 0.0412496 * m1 * m1) * L;
  Er = r < 0.0001 * R ? 0.0 : (Q * 0.25 / B / std::sqrt(h)) * std::sqrt(k2) / r * (K + E * ((r - R) * 0.5 / R * k2 / m1 - 1.0));
  Ez = Q / B * dz * E / t / std::sqrt(o);
}

// One matrix row by the written rules (conductor point: potential seen from
// outside; dielectric point: potential and normal displacement, inner minus
// outer), one formula evaluation per charge and image.
void PlainRow(const ContourPoint& cp, const Charge* charges, long long count, double* pot, double* normal) {
  const bool dielectric = cp.material != 1;
  const double nx = std::cos(cp.normalAngle), ny = std::sin(cp.normalAngle);
  for (long long j = 0; j < count; ++j) {
    const Charge& c = charges[j];
    if (!dielectric) {
      double p = 0.0, er, ez;
      if (c.region == cp.region || c.region != cp.otherRegion) {
        const double eps = cp.epsOuter * kEps0;
        PlainRing(false, eps, c.q, c.x, cp.x, cp.y - c.y, p, er, ez);
        if (c.earthImage) {
          double pi;
          PlainRing(false, eps, -c.q, c.x, cp.x, cp.y + c.y, pi, er, ez);
          p += pi;
        }
      }
      pot[j] = p;
      continue;
    }
    // Evaluated at eps0 and weighted by side, as the conditions read.
    double p, er, ez;
    PlainRing(true, kEps0, c.q, c.x, cp.x, cp.y - c.y, p, er, ez);
    if (c.earthImage) {
      double pi, ir, iz;
      PlainRing(true, kEps0, -c.q, c.x, cp.x, cp.y + c.y, pi, ir, iz);
      p += pi, er += ir, ez += iz;
    }
    const double en = er * nx + ez * ny;
    const double wi = 1.0 / cp.epsInner, wo = 1.0 / cp.epsOuter;
    if (c.region == cp.otherRegion) {
      pot[j] = p * wi, normal[j] = en;
    } else if (c.region == cp.region) {
      pot[j] = -p * wo, normal[j] = -en;
    } else {
      pot[j] = p * (wi - wo), normal[j] = 0.0;
    }
  }
}

// ---------------------------------------------------------------------------
// Systems: a conductor sphere (100 kV) inside a dielectric coat (eps 4), about
// `unknowns` unknowns (a third on the sphere, two thirds on the coat).
std::string CoatedSphere(long long unknowns) {
  const long long each = std::max<long long>(2, unknowns / 3);
  std::ostringstream s;
  s << "Me; 1 ; 2 ;    ; 4.0 ;\t\tc; 0.000 ; 30.000 ; 5.000 ; 90.00000 ; -90.00000 ; 100 ;" << each
    << " ; 2.0000 ;\n";
  s << "De; 2 ; 3 ;4.0 ; 1.0 ;\t\tc; 0.000 ; 30.000 ; 7.000 ; 90.00000 ; -90.00000 ;" << each << " ; 2.0000 ;\n";
  return s.str();
}

void Load(FieldCalc& calc, const std::string& text, bool earth) {
  std::istringstream in(text);
  calc.ReadSystem(in);
  CalcParameters p = calc.Parameters();
  p.UseEarth = earth;
  p.ResultsFolder = "/tmp";
  p.ControlFilePath = "/tmp/kalvor-bench-control.txt";
  p.Capacitance = true;  // the default
  calc.SetParameters(p);
}

// ---------------------------------------------------------------------------
// Child processes, so that each solve sees the kernel and the memory of a
// fresh program. They print one line "key=value ...".

// The default calculation of the coated sphere, timed by stage, then the
// capacitance and the condition estimate from the run's factors.
int ChildRun(long long unknowns) {
  FieldCalc calc;
  Load(calc, CoatedSphere(unknowns), false);
  SilentProgress ui;
  bool changed = true;
  const auto start = Clock::now();
  const RunReport r = RunCalculation(calc, changed, ui);
  const auto capStart = Clock::now();
  SolutionAnalysis a = AnalyseSolution(calc, 1);
  const double analysis = Since(capStart);
  const auto cap = Clock::now();
  AddCapacitance(calc, a);
  const double capacitance = Since(cap);
  const double total = Since(start) - analysis;  // the analysis is no part of the run
  std::map<std::string, double> stage;
  for (const StageTiming& t : r.timings) stage[t.stage] += t.seconds;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  if (std::getenv("KALVOR_BENCH_STAGES"))
    for (const StageTiming& t : r.timings) std::fprintf(stderr, "  %s %.4f\n", t.stage.c_str(), t.seconds);
  std::printf("kernel=%s n=%lld ok=%d fill=%.4f solve=%.4f capacitance=%.4f total=%.4f rss=%.1f rcond=%.3g\n",
              blas::CoreName().c_str(), calc.Unknowns(), r.success && !a.capacitance.empty() ? 1 : 0,
              stage["fill"], stage["solve"], capacitance, total + 0.0 * analysis, usage.ru_maxrss / 1024.0,
              a.reciprocalCondition);
  return 0;
}

// The matrix packed with leading dimension n, as a user would hand it to
// dgesv.
std::vector<double> Packed(const matrixT& m) {
  const size_t n = m.RowNo(), ld = m.Ld();
  std::vector<double> a(n * n);
  for (size_t j = 0; j < n; ++j) std::copy_n(m.Data() + j * ld, n, a.data() + j * n);
  return a;
}

// dgesv on the coated sphere's matrix with whatever kernel OpenBLAS picked.
int ChildDgesv(long long unknowns) {
  FieldCalc calc;
  Load(calc, CoatedSphere(unknowns), false);
  calc.Place();
  calc.FillMatrix();
  const int n = static_cast<int>(calc.Unknowns());
  std::vector<double> a = Packed(calc.Coefficients());
  std::vector<double> b(static_cast<size_t>(n), 1.0);
  std::vector<int> piv(static_cast<size_t>(n));
  blas::Threads();  // the same thread count as the calculation
  const auto t = Clock::now();
  int info = 0, one = 1;
  dgesv_(&n, &one, a.data(), &n, piv.data(), b.data(), &n, &info);
  std::printf("kernel=%s n=%d dgesv=%.4f info=%d\n", blas::CoreName().c_str(), n, Since(t), info);
  return 0;
}

std::map<std::string, std::string> RunChild(const std::string& args, bool ownKernel) {
  std::string cmd;
  if (ownKernel) cmd = "env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE -u KALVOR_KERNEL_CHOSEN ";
  char self[4096];
  const ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
  if (len <= 0) return {};
  self[len] = 0;
  cmd += std::string("'") + self + "' " + args;
  std::map<std::string, std::string> out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char line[1024];
  while (std::fgets(line, sizeof line, p)) {
    std::istringstream in(line);
    for (std::string kv; in >> kv;)
      if (const size_t eq = kv.find('='); eq != std::string::npos) out[kv.substr(0, eq)] = kv.substr(eq + 1);
  }
  pclose(p);
  return out;
}

double Num(const std::map<std::string, std::string>& m, const char* key) {
  const auto it = m.find(key);
  return it == m.end() ? 0.0 : std::atof(it->second.c_str());
}
std::string Str(const std::map<std::string, std::string>& m, const char* key) {
  const auto it = m.find(key);
  return it == m.end() ? "?" : it->second;
}

// (a) The default run against dgesv on the same matrix, three times in turn.
void BenchRuns(const std::vector<int>& sizes) {
  std::printf("\n(a) Default run (capacitance on) against dgesv of the same matrix and kernel, medians of 3;"
              " load average %s\n",
              LoadAverage().c_str());
  std::printf("%-22s %6s %7s %7s %7s %7s %9s %7s %11s %9s\n", "kernel", "n", "fill s", "solve s", "dgesv s",
              "cap s", "dgesv/sol", "total s", "tot/(f+s)", "RSS/8n^2");
  std::vector<bool> kinds = {true};
  const char* pinned = std::getenv("OPENBLAS_CORETYPE");
  if (pinned) kinds.push_back(false);
  for (int n : sizes) {
    for (bool own : kinds) {
      std::vector<double> fill, solve, dgesv, cap, total, ratio, rss;
      std::string kernel, dkernel;
      for (int r = 0; r < 3; ++r) {
        const auto run = RunChild("--child-run " + std::to_string(n), own);
        const auto ref = RunChild("--child-dgesv " + std::to_string(n), own);
        kernel = Str(run, "kernel");
        dkernel = Str(ref, "kernel");
        fill.push_back(Num(run, "fill"));
        solve.push_back(Num(run, "solve"));
        cap.push_back(Num(run, "capacitance"));
        total.push_back(Num(run, "total"));
        dgesv.push_back(Num(ref, "dgesv"));
        ratio.push_back(Num(ref, "dgesv") / std::max(1e-9, Num(run, "solve")));
        const double nn = Num(run, "n");
        rss.push_back(Num(run, "rss") * 1048576.0 / (8.0 * nn * nn));
        if (Num(run, "ok") != 1.0) std::printf("  (run %d failed)\n", r);
      }
      std::vector<double> overall;
      for (size_t i = 0; i < total.size(); ++i) overall.push_back(total[i] / std::max(1e-9, fill[i] + solve[i]));
      const std::string name = kernel + (own ? " (own)" : " (pinned)") + (kernel != dkernel ? "!" : "");
      std::printf("%-22s %6d %7.3f %7.3f %7.3f %7.3f %9.2f %7.3f %11.2f %9.2f\n", name.c_str(), n, Median(fill),
                  Median(solve), Median(dgesv), Median(cap), Median(ratio), Median(total), Median(overall),
                  Median(rss));
    }
  }
  std::printf("  dgesv/sol: dgesv's time over the run's solve stage (>= 0.95 wanted); tot/(f+s): the whole run\n"
              "  with the capacitance over fill + solve (<= 1.15 wanted); RSS/8n^2: peak memory in n x n blocks.\n");
}

// (a') The solve stage's path (the condition estimate's equilibration, the
// watched factorisation, the triangular solve) against dgesv in one process,
// in turn on copies of the same matrix: what a fresh process's run adds to
// either drops out, and so does the machine's drift between processes.
void BenchSolveInProcess(const std::vector<int>& sizes) {
  std::printf("\n(a') The solve stage's path against dgesv in one process, in turn, medians of 5 (kernel %s,"
              " load average %s)\n",
              blas::CoreName().c_str(), LoadAverage().c_str());
  std::printf("%8s %9s %9s %10s\n", "n", "stage s", "dgesv s", "dgesv/stg");
  for (int size : sizes) {
    FieldCalc calc;
    Load(calc, CoatedSphere(size), false);
    calc.Place();
    calc.FillMatrix();
    const matrixT& filled = calc.Coefficients();
    const size_t n = filled.RowNo(), ld = filled.Ld();
    // The rows' largest magnitudes, as the fill hands them to the solve.
    std::vector<double> rowMax(n, 0.0);
    for (size_t j = 0; j < n; ++j)
      for (size_t i = 0; i < n; ++i) rowMax[i] = std::max(rowMax[i], std::fabs(filled.Data()[j * ld + i]));
    const matrixT rhs = calc.Rhs();
    std::vector<double> stage, reference;
    for (int r = 0; r < 5; ++r) {
      {
        matrixT a;
        a.Resize(n, n, true);
        for (size_t j = 0; j < n; ++j) std::copy_n(filled.Data() + j * ld, n, a.Data() + j * a.Ld());
        const auto t = Clock::now();
        a.Factorise([](double) { return true; }, true, rowMax.data());
        const matrixT x = a.SolveFactored(rhs);
        stage.push_back(Since(t));
      }
      {
        std::vector<double> a = Packed(filled), b(rhs.Data(), rhs.Data() + n);
        std::vector<int> piv(n);
        const int nn = static_cast<int>(n), one = 1;
        int info = 0;
        const auto t = Clock::now();
        dgesv_(&nn, &one, a.data(), &nn, piv.data(), b.data(), &nn, &info);
        reference.push_back(Since(t));
      }
    }
    std::printf("%8zu %9.3f %9.3f %10.2f\n", n, Median(stage), Median(reference), Median(reference) / Median(stage));
  }
}

// A diagonally weighted random matrix, for the progress figures.
matrixT RandomMatrix(size_t n, unsigned seed) {
  matrixT a(n, n);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(-1, 1);
  double* d = a.Data();
  for (size_t k = 0; k < n * n; ++k) d[k] = u(rng);
  for (size_t i = 0; i < n; ++i) d[i * n + i] += static_cast<double>(n) * 0.01;
  return a;
}

// What a person watching the solve sees: the longest time the position
// stands still and its largest jump (the factorisation's watcher is polled
// every 5 ms), and how long a stop takes from the refusal to the end of
// the solve, asked at several points of the factorisation.
void BenchSolveWatch(const std::vector<int>& sizes) {
  std::printf("\n(d) Watching the solve: progress and stop (kernel %s, load average %s)\n", blas::CoreName().c_str(),
              LoadAverage().c_str());
  std::printf("%8s %12s %12s %10s %28s\n", "n", "still max s", "jump max %", "solve s", "stop after refusal s (at %)");
  for (int n : sizes) {
    const matrixT a = RandomMatrix(static_cast<size_t>(n), 1);
    matrixT b(static_cast<size_t>(n), 1);
    double still = 0, jump = 0, last = 0;
    matrixT victim = a;
    victim(0, 0) += 0.0;  // the copy outside the timing
    auto moved = Clock::now();
    const auto start = Clock::now();
    (void)victim.SolveReleasing(b, [&](double f) {
      if (f > last) {
        still = std::max(still, Since(moved));
        jump = std::max(jump, f - last);
        last = f;
        moved = Clock::now();
      }
      return true;
    });
    const double solve = Since(start);
    std::string stops;
    for (double at : {0.05, 0.5, 0.9}) {
      victim = a;
      victim(0, 0) += 0.0;
      Clock::time_point refused{};
      try {
        (void)victim.SolveReleasing(b, [&](double f) {
          if (f < at) return true;
          refused = Clock::now();
          return false;
        });
      } catch (const math::solve_stopped&) {
      }
      char text[32];
      std::snprintf(text, sizeof text, " %.3f (%.0f)", Since(refused), at * 100);
      stops += text;
    }
    std::printf("%8d %12.3f %12.1f %10.2f %28s\n", n, still, jump * 100, solve, stops.c_str());
  }
}

// (b) The ring kernel on one thread: the plain transcription, the project's
// scalar path and the vectorised kernel on the same 2^21 evaluations (64
// points x 32768 charges, radii 0.1..10 cm).
void BenchKernel() {
  const int points = 64, count = 32768;
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(0.1, 10), v(-10, 10);
  std::vector<Charge> charges;
  for (int j = 0; j < count; ++j) charges.emplace_back(u(rng), v(rng), 1, 1, 2, false, 1.0);
  const ringkernel::ChargeArrays arrays(charges.data(), count);
  std::vector<double> px(points), py(points), row(count), row2(count);
  for (int i = 0; i < points; ++i) px[i] = u(rng), py[i] = v(rng);
  const double evaluations = static_cast<double>(points) * count;
  double sink = 0;
  auto plain = [&](bool field) {
    for (int i = 0; i < points; ++i)
      for (const Charge& c : charges) {
        double p, er = 0, ez = 0;
        PlainRing(field, kEps0, c.q, c.x, px[i], py[i] - c.y, p, er, ez);
        sink += p + er + ez;
      }
  };
  auto ours = [&](bool vector, bool field) {
    SetRingKernelVectorised(vector);
    for (int i = 0; i < points; ++i) {
      const ContourPoint cp(px[i], py[i], field ? 0 : 1, 3, 2, 1.0, 1.0, 0.0, 0.0, false);
      CoefficientRow(cp, arrays, 0, count, row.data(), field ? row2.data() : nullptr);
      sink += row[i];
    }
    SetRingKernelVectorised(true);
  };
  std::vector<double> pp, sp, vp, pb, sb, vb;
  auto time = [](auto&& f) {
    const double t = CpuNow();
    f();
    return CpuNow() - t;
  };
  for (int r = 0; r < 3; ++r) {  // in turn: the same machine state for all
    pp.push_back(time([&] { plain(false); }));
    sp.push_back(time([&] { ours(false, false); }));
    vp.push_back(time([&] { ours(true, false); }));
    pb.push_back(time([&] { plain(true); }));
    sb.push_back(time([&] { ours(false, true); }));
    vb.push_back(time([&] { ours(true, true); }));
  }
  const double k = 1e9 / evaluations;
  std::printf("\n(b) Ring kernel, one thread, CPU ns per evaluation, medians of 3; vectorised with %s; load average %s\n",
              ringkernel::TargetName().c_str(), LoadAverage().c_str());
  std::printf("%22s %8s %8s %8s %10s %10s\n", "", "plain", "scalar", "vector", "plain/vec", "scal/plain");
  std::printf("%22s %8.2f %8.2f %8.2f %10.2f %10.2f\n", "potential", Median(pp) * k, Median(sp) * k, Median(vp) * k,
              Median(pp) / Median(vp), Median(sp) / Median(pp));
  std::printf("%22s %8.2f %8.2f %8.2f %10.2f %10.2f%s\n", "potential and field", Median(pb) * k, Median(sb) * k,
              Median(vb) * k, Median(pb) / Median(vb), Median(sb) / Median(pb), sink == 12345.0 ? " " : "");
  std::printf("  (a dielectric row: the scalar path and the kernel give two coefficients per evaluation)\n");
}

// (c) The fill of the coated sphere on all cores against the kernel's own
// cost for the same rows (no matrix) and against the plain transcription
// doing the same evaluations, with and without the earth.
void BenchFill(int unknowns) {
  std::printf("\n(c) Matrix fill, %d threads, CPU seconds over all threads, medians of 3; load average %s\n",
              WorkerThreads(), LoadAverage().c_str());
  std::printf("%10s %6s %9s %9s %9s %9s %9s %10s %10s %10s %9s\n", "earth", "n", "fill s", "kernel s", "write s",
              "plain s", "scalar s", "fill/kern", "fill/plain", "scal/plain", "fill wall");
  for (bool earth : {false, true}) {
    FieldCalc calc;
    Load(calc, CoatedSphere(unknowns), earth);
    calc.Place();
    const std::vector<ContourPoint>& pts = calc.Points();
    const std::vector<Charge>& ch = calc.Charges();
    const long long nc = static_cast<long long>(ch.size());
    auto rows = [&](auto&& row) {
      ParallelFor(static_cast<long long>(pts.size()), [&](long long b, long long e) {
        std::vector<double> p(static_cast<size_t>(nc)), q(static_cast<size_t>(nc));
        for (long long i = b; i < e; ++i) row(pts[static_cast<size_t>(i)], p.data(), pts[i].material == 1 ? nullptr : q.data());
      });
    };
    std::vector<double> fill, kernel, plain, scalar, wall, write;
    // The matrix's bytes written once, on all threads (touched before).
    const size_t bytes = calc.Coefficients().Ld() * calc.Coefficients().ColNo() * sizeof(double);
    std::vector<char> block(bytes, 1);
    auto time = [](auto&& f) {
      const double t = CpuNow();
      f();
      return CpuNow() - t;
    };
    calc.FillMatrix();  // the pages of the matrix once, as a run has them after its first touch
    for (int r = 0; r < 3; ++r) {
      const auto w = Clock::now();
      fill.push_back(time([&] { calc.FillMatrix(); }));
      wall.push_back(Since(w));
      kernel.push_back(time([&] {
        const ringkernel::ChargeArrays arrays(ch.data(), nc);
        rows([&](const ContourPoint& cp, double* p, double* q) { CoefficientRow(cp, arrays, 0, nc, p, q); });
      }));
      plain.push_back(time([&] { rows([&](const ContourPoint& cp, double* p, double* q) { PlainRow(cp, ch.data(), nc, p, q); }); }));
      SetRingKernelVectorised(false);
      scalar.push_back(time([&] { calc.FillMatrix(); }));
      SetRingKernelVectorised(true);
      write.push_back(time([&] {
        const long long pieces = 64;
        ParallelFor(pieces, [&](long long b0, long long b1) {
          for (long long k = b0; k < b1; ++k) {
            const size_t from = bytes * static_cast<size_t>(k) / pieces;
            const size_t to = bytes * static_cast<size_t>(k + 1) / pieces;
            std::memset(block.data() + from, static_cast<int>(k + r), to - from);
          }
        });
      }));
    }
    std::printf("%10s %6lld %9.4f %9.4f %9.4f %9.4f %9.4f %10.2f %10.2f %10.2f %9.4f\n", earth ? "with" : "without",
                calc.Unknowns(), Median(fill), Median(kernel), Median(write), Median(plain), Median(scalar),
                Median(fill) / Median(kernel), Median(fill) / Median(plain), Median(scalar) / Median(plain),
                Median(wall));
  }
  std::printf("  fill/kern <= 1.2 and fill/plain <= 0.5 wanted; write: the matrix's bytes written once (memset,\n"
              "  all threads), what the fill pays beyond the kernel at the least; scalar: the project's own scalar\n"
              "  path (the reference of the tests) filling the matrix.\n");
}

void BenchSystem(const std::string& path) {
  FieldCalc calc;
  const auto start = Clock::now();
  std::ifstream in(path);
  if (!in) {
    std::printf("\n(e) cannot open %s\n", path.c_str());
    return;
  }
  calc.ReadSystem(in);
  const double read = Since(start);
  CalcParameters params;
  params.ResultsFolder = "/tmp";
  params.ControlFilePath = "/tmp/kalvor-bench-control.txt";
  params.UseEarth = true;
  params.Capacitance = true;
  calc.SetParameters(params);
  SilentProgress ui;
  bool changed = true;
  const RunReport r = RunCalculation(calc, changed, ui);
  const auto capStart = Clock::now();
  SolutionAnalysis a = AnalyseSolution(calc, 1);
  const double analysis = Since(capStart);
  const auto cap = Clock::now();
  AddCapacitance(calc, a);
  const double capacitance = Since(cap);
  const double total = Since(start) - analysis;
  double fill = 0, solve = 0;
  std::printf("\n(e) Whole calculation of %s: %lld unknowns, %s (kernel %s, load average %s)\n", path.c_str(),
              calc.Unknowns(), r.success ? "done" : "FAILED", blas::CoreName().c_str(), LoadAverage().c_str());
  std::printf("%12s %10.3f s\n", "read", read);
  for (const StageTiming& t : r.timings) {
    std::printf("%12s %10.3f s\n", t.stage.c_str(), t.seconds);
    if (t.stage == "fill") fill += t.seconds;
    if (t.stage == "solve") solve += t.seconds;
  }
  std::printf("%12s %10.3f s (condition estimate %.3g)\n", "capacitance", capacitance, a.reciprocalCondition);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double n = static_cast<double>(calc.Unknowns());
  std::printf("%12s %10.3f s = %.2f x (fill + solve)\n", "total", total, total / (fill + solve));
  std::printf("%12s %10.0f MB = %.2f x 8n^2\n", "peak RSS", usage.ru_maxrss / 1024.0,
              usage.ru_maxrss * 1024.0 / (8.0 * n * n));
}

std::vector<int> ParseSizes(const char* s) {
  std::vector<int> v;
  for (std::istringstream in(s); in.good();) {
    int n = 0;
    char comma;
    if (in >> n && n > 0) v.push_back(n);  // 0: no solves
    in >> comma;
  }
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  // The dgesv child keeps the kernel OpenBLAS picked; everything else runs
  // as the programs do.
  if (argc == 3 && !std::strcmp(argv[1], "--child-dgesv")) return ChildDgesv(std::atoll(argv[2]));
  blas::SelectBestKernel(argc, argv);
  if (argc == 3 && !std::strcmp(argv[1], "--child-run")) return ChildRun(std::atoll(argv[2]));
  std::vector<int> sizes = {4000, 8000};
  int fillUnknowns = 3984;
  std::string system;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--solve") && i + 1 < argc) sizes = ParseSizes(argv[++i]);
    else if (!std::strcmp(argv[i], "--fill") && i + 1 < argc) fillUnknowns = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--system") && i + 1 < argc) system = argv[++i];
    else if (!std::strcmp(argv[i], "--quick")) {
      sizes = {1000};
      fillUnknowns = 1000;
    } else {
      std::fprintf(stderr, "usage: kalvor-bench [--solve N,N,...] [--fill N] [--system FILE] [--quick]\n");
      return 2;
    }
  }
  const char* pinned = std::getenv("OPENBLAS_CORETYPE");
  std::printf("Kalvor benchmark: %d cores, %d BLAS threads, OpenBLAS kernel %s%s%s, load average %s\n",
              WorkerThreads(), blas::Threads(), blas::CoreName().c_str(), pinned ? " as pinned by OPENBLAS_CORETYPE=" : "",
              pinned ? pinned : "", LoadAverage().c_str());
  if (!sizes.empty()) {
    BenchRuns(sizes);
    BenchSolveInProcess(sizes);
    BenchSolveWatch(sizes);
  }
  if (fillUnknowns > 0) {
    BenchKernel();
    BenchFill(fillUnknowns);
  }
  if (!system.empty()) BenchSystem(system);
  std::printf("\nLoad average at the end: %s\n", LoadAverage().c_str());
  return 0;
}
