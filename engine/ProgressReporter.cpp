#include "engine/ProgressReporter.h"

int ProgressPercent(long long position, long long lower, long long upper) {
  if (upper == lower) return 0;
  long long percent = (position - lower) * 100 / (upper - lower);
  if (percent != 100) percent %= 100;
  return static_cast<int>(percent);
}
