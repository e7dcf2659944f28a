#include "cli/GeometryOptions.h"

#include <cmath>

#include "model/TextFormat.h"

namespace {

bool Number(const std::string& s, double& v) {
  const char* end = nullptr;
  v = text::ParseDouble(s.c_str(), &end);
  return !s.empty() && end == s.c_str() + s.size() && std::isfinite(v);
}

}  // namespace

std::string GeometryUsage() {
  return "  --round-corner I,J,R   скруглить угол образующих I и J (номера в файле) дугой радиуса R см;\n"
         "                         можно повторять, номера всегда по исходному файлу\n"
         "  --save-system FILE     записать систему после скругления или импорта в FILE\n"
         "  --import-dxf FILE.dxf  взять систему из чертежа DXF (вместо SYSTEM_FILE)\n"
         "  --dxf-layer NAME=KIND[,VALUE[,VALUE]]  вид образующих слоя NAME: conductor,U (кВ),\n"
         "                         conductor,x (неизвестный потенциал), dielectric,EPS_IN,EPS_OUT\n"
         "                         или skip; слои без назначения пропускаются (кроме слоев\n"
         "                         KALVOR_..., записанных --export-dxf)\n"
         "  --dxf-units mm|cm|m|in единицы чертежа вместо $INSUNITS (по умолчанию из файла, иначе мм)\n"
         "  --dxf-tolerance T      концы ближе T x размер чертежа соединяются (1e-9..0.01; 1e-4)\n"
         "  --points-per-cm P      расчетных точек на см при импорте (0.01..1000; 5)\n"
         "  --ld L                 отношение L/d при импорте (0.1..100; 2)\n"
         "  --export-dxf FILE.dxf  записать образующие в чертеж DXF (см, слой на тело/диэлектрик)\n";
}

OptionParse ParseGeometryOption(const std::vector<std::string>& args, size_t& i, GeometryOptions& g,
                                std::string& error) {
  const std::string& a = args[i];
  static const char* kMine[] = {"--round-corner", "--save-system",    "--import-dxf", "--dxf-layer", "--dxf-units",
                                "--dxf-tolerance", "--points-per-cm", "--ld",         "--export-dxf"};
  bool mine = false;
  for (const char* m : kMine) mine = mine || a == m;
  if (!mine) return OptionParse::kNotMine;
  if (i + 1 >= args.size()) {
    error = "параметру " + a + " нужно значение";
    return OptionParse::kFailed;
  }
  const std::string& v = args[++i];
  auto bounded = [&](double lo, double hi, std::optional<double>& out) {
    double x = 0;
    if (!Number(v, x) || x < lo || x > hi) {
      error = text::Format("%s: нужно число от %g до %g, получено \"%s\"", a.c_str(), lo, hi, v.c_str());
      return OptionParse::kFailed;
    }
    out = x;
    return OptionParse::kOk;
  };
  if (a == "--round-corner") {
    const size_t c1 = v.find(','), c2 = c1 == std::string::npos ? c1 : v.find(',', c1 + 1);
    double i1 = 0, j1 = 0, r = 0;
    if (c2 == std::string::npos || !Number(v.substr(0, c1), i1) || !Number(v.substr(c1 + 1, c2 - c1 - 1), j1) ||
        !Number(v.substr(c2 + 1), r) || i1 != std::floor(i1) || j1 != std::floor(j1) || i1 < 1 || j1 < 1 ||
        i1 > 1e6 || j1 > 1e6 || !(r > 0) || r > 1e6) {
      error = "--round-corner: нужно I,J,R (номера образующих от 1 и радиус в см > 0), получено \"" + v + "\"";
      return OptionParse::kFailed;
    }
    g.roundCorners.push_back({static_cast<int>(i1), static_cast<int>(j1), r});
  } else if (a == "--save-system") {
    g.saveSystem = v;
  } else if (a == "--import-dxf") {
    g.importDxf = v;
  } else if (a == "--export-dxf") {
    g.exportDxf = v;
  } else if (a == "--dxf-layer") {
    const size_t eq = v.find('=');
    DxfLayerMapping m;
    std::string why;
    if (eq == std::string::npos || eq == 0) {
      error = "--dxf-layer: нужно NAME=KIND[,VALUE[,VALUE]], получено \"" + v + "\"";
      return OptionParse::kFailed;
    }
    if (!ParseDxfLayerMapping(v.substr(eq + 1), m, why)) {
      error = "--dxf-layer " + v + ": " + why;
      return OptionParse::kFailed;
    }
    g.dxfLayers[v.substr(0, eq)] = m;
  } else if (a == "--dxf-units") {
    if (DxfUnitsCode(v) < 0) {
      error = "--dxf-units: нужно mm, cm, m или in, получено \"" + v + "\"";
      return OptionParse::kFailed;
    }
    g.dxfUnits = v;
  } else if (a == "--dxf-tolerance") {
    return bounded(1e-9, 0.01, g.dxfTolerance);
  } else if (a == "--points-per-cm") {
    return bounded(0.01, 1000, g.pointsPerCm);
  } else if (a == "--ld") {
    return bounded(0.1, 100, g.ratioLd);
  }
  return OptionParse::kOk;
}

bool CheckGeometryOptions(const GeometryOptions& g, const std::string& systemFile, std::string& error) {
  if (g.importDxf && !systemFile.empty()) {
    error = "укажите либо файл системы, либо --import-dxf, но не оба";
    return false;
  }
  if (!g.importDxf && (!g.dxfLayers.empty() || g.dxfUnits || g.dxfTolerance || g.pointsPerCm || g.ratioLd)) {
    error = "--dxf-layer, --dxf-units, --dxf-tolerance, --points-per-cm и --ld действуют только с --import-dxf";
    return false;
  }
  return true;
}
