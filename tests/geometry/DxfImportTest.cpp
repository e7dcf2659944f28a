// DXF import and export against drawings written by an independent writer
// (ezdxf, run by write_dxf_fixtures.py) and systems written by hand.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>

#include "engine/DxfExport.h"
#include "engine/DxfImport.h"
#include "engine/DxfReader.h"
#include "engine/FieldCalc.h"
#include "model/Arch.h"
#include "model/Line.h"

namespace {

namespace fs = std::filesystem;
constexpr double kPi = std::numbers::pi;

std::string Fixture(const std::string& name) {
  const fs::path dir = KALVOR_DXF_FIXTURES;
  static bool written = fs::exists(dir / "binary.dxf");
  if (!written) {
    const std::string cmd = std::string(KALVOR_SYSTEM_PYTHON) + " " + KALVOR_DXF_WRITER + " " + dir.string();
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    written = true;
  }
  return (dir / name).string();
}

DxfImportResult Import(const std::string& file, std::map<std::string, DxfLayerMapping> layers,
                       double ppc = 2.5) {
  DxfImportOptions o;
  o.layers = std::move(layers);
  o.pointsPerCm = ppc;
  return ImportDxf(ReadDxfFile(Fixture(file)), o);
}

DxfLayerMapping Map(const std::string& text) {
  DxfLayerMapping m;
  std::string error;
  EXPECT_TRUE(ParseDxfLayerMapping(text, m, error)) << error;
  return m;
}

// Geometry and parameters equal within 1e-9.
void ExpectSameSystem(const CSurfColl& got, const CSurfColl& want) {
  ASSERT_EQ(got.GetSize(), want.GetSize());
  for (int k = 0; k < want.GetSize(); ++k) {
    const SurfData& g = *got.At(k);
    const SurfData& w = *want.At(k);
    SCOPED_TRACE("generatrix " + std::to_string(k + 1));
    ASSERT_EQ(g.GetKind(), w.GetKind());
    EXPECT_EQ(g.material, w.material);
    EXPECT_EQ(g.innerRegion, w.innerRegion);
    EXPECT_EQ(g.outerRegion, w.outerRegion);
    EXPECT_DOUBLE_EQ(g.epsInner, w.epsInner);
    EXPECT_DOUBLE_EQ(g.epsOuter, w.epsOuter);
    EXPECT_EQ(g.isFloating, w.isFloating);
    EXPECT_EQ(g.isFixed, w.isFixed);
    EXPECT_DOUBLE_EQ(g.fixedPotential, w.fixedPotential);
    if (w.pointCount > 0) {
      EXPECT_EQ(g.pointCount, w.pointCount);
    }
    if (auto* gl = dynamic_cast<const Line*>(&g)) {
      auto* wl = dynamic_cast<const Line*>(&w);
      EXPECT_NEAR(gl->x1, wl->x1, 1e-9);
      EXPECT_NEAR(gl->y1, wl->y1, 1e-9);
      EXPECT_NEAR(gl->x2, wl->x2, 1e-9);
      EXPECT_NEAR(gl->y2, wl->y2, 1e-9);
    } else {
      auto* ga = dynamic_cast<const Arch*>(&g);
      auto* wa = dynamic_cast<const Arch*>(&w);
      EXPECT_NEAR(ga->xc, wa->xc, 1e-9);
      EXPECT_NEAR(ga->yc, wa->yc, 1e-9);
      EXPECT_NEAR(ga->radius, wa->radius, 1e-9);
      EXPECT_NEAR(ga->angle1, wa->angle1, 1e-9);
      EXPECT_NEAR(ga->angle2, wa->angle2, 1e-9);
    }
  }
}

SurfParams Params(int material, int inner, int outer, double epsIn, double epsOut, int n) {
  SurfParams p;
  p.material = material;
  p.innerRegion = inner;
  p.outerRegion = outer;
  p.epsInner = epsIn;
  p.epsOuter = epsOut;
  p.pointCount = n;
  p.ratioLd = 2.0;
  return p;
}

template <class T, class... A>
std::unique_ptr<SurfData> Fixed(double u, A... a) {
  auto e = std::make_unique<T>(a...);
  e->SetFixedPotential(u);
  return e;
}

TEST(DxfImport, SphereDrawnInMillimetresAsAnArcIsTheHandWrittenSphereAndGivesTheImageSeriesField) {
  const DxfImportResult r = Import("sphere_mm.dxf", {{"SPHERE", Map("conductor,100")}});
  ASSERT_TRUE(r.Ok()) << r.error;
  EXPECT_DOUBLE_EQ(r.cmPerUnit, 0.1);
  CSurfColl want;
  want.Append(Fixed<Arch>(100.0, Params(1, 2, 1, 0, 1, 39), 0.0, 10.0, 5.0, kPi / 2, -kPi / 2));
  ExpectSameSystem(r.system, want);

  // Sphere R = 5 at U = 100 kV, its lowest point h = R above the earth:
  // Emax = 1.77028 U / R (image series). Evenly spaced points at L/d 2 leave
  // 5-9e-4 at the pole.
  FieldCalc calc;
  for (const auto& e : r.system) calc.AddGeneratrix(e->Clone());
  CalcParameters p = calc.Parameters();
  p.UseEarth = true;
  calc.SetParameters(p);
  calc.Place();
  calc.FillMatrix();
  calc.SolveCharges();
  ASSERT_EQ(calc.ErrorCode(), 0);
  double phi, ex, ey;
  calc.FieldAt(1, 0.0, 5.0, &phi, &ex, &ey);
  EXPECT_NEAR(std::hypot(ex, ey) / (1.77028 * 100.0 / 5.0), 1.0, 1.5e-3);
}

TEST(DxfImport, RodWithABulgedTipAndAClosedPlateMatchTheHandWrittenSystems) {
  const DxfImportResult rod = Import("rod_bulge.dxf", {{"ROD", Map("conductor,50")}}, 4);
  ASSERT_TRUE(rod.Ok()) << rod.error;
  EXPECT_TRUE(rod.warnings.empty());
  CSurfColl want;
  want.Append(Fixed<Line>(50.0, Params(1, 2, 1, 0, 1, 4), 0.0, 30.0, 1.0, 30.0));
  want.Append(Fixed<Line>(50.0, Params(1, 2, 1, 0, 1, 100), 1.0, 30.0, 1.0, 5.0));
  want.Append(Fixed<Arch>(50.0, Params(1, 2, 1, 0, 1, 6), 0.0, 5.0, 1.0, 0.0, -kPi / 2));
  ExpectSameSystem(rod.system, want);

  const DxfImportResult plate = Import("plate.dxf", {{"PLATE", Map("dielectric,4,1")}}, 4);
  ASSERT_TRUE(plate.Ok()) << plate.error;
  CSurfColl wantPlate;
  wantPlate.Append(std::make_unique<Line>(Params(0, 2, 1, 4, 1, 40), 0.0, 2.0, 10.0, 2.0));
  wantPlate.Append(std::make_unique<Line>(Params(0, 2, 1, 4, 1, 8), 10.0, 2.0, 10.0, 0.0));
  wantPlate.Append(std::make_unique<Line>(Params(0, 2, 1, 4, 1, 40), 10.0, 0.0, 0.0, 0.0));
  ExpectSameSystem(plate.system, wantPlate);
  EXPECT_NE(plate.notes.front().find("оси"), std::string::npos) << plate.notes.front();
}

TEST(DxfImport, AWholeSectionInMetresKeepsItsRightHalf) {
  const DxfImportResult r = Import("circle_m.dxf", {{"SPHERE", Map("conductor,x")}});
  ASSERT_TRUE(r.Ok()) << r.error;
  CSurfColl want;
  auto e = std::make_unique<Arch>(Params(1, 2, 1, 0, 1, 0), 0.0, 15.0, 5.0, kPi / 2, -kPi / 2);
  e->isFloating = true;
  want.Append(std::move(e));
  ExpectSameSystem(r.system, want);
}

TEST(DxfImport, EndsWithinTheToleranceAreJoinedAndAWiderGapIsReportedWithItsCoordinates) {
  const DxfImportResult joined = Import("gap_1e-6.dxf", {{"BODY", Map("conductor,1")}});
  ASSERT_TRUE(joined.Ok()) << joined.error;
  EXPECT_TRUE(joined.warnings.empty()) << joined.warnings.front();
  ASSERT_EQ(joined.system.GetSize(), 3);
  const auto* side = dynamic_cast<const Line*>(joined.system.At(1));
  EXPECT_EQ(side->y1, 10.0);  // snapped onto the top's exact end

  const DxfImportResult open = Import("gap_1e-2.dxf", {{"BODY", Map("conductor,1")}});
  ASSERT_TRUE(open.Ok()) << open.error;
  ASSERT_EQ(open.warnings.size(), 1u);
  EXPECT_NE(open.warnings[0].find("(5; 10)"), std::string::npos) << open.warnings[0];
  EXPECT_NE(open.warnings[0].find("(5; 10.01)"), std::string::npos) << open.warnings[0];
}

TEST(DxfImport, UnknownEntitiesAndUnmappedLayersAreListed) {
  const DxfDrawing d = ReadDxfFile(Fixture("spline_text.dxf"));
  ASSERT_TRUE(d.Ok()) << d.error;
  EXPECT_EQ(d.skipped.at("SPLINE"), 1);
  EXPECT_EQ(d.skipped.at("TEXT"), 1);
  DxfImportOptions o;
  o.layers["BODY"] = Map("conductor,1");
  const DxfImportResult r = ImportDxf(d, o);
  ASSERT_TRUE(r.Ok()) << r.error;
  std::string all;
  for (const auto& n : r.notes) all += n + "\n";
  EXPECT_NE(all.find("SPLINE: 1"), std::string::npos) << all;
  EXPECT_NE(all.find("TEXT: 1"), std::string::npos) << all;
  EXPECT_NE(all.find("\"NOTES\""), std::string::npos) << all;
}

TEST(DxfImport, BadFilesGiveClearMessages) {
  auto read = [](const std::string& text) {
    std::istringstream in(text);
    return ReadDxf(in);
  };
  EXPECT_NE(ReadDxfFile(Fixture("binary.dxf")).error.find("двоичный"), std::string::npos);
  EXPECT_NE(read("").error.find("пуст"), std::string::npos);
  EXPECT_NE(read("\n  \n").error.find("пуст"), std::string::npos);
  EXPECT_NE(read("hello\nworld\n").error.find("строке 1"), std::string::npos);
  EXPECT_FALSE(ReadDxfFile("/nonexistent/a.dxf").Ok());

  // Cut in the middle of an entity, and an LWPOLYLINE with more vertices
  // than it declares: what is whole is read, the rest is named.
  std::ifstream f(Fixture("rod_bulge.dxf"), std::ios::binary);
  const std::string whole((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const size_t at = whole.find("LWPOLYLINE");
  const DxfDrawing cut = read(whole.substr(0, at + 200));
  EXPECT_TRUE(cut.Ok() || !cut.error.empty());
  std::string lying = whole;
  const size_t count = lying.find("\n 90\n", at);
  ASSERT_NE(count, std::string::npos);
  lying.replace(count, 8, "\n 90\n2\n");
  const DxfDrawing damaged = read(lying);
  ASSERT_TRUE(damaged.Ok()) << damaged.error;
  EXPECT_TRUE(damaged.pieces.empty());
  ASSERT_FALSE(damaged.notes.empty());
  EXPECT_NE(damaged.notes[0].find("поврежден"), std::string::npos);

  // 10^5 entities: read, then refused as a system that would not fit.
  std::ostringstream many;
  many << "0\nSECTION\n2\nENTITIES\n";
  for (int k = 0; k < 100000; ++k)
    many << "0\nLINE\n8\nMANY\n10\n" << 1 + k * 1e-3 << "\n20\n0\n11\n" << 1 + k * 1e-3 << "\n21\n1\n";
  many << "0\nENDSEC\n0\nEOF\n";
  const DxfDrawing big = read(many.str());
  ASSERT_TRUE(big.Ok()) << big.error;
  EXPECT_EQ(big.pieces.size(), 100000u);
  DxfImportOptions o;
  o.layers["MANY"] = Map("conductor,1");
  EXPECT_NE(ImportDxf(big, o).error.find("20000"), std::string::npos);
}

TEST(DxfImport, ADrawingOnlyOnTheAxisOrShorterThanTheToleranceIsRefusedNotImportedEmpty) {
  DxfImportOptions o;
  o.layers["A"] = Map("conductor,1");
  // Pieces on the axis only, then one piece far below the tolerance beside
  // a long one on the axis.
  for (const std::string body : {"0\nLINE\n8\nA\n10\n0\n20\n0\n11\n0\n21\n10\n",
                                 "0\nLINE\n8\nA\n10\n0\n20\n0\n11\n0\n21\n10\n"
                                 "0\nLINE\n8\nA\n10\n1\n20\n1\n11\n1\n21\n1.0000001\n"}) {
    std::istringstream in("0\nSECTION\n2\nENTITIES\n" + body + "0\nENDSEC\n0\nEOF\n");
    const DxfImportResult r = ImportDxf(ReadDxf(in), o);
    EXPECT_FALSE(r.Ok());
    EXPECT_NE(r.error.find("импортировать нечего"), std::string::npos) << r.error;
    EXPECT_TRUE(r.system.IsEmpty());
  }
}

TEST(DxfImport, LayerMappingsParseAsTheCommandLineWritesThem) {
  DxfLayerMapping m;
  std::string e;
  EXPECT_TRUE(ParseDxfLayerMapping("conductor,x", m, e));
  EXPECT_EQ(m.kind, DxfLayerKind::kFloating);
  EXPECT_TRUE(ParseDxfLayerMapping("skip", m, e));
  EXPECT_EQ(m.kind, DxfLayerKind::kSkip);
  EXPECT_FALSE(ParseDxfLayerMapping("conductor", m, e));
  EXPECT_FALSE(ParseDxfLayerMapping("dielectric,4", m, e));
  EXPECT_FALSE(ParseDxfLayerMapping("dielectric,0.5,1", m, e));
  EXPECT_FALSE(ParseDxfLayerMapping("metal,1", m, e));
  EXPECT_FALSE(ParseDxfLayerMapping("conductor,nan", m, e));
}

// The rod-support example: a rod with rounded ends and a dielectric plate
// with a rounded edge on the earth.
CSurfColl RodSupport() {
  FieldCalc calc;
  std::ifstream in(std::string(KALVOR_EXAMPLES) + "/rod-support.txt", std::ios::binary);
  calc.ReadSystem(in);
  return calc.Generatrices().Clone();
}

TEST(DxfExport, ExportThenImportGivesTheSameSystemAndEzdxfReadsTheFile) {
  const CSurfColl original = RodSupport();
  ASSERT_EQ(original.GetSize(), 6);
  const fs::path dir = fs::path(KALVOR_DXF_FIXTURES);
  Fixture("binary.dxf");
  const std::string path = (dir / "rod-support-export.dxf").string();
  std::string error;
  ASSERT_TRUE(ExportDxf(original, path, error)) << error;

  DxfImportOptions o;  // no mapping: the layer names map themselves
  o.pointsPerCm = 1000;  // counts are the import's own; compared below without them
  const DxfImportResult back = ImportDxf(ReadDxfFile(path), o);
  ASSERT_TRUE(back.Ok()) << back.error;
  EXPECT_EQ(back.cmPerUnit, 1.0);
  CSurfColl want = original.Clone();
  for (int k = 0; k < want.GetSize(); ++k) want.At(k)->pointCount = 0;
  ExpectSameSystem(back.system, want);

  const std::string cmd = std::string(KALVOR_SYSTEM_PYTHON) + " -c \"import ezdxf,sys; d=ezdxf.readfile(sys.argv[1]); "
                          "m=d.modelspace(); sys.exit(0 if (len(m.query('LINE')), len(m.query('ARC')), "
                          "d.header['\\$INSUNITS']) == (3, 3, 5) and {'KALVOR_ME1_2_U50', 'KALVOR_DE3_2_E4_1'} <= "
                          "{l.dxf.name for l in d.layers} else 1)\" " + path;
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

}  // namespace
