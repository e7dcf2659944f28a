// Saving a system and its parameters file on a full disk, and the
// parameters file's form: the engine writes it and both programs read it,
// so it must stay what Qt's QSettings reads and writes.
//
// Regression: with 4 KiB left on the disk QSettings::sync left
// FILE.txt.kalvor.ini at 0 bytes and the document was marked saved; the
// earth and the other parameters were lost.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cmath>
#include <fstream>

#include "../common/SmallDisk.h"
#include "DocumentTestSupport.h"
#include "document/CKalvorDoc.h"
#include "document/SystemSidecar.h"
#include "engine/GapCurves.h"
#include "engine/ProgressReporter.h"

namespace {

// Fills the disk with page-sized files, then frees `pages` of them.
void LeaveFreePages(const std::filesystem::path& folder, int pages) {
  const std::string page(4096, 'f');
  std::vector<std::filesystem::path> fillers;
  for (int i = 0;; ++i) {
    const auto p = folder / ("filler" + std::to_string(i));
    std::ofstream out(p, std::ios::binary);
    out.write(page.data(), static_cast<std::streamsize>(page.size()));
    out.close();
    fillers.push_back(p);
    if (!out || std::filesystem::file_size(p) < page.size()) break;
  }
  std::filesystem::remove(fillers.back());
  fillers.pop_back();
  for (int i = 0; i < pages && !fillers.empty(); ++i) {
    std::filesystem::remove(fillers.back());
    fillers.pop_back();
  }
}

QString Put(const QString& folder, const char* name, const QByteArray& contents) {
  const QString path = folder + "/" + name;
  QFile f(path);
  if (f.open(QIODevice::WriteOnly)) f.write(contents);
  return path;
}

QStringList Leftovers(const QString& folder) {
  QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
  names.removeIf([](const QString& n) { return n.startsWith(QStringLiteral("filler")); });
  return names;
}

CSurfColl ManyCurves(int count) {
  CSurfColl curves;
  for (int i = 0; i < count; ++i) curves.Append(MakeGapLine(2, 20, 0, i, 10, i));
  return curves;
}

TEST(FullDiskSave, TheSystemFileStaysWholeAndTheDocumentModified) {
  SmallDisk disk("size=64k");
  ASSERT_TRUE(disk.Mounted() || ::geteuid() != 0);
  if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs (needs root)";
  const QString folder = QString::fromStdString(disk.Path().string());
  CKalvorDoc document;
  const QString path = Put(folder, "four.txt", kFourGeneratrices);
  ASSERT_TRUE(document.OpenDocument(path).opened);
  ASSERT_TRUE(document.SaveDocument(path).isEmpty());
  const QByteArray old = ReadFile(path), oldSidecar = ReadFile(sidecar::PathFor(path));
  ASSERT_FALSE(oldSidecar.isEmpty());
  // A system larger than the disk.
  for (int i = 0; i < 400; ++i) ASSERT_GE(document.AddGeneratrix(document.Generatrices()[0]->Clone()), 0);
  LeaveFreePages(disk.Path(), 1);
  const QString error = document.SaveDocument(path);
  EXPECT_NE(error.indexOf(QStringLiteral("нет места на диске")), -1) << error.toStdString();
  EXPECT_TRUE(document.IsModified());
  EXPECT_EQ(ReadFile(path), old);
  EXPECT_EQ(ReadFile(sidecar::PathFor(path)), oldSidecar);
  EXPECT_EQ(Leftovers(folder), (QStringList{QStringLiteral("four.txt"), QStringLiteral("four.txt.kalvor.ini")}));
}

TEST(FullDiskSave, AFailedParametersFileKeepsTheOldOneAndTheDocumentModified) {
  SmallDisk disk("size=64k");
  ASSERT_TRUE(disk.Mounted() || ::geteuid() != 0);
  if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs (needs root)";
  const QString folder = QString::fromStdString(disk.Path().string());
  CKalvorDoc document;
  const QString path = Put(folder, "four.txt", kFourGeneratrices);
  ASSERT_TRUE(document.OpenDocument(path).opened);
  CalcParameters p = document.Parameters();
  p.UseEarth = true;
  document.SetParameters(p);
  ASSERT_TRUE(document.SaveDocument(path).isEmpty());
  const QByteArray old = ReadFile(path), oldSidecar = ReadFile(sidecar::PathFor(path));
  ASSERT_NE(oldSidecar.indexOf("UseEarth=true"), -1);
  // The system file (one page) still fits; its parameters file with 150
  // gap curves (about 16 kB) does not.
  document.SetGapCurves(ManyCurves(150));
  LeaveFreePages(disk.Path(), 1);
  const QString error = document.SaveDocument(path);
  EXPECT_NE(error.indexOf(sidecar::PathFor(path)), -1) << error.toStdString();
  EXPECT_NE(error.indexOf(QStringLiteral("нет места на диске")), -1) << error.toStdString();
  EXPECT_TRUE(document.IsModified());
  EXPECT_EQ(ReadFile(path), old);
  EXPECT_EQ(ReadFile(sidecar::PathFor(path)), oldSidecar);
  EXPECT_EQ(Leftovers(folder), (QStringList{QStringLiteral("four.txt"), QStringLiteral("four.txt.kalvor.ini")}));
}

CalcParameters Unusual(const QString& folder) {
  CalcParameters p;
  p.ExternalField = -0.1;
  p.UseEarth = true;
  p.Precise = true;
  p.DumpMatrix = true;
  p.SurfaceResults = false;
  p.PointsBetweenCPs = 7;
  p.ResultsFolder = (folder + QStringLiteral("/результаты, 1; a=b ")).toStdString();
  p.ControlFilePath = "/elsewhere/\"quoted\"\\control.txt";
  return p;
}

TEST(SidecarForm, WhatTheEngineWritesQSettingsReadsAndTheOtherWayRound) {
  QTemporaryDir dir;
  const QString system = dir.filePath(QStringLiteral("s.txt"));
  const CalcParameters p = Unusual(dir.path());
  CSurfColl curves = ManyCurves(3);
  curves.Append(MakeGapArch(4, 10, 1, 2, 3, 90, -90));

  ASSERT_EQ(sidecar::Write(system, p, &curves), QString());
  QSettings qt(sidecar::PathFor(system), QSettings::IniFormat);
  EXPECT_EQ(qt.value("Calculation/ExternalField").toDouble(), -0.1);
  EXPECT_TRUE(qt.value("Calculation/UseEarth").toBool());
  EXPECT_FALSE(qt.value("Calculation/SurfaceResults").toBool());
  EXPECT_EQ(qt.value("Calculation/PointsBetweenCPs").toInt(), 7);
  EXPECT_EQ(qt.value("Calculation/ResultsFolder").toString(), QStringLiteral("результаты, 1; a=b "));
  EXPECT_EQ(qt.value("Calculation/ControlFilePath").toString().toStdString(), p.ControlFilePath);
  const QStringList lines = qt.value("GapCurves/Lines").toStringList();
  ASSERT_EQ(lines.size(), 4);
  EXPECT_EQ(lines[3].toStdString(), curves[3]->GetText());

  // A file QSettings wrote, as earlier versions did.
  const QString other = dir.filePath(QStringLiteral("q.txt"));
  {
    QSettings s(sidecar::PathFor(other), QSettings::IniFormat);
    s.setValue("Calculation/ExternalField", p.ExternalField);
    s.setValue("Calculation/UseEarth", true);
    s.setValue("Calculation/PointsBetweenCPs", 7);
    s.setValue("Calculation/ResultsFolder", QStringLiteral("результаты, 1; a=b "));
    s.setValue("Calculation/ControlFilePath", QString::fromStdString(p.ControlFilePath));
    s.setValue("GapCurves/Lines", lines);
  }
  for (const QString& path : {system, other}) {
    const sidecar::Contents c = sidecar::Read(path, CalcParameters{});
    EXPECT_TRUE(c.found);
    EXPECT_EQ(c.problem, "");
    EXPECT_EQ(c.parameters.ExternalField, -0.1);
    EXPECT_TRUE(c.parameters.UseEarth);
    EXPECT_EQ(c.parameters.PointsBetweenCPs, 7);
    EXPECT_EQ(c.parameters.ResultsFolder, p.ResultsFolder.substr(0, p.ResultsFolder.size()));
    EXPECT_EQ(c.parameters.ControlFilePath, p.ControlFilePath);
    ASSERT_TRUE(c.hasGapCurves);
    ASSERT_EQ(c.gapCurves.GetSize(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(c.gapCurves[i]->GetText(), curves[i]->GetText());
  }
}

TEST(SidecarForm, OverflowingAndBrokenValuesKeepTheirDefaultsAndAreNamed) {
  QTemporaryDir dir;
  const QString system = dir.filePath(QStringLiteral("s.txt"));
  QFile f(sidecar::PathFor(system));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("[Calculation]\nExternalField=1e400\nUseEarth=true\nPointsBetweenCPs=0\n");
  f.close();
  const sidecar::Contents c = sidecar::Read(system, CalcParameters{});
  EXPECT_EQ(c.parameters.ExternalField, 0.0);
  EXPECT_TRUE(c.parameters.UseEarth);
  EXPECT_EQ(c.parameters.PointsBetweenCPs, 1);
  EXPECT_NE(c.problem.find("ExternalField"), std::string::npos) << c.problem;
}

// Opening a system whose parameters file has a spoiled value: the system
// opens, the rest of the file is taken, and the warning names the file and
// the key.
TEST(SidecarForm, ASpoiledValueIsNamedWhenTheSystemOpens) {
  QTemporaryDir dir;
  const QString system = Put(dir.path(), "s.txt", kFourGeneratrices);
  Put(dir.path(), "s.txt.kalvor.ini", "[Calculation]\nUseEarth=true\nPointsBetweenCPs=many\n");
  CKalvorDoc document;
  const CKalvorDoc::OpenResult r = document.OpenDocument(system);
  ASSERT_TRUE(r.opened);
  EXPECT_TRUE(document.Parameters().UseEarth);
  EXPECT_EQ(document.Parameters().PointsBetweenCPs, 1);
  EXPECT_NE(r.warning.indexOf(sidecar::PathFor(system)), -1) << r.warning.toStdString();
  EXPECT_NE(r.warning.indexOf(QStringLiteral("PointsBetweenCPs")), -1) << r.warning.toStdString();
  // A sound file opens without a word.
  Put(dir.path(), "s.txt.kalvor.ini", "[Calculation]\nUseEarth=true\n");
  EXPECT_EQ(document.OpenDocument(system).warning, QString());
}

// The shipped sphere-plane example opened as the desktop program opens it:
// its parameters file switches the earth on, and the numbers are the
// image series' (kalvor-calc's test checks the same numbers from the
// command line with no options). Sphere R = 5 cm at 100 kV, centre 15 cm
// above the plane; charges and images in kV*cm (q / 4 pi eps0).
TEST(SidecarForm, TheExampleOpensWithItsEarthAndGivesTheImageSeriesField) {
  QTemporaryDir dir;
  for (const char* name : {"sphere-plane.txt", "sphere-plane.txt.kalvor.ini"})
    ASSERT_TRUE(QFile::copy(QStringLiteral(KALVOR_EXAMPLES_DIR "/") + name, dir.filePath(name))) << name;
  CKalvorDoc document;
  ASSERT_TRUE(document.OpenDocument(dir.filePath(QStringLiteral("sphere-plane.txt"))).opened);
  SilentProgress quiet;
  ASSERT_TRUE(document.Calculate(quiet).success);
  const double R = 5, d = 15, V = 100, bottom = d - R;
  double q = R * V, z = d, field = 0, charge = 0;
  for (int k = 0; k < 100; ++k) {
    field += q * (1 / ((z - bottom) * (z - bottom)) + 1 / ((z + bottom) * (z + bottom)));
    charge += q;
    q *= R / (d + z);
    z = d - R * R / (d + z);
  }
  const double kVcmToCoulomb = 4 * M_PI * 8.8541878128e-12 * 10;  // 1 kV*cm = 10 V*m
  ASSERT_EQ(document.Analysis().bodies.size(), 1u);
  const BodyFigures& body = document.Analysis().bodies[0];
  EXPECT_NEAR(body.charge, charge * kVcmToCoulomb, 1e-4 * charge * kVcmToCoulomb);
  // The reported error bounds the true one.
  EXPECT_LE(std::fabs(body.maxField - field), body.maxFieldError) << body.maxField << " vs " << field;
  EXPECT_LT(body.maxFieldError, 1e-3 * field);
}

}  // namespace
