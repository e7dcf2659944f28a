// Regions of the plane, field maps, equipotentials and field lines against
// analytic answers and against the result files.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>

#include <unistd.h>

#include "engine/FieldLines.h"
#include "engine/FieldMap.h"
#include "engine/PlaneRegions.h"
#include "model/Line.h"
#include "model/TextFormat.h"
#include "TestSystems.h"

namespace {

namespace fs = std::filesystem;

void LoadExample(FieldCalc& calc, const std::string& name) {
  std::ifstream in(std::string(KALVOR_EXAMPLES) + "/" + name, std::ios::binary);
  ASSERT_TRUE(in) << name;
  calc.Reset(true);
  calc.ReadSystem(in);
  ASSERT_EQ(calc.ErrorCode(), FieldCalc::kNoError);
}

struct Probe {
  double x, y;
  int region;
  bool conductor;
};

void ExpectRegions(const PlaneRegions& regions, const std::vector<Probe>& probes) {
  for (const Probe& p : probes) {
    const PointRegion r = regions.Locate(p.x, p.y);
    EXPECT_EQ(r.region, p.region) << p.x << ", " << p.y;
    EXPECT_EQ(r.conductor, p.conductor) << p.x << ", " << p.y;
  }
}

TEST(PlaneRegions, EveryExampleNearCornersAndOnTheAxis) {
  FieldCalc calc;
  LoadExample(calc, "sphere-plane.txt");
  testsys::With(calc, [](CalcParameters& p) { p.UseEarth = true; });
  {
    const PlaneRegions regions(calc);
    ExpectRegions(regions, {{0, 15, 1, true},      {3, 15, 1, true},      {6, 15, 2, false},
                            {0, 25, 2, false},     {0, 5, 2, false},      {0, 20.001, 2, false},
                            {0, 19.999, 1, true},  {0, 10.001, 1, true},  {0, 9.999, 2, false},
                            {0.001, 20.001, 2, false}, {-3, 15, 1, true}, {20, 0.5, 2, false}});
    const PointRegion inside = regions.Locate(1, 14);
    EXPECT_DOUBLE_EQ(inside.potential, 100.0);
    EXPECT_EQ(inside.generatrix, 0);
    const PointRegion earth = regions.Locate(3, -0.5);
    EXPECT_TRUE(earth.conductor && earth.earth);
    EXPECT_EQ(earth.region, PlaneRegions::kEarthRegion);
    EXPECT_EQ(earth.potential, 0.0);
  }
  LoadExample(calc, "rod-support.txt");
  testsys::With(calc, [](CalcParameters& p) { p.UseEarth = true; });
  {
    const PlaneRegions regions(calc);
    ExpectRegions(regions, {
                               {0.5, 20, 1, true},         {1.001, 20, 2, false},     // rod side
                               {0.999, 29.999, 1, true},   {1.001, 30.001, 2, false},  // rod top, rounded
                               {0.5, 30.5, 1, true},       {0.8, 30.8, 2, false},
                               {1.001, 29.999, 2, false},
                               {0, 31.01, 2, false},       {0, 30.99, 1, true},        // top on the axis
                               {0.999, 5, 1, true},        {1.001, 5, 2, false},       // line meets tip
                               {0, 4.001, 1, true},        {0, 3.999, 2, false},       // tip on the axis
                               {5, 1, 3, false},           {5, 2.001, 2, false},       // plate
                               {9.5, 1.5, 3, false},       {9.8, 1.8, 2, false},       // plate edge, rounded
                               {9.999, 0.5, 3, false},     {10.001, 2.001, 2, false},
                               {10.001, 1.999, 2, false},  {9.999, 2.001, 2, false},
                               {0, 1, 3, false},           {0, 3, 2, false},           // axis through plate
                               {30, 40, 2, false},
                           });
    EXPECT_TRUE(regions.Locate(5, -0.001).earth);
    EXPECT_DOUBLE_EQ(regions.Locate(0.2, 10).potential, 50.0);
  }
  LoadExample(calc, "floating-sphere.txt");
  {
    const PlaneRegions regions(calc);
    ExpectRegions(regions, {{0, 10, 3, true},     {2.999, 10, 3, true},  {3.001, 10, 2, false},  // arcs meet
                            {0, 13.001, 2, false}, {0, 12.999, 3, true}, {0, 20, 4, false},
                            {1.9, 20, 4, false},   {2.001, 20, 2, false}, {0, 22.001, 2, false},
                            {0, 17.999, 2, false}, {0, 15, 2, false},     {0, 0, 2, false}});
    double x1, y1, x2, y2;
    regions.Bounds(x1, y1, x2, y2);
    EXPECT_NEAR(x1, 0, 1e-12);
    EXPECT_NEAR(y1, 7, 1e-12);
    EXPECT_NEAR(x2, 3, 1e-12);
    EXPECT_NEAR(y2, 22, 1e-12);
  }
}

TEST(FieldMap, IsolatedSphereMatchesURoverRAndMarksTheConductor) {
  const double U = 100.0, R = 5.0;
  FieldCalc calc;
  testsys::Load(calc, testsys::Sphere(0.0, U, 30, 3.0));
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  FieldMap map({-20, -20, 20, 20}, 81, 81);
  int passes = 0;
  double lastFraction = 0.0;
  MapCallbacks cb;
  cb.onPass = [&](const FieldMap& m) {
    ++passes;
    EXPECT_GE(m.Stride(), 1);
  };
  cb.onProgress = [&](double f) {
    EXPECT_GE(f, lastFraction);
    lastFraction = f;
  };
  ASSERT_EQ(ComputeFieldMap(calc, map, cb), MapStatus::kComplete);
  EXPECT_GE(passes, 2);  // coarse first
  EXPECT_DOUBLE_EQ(lastFraction, 1.0);
  int inside = 0, outside = 0;
  for (int j = 0; j < map.Height(); ++j)
    for (int i = 0; i < map.Width(); ++i) {
      const MapPoint& p = map.At(i, j);
      const double r = std::hypot(map.X(i), map.Y(j));
      ASSERT_TRUE(p.exact);
      if (r < R * 0.999) {
        ++inside;
        EXPECT_TRUE(p.conductor);
        EXPECT_EQ(p.phi, U);
        EXPECT_EQ(p.e, 0.0);
      } else if (r > R * 1.05) {
        ++outside;
        EXPECT_FALSE(p.conductor);
        EXPECT_NEAR(p.phi, U * R / r, 1e-3 * U) << map.X(i) << ", " << map.Y(j);
        EXPECT_NEAR(p.e, U * R / (r * r), 2e-3 * U * R / (r * r));
        EXPECT_EQ(p.region, 2);
      }
    }
  EXPECT_GT(inside, 100);
  EXPECT_GT(outside, 5000);

  EXPECT_EQ(ContourLevels(0, U, 25), (std::vector<double>{0, 25, 50, 75, 100}));
  // The equipotential at U/2 is the circle r = 2R.
  const auto contours = ExtractContours(map, {U / 2});
  ASSERT_FALSE(contours.empty());
  size_t count = 0;
  for (const Polyline& c : contours)
    for (size_t k = 0; k < c.x.size(); ++k, ++count) EXPECT_NEAR(std::hypot(c.x[k], c.y[k]), 2 * R, 0.05);
  EXPECT_GT(count, 50u);
  EXPECT_EQ(contours.size(), 1u);
  EXPECT_TRUE(contours[0].closed);

  // A stop request ends the computation between chunks.
  std::atomic<bool> stop{true};
  FieldMap stopped({-20, -20, 20, 20}, 81, 81);
  MapCallbacks halt;
  halt.stop = &stop;
  EXPECT_EQ(ComputeFieldMap(calc, stopped, halt), MapStatus::kStopped);
  FieldCalc unsolved;
  EXPECT_EQ(ComputeFieldMap(unsolved, stopped), MapStatus::kNoSolution);
}

TEST(FieldMap, InsideADielectricSphereTheFieldIsThreeE0OverEpsPlusTwo) {
  const double eps = 6.0, E0 = 10.0, R = 5.0;
  FieldCalc calc;
  testsys::Load(calc, "De; 4 ; 2 ; 6.0 ; 1.0 ;\t\tc; 0 ; 0 ; 5 ; 90 ; -90 ; 40 ; 3 ;\n");
  testsys::With(calc, [&](CalcParameters& p) { p.ExternalField = E0; });
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  FieldMap map({0, -6, 6, 6}, 31, 61);
  ASSERT_EQ(ComputeFieldMap(calc, map), MapStatus::kComplete);
  const double expected = 3 * E0 / (eps + 2);
  int checked = 0;
  for (int j = 0; j < map.Height(); ++j)
    for (int i = 0; i < map.Width(); ++i) {
      const double r = std::hypot(map.X(i), map.Y(j));
      if (r > 0.9 * R) continue;
      const MapPoint& p = map.At(i, j);
      EXPECT_EQ(p.region, 4);
      EXPECT_NEAR(p.e, expected, 2e-3 * expected) << map.X(i) << ", " << map.Y(j);
      ++checked;
    }
  EXPECT_GT(checked, 300);
}

// The map is evaluated with the code of the result files: at the points of
// 01space.dat and 01.dat it prints the same digits.
TEST(FieldMap, AgreesWithTheResultFilesToTheLastDigit) {
  FieldCalc calc;
  LoadExample(calc, "sphere-plane.txt");
  const fs::path dir = fs::temp_directory_path() / ("kalvor-fieldview-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  testsys::With(calc, [&](CalcParameters& p) { p.UseEarth = true; });
  SurfParams gp;
  gp.innerRegion = 2;
  gp.pointCount = 49;
  testsys::AddGapCurve(calc, std::make_unique<Line>(gp, 0.0, 0.0, 0.0, 10.0));
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  calc.WriteGapResults(dir.string());
  ASSERT_EQ(calc.ErrorCode(), FieldCalc::kNoError);
  FieldMap map({0, 0, 1, 10}, 2, 51);
  ASSERT_EQ(ComputeFieldMap(calc, map, {}, false), MapStatus::kComplete);
  std::ifstream in(dir / "01space.dat", std::ios::binary);
  std::string row;
  std::getline(in, row);  // header
  for (int j = 0; j < 51; ++j) {
    ASSERT_TRUE(std::getline(in, row));
    const MapPoint& p = map.At(0, j);
    EXPECT_EQ(row, text::Format("%13.1f %13.1f %13.5f %13.5f %13.5f\r", map.X(0), map.Y(j), p.phi, p.ex, p.ey));
  }
  // On the sphere's surface (its poles lie on the grid) the map takes the
  // outer side, as 01.dat does.
  calc.WriteSurfaceResults(dir.string(), 1);
  ASSERT_EQ(calc.ErrorCode(), FieldCalc::kNoError);
  FieldMap poles({0, 10, 1, 20}, 2, 11);
  ASSERT_EQ(ComputeFieldMap(calc, poles, {}, false), MapStatus::kComplete);
  std::ifstream surface(dir / "01.dat", std::ios::binary);
  std::vector<std::string> rows;
  for (std::string line; std::getline(surface, line);) rows.push_back(line);
  ASSERT_EQ(rows.size(), 63u);  // header, 60 contour points and the two ends
  auto values = [](const std::string& r) {  // Fi, Ex, Ey of an arc row
    std::istringstream in(r);
    double alfa, x, y, fi, en, ex, ey;
    in >> alfa >> x >> y >> fi >> en >> ex >> ey;
    return text::Format("%.5f %.5f %.5f", fi, ex, ey);
  };
  const MapPoint& top = poles.At(0, 10);
  const MapPoint& bottom = poles.At(0, 0);
  EXPECT_FALSE(top.conductor);
  EXPECT_EQ(values(rows[1]), text::Format("%.5f %.5f %.5f", top.phi, top.ex, top.ey));
  EXPECT_EQ(values(rows.back()), text::Format("%.5f %.5f %.5f", bottom.phi, bottom.ex, bottom.ey));
  fs::remove_all(dir);
}

TEST(FieldLines, IsolatedSphereLinesAreRadial) {
  FieldCalc calc;
  testsys::Load(calc, testsys::Sphere(0.0, 100.0, 30, 3.0));
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  const auto starts = DefaultFieldLineStarts(calc, 8);
  ASSERT_EQ(starts.size(), 8u);
  FieldLineOptions opt;
  opt.extent = {0, -30, 30, 30};
  std::vector<FieldLine> lines;
  int seen = 0;
  FieldLineCallbacks cb;
  cb.onLine = [&](int index, const FieldLine&) { EXPECT_EQ(index, seen++); };
  ASSERT_EQ(TraceFieldLines(calc, starts, opt, lines, cb), MapStatus::kComplete);
  ASSERT_EQ(lines.size(), 8u);
  for (const FieldLine& line : lines) {
    EXPECT_EQ(line.end, LineEnd::kBorder);
    EXPECT_EQ(LineEndText(line), "border");
    const double th0 = std::atan2(line.points.front().y, line.points.front().x);
    EXPECT_NEAR(std::hypot(line.points.front().x, line.points.front().y), 5.0, 1e-5);
    for (const FieldLinePoint& p : line.points) EXPECT_NEAR(std::atan2(p.y, p.x), th0, 1e-3);
    const FieldLinePoint& last = line.points.back();
    EXPECT_TRUE(std::fabs(last.x - 30) < 1e-9 || std::fabs(std::fabs(last.y) - 30) < 1e-9);
  }
}

TEST(FieldLines, SpherePlaneLinesRunFromTheSphereToThePlane) {
  FieldCalc calc;
  LoadExample(calc, "sphere-plane.txt");
  testsys::With(calc, [](CalcParameters& p) { p.UseEarth = true; });
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  const auto starts = DefaultFieldLineStarts(calc, 12);
  ASSERT_EQ(starts.size(), 12u);
  FieldLineOptions opt;
  opt.extent = {0, 0, 600, 600};  // lines from the top go far out before they turn down
  std::vector<FieldLine> lines;
  ASSERT_EQ(TraceFieldLines(calc, starts, opt, lines), MapStatus::kComplete);
  for (const FieldLine& line : lines) {
    const FieldLinePoint& first = line.points.front();
    EXPECT_NEAR(std::hypot(first.x, first.y - 15), 5.0, 1e-5);
    EXPECT_EQ(line.startGeneratrix, 0);
    // The lines next to the top pole rise beyond any finite extent before
    // they turn down; every other line reaches the plane inside it.
    if (std::atan2(first.x, first.y - 15) < 0.3) {
      EXPECT_EQ(line.end, LineEnd::kBorder);
      continue;
    }
    EXPECT_EQ(line.end, LineEnd::kEarth) << first.x << ", " << first.y;
    EXPECT_EQ(LineEndText(line), "earth");
    EXPECT_NEAR(line.points.back().y, 0.0, 1e-6);
    // Along the line the potential falls from the sphere's to the earth's.
    EXPECT_GT(first.e, 0.0);
  }
  EXPECT_EQ(DefaultFieldLineStarts(calc, 0).size(), 0u);
}

TEST(FieldLines, LinesBetweenTwoElectrodesEndOnTheOther) {
  // Spheres at +100 and -100 kV, each line from one ends on the other (or
  // leaves the picture from near the far poles).
  FieldCalc calc;
  testsys::Load(calc, testsys::Sphere(15.0, 100.0, 30, 3.0) +
                          "Me; 3 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; -15 ; 5.000 ; 90.00000 ; -90.00000 ; -100 ; 30 ; 3 ;\n");
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  const auto starts = DefaultFieldLineStarts(calc, 6);
  ASSERT_EQ(starts.size(), 12u);
  EXPECT_EQ(starts[0].direction, 1);   // out of the positive sphere along E
  EXPECT_EQ(starts[6].direction, -1);  // out of the negative one against E
  FieldLineOptions opt;
  opt.extent = {0, -100, 100, 100};
  std::vector<FieldLine> lines;
  ASSERT_EQ(TraceFieldLines(calc, starts, opt, lines), MapStatus::kComplete);
  int between = 0;
  for (const FieldLine& line : lines) {
    if (line.end == LineEnd::kBorder) continue;
    ++between;
    EXPECT_EQ(line.end, LineEnd::kElectrode);
    EXPECT_EQ(line.endGeneratrix, 1 - line.startGeneratrix);
    EXPECT_EQ(LineEndText(line), line.startGeneratrix == 0 ? "electrode 2" : "electrode 1");
    const FieldLinePoint& last = line.points.back();
    EXPECT_NEAR(std::hypot(last.x, last.y - (line.startGeneratrix == 0 ? -15 : 15)), 5.0, 1e-6);
  }
  EXPECT_GE(between, 8);
}

// An uncharged conductor sphere (radius R) in a uniform field E0: the exact
// field lines keep the stream function (r^2 + 2R^3/r) sin^2(theta) of their
// start on the surface, 3R^2 sin^2(theta0), and so bend around the sphere
// into the uniform field, rho -> sqrt(3) R sin(theta0) far away.
TEST(FieldLines, AFloatingSphereInAUniformFieldSendsOutTheExactLines) {
  constexpr double R = 3.0, yc = 10.0;
  FieldCalc calc;
  testsys::Load(calc,
                "Me; 3 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 10.000 ; 3.000 ; 90.00000 ; 0.00000 ;x ; 40 ; 2.0000 ;\n"
                "Me; 3 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 10.000 ; 3.000 ; 0.00000 ; -90.00000 ;x ; 40 ; 2.0000 ;\n");
  testsys::With(calc, [](CalcParameters& p) { p.ExternalField = 10.0; });
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  const auto starts = DefaultFieldLineStarts(calc, 6);
  ASSERT_EQ(starts.size(), 12u);
  FieldLineOptions opt;
  opt.extent = {0, yc - 30, 30, yc + 30};
  std::vector<FieldLine> lines;
  ASSERT_EQ(TraceFieldLines(calc, starts, opt, lines), MapStatus::kComplete);
  for (const FieldLine& line : lines) {
    EXPECT_EQ(line.end, LineEnd::kBorder);
    const FieldLinePoint& first = line.points.front();
    const double r0 = std::hypot(first.x, first.y - yc);
    EXPECT_NEAR(r0, R, 1e-5);
    const double psi0 = 3 * R * R * (first.x / r0) * (first.x / r0);
    int checked = 0;
    for (const FieldLinePoint& p : line.points) {
      const double r = std::hypot(p.x, p.y - yc);
      if (r > 4 * R) break;
      const double s = p.x / r;
      EXPECT_NEAR((r * r + 2 * R * R * R / r) * s * s, psi0, 5e-4 * psi0) << "at (" << p.x << "; " << p.y << ")";
      ++checked;
    }
    EXPECT_GT(checked, 5);
  }
}

// Where a line crosses a dielectric interface the field on both sides keeps
// its tangential E and normal D, and the line turns with it.
TEST(FieldLines, LineRefractsAtADielectricPlate) {
  // A sphere at 100 kV over a plate (eps 4, 2 cm thick) on the earth.
  FieldCalc calc;
  testsys::Load(calc,
                "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0 ; 15 ; 5 ; 90 ; -90 ; 100 ; 40 ; 2 ;\n"
                "De; 3 ; 2 ; 4.0 ; 1.0 ;\t\tl; 0 ; 2 ; 20 ; 2 ; 100 ; 1.5 ;\n"
                "De; 3 ; 2 ; 4.0 ; 1.0 ;\t\tl; 20 ; 2 ; 20 ; 0 ; 10 ; 1.5 ;\n");
  testsys::With(calc, [](CalcParameters& p) { p.UseEarth = true; });
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  FieldLineOptions opt;
  opt.extent = {0, 0, 400, 400};
  std::vector<FieldLine> lines;
  ASSERT_EQ(TraceFieldLines(calc, DefaultFieldLineStarts(calc, 12), opt, lines), MapStatus::kComplete);
  int crossings = 0;
  for (const FieldLine& line : lines) {
    if (line.end != LineEnd::kEarth) continue;  // from the top pole: out through the border
    size_t k = 0;
    while (k + 1 < line.points.size() && line.points[k + 1].y > 2.0) ++k;
    ASSERT_LT(k + 1, line.points.size());
    const auto& a = line.points[k];
    const auto& b = line.points[k + 1];
    const double xc = a.x + (b.x - a.x) * (a.y - 2.0) / (a.y - b.y);
    if (xc < 1.0 || xc > 9.0) continue;  // where the plate is finely discretised
    ++crossings;
    const double d = 1e-6;
    double phiA, exA, eyA, phiP, exP, eyP;
    calc.FieldAt(2, xc, 2.0 + d, &phiA, &exA, &eyA);
    calc.FieldAt(3, xc, 2.0 - d, &phiP, &exP, &eyP);
    const double scale = std::hypot(exA, eyA);
    EXPECT_NEAR(exA, exP, 1e-3 * scale);        // tangential E
    EXPECT_NEAR(eyA, 4.0 * eyP, 1e-3 * scale);  // normal D
    EXPECT_GT(std::fabs(std::atan2(exA, eyA) - std::atan2(exP, eyP)), 0.02);  // it does bend
    // The traced line follows E on each side of the interface.
    auto direction = [&](size_t i) {
      return std::atan2(line.points[i + 1].x - line.points[i].x, line.points[i + 1].y - line.points[i].y);
    };
    auto fieldDirection = [&](size_t i, int region) {
      const double xm = 0.5 * (line.points[i].x + line.points[i + 1].x);
      const double ym = 0.5 * (line.points[i].y + line.points[i + 1].y);
      double phi, ex, ey;
      calc.FieldAt(region, xm, ym, &phi, &ex, &ey);
      return std::atan2(ex, ey);  // along E, towards lower potential
    };
    ASSERT_GE(k, 1u);
    ASSERT_LT(k + 2, line.points.size());
    EXPECT_NEAR(direction(k - 1), fieldDirection(k - 1, 2), 1e-3);
    EXPECT_NEAR(direction(k + 1), fieldDirection(k + 1, 3), 1e-3);
  }
  EXPECT_GE(crossings, 3);
}

}  // namespace
