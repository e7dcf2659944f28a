#include "engine/Parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <vector>

namespace {
std::atomic<int> configuredThreads{0};
}

int WorkerThreads() {
  const int set = configuredThreads.load();
  if (set > 0) return set;
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

void SetWorkerThreads(int threads) { configuredThreads.store(std::max(0, threads)); }

void ParallelFor(long long count, const std::function<void(long long, long long)>& fn) {
  if (count <= 0) return;
  const long long threads = std::min<long long>(WorkerThreads(), count);
  if (threads <= 1) {
    fn(0, count);
    return;
  }
  // Items can differ in cost (a dielectric row costs twice a conductor row),
  // so the threads take small blocks from a common counter instead of one
  // fixed share each.
  const long long block = std::max<long long>(1, count / (threads * 8));
  std::atomic<long long> next{0};
  std::vector<std::exception_ptr> errors(static_cast<size_t>(threads));
  auto run = [&](long long t) {
    try {
      for (long long begin; (begin = next.fetch_add(block)) < count;) fn(begin, std::min(count, begin + block));
    } catch (...) {
      errors[static_cast<size_t>(t)] = std::current_exception();
      next.store(count);  // the others stop at their next block
    }
  };
  std::vector<std::thread> workers;
  workers.reserve(static_cast<size_t>(threads - 1));
  for (long long t = 1; t < threads; ++t) workers.emplace_back(run, t);
  run(0);
  for (auto& w : workers) w.join();
  for (auto& e : errors)
    if (e) std::rethrow_exception(e);
}
