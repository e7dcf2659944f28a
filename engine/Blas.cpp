#include "engine/Blas.h"

#include <cblas.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <thread>

extern "C" {
void dgetrf_(const int* m, const int* n, double* a, const int* lda, int* ipiv, int* info);
void dlaswp_(const int* n, double* a, const int* lda, const int* k1, const int* k2, const int* ipiv,
             const int* incx);
}

namespace blas {
namespace {

// Panel width: measured best for OpenBLAS on two cores.
constexpr int kBlock = 256;
// Upper bound of floating-point work between two ticks of the trailing update.
constexpr double kFlopsPerTick = 1.5e9;

void EnsureThreads() {
  static const bool once = [] {
    const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
    openblas_set_num_threads(static_cast<int>(hw));
    return true;
  }();
  (void)once;
}

}  // namespace

int Threads() {
  EnsureThreads();
  return openblas_get_num_threads();
}

void SetThreads(int threads) {
  EnsureThreads();
  openblas_set_num_threads(std::max(1, threads));
}

std::string CoreName() {
  const char* name = openblas_get_corename();
  return name ? name : "";
}

void SelectBestKernel(int argc, char** argv) {
  if (argc < 1 || std::getenv("OPENBLAS_CORETYPE") || std::getenv("KALVOR_KERNEL_CHOSEN")) return;
  __builtin_cpu_init();
  if (!(__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
        __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl")))
    return;
  std::string core = CoreName();
  for (char& c : core) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* avx512 : {"skylakex", "cooperlake", "sapphirerapids"})
    if (core == avx512) return;
  setenv("OPENBLAS_CORETYPE", "SkylakeX", 1);
  setenv("KALVOR_KERNEL_CHOSEN", "1", 1);  // never loop
  execv("/proc/self/exe", argv);
  // If the re-execution failed we simply go on with the slower kernel.
}

bool LuFactor(double* a, std::size_t nn, int* pivots, const std::function<void(std::size_t)>& tick) {
  EnsureThreads();
  const int n = static_cast<int>(nn);
  const int lda = n;
  const int one = 1;
  bool singular = false;
  for (int j = 0; j < n; j += kBlock) {
    const int jb = std::min(kBlock, n - j);
    const int rows = n - j;
    double* panel = a + static_cast<std::size_t>(j) * lda + j;
    int info = 0;
    dgetrf_(&rows, &jb, panel, &lda, pivots + j, &info);
    if (info > 0) singular = true;
    if (singular) return false;  // an exactly zero pivot: nothing more to do
    for (int i = j; i < j + jb; ++i) pivots[i] += j;
    const int k1 = j + 1, k2 = j + jb;
    if (j > 0) dlaswp_(&j, a, &lda, &k1, &k2, pivots, &one);
    const int right = n - j - jb;
    if (right > 0) {
      double* a12 = a + static_cast<std::size_t>(j + jb) * lda;
      dlaswp_(&right, a12, &lda, &k1, &k2, pivots, &one);
      cblas_dtrsm(CblasColMajor, CblasLeft, CblasLower, CblasNoTrans, CblasUnit, jb, right, 1.0,
                  panel, lda, a12 + j, lda);
      const int below = n - j - jb;
      // Cut the trailing update into column slices of bounded work.
      const double perColumn = 2.0 * below * jb;
      const int slice = std::max(kBlock, static_cast<int>(kFlopsPerTick / std::max(1.0, perColumn)));
      for (int c = 0; c < right; c += slice) {
        const int w = std::min(slice, right - c);
        cblas_dgemm(CblasColMajor, CblasNoTrans, CblasNoTrans, below, w, jb, -1.0, panel + jb, lda,
                    a12 + static_cast<std::size_t>(c) * lda + j, lda, 1.0,
                    a12 + static_cast<std::size_t>(c) * lda + j + jb, lda);
        tick(static_cast<std::size_t>(j));
      }
    }
    tick(static_cast<std::size_t>(j + jb));
  }
  return true;
}

void LuSolve(const double* lu, std::size_t nn, const int* pivots, double* b, std::size_t mm) {
  if (nn == 0 || mm == 0) return;
  const int n = static_cast<int>(nn), m = static_cast<int>(mm);
  const int one = 1, k1 = 1;
  dlaswp_(&m, b, &n, &k1, &n, pivots, &one);
  cblas_dtrsm(CblasColMajor, CblasLeft, CblasLower, CblasNoTrans, CblasUnit, n, m, 1.0, lu, n, b, n);
  cblas_dtrsm(CblasColMajor, CblasLeft, CblasUpper, CblasNoTrans, CblasNonUnit, n, m, 1.0, lu, n, b, n);
}

}  // namespace blas
