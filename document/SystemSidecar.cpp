#include "document/SystemSidecar.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <sstream>

#include "engine/GapCurves.h"

namespace sidecar {

namespace {

QString Relative(const QDir& base, const std::string& path) {
  if (path.empty()) return {};
  const QString absolute = QFileInfo(QString::fromStdString(path)).absoluteFilePath();
  const QString relative = base.relativeFilePath(absolute);
  return relative.startsWith(QStringLiteral("..")) ? absolute : relative;
}

std::string Absolute(const QDir& base, const QString& path) {
  if (path.isEmpty()) return {};
  return QDir::cleanPath(base.absoluteFilePath(path)).toStdString();
}

}  // namespace

QString PathFor(const QString& systemPath) { return systemPath + QStringLiteral(".kalvor.ini"); }

QString Write(const QString& systemPath, const CalcParameters& p, const CSurfColl& gapCurves) {
  const QDir base = QFileInfo(systemPath).absoluteDir();
  QSettings s(PathFor(systemPath), QSettings::IniFormat);
  s.clear();
  s.beginGroup(QStringLiteral("Calculation"));
  s.setValue(QStringLiteral("ExternalField"), p.ExternalField);
  s.setValue(QStringLiteral("UseEarth"), p.UseEarth);
  s.setValue(QStringLiteral("TestClosure"), p.TestClosure);
  s.setValue(QStringLiteral("Precise"), p.Precise);
  s.setValue(QStringLiteral("Capacitance"), p.Capacitance);
  s.setValue(QStringLiteral("ControlCalc"), p.ControlCalc);
  s.setValue(QStringLiteral("ControlPotentials"), p.ControlPotentials);
  s.setValue(QStringLiteral("DumpMatrix"), p.DumpMatrix);
  s.setValue(QStringLiteral("DumpInverseMatrix"), p.DumpInverseMatrix);
  s.setValue(QStringLiteral("SurfaceResults"), p.SurfaceResults);
  s.setValue(QStringLiteral("PointsBetweenCPs"), p.PointsBetweenCPs);
  s.setValue(QStringLiteral("ResultsFolder"), Relative(base, p.ResultsFolder));
  s.setValue(QStringLiteral("ControlFilePath"), Relative(base, p.ControlFilePath));
  s.endGroup();
  const InceptionParameters& in = p.Inception;
  s.beginGroup(QStringLiteral("Inception"));
  s.setValue(QStringLiteral("Enabled"), in.Enabled);
  s.setValue(QStringLiteral("Gas"), in.Gas == "air" || in.Gas == "sf6" ? QString::fromStdString(in.Gas)
                                                                       : Relative(base, in.Gas));
  s.setValue(QStringLiteral("PressureBar"), in.PressureBar);
  s.setValue(QStringLiteral("TemperatureC"), in.TemperatureC);
  s.setValue(QStringLiteral("K"), in.K);
  s.endGroup();
  std::ostringstream curves;
  SaveGapCurves(gapCurves, curves);
  // One element line per entry: the curves' own file format.
  QStringList lines = QString::fromStdString(curves.str()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  s.setValue(QStringLiteral("GapCurves/Lines"), lines);
  s.sync();
  if (s.status() != QSettings::NoError)
    return QStringLiteral("Не удается записать параметры расчета в файл %1").arg(PathFor(systemPath));
  return {};
}

Contents Read(const QString& systemPath, const CalcParameters& defaults) {
  Contents c;
  c.parameters = defaults;
  const QString path = PathFor(systemPath);
  if (!QFileInfo(path).isFile()) return c;
  QSettings s(path, QSettings::IniFormat);
  if (s.status() != QSettings::NoError) return c;
  c.found = true;
  const QDir base = QFileInfo(systemPath).absoluteDir();
  CalcParameters& p = c.parameters;
  s.beginGroup(QStringLiteral("Calculation"));
  p.ExternalField = s.value(QStringLiteral("ExternalField"), p.ExternalField).toDouble();
  p.UseEarth = s.value(QStringLiteral("UseEarth"), p.UseEarth).toBool();
  p.TestClosure = s.value(QStringLiteral("TestClosure"), p.TestClosure).toBool();
  p.Precise = s.value(QStringLiteral("Precise"), p.Precise).toBool();
  p.Capacitance = s.value(QStringLiteral("Capacitance"), p.Capacitance).toBool();
  p.ControlCalc = s.value(QStringLiteral("ControlCalc"), p.ControlCalc).toBool();
  p.ControlPotentials = s.value(QStringLiteral("ControlPotentials"), p.ControlPotentials).toBool();
  p.DumpMatrix = s.value(QStringLiteral("DumpMatrix"), p.DumpMatrix).toBool();
  p.DumpInverseMatrix = s.value(QStringLiteral("DumpInverseMatrix"), p.DumpInverseMatrix).toBool();
  p.SurfaceResults = s.value(QStringLiteral("SurfaceResults"), p.SurfaceResults).toBool();
  // Out-of-range counts keep the default, as the parameters dialog would refuse them.
  const int between = s.value(QStringLiteral("PointsBetweenCPs"), p.PointsBetweenCPs).toInt();
  if (between >= 1 && between <= 10000) p.PointsBetweenCPs = between;
  if (s.contains(QStringLiteral("ResultsFolder")))
    p.ResultsFolder = Absolute(base, s.value(QStringLiteral("ResultsFolder")).toString());
  if (s.contains(QStringLiteral("ControlFilePath")))
    p.ControlFilePath = Absolute(base, s.value(QStringLiteral("ControlFilePath")).toString());
  if (p.ResultsFolder.empty()) p.ResultsFolder = defaults.ResultsFolder;
  s.endGroup();
  // Values the parameters dialog would refuse keep the defaults.
  InceptionParameters& in = p.Inception;
  s.beginGroup(QStringLiteral("Inception"));
  in.Enabled = s.value(QStringLiteral("Enabled"), in.Enabled).toBool();
  if (const QString gas = s.value(QStringLiteral("Gas")).toString(); !gas.isEmpty())
    in.Gas = gas == QStringLiteral("air") || gas == QStringLiteral("sf6") ? gas.toStdString() : Absolute(base, gas);
  auto number = [&](const char* key, double& value, double lo, double hi) {
    bool ok = false;
    const double v = s.value(QLatin1String(key)).toDouble(&ok);
    if (ok && v >= lo && v <= hi) value = v;
  };
  number("PressureBar", in.PressureBar, 0.001, 1000);
  number("TemperatureC", in.TemperatureC, -200, 1000);
  number("K", in.K, 0, 100);
  s.endGroup();
  if (s.contains(QStringLiteral("GapCurves/Lines"))) {
    const QStringList lines = s.value(QStringLiteral("GapCurves/Lines")).toStringList();
    std::istringstream in((lines.join(QStringLiteral("\n")) + QStringLiteral("\n")).toStdString());
    // Lines that are not curves end the list, as in the curves' own file.
    LoadGapCurves(c.gapCurves, in);
    c.hasGapCurves = true;
  }
  return c;
}

}  // namespace sidecar
