#include "engine/Blas.h"

#include <cblas.h>

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>

extern "C" {
void dgetrf_(const int* m, const int* n, double* a, const int* lda, int* ipiv, int* info);
void dgetrs_(const char* trans, const int* n, const int* nrhs, const double* a, const int* lda,
             const int* ipiv, double* b, const int* ldb, int* info);
}

namespace blas {
namespace {

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
  openblas_set_num_threads(threads > 0 ? threads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
}

namespace {
std::mutex ownThreadsMutex;
int ownThreadsUsers = 0;
int ownThreadsSaved = 1;
}  // namespace

OwnThreadsOnly::OwnThreadsOnly() {
  std::lock_guard<std::mutex> lock(ownThreadsMutex);
  if (ownThreadsUsers++ == 0) {
    EnsureThreads();
    ownThreadsSaved = openblas_get_num_threads();
    if (ownThreadsSaved > 1) openblas_set_num_threads(1);
  }
  threads_ = ownThreadsSaved;
}

OwnThreadsOnly::~OwnThreadsOnly() {
  std::lock_guard<std::mutex> lock(ownThreadsMutex);
  if (--ownThreadsUsers == 0 && ownThreadsSaved > 1) openblas_set_num_threads(ownThreadsSaved);
}

std::string CoreName() {
  const char* name = openblas_get_corename();
  return name ? name : "";
}

void ShortenIdleSpin() {
  // OpenBLAS's idle threads spin for 2^28 cycles (~0.1 s) after every call
  // before they sleep; with as many BLAS threads as cores they then take
  // turns with ours in the stages after the solve (the result files of
  // 4 000 unknowns took 0.04 s instead of 0.025 s). 2^22 cycles (~1.5 ms)
  // still bridge the gaps between the solve's own calls. The variable is
  // read as the library loads, so the setting is read again and the
  // threads restarted with it (they start again at the next call); where
  // this OpenBLAS has no such entry points nothing changes.
  if (std::getenv("OPENBLAS_THREAD_TIMEOUT")) return;  // the user's own
  using Call = void (*)();
  const auto readEnv = reinterpret_cast<Call>(dlsym(RTLD_DEFAULT, "openblas_read_env"));
  const auto shutdown = reinterpret_cast<int (*)()>(dlsym(RTLD_DEFAULT, "blas_thread_shutdown_"));
  if (!readEnv || !shutdown) return;
  setenv("OPENBLAS_THREAD_TIMEOUT", "22", 0);
  readEnv();
  shutdown();
}

void SelectBestKernel(int argc, char** argv) {
  ShortenIdleSpin();
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

bool LuFactor(double* a, std::size_t nn, int* pivots) {
  EnsureThreads();
  const int n = static_cast<int>(nn);
  int info = 0;
  dgetrf_(&n, &n, a, &n, pivots, &info);
  return info == 0;
}

void LuSolve(const double* lu, std::size_t nn, std::size_t ld, const int* pivots, double* b, std::size_t mm,
             bool transposed) {
  if (nn == 0 || mm == 0) return;
  const int n = static_cast<int>(nn), m = static_cast<int>(mm), lda = static_cast<int>(ld);
  int info = 0;
  const char trans = transposed ? 'T' : 'N';
  dgetrs_(&trans, &n, &m, lu, &lda, pivots, b, &n, &info);
}

void LuSolveVector(const double* lu, std::size_t n, std::size_t ld, const int* pivots, double* x, bool transposed) {
  LuSolveVectors(lu, n, ld, pivots, x, 1, transposed);
}

void LuSolveVectors(const double* lu, std::size_t nn, std::size_t ld, const int* pivots, double* x, std::size_t mm,
                    bool transposed) {
  constexpr int kBlock = 256;
  const int n = static_cast<int>(nn), m = static_cast<int>(mm), lda = static_cast<int>(ld);
  if (n == 0 || m == 0) return;
  if (n < 2 * kBlock) {
    LuSolve(lu, nn, ld, pivots, x, mm, transposed);
    return;
  }
  EnsureThreads();
  auto at = [&](int i, int j) { return lu + static_cast<std::size_t>(j) * ld + static_cast<std::size_t>(i); };
  // One column goes through dgemv; several through dgemm, which reads each
  // block of the factors once for all of them.
  auto update = [&](CBLAS_TRANSPOSE t, int rows, int cols, const double* block, const double* from, double* to) {
    if (m == 1)
      cblas_dgemv(CblasColMajor, t, rows, cols, -1.0, block, lda, from, 1, 1.0, to, 1);
    else if (t == CblasNoTrans)
      cblas_dgemm(CblasColMajor, CblasNoTrans, CblasNoTrans, rows, m, cols, -1.0, block, lda, from, n, 1.0, to, n);
    else
      cblas_dgemm(CblasColMajor, CblasTrans, CblasNoTrans, cols, m, rows, -1.0, block, lda, from, n, 1.0, to, n);
  };
  auto diagonal = [&](CBLAS_UPLO uplo, CBLAS_TRANSPOSE t, CBLAS_DIAG d, int k, int kb) {
    if (m == 1)
      cblas_dtrsv(CblasColMajor, uplo, t, d, kb, at(k, k), lda, x + k, 1);
    else
      cblas_dtrsm(CblasColMajor, CblasLeft, uplo, t, d, kb, m, 1.0, at(k, k), lda, x + k, n);
  };
  auto interchange = [&](bool backwards) {
    for (int c = 0; c < m; ++c) {
      double* y = x + static_cast<std::size_t>(c) * nn;
      if (backwards) {
        for (int i = n - 1; i >= 0; --i)
          if (pivots[i] - 1 != i) std::swap(y[i], y[pivots[i] - 1]);
      } else {
        for (int i = 0; i < n; ++i)
          if (pivots[i] - 1 != i) std::swap(y[i], y[pivots[i] - 1]);
      }
    }
  };
  if (!transposed) {
    // P L U x = b: the interchanges, L forward, U backward.
    interchange(false);
    for (int k = 0; k < n; k += kBlock) {
      const int kb = std::min(kBlock, n - k);
      diagonal(CblasLower, CblasNoTrans, CblasUnit, k, kb);
      if (k + kb < n) update(CblasNoTrans, n - k - kb, kb, at(k + kb, k), x + k, x + k + kb);
    }
    for (int k = (n - 1) / kBlock * kBlock; k >= 0; k -= kBlock) {
      const int kb = std::min(kBlock, n - k);
      diagonal(CblasUpper, CblasNoTrans, CblasNonUnit, k, kb);
      if (k > 0) update(CblasNoTrans, k, kb, at(0, k), x + k, x);
    }
    return;
  }
  // U^T L^T P^T x = b: U^T forward, L^T backward, the interchanges in
  // reverse. Each block's update reads whole column pieces.
  for (int k = 0; k < n; k += kBlock) {
    const int kb = std::min(kBlock, n - k);
    if (k > 0) update(CblasTrans, k, kb, at(0, k), x, x + k);
    diagonal(CblasUpper, CblasTrans, CblasNonUnit, k, kb);
  }
  for (int k = (n - 1) / kBlock * kBlock; k >= 0; k -= kBlock) {
    const int kb = std::min(kBlock, n - k);
    if (k + kb < n) update(CblasTrans, n - k - kb, kb, at(k + kb, k), x + k + kb, x + k);
    diagonal(CblasLower, CblasTrans, CblasUnit, k, kb);
  }
  interchange(true);
}

}  // namespace blas
