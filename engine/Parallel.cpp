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
  const long long parts = std::min<long long>(WorkerThreads(), count);
  if (parts <= 1) {
    fn(0, count);
    return;
  }
  std::vector<std::exception_ptr> errors(static_cast<size_t>(parts));
  auto run = [&](long long part) {
    const long long begin = count * part / parts, end = count * (part + 1) / parts;
    try {
      fn(begin, end);
    } catch (...) {
      errors[static_cast<size_t>(part)] = std::current_exception();
    }
  };
  std::vector<std::thread> workers;
  workers.reserve(static_cast<size_t>(parts - 1));
  for (long long p = 1; p < parts; ++p) workers.emplace_back(run, p);
  run(0);
  for (auto& w : workers) w.join();
  for (auto& e : errors)
    if (e) std::rethrow_exception(e);
}
