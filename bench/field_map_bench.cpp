// Field map and field lines of a solved system: the time until the first
// (coarse) picture and until the whole map, as the desktop program would
// compute them in the background.
//
//   kalvor-fieldmap-bench [--system FILE] [--earth] [--size WxH] [--lines N]
//
// Without --system it builds the 2000-unknown system of make_system.py
// (ten spheres on dielectric rings above the earth).

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/FieldCalc.h"
#include "engine/FieldLines.h"
#include "engine/FieldMap.h"
#include "engine/Parallel.h"

namespace {

std::string GeneratedSystem(int target) {
  const int bodies = 10, perBody = target / bodies, spherePoints = perBody / 2,
            postPoints = (perBody - spherePoints) / 2;
  std::ostringstream s;
  char line[256];
  for (int k = 0; k < bodies; ++k) {
    const double yc = 20.0 + 12.0 * k, u = k % 2 == 0 ? 100.0 : -100.0;
    std::snprintf(line, sizeof line, "Me; %d ; 1 ;    ; 1.0 ;\t\tc; 0.000 ; %.3f ; 4.000 ; 90.00000 ; -90.00000 ; %.3f ;%3d ; 1.0000 ;\n",
                  10 + k, yc, u, spherePoints);
    s << line;
    std::snprintf(line, sizeof line, "De; %d ; 1 ;4.0 ; 1.0 ;\t\tl; 6.000 ; %.3f ; 6.000 ; %.3f ;%3d ; 1.0000 ;\n",
                  100 + k, yc + 3.0, yc - 3.0, postPoints);
    s << line;
  }
  return s.str();
}

double Since(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace

int main(int argc, char** argv) {
  std::string system;
  bool earth = false;
  int width = 400, height = 400, lines = 10;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--system") && i + 1 < argc) system = argv[++i];
    else if (!std::strcmp(argv[i], "--earth")) earth = true;
    else if (!std::strcmp(argv[i], "--size") && i + 1 < argc) std::sscanf(argv[++i], "%dx%d", &width, &height);
    else if (!std::strcmp(argv[i], "--lines") && i + 1 < argc) lines = std::atoi(argv[++i]);
    else {
      std::fprintf(stderr, "usage: kalvor-fieldmap-bench [--system FILE] [--earth] [--size WxH] [--lines N]\n");
      return 2;
    }
  }
  FieldCalc calc;
  if (system.empty()) {
    std::istringstream in(GeneratedSystem(2000));
    calc.ReadSystem(in);
    earth = true;
  } else {
    std::ifstream in(system, std::ios::binary);
    calc.ReadSystem(in);
  }
  CalcParameters p = calc.Parameters();
  p.UseEarth = earth;
  calc.SetParameters(p);
  calc.Place();
  if (!calc.ErrorCode()) calc.FillMatrix();
  if (!calc.ErrorCode()) calc.SolveCharges(false);
  if (calc.ErrorCode()) {
    std::fprintf(stderr, "calculation failed: %s\n", calc.FullErrorText().c_str());
    return 1;
  }
  std::printf("unknowns %lld, charges %zu, earth %s, threads %d\n", calc.Unknowns(), calc.Charges().size(),
              earth ? "on" : "off", WorkerThreads());

  FieldMap map(DefaultMapRect(calc), width, height);
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t cpuStart = std::clock();
  MapCallbacks cb;
  cb.onPass = [&](const FieldMap& m) {
    std::printf("map %dx%d pass stride %2d ready at %.3f s wall, %.3f s CPU\n", width, height, m.Stride(), Since(start),
                double(std::clock() - cpuStart) / CLOCKS_PER_SEC);
    std::fflush(stdout);
  };
  ComputeFieldMap(calc, map, cb);
  const double mapSeconds = Since(start);
  // CPU time over all threads: on a shared machine wall time shows the
  // load; CPU time divided by the cores shows what a free machine gives.
  const double mapCpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  std::printf("map complete %.3f s wall, %.3f s CPU (%.2f us CPU per point)\n", mapSeconds, mapCpu,
              mapCpu / (double(width) * height) * 1e6);

  FieldLineOptions opt;
  opt.extent = DefaultMapRect(calc, 1.0);
  const auto starts = DefaultFieldLineStarts(calc, lines);
  std::vector<FieldLine> traced;
  const auto lineStart = std::chrono::steady_clock::now();
  const std::clock_t lineCpu = std::clock();
  TraceFieldLines(calc, starts, opt, traced);
  size_t points = 0;
  for (const FieldLine& l : traced) points += l.points.size();
  std::printf("field lines %zu (%zu points) %.3f s wall, %.3f s CPU\n", traced.size(), points, Since(lineStart),
              double(std::clock() - lineCpu) / CLOCKS_PER_SEC);
  return 0;
}
