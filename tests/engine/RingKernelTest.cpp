// The vectorised ring kernel against the written scalar formula, on every
// instruction set this processor has: the potential and Ez within 1e-12
// relative; Er within 1e-12 of the size of the terms its bracket adds, since
// near the axis and far from a ring the written bracket K + E*(...) cancels
// to O(k^4) and carries no more relative accuracy itself. Result files
// agree within a stated bound (kFileBound). Both bounds hold in the plain
// and in the instrumented build.

#include <gtest/gtest.h>

#include <cctype>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <span>
#include <sstream>
#include <vector>

#include <unistd.h>

#include "engine/CalculationRun.h"
#include "engine/FieldCalc.h"
#include "engine/GapCurves.h"
#include "engine/ProgressReporter.h"
#include "engine/RingField.h"
#include "engine/RingKernel.h"
#include "TestSystems.h"

namespace {

constexpr double kBound = 1e-12;

struct Case {
  double R, r, dz;
};

// The whole input range: ordinary places, the axis and the axis guard
// (r < 1e-4 R), rings of zero radius, the modulus clamp and its edge, the
// ring itself, the singular place, far points and tiny rings.
std::vector<Case> Cases() {
  std::vector<Case> c = {{2, 0, 1},       {2, 1.9e-4, 1},  {2, 2.1e-4, 1}, {0, 3, 4},      {0, 3, 0},
                         {0, 0, 1},       {0, 0, 0},       {2, 2, 0},      {2, 2, 1e-9},   {2, 2.0001, 0},
                         {2, 2.002, 0},   {2, 2.04, 0.01}, {1, 0, 0},      {1e-6, 5, 3},   {5, 1e-6, -3},
                         {1, 1000, 1},    {1, 1, 1e4},     {30, 29.9, 0.3}, {3, 1, -2},     {2, 2.0199, 0.0}};
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(0, 1);
  for (int i = 0; i < 4000; ++i) {
    const double R = std::pow(10.0, -3 + 5 * u(rng));
    // Half of them next to the ring, where the clamp and m1 matter.
    const double r = i % 2 ? std::pow(10.0, -4 + 6 * u(rng)) : R * (1 + 0.05 * (u(rng) - 0.5));
    const double dz = i % 2 ? (u(rng) - 0.5) * std::pow(10.0, -2 + 4 * u(rng)) : R * 0.03 * (u(rng) - 0.5);
    c.push_back({R, r, dz});
  }
  return c;
}

// Scalar reference of one charge at one point: the potential and field, and
// the size of the terms of Er's bracket (Er's own rounding scale).
void Reference(const Case& k, double epsRel, double& phi, double& er, double& ez, double& erScale) {
  const double eps = epsRel * kEps0;
  RingField(true, true, eps, 1.0, k.R, k.r, k.dz, phi, er, ez);
  const double h = k.r * k.R, o = (k.r + k.R) * (k.r + k.R) + k.dz * k.dz;
  const double t = (k.R - k.r) * (k.R - k.r) + k.dz * k.dz;
  const double k2 = RingModulus(h, o), m1 = 1 - k2, K = EllipticK(m1), E = EllipticE(m1);
  const double B = 2 * kPi * kPi * eps;
  if (k.r == 0 || k.r < 1e-4 * k.R || o == 0)
    erScale = 0;
  else if (h == 0)
    erScale = std::fabs(1.0 / (2 * B * k.r * std::sqrt(o))) * (K + E * std::fabs((k.R * k.R - k.r * k.r + k.dz * k.dz) / t));
  else
    erScale = 0.25 / B / std::sqrt(h) * std::sqrt(k2) / k.r * (K + E * (std::fabs((k.r - k.R) * 0.5 / k.R * k2 / m1) + 1));
}

void ExpectWithin(double got, double ref, double scale, const char* what, const Case& k) {
  EXPECT_LE(std::fabs(got - ref), kBound * scale)
      << what << " R=" << k.R << " r=" << k.r << " dz=" << k.dz << " got " << got << " want " << ref;
}

// Every case through both batch entry points, on the current instruction set.
void CheckAllCases() {
  for (const Case& k : Cases()) {
    double phi, er, ez, erScale;
    Reference(k, 2.0, phi, er, ez, erScale);
    // A charge at (R, 0) seen from (r, dz): the sums of one charge.
    const Charge c(k.R, 0.0, 0, 7, 8, false, 1.0);
    const FieldSums s = SumPotentialAndField(&c, 1, 1, k.r, k.dz, 2.0);
    ExpectWithin(s.phi, phi, std::fabs(phi), "phi", k);
    ExpectWithin(s.x, 2.0 * er, 2.0 * erScale, "Er", k);
    ExpectWithin(s.y, 2.0 * ez, 2.0 * std::fabs(ez), "Ez", k);
    if (k.r == 0.0 || k.r < 1e-4 * k.R) {
      EXPECT_EQ(s.x, 0.0);
    }

    // Matrix rows: a conductor point (potential only) and a dielectric
    // point of each side, with the normal along x.
    double p, n;
    ContourPoint cond(k.r, k.dz, 1, 1, 2, 1.0, 2.0, 0.0, 0.0, false);
    CoefficientRow(cond, &c, 1, &p, nullptr);
    ExpectWithin(p, phi, std::fabs(phi), "conductor row", k);
    for (int region : {8, 7, 9}) {  // charge outer, inner, elsewhere
      ContourPoint diel(k.r, k.dz, 0, region == 7 ? 7 : 1, region == 8 ? 7 : 2, 2.0, 5.0, 0.0, 0.0, false);
      CoefficientRow(diel, &c, 1, &p, &n);
      ExpectWithin(p, PotentialCoefficient(c, diel), 1.4 * std::fabs(phi), "dielectric row", k);
      // The normal along x: the normal coefficient is eps*Er (the elsewhere
      // side the difference of two such).
      ExpectWithin(n, NormalFieldCoefficient(c, diel), 2.0 * 2.0 * erScale, "normal row", k);
    }
  }
}

TEST(RingKernel, EveryTermWithinTheBoundOnEveryInstructionSet) {
  const std::vector<long long> targets = ringkernel::AvailableTargets();
  ASSERT_FALSE(targets.empty());
  for (long long t : targets) {
    ringkernel::RestrictTargets(t);
    SCOPED_TRACE(ringkernel::TargetName());
    CheckAllCases();
  }
  ringkernel::RestrictTargets(0);
}

// The fill streams whole cache lines of each column and writes the partial
// ones at either end plainly; with an odd number of unknowns every column
// starts at another offset within its line. Every coefficient of the matrix
// must be the single-charge formula's, on every instruction set (a vector
// width other than the one the fill was tried with would misplace or drop
// values, or fault on an unaligned streaming store).
TEST(RingKernel, EveryCoefficientInPlaceOnEveryInstructionSet) {
  const std::string system = testsys::Sphere(12, 3, 101) +
                             "De; 5 ; 2 ; 3.0 ; 1.0 ;\t\tl; 8 ; 0 ; 8 ; 20 ; 70 ; 1 ;\n";
  for (long long t : ringkernel::AvailableTargets()) {
    ringkernel::RestrictTargets(t);
    SCOPED_TRACE(ringkernel::TargetName());
    FieldCalc calc;
    testsys::Load(calc, system);
    testsys::With(calc, [](CalcParameters& p) { p.UseEarth = true; });
    calc.Place();
    calc.FillMatrix();
    ASSERT_EQ(calc.ErrorCode(), FieldCalc::kNoError);
    const matrixT& a = calc.Coefficients();
    const std::vector<Charge>& charges = calc.Charges();
    ASSERT_EQ(a.RowNo() % 2, 1u);
    size_t row = 0;
    int wrong = 0;
    for (const ContourPoint& cp : calc.Points()) {
      const bool dielectric = cp.material != 1;
      for (int k = 0; k < (dielectric ? 2 : 1); ++k, ++row) {
        std::vector<double> want(charges.size());
        double scale = 0.0;
        for (size_t j = 0; j < charges.size(); ++j) {
          want[j] = k == 0 ? PotentialCoefficient(charges[j], cp) : NormalFieldCoefficient(charges[j], cp);
          scale = std::max(scale, std::fabs(want[j]));
        }
        for (size_t j = 0; j < charges.size(); ++j)
          if (!(std::fabs(a(row, j) - want[j]) <= 1e-11 * scale) && ++wrong < 5)
            ADD_FAILURE() << "row " << row << " charge " << j << ": " << a(row, j) << " instead of " << want[j];
      }
    }
    EXPECT_EQ(row, charges.size());
    EXPECT_EQ(wrong, 0);
  }
  ringkernel::RestrictTargets(0);
}

// The tile goes into the matrix in pieces as the fill computes the next
// one: whatever the cut of the pieces, the tile's shape, the leading
// dimension and the alignment of the destination (streamed whole lines or
// plain stores), every value lands transposed in its place, nothing outside
// the tile is touched and each row's largest magnitude is kept.
TEST(RingKernel, TilePiecesLandTransposedWhateverTheirCutAndAlignment) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(-3, 3);
  for (long long t : ringkernel::AvailableTargets()) {
    ringkernel::RestrictTargets(t);
    SCOPED_TRACE(ringkernel::TargetName());
    for (long long rows : {1, 7, 8, 13, 64, 128})
      for (long long width : {1, 8, 13, 128})
        for (long long ld : {rows, rows + 3, (rows + 7) / 8 * 8 + 8})
          for (long long shift : {0, 1, 5}) {
            const long long stride = width + 8;
            std::vector<double> tile(static_cast<size_t>(rows * stride));
            for (double& v : tile) v = u(rng);
            // Destination starting on a line (shift 0) or values past it:
            // the rows before the next line go out on their own.
            std::vector<double> store(static_cast<size_t>(ld * width + 16), 99.0);
            double* base = store.data();
            while (reinterpret_cast<uintptr_t>(base) % 64 != 0) ++base;
            double* dst = base + shift;
            std::vector<double> rowMax(static_cast<size_t>(rows), 0.5);
            const long long count = ringkernel::StoreBlockCount(rows, width, dst, ld);
            for (long long from = 0; from < count;) {
              const long long to = std::min(count, from + 1 + static_cast<long long>(rng() % 5));
              ringkernel::StoreBlocks(tile.data(), stride, rows, width, dst, ld, rowMax.data(), from, to);
              from = to;
            }
            ringkernel::StoreFence();
            int wrong = 0;
            for (long long j = 0; j < width; ++j)
              for (long long k = 0; k < ld; ++k) {
                const double want = k < rows ? tile[static_cast<size_t>(k * stride + j)] : 99.0;
                if (dst[j * ld + k] != want && ++wrong < 3)
                  ADD_FAILURE() << rows << "x" << width << " ld " << ld << " shift " << shift << ": (" << k << ", "
                                << j << ")";
              }
            for (long long k = 0; k < rows; ++k) {
              double largest = 0.5;
              for (long long j = 0; j < width; ++j)
                largest = std::max(largest, std::fabs(tile[static_cast<size_t>(k * stride + j)]));
              if (rowMax[static_cast<size_t>(k)] != largest && ++wrong < 3)
                ADD_FAILURE() << rows << "x" << width << " ld " << ld << ": largest of row " << k;
            }
            for (const double* v = store.data(); v < store.data() + store.size(); ++v)
              if ((v < dst || v >= dst + ld * width) && *v != 99.0 && ++wrong < 3)
                ADD_FAILURE() << rows << "x" << width << " ld " << ld << ": written outside the columns";
            EXPECT_EQ(wrong, 0);
          }
  }
  ringkernel::RestrictTargets(0);
}

// The fill writes each charge's column straight from lanes of points. Runs
// of conductor points, of dielectric points, points of both kinds in one
// vector, rows that are not one piece, a ragged tail, more points than one
// pass takes, a range of charges not starting at zero, with and without
// earth images: every value is Row's bit for bit, lands in its row, and
// nothing else in the matrix is touched; each row's largest magnitude kept.
TEST(RingKernel, ColumnsAreTheRowsBitForBitWhateverTheMixOfPoints) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(0.0, 10.0);
  for (long long t : ringkernel::AvailableTargets()) {
    ringkernel::RestrictTargets(t);
    SCOPED_TRACE(ringkernel::TargetName());
    // Rows from a line's start on, in a line-aligned block, go out as whole
    // lines (streamed where the machine can); from row 3 as they come.
    for (const long long start : {3ll, 8ll})
    for (bool earth : {false, true})
      for (const char* mix : {"cccccccccccccccccccccccccccccccc", "dddddddddddddddddddddd", "cdcdccddcddd", "c",
                              "ccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccdddddddddddddddd"
                              "ddddcccc"}) {
        SCOPED_TRACE(start);
        const long long np = static_cast<long long>(std::strlen(mix));
        std::vector<ContourPoint> pts;
        std::vector<ringkernel::RowWeights> weights;
        std::vector<long long> rows;
        long long row = start;
        for (long long k = 0; k < np; ++k) {
          const bool dielectric = mix[k] == 'd';
          // Region 1 and 2 meet here; charges below lie in 1, 2 and 3.
          pts.emplace_back(k % 5 == 0 ? 0.0 : u(rng), u(rng) - 5, dielectric ? 2 : 1, 1 + k % 2, 2 - k % 2,
                           2.0, 5.0, u(rng), 0.0, false);
          weights.push_back(RowWeightsFor(pts.back()));
          rows.push_back(row);
          row += (dielectric ? 2 : 1) + (k == 40 ? 5 : 0);  // a gap: rows not one piece
        }
        std::vector<Charge> charges;
        for (int j = 0; j < 45; ++j)
          charges.emplace_back(j == 7 ? 0.0 : u(rng), u(rng) - 5, 1, 1 + j % 3, 2, earth && j % 4 != 0, u(rng) - 5);
        // A charge on a point: the formula's singular place.
        charges[11].x = pts[0].x;
        charges[11].y = pts[0].y;
        const ringkernel::ChargeArrays arrays(charges.data(), 45);
        const long long ld = (row + 4 + 7) / 8 * 8, begin = 8, nc = 45;
        std::vector<double> storage(static_cast<size_t>(ld * nc + 8), 99.0), rowMax(static_cast<size_t>(ld), 0.25);
        double* const aligned = storage.data() + (64 - reinterpret_cast<uintptr_t>(storage.data()) % 64) % 64 / 8;
        std::span<double> matrix(aligned, static_cast<size_t>(ld * nc));
        ringkernel::Columns(pts.data(), weights.data(), rows.data(), np, arrays, begin, nc, matrix.data(), ld,
                            rowMax.data());
        ringkernel::StoreFence();
        std::vector<double> want(matrix.size(), 99.0), wantMax(rowMax.size(), 0.25);
        std::vector<double> p(static_cast<size_t>(nc)), n(static_cast<size_t>(nc));
        for (long long k = 0; k < np; ++k) {
          const bool dielectric = weights[static_cast<size_t>(k)].dielectric;
          ringkernel::Row(pts[static_cast<size_t>(k)], weights[static_cast<size_t>(k)], arrays, begin, nc,
                          p.data(), dielectric ? n.data() : nullptr);
          for (long long j = begin; j < nc; ++j)
            for (int e = 0; e < (dielectric ? 2 : 1); ++e) {
              const long long r = rows[static_cast<size_t>(k)] + e;
              const double v = (e == 0 ? p : n)[static_cast<size_t>(j - begin)];
              want[static_cast<size_t>(j * ld + r)] = v;
              wantMax[static_cast<size_t>(r)] = std::max(wantMax[static_cast<size_t>(r)], std::fabs(v));
            }
        }
        int wrong = 0;
        for (size_t i = 0; i < matrix.size(); ++i)
          if (std::memcmp(&matrix[i], &want[i], sizeof(double)) != 0 && ++wrong < 4)
            ADD_FAILURE() << mix << (earth ? " earth" : "") << ": row " << i % static_cast<size_t>(ld) << " charge "
                          << i / static_cast<size_t>(ld) << ": " << matrix[i] << " instead of " << want[i];
        for (size_t r = 0; r < rowMax.size(); ++r)
          if (rowMax[r] != wantMax[r] && ++wrong < 4) ADD_FAILURE() << mix << ": largest of row " << r;
        EXPECT_EQ(wrong, 0);
      }
  }
  ringkernel::RestrictTargets(0);
}

// Many charges of mixed regions with earth images, summed for two regions,
// against the scalar loop; whole vectors and a ragged tail.
TEST(RingKernel, SumsOverManyChargesMatchTheScalarLoop) {
  std::mt19937 rng(9);
  std::uniform_real_distribution<double> u(0.01, 10);
  std::vector<Charge> charges;
  for (int i = 0; i < 613; ++i) charges.emplace_back(u(rng), u(rng) - 5, 1, 1 + i % 3, 2, i % 2 == 0, u(rng) - 5);
  FieldSums va, vb, sa, sb;
  for (double x : {0.0, 3.3}) {
    SumPotentialAndFieldTwo(charges.data(), 613, x, 2.5, 1, 1.0, &va, 3, 4.0, &vb);
    double absPhi = 0, absField = 0;
    for (const Charge& c : charges) {
      double phi, er, ez;
      RingField(true, true, kEps0, c.q, c.x, x, 2.5 - c.y, phi, er, ez);
      absPhi += std::fabs(phi);
      absField += std::hypot(er, ez);
    }
    SetRingKernelVectorised(false);
    SumPotentialAndFieldTwo(charges.data(), 613, x, 2.5, 1, 1.0, &sa, 3, 4.0, &sb);
    SetRingKernelVectorised(true);
    // Images roughly double the magnitudes summed.
    EXPECT_NEAR(va.phi, sa.phi, 2 * kBound * absPhi);
    EXPECT_NEAR(va.x, sa.x, 2 * kBound * absField);
    EXPECT_NEAR(va.y, sa.y, 2 * kBound * absField);
    EXPECT_NEAR(vb.phi, sb.phi, 2 * kBound * absPhi / 4);
    EXPECT_NEAR(vb.x, sb.x, 2 * kBound * absField);
    EXPECT_NEAR(vb.y, sb.y, 2 * kBound * absField);
  }
}

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs the whole calculation with the control file and the gap curves and
// returns every file it wrote, by name.
std::vector<std::pair<std::string, std::string>> RunAndCollect(const std::string& system, const std::string& gaps,
                                                               bool earth, double field, const fs::path& dir) {
  fs::remove_all(dir);
  fs::create_directories(dir);
  FieldCalc calc;
  testsys::Load(calc, system);
  if (!gaps.empty()) {
    std::istringstream g(gaps);
    CSurfColl curves;
    LoadGapCurves(curves, g);
    calc.SetGapCurves(std::move(curves));
  }
  testsys::With(calc, [&](CalcParameters& p) {
    p.UseEarth = earth;
    p.ExternalField = field;
    p.ControlFilePath = (dir / "ControlCalc.txt").string();
    p.ResultsFolder = dir.string();
    p.ControlCalc = true;
    p.ControlPotentials = true;
    p.PointsBetweenCPs = 3;
  });
  SilentProgress ui;
  bool changed = true;
  EXPECT_TRUE(RunCalculation(calc, changed, ui).success);
  if (!gaps.empty()) {
    EXPECT_EQ(RunGapCalculation(calc, ui), FieldCalc::kNoError);
  }
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& e : fs::directory_iterator(dir)) files.emplace_back(e.path().filename(), ReadAll(e.path()));
  std::sort(files.begin(), files.end());
  fs::remove_all(dir);
  return files;
}

// Numbers of a result file; the text before each one, digits dropped, and
// its column name the quantity ("Charges[]= " 0, or column 3 of a table).
struct Printed {
  std::vector<std::string> text;  // text before number k; one more at the end
  std::vector<double> value, unit;  // the number and one unit of its last printed digit
  std::vector<std::string> label;
};

Printed Numbers(const std::string& s) {
  static const std::regex number(R"([-+]?\d+\.?\d*(?:[eE][-+]?\d+)?)");
  Printed p;
  size_t from = 0;
  int column = 0;
  for (auto it = std::sregex_iterator(s.begin(), s.end(), number); it != std::sregex_iterator(); ++it) {
    const std::string before = s.substr(from, static_cast<size_t>(it->position()) - from);
    p.text.push_back(before);
    const std::string n = it->str();
    p.value.push_back(std::stod(n));
    const size_t dot = n.find('.'), e = n.find_first_of("eE");
    const int decimals = dot == std::string::npos ? 0 : static_cast<int>((e == std::string::npos ? n.size() : e) - dot - 1);
    const int exponent = e == std::string::npos ? 0 : std::stoi(n.substr(e + 1));
    p.unit.push_back(std::pow(10.0, exponent - decimals));
    const size_t eol = before.rfind('\n');
    column = eol == std::string::npos ? column + 1 : 0;
    std::string label = before.substr(eol == std::string::npos ? 0 : eol + 1);
    label.erase(std::remove_if(label.begin(), label.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }),
                label.end());
    p.label.push_back(label + " " + std::to_string(column));
    from = static_cast<size_t>(it->position() + it->length());
  }
  p.text.push_back(s.substr(from));
  return p;
}

// The files of the two paths say the same: the same text, and every number
// within two units of its last printed digit or kFileBound of the largest
// value of its quantity in the file. Rounding differences of 1e-16 reach
// the solution amplified by the matrix's condition; a small charge beside
// large ones may then change in its last printed digit.
constexpr double kFileBound = 1e-12;

void ExpectSameFile(const std::string& name, const std::string& scalarText, const std::string& vectorText) {
  const Printed a = Numbers(scalarText), b = Numbers(vectorText);
  ASSERT_EQ(a.value.size(), b.value.size()) << name;
  std::map<std::string, double> scale;
  for (size_t k = 0; k < a.value.size(); ++k) scale[a.label[k]] = std::max(scale[a.label[k]], std::fabs(a.value[k]));
  // A sign takes the place of a space before a number.
  auto words = [](std::string t) {
    t.erase(std::remove(t.begin(), t.end(), ' '), t.end());
    return t;
  };
  for (size_t k = 0; k < a.text.size(); ++k)
    ASSERT_EQ(words(a.text[k]), words(b.text[k])) << name << ", before number " << k;
  for (size_t k = 0; k < a.value.size(); ++k) {
    const double allowed = std::max(2 * std::max(a.unit[k], b.unit[k]), kFileBound * scale[a.label[k]]);
    EXPECT_LE(std::fabs(a.value[k] - b.value[k]), allowed)
        << name << ": \"" << a.label[k] << "\" number " << k << ": " << a.value[k] << " against " << b.value[k];
  }
}

TEST(RingKernel, ResultFilesAgreeWithTheScalarPathInEveryBuild) {
  struct System {
    std::string text, gaps;
    bool earth;
    double field;
  };
  std::vector<System> systems = {
      {testsys::Sphere(12, 3, 30) + "De; 5 ; 2 ; 3.0 ; 1.0 ;\t\tl; 8 ; 1 ; 8 ; 20 ; 20 ; 1 ;\n", "", true, 0.7},
      {testsys::Sphere(10, 100, 80, 2.0), "", true, 0.0},
      {testsys::Sphere(0, 0, 40) , "", false, 10.0},
  };
  for (const char* name : {"sphere-plane", "rod-support", "floating-sphere"}) {
    const fs::path base = fs::path(KALVOR_EXAMPLES) / name;
    fs::path gap = base;
    gap += ".gap.txt";
    fs::path txt = base;
    txt += ".txt";
    systems.push_back({ReadAll(txt), fs::exists(gap) ? ReadAll(gap) : "", std::string(name) != "floating-sphere",
                       std::string(name) == "floating-sphere" ? 10.0 : 0.0});
  }
  const fs::path dir = fs::temp_directory_path() / ("kalvor-kernel-" + std::to_string(::getpid()));
  for (const System& s : systems) {
    SetRingKernelVectorised(false);
    const auto scalar = RunAndCollect(s.text, s.gaps, s.earth, s.field, dir);
    SetRingKernelVectorised(true);
    const auto vector = RunAndCollect(s.text, s.gaps, s.earth, s.field, dir);
    ASSERT_EQ(scalar.size(), vector.size());
    EXPECT_GT(scalar.size(), 1u);
    for (size_t i = 0; i < scalar.size(); ++i) {
      EXPECT_EQ(scalar[i].first, vector[i].first);
      ExpectSameFile(scalar[i].first, scalar[i].second, vector[i].second);
    }
  }
}

}  // namespace
