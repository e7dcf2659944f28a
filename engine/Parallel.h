#pragma once
// A minimal fork-join loop for the embarrassingly parallel parts (matrix
// fill, field evaluation). Every item is computed the same way whichever
// thread takes it, so results never depend on the number of threads.

#include <atomic>
#include <cstdint>
#include <functional>

// Threads used by ParallelFor: the machine's cores unless set otherwise.
int WorkerThreads();
// 0 restores the default; used by tests and benchmarks.
void SetWorkerThreads(int threads);

// Calls fn(begin, end) on disjoint blocks of [0, count) covering it, from
// the calling thread and helpers. An exception from a block is rethrown here.
void ParallelFor(long long count, const std::function<void(long long, long long)>& fn);

// A run of items [front, back) taken from either end by several threads:
// both ends in one word, so that a take is one compare-and-swap.
class Span {
 public:
  void Reset(long long front, long long back) { ends_.store(Pack(front, back)); }
  long long Left() const {
    const std::uint64_t e = ends_.load();
    return Back(e) - Front(e);
  }
  bool TakeFront(long long& item) {
    for (std::uint64_t e = ends_.load();;) {
      if (Front(e) >= Back(e)) return false;
      if (ends_.compare_exchange_weak(e, Pack(Front(e) + 1, Back(e)))) return item = Front(e), true;
    }
  }
  bool TakeBack(long long& item) {
    for (std::uint64_t e = ends_.load();;) {
      if (Front(e) >= Back(e)) return false;
      if (ends_.compare_exchange_weak(e, Pack(Front(e), Back(e) - 1))) return item = Back(e) - 1, true;
    }
  }

 private:
  static std::uint64_t Pack(long long front, long long back) {
    return static_cast<std::uint64_t>(front) | static_cast<std::uint64_t>(back) << 32;
  }
  static long long Front(std::uint64_t e) { return static_cast<long long>(e & 0xffffffffu); }
  static long long Back(std::uint64_t e) { return static_cast<long long>(e >> 32); }
  std::atomic<std::uint64_t> ends_{0};
};
