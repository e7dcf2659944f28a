#pragma once
// A minimal fork-join loop for the embarrassingly parallel parts (matrix
// fill, field evaluation). Every item is computed the same way whichever
// thread takes it, so results never depend on the number of threads.

#include <functional>

// Threads used by ParallelFor: the machine's cores unless set otherwise.
int WorkerThreads();
// 0 restores the default; used by tests and benchmarks.
void SetWorkerThreads(int threads);

// Calls fn(begin, end) on disjoint blocks of [0, count) covering it, from
// the calling thread and helpers. An exception from a block is rethrown here.
void ParallelFor(long long count, const std::function<void(long long, long long)>& fn);
