#pragma once
// Dense LU through OpenBLAS's LAPACK, and the choice of its kernel and
// threads.

#include <cstddef>
#include <string>

namespace blas {

// LU factorisation with partial pivoting (the first row of largest
// magnitude) of the column-major n x n matrix `a` (leading dimension n), in
// place, by LAPACK's dgetrf. `pivots` receives its 1-based row interchanges.
// Returns false on an exactly zero pivot.
bool LuFactor(double* a, std::size_t n, int* pivots);

// Solves with the factors of LuFactor (or of any LU with its pivots) held
// with leading dimension `ld` >= n, for m right-hand sides in `b`
// (column-major, leading dimension n), in place; with the transposed matrix
// when asked.
void LuSolve(const double* lu, std::size_t n, std::size_t ld, const int* pivots, double* b, std::size_t m,
             bool transposed = false);
// The same for one right-hand side, in blocks whose updates run on all BLAS
// threads: LAPACK's one-vector solve reads the factors on a single thread,
// a third slower where memory, not arithmetic, sets the pace. Rounds
// differently from LuSolve; for estimates, not for the run's charges.
void LuSolveVector(const double* lu, std::size_t n, std::size_t ld, const int* pivots, double* x,
                   bool transposed = false);
// The same for m right-hand sides (column-major, leading dimension n): the
// updates read each block of the factors once for all of them (one pass
// over the factors for a few columns, where LuSolve's small-m path is
// slower than that).
void LuSolveVectors(const double* lu, std::size_t n, std::size_t ld, const int* pivots, double* x, std::size_t m,
                    bool transposed = false);
// Threads BLAS uses (set once, explicitly, to the machine's cores).
int Threads();
// Sets them (0: the machine's cores again); for runs that go side by side,
// one thread each.
void SetThreads(int threads);
// While one lives, every BLAS call runs on the calling thread alone, so
// that several threads of ours can call the BLAS side by side; `Threads()`
// tells how many BLAS threads there were before. Several at once (from
// different threads) share the setting; the last one out restores it.
class OwnThreadsOnly {
 public:
  OwnThreadsOnly();
  ~OwnThreadsOnly();
  OwnThreadsOnly(const OwnThreadsOnly&) = delete;
  OwnThreadsOnly& operator=(const OwnThreadsOnly&) = delete;
  int Threads() const { return threads_; }

 private:
  int threads_;
};
// Name of the kernel OpenBLAS chose for this processor.
std::string CoreName();

// OpenBLAS picks its kernel when it loads and does not recognise some
// AVX-512 processors, falling back to a kernel three to four times slower.
// When the processor has AVX-512 (F, DQ, BW, VL), the user has not set
// OPENBLAS_CORETYPE and a non-AVX-512 kernel was chosen, re-executes the
// program once with OPENBLAS_CORETYPE=SkylakeX. Call first thing in main.
void SelectBestKernel(int argc, char** argv);
// Shortens the spinning of OpenBLAS's idle threads (2^22 cycles instead of
// 2^28) unless the user set OPENBLAS_THREAD_TIMEOUT; SelectBestKernel calls
// it. Only while no BLAS call is under way (first thing in main).
void ShortenIdleSpin();

}  // namespace blas
