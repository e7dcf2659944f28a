// Measures, in one run: the dense solve against a plain LAPACK dgesv on the
// same matrices, the matrix fill against the bare ring kernel on one and on
// all cores, and the stages of a whole calculation of a generated system.
//
//   kalvor-bench [--solve N,N,...] [--fill N] [--system FILE] [--quick]

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/Blas.h"
#include "engine/CalculationRun.h"
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

template <class F>
double Best(int repeats, F&& f) {
  double best = 1e300;
  for (int i = 0; i < repeats; ++i) {
    const auto t = Clock::now();
    f();
    best = std::min(best, Since(t));
  }
  return best;
}

// A diagonally weighted random matrix, like the potential coefficients.
matrixT RandomMatrix(size_t n, unsigned seed) {
  matrixT a(n, n);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(-1, 1);
  double* d = a.Data();
  for (size_t k = 0; k < n * n; ++k) d[k] = u(rng);
  for (size_t i = 0; i < n; ++i) d[i * n + i] += static_cast<double>(n) * 0.01;
  return a;
}

void BenchSolve(const std::vector<int>& sizes) {
  std::printf("\n(a) Dense solve, GFLOP/s (2n^3/3), %d BLAS threads, kernel %s; ours is the blocked LU\n", blas::Threads(),
              blas::CoreName().c_str());
  std::printf("%8s %14s %14s %14s %8s %8s\n", "n", "in place", "with copy", "LAPACK dgesv", "ratio", "ratio");
  for (int n : sizes) {
    const matrixT a = RandomMatrix(static_cast<size_t>(n), 1);
    matrixT b(static_cast<size_t>(n), 1);
    for (int i = 0; i < n; ++i) b(static_cast<size_t>(i), 0) = 1.0;
    const double flops = 2.0 / 3.0 * n * static_cast<double>(n) * n;
    const int repeats = n <= 4000 ? 3 : 2;
    std::vector<double> work(static_cast<size_t>(n) * n), rhs(static_cast<size_t>(n));
    std::vector<int> piv(static_cast<size_t>(n));
    // Interleaved so that all three see the same machine state. The
    // calculation solves in place (the matrix is not needed afterwards);
    // Solve() keeps the matrix and works on one copy.
    double inPlace = 1e300, copy = 1e300, ref = 1e300;
    for (int r = 0; r < repeats; ++r) {
      matrixT victim = a;
      victim(0, 0) += 0.0;  // detach outside the timing, as the fill leaves it
      inPlace = std::min(inPlace, Best(1, [&] { (void)victim.SolveReleasing(b); }));
      copy = std::min(copy, Best(1, [&] { (void)a.Solve(b); }));
      ref = std::min(ref, Best(1, [&] {
                       std::memcpy(work.data(), a.Data(), work.size() * sizeof(double));
                       std::fill(rhs.begin(), rhs.end(), 1.0);
                       int info = 0, one = 1;
                       dgesv_(&n, &one, work.data(), &n, piv.data(), rhs.data(), &n, &info);
                     }));
    }
    std::printf("%8d %14.1f %14.1f %14.1f %8.2f %8.2f\n", n, flops / inPlace * 1e-9, flops / copy * 1e-9,
                flops / ref * 1e-9, ref / inPlace, ref / copy);
  }
}

// What a person watching the solve sees: the longest time the position
// stands still and its largest jump (the watcher is polled every 40 ms, as
// a display is), and how long a stop takes from the refusal to the end of
// the solve, asked at several points of the factorisation.
void BenchSolveWatch(const std::vector<int>& sizes) {
  std::printf("\n(d) Watching the solve: progress and stop\n");
  std::printf("%8s %12s %12s %10s %28s\n", "n", "still max s", "jump max %", "solve s", "stop after refusal s (at %)");
  for (int n : sizes) {
    const matrixT a = RandomMatrix(static_cast<size_t>(n), 1);
    matrixT b(static_cast<size_t>(n), 1);
    double still = 0, jump = 0, last = 0;
    matrixT victim = a;
    victim(0, 0) += 0.0;  // the copy outside the timing
    auto moved = Clock::now();
    const auto start = Clock::now();
    {
      (void)victim.SolveReleasing(b, [&](double f) {
        if (f > last) {
          still = std::max(still, Since(moved));
          jump = std::max(jump, f - last);
          last = f;
          moved = Clock::now();
        }
        return true;
      });
    }
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

// The ring kernel on one thread: the written scalar formula (RingField,
// charge by charge) against the vectorised batch entry points on the same
// 2^21 evaluations (64 points x 32768 charges, radii 0.1..10 cm).
void BenchKernel() {
  const int points = 64, count = 32768;
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(0.1, 10), v(-10, 10);
  std::vector<Charge> charges;
  for (int j = 0; j < count; ++j) charges.emplace_back(u(rng), v(rng), 1, 1, 2, false, 1.0);
  std::vector<double> px(points), py(points), row(count);
  for (int i = 0; i < points; ++i) px[i] = u(rng), py[i] = v(rng);
  const double evaluations = static_cast<double>(points) * count;
  double sink = 0;
  auto scalar = [&](bool field) {
    for (int i = 0; i < points; ++i)
      for (const Charge& c : charges) {
        double p, er, ez;
        RingField(true, field, kEps0, c.q, c.x, px[i], py[i] - c.y, p, er, ez);
        sink += p + er + ez;
      }
  };
  auto vectorPotential = [&] {
    for (int i = 0; i < points; ++i) {
      const ContourPoint cp(px[i], py[i], 1, 3, 2, 1.0, 1.0, 0.0, 0.0, false);
      CoefficientRow(cp, charges.data(), count, row.data(), nullptr);
      sink += row[i];
    }
  };
  auto vectorBoth = [&] {
    for (int i = 0; i < points; ++i) sink += SumPotentialAndField(charges.data(), count, 3, px[i], py[i], 1.0).phi;
  };
  double sp = 1e300, sb = 1e300, vp = 1e300, vb = 1e300;
  for (int r = 0; r < 5; ++r) {  // interleaved: the same machine state for both
    sp = std::min(sp, Best(1, [&] { scalar(false); }));
    vp = std::min(vp, Best(1, vectorPotential));
    sb = std::min(sb, Best(1, [&] { scalar(true); }));
    vb = std::min(vb, Best(1, vectorBoth));
  }
  std::printf("\n(b) Ring kernel, one thread, ns per evaluation; vectorised with %s\n",
              ringkernel::TargetName().c_str());
  std::printf("%22s %10s %10s %8s\n", "", "scalar", "vector", "speed-up");
  std::printf("%22s %10.2f %10.2f %8.2f\n", "potential", sp / evaluations * 1e9, vp / evaluations * 1e9, sp / vp);
  std::printf("%22s %10.2f %10.2f %8.2f%s\n", "potential and field", sb / evaluations * 1e9,
              vb / evaluations * 1e9, sb / vb, sink == 12345.0 ? " " : "");
}

// A dielectric interface with earth images: the costliest kind of row.
void LoadFillSystem(FieldCalc& calc, int points) {
  std::ostringstream s;
  s << "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0 ; 30 ; 5 ; 90 ; -90 ; 20 ; " << points / 2 << " ; 1 ;\n";
  s << "De; 3 ; 2 ; 4.0 ; 1.0 ;\t\tl; 12 ; 1 ; 12 ; 40 ; " << points / 4 << " ; 1 ;\n";
  std::istringstream in(s.str());
  calc.ReadSystem(in);
  CalcParameters withEarth = calc.Parameters();
  withEarth.UseEarth = true;
  calc.SetParameters(withEarth);
}

void BenchFill(int points) {
  FieldCalc calc;
  LoadFillSystem(calc, points);
  calc.Place();
  const double coefficients = static_cast<double>(calc.Unknowns()) * calc.Unknowns();
  // Ring evaluations the fill makes: one per coefficient of a conductor row,
  // one per charge side of a dielectric point (shared by its two rows), each
  // doubled by the earth image.
  std::printf("\n(c) Matrix fill, n = %lld (dielectric and conductor rows, earth images), ns per coefficient\n",
              calc.Unknowns());
  std::printf("%10s %14s %14s %10s %16s %10s\n", "threads", "scalar fill", "vector fill", "vec/scal",
              "vector kernel", "fill/kern");
  double oneThread = 0.0;
  const int cores = WorkerThreads();
  for (int threads : {1, cores}) {
    SetWorkerThreads(threads);
    // The bare kernel: the same coefficients through CoefficientRow into a
    // scratch row, without the matrix. Interleaved with the fill so that
    // both see the same machine state.
    auto kernelRun = [&] {
      ParallelFor(static_cast<long long>(calc.Points().size()), [&](long long b, long long e) {
        std::vector<double> p(calc.Charges().size()), q(calc.Charges().size());
        for (long long i = b; i < e; ++i)
          CoefficientRow(calc.Points()[i], calc.Charges().data(), static_cast<long long>(calc.Charges().size()),
                         p.data(), calc.Points()[i].material == 1 ? nullptr : q.data());
      });
    };
    double fill = 1e300, kernel = 1e300, scalarFill = 1e300;
    for (int r = 0; r < 5; ++r) {
      SetRingKernelVectorised(false);
      scalarFill = std::min(scalarFill, Best(1, [&] { calc.FillMatrix(); }));
      SetRingKernelVectorised(true);
      fill = std::min(fill, Best(1, [&] { calc.FillMatrix(); }));
      kernel = std::min(kernel, Best(1, kernelRun));
    }
    if (threads == 1) oneThread = fill;
    std::printf("%10d %14.2f %14.2f %10.2f %16.2f %10.2f\n", threads, scalarFill / coefficients * 1e9,
                fill / coefficients * 1e9, fill / scalarFill, kernel / coefficients * 1e9, fill / kernel);
    if (threads == cores && cores > 1) std::printf("%10s speed-up on %d threads: %.2f\n", "", cores, oneThread / fill);
    if (cores == 1) break;
  }
  SetWorkerThreads(0);
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
  calc.SetParameters(params);
  SilentProgress ui;
  bool changed = true;
  const RunReport r = RunCalculation(calc, changed, ui);
  const double total = Since(start);
  double fill = 0, solve = 0;
  std::printf("\n(e) Whole calculation of %s: %lld unknowns, %s\n", path.c_str(), calc.Unknowns(),
              r.success ? "done" : "FAILED");
  std::printf("%12s %10.3f s\n", "read", read);
  for (const StageTiming& t : r.timings) {
    std::printf("%12s %10.3f s\n", t.stage.c_str(), t.seconds);
    if (t.stage == "fill") fill += t.seconds;
    if (t.stage == "solve") solve += t.seconds;
  }
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
    if (in >> n) v.push_back(n);
    in >> comma;
  }
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  blas::SelectBestKernel(argc, argv);
  std::vector<int> sizes = {2000, 4000, 8000};
  int fillPoints = 4000;
  std::string system;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--solve") && i + 1 < argc) sizes = ParseSizes(argv[++i]);
    else if (!std::strcmp(argv[i], "--fill") && i + 1 < argc) fillPoints = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--system") && i + 1 < argc) system = argv[++i];
    else if (!std::strcmp(argv[i], "--quick")) {
      sizes = {500, 1000};
      fillPoints = 1000;
    } else {
      std::fprintf(stderr, "usage: kalvor-bench [--solve N,N,...] [--fill N] [--system FILE] [--quick]\n");
      return 2;
    }
  }
  std::printf("Kalvor benchmark: %d cores\n", WorkerThreads());
  if (!sizes.empty()) {
    BenchSolve(sizes);
    BenchSolveWatch(sizes);
  }
  if (fillPoints > 0) {
    BenchKernel();
    BenchFill(fillPoints);
  }
  if (!system.empty()) BenchSystem(system);
  return 0;
}
