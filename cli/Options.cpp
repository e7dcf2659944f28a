#include "cli/Options.h"

#include <cmath>

#include "model/TextFormat.h"

namespace {

bool ParseNumber(const std::string& s, double& v) {
  const char* end = nullptr;
  v = text::ParseDouble(s.c_str(), &end);
  return !s.empty() && end == s.c_str() + s.size() && std::isfinite(v);
}

}  // namespace

std::string UsageText() {
  return "Использование: kalvor-calc SYSTEM_FILE [параметры]\n"
         "       kalvor-calc --import-dxf FILE.dxf --dxf-layer NAME=KIND[,VALUE[,VALUE]] ... [параметры]\n"
         "\n"
         "Расчет осесимметричного электростатического поля методом эквивалентных зарядов.\n"
         "\n"
         "  --results DIR          папка файлов результатов (по умолчанию папка SYSTEM_FILE)\n"
         "  --external-field E     напряженность внешнего поля вдоль оси, кВ/см (-1000..1000; 0)\n"
         "  --earth                учитывать отражение в земле (плоскость y = 0)\n"
         "  --test-closure         проверить замкнутость областей перед расчетом\n"
         "  --control              записать заряды и контрольный расчет E и Fi во всех КТ\n"
         "  --control-potentials   записать потенциалы во всех КТ\n"
         "  --dump-matrix          записать матрицу потенциальных коэффициентов\n"
         "  --dump-inverse         записать матрицу еще раз после решения\n"
         "  --control-file PATH    контрольный файл (по умолчанию DIR/ControlCalc.txt)\n"
         "  --points-between K     расчетных точек между КТ в файлах 01.dat... (0..100; 1)\n"
         "  --no-surface-results   не записывать файлы 01.dat, 02.dat, ...\n"
         "  --gap-curves FILE      кривые в промежутке: после расчета записать 01space.dat, ...\n"
         "  --map FILE             после расчета записать карту поля (CSV): Fi, Ex, Ey, |E| в узлах сетки\n"
         "  --map-size WxH         узлов сетки по x и по y (2..2000; 200x200)\n"
         "  --map-rect X1,Y1,X2,Y2 прямоугольник карты, см (по умолчанию система с полями)\n"
         "  --field-lines FILE     после расчета записать силовые линии (CSV)\n"
         "  --field-lines-per-electrode N  линий от каждой образующей электрода с заданным\n"
         "                         потенциалом (1..1000; 10)\n"
         "  --inception GAS        после расчета оценить возникновение разряда (стримерный критерий)\n"
         "                         у каждого тела с заданным ненулевым потенциалом: GAS = air, sf6\n"
         "                         или файл таблицы alpha_eff/p от E/p; одно условие для обеих\n"
         "                         полярностей, все потенциалы и внешнее поле растут вместе\n"
         "  --pressure-bar P       давление газа, бар (0.001..1000; 1.01325)\n"
         "  --temperature-c T      температура газа, °C (-200..1000; 20)\n"
         "  --inception-k K        критическое число лавины (0.1..100; air 9.15, sf6 10.5)\n"
         "  --inception-from X,Y   своя начальная точка на поверхности проводника, см (можно\n"
         "                         повторять)\n"
         "  --yes                  отвечать \"да\" на вопросы (незамкнутые области)\n"
         "  --quiet                не показывать ход расчета\n"
         "  --timings              вывести время этапов и пиковую память\n"
         "  --precise              точный режим: эллиптические интегралы с полной точностью,\n"
         "                         без ограничения модуля формулы кольца\n"
         "  --summary FILE         записать итоги расчета (точность, заряды, емкости) в FILE (JSON)\n"
         "  --capacitance          считать матрицу емкостей и оценку обусловленности (по умолчанию:\n"
         "                         из разложения самого расчета, без лишней памяти, при любом размере)\n"
         "  --no-capacitance       не считать их\n"
         "  --target-error E       уточнять разбиение (КТ гуще к концам, стыкам и особым точкам),\n"
         "                         пока погрешность потенциала или напряженности > E (1e-9..0.1);\n"
         "                         для E < 4e-4 включает точный режим\n"
         "  --max-unknowns N       предел неизвестных при уточнении (по умолчанию 20000)\n"
         "  --max-memory MB        предел памяти матрицы при уточнении (по умолчанию половина\n"
         "                         свободной памяти при запуске)\n"
         "  --singular-radius R    радиус окрестности особой точки (кромки), которую наибольшая\n"
         "                         напряженность и оценки точности не учитывают, см (по умолчанию\n"
         "                         2 % более короткой из сходящихся образующих)\n"
         "  --save-refined FILE    записать уточненную систему в FILE (исходный файл не меняется)\n"
         "  --sweep I:FIELD=FROM:TO:STEPS  исследование параметра: число FIELD образующей I (с 1)\n"
         "                         принимает STEPS значений от FROM до TO включительно (x1 y1 x2 y2\n"
         "                         cx cy radius angle1 angle2 potential eps_inner eps_outer count ld;\n"
         "                         external_field=FROM:TO:STEPS - внешнее поле); несколько --sweep\n"
         "                         меняются вместе; значения считаются параллельно на всех ядрах\n"
         "  --sweep-out FILE.csv   итоги исследования: строка на значение (value, по каждому телу B\n"
         "                         max_field_kv_per_cm_B, max_field_error_kv_per_cm_B, charge_c_B,\n"
         "                         затем capacitance_f_I_J, error); файлы 01.dat... не пишутся\n"
         + GeometryUsage() +
         "  --help                 эта справка\n"
         "  --version              версия программы\n"
         "\n"
         "Все выходные пути проверяются до расчета; файлы появляются только целиком.\n"
         "\n"
         "Коды выхода: 0 - расчет завершен, 1 - ошибка расчета, 2 - неверные параметры или\n"
         "выходной путь, в который нельзя записать (сообщение называет путь и причину).\n";
}

std::string VersionText() { return std::string("kalvor-calc ") + KALVOR_VERSION + "\n"; }

std::optional<CalcOptions> ParseOptions(const std::vector<std::string>& args, std::string& error) {
  CalcOptions o;
  bool mapSizeGiven = false, linesCountGiven = false, inceptionConditions = false;
  auto value = [&](size_t& i, const std::string& name) -> const std::string* {
    if (i + 1 >= args.size()) {
      error = "параметру " + name + " нужно значение";
      return nullptr;
    }
    return &args[++i];
  };
  // The value of option `name` as a whole number in [lo, hi].
  auto integer = [&](size_t& i, const std::string& name, double lo, double hi, double& out) {
    const std::string* v = value(i, name);
    if (!v) return false;
    if (!ParseNumber(*v, out) || out != std::floor(out) || out < lo || out > hi) {
      error = text::Format("%s: нужно целое число от %.0f до %.0f, получено \"%s\"", name.c_str(), lo, hi, v->c_str());
      return false;
    }
    return true;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (const OptionParse g = ParseGeometryOption(args, i, o.geometry, error); g != OptionParse::kNotMine) {
      if (g == OptionParse::kFailed) return std::nullopt;
    } else if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (a == "--results") {
      const std::string* v = value(i, a);
      if (!v) return std::nullopt;
      o.resultsFolder = *v;
    } else if (a == "--control-file") {
      const std::string* v = value(i, a);
      if (!v) return std::nullopt;
      o.controlFile = *v;
    } else if (a == "--gap-curves") {
      const std::string* v = value(i, a);
      if (!v) return std::nullopt;
      o.gapCurves = *v;
    } else if (a == "--external-field") {
      const std::string* v = value(i, a);
      if (!v) return std::nullopt;
      if (!ParseNumber(*v, o.externalField) || o.externalField < -1000 || o.externalField > 1000) {
        error = "--external-field: нужно число от -1000 до 1000, получено \"" + *v + "\"";
        return std::nullopt;
      }
    } else if (a == "--points-between") {
      double k = 0;
      if (!integer(i, a, 0, 100, k)) return std::nullopt;
      o.pointsBetween = static_cast<int>(k);
    } else if (a == "--map" || a == "--field-lines") {
      const std::string* v = value(i, a);
      if (!v) return std::nullopt;
      (a == "--map" ? o.mapFile : o.fieldLinesFile) = *v;
    } else if (a == "--map-size") {
      const std::string* v = value(i, a);
      if (!v) return std::nullopt;
      const size_t xPos = v->find_first_of("xX");
      double w = 0, h = 0;
      if (xPos == std::string::npos || !ParseNumber(v->substr(0, xPos), w) || !ParseNumber(v->substr(xPos + 1), h) ||
          w != std::floor(w) || h != std::floor(h) || w < 2 || h < 2 || w > 2000 || h > 2000) {
        error = "--map-size: нужно WxH, целые от 2 до 2000, получено \"" + *v + "\"";
        return std::nullopt;
      }
      mapSizeGiven = true;
      o.mapWidth = static_cast<int>(w);
      o.mapHeight = static_cast<int>(h);
    } else if (a == "--map-rect") {
      const std::string* v = value(i, a);
      if (!v) return std::nullopt;
      std::array<double, 4> r{};
      size_t from = 0;
      bool ok = true;
      for (int k = 0; k < 4 && ok; ++k) {
        const size_t comma = k < 3 ? v->find(',', from) : v->size();
        ok = comma != std::string::npos && ParseNumber(v->substr(from, comma - from), r[static_cast<size_t>(k)]);
        from = comma + 1;
      }
      for (double c : r) ok = ok && std::fabs(c) <= 1e6;
      if (!ok || !(r[2] > r[0]) || !(r[3] > r[1])) {
        error = "--map-rect: нужно X1,Y1,X2,Y2 (см, по модулю до 1e6) с X2 > X1 и Y2 > Y1, получено \"" + *v + "\"";
        return std::nullopt;
      }
      o.mapRect = r;
    } else if (a == "--field-lines-per-electrode") {
      double n = 0;
      if (!integer(i, a, 1, 1000, n)) return std::nullopt;
      linesCountGiven = true;
      o.linesPerElectrode = static_cast<int>(n);
    } else if (a == "--sweep") {
      const std::string* v = value(i, a);
      if (!v) return std::nullopt;
      SweepVariable sweep;
      int steps = 0;
      if (const std::string problem = ParseSweepOption(*v, sweep, steps); !problem.empty()) {
        error = "--sweep: " + problem;
        return std::nullopt;
      }
      if (o.sweepSteps && steps != o.sweepSteps) {
        error = "--sweep: у всех изменяемых величин должно быть одно число шагов";
        return std::nullopt;
      }
      o.sweeps.push_back(sweep);
      o.sweepSteps = steps;
    } else if (a == "--sweep-out") {
      const std::string* v = value(i, a);
      if (!v) return std::nullopt;
      o.sweepOut = *v;
    } else if (a == "--summary") {
      const std::string* v = value(i, a);
      if (!v) return std::nullopt;
      o.summaryFile = *v;
    } else if (a == "--save-refined") {
      const std::string* v = value(i, a);
      if (!v) return std::nullopt;
      o.saveRefined = *v;
    } else if (a == "--target-error") {
      const std::string* v = value(i, a);
      if (!v) return std::nullopt;
      double e = 0;
      if (!ParseNumber(*v, e) || e < 1e-9 || e > 0.1) {
        error = "--target-error: нужно число от 1e-9 до 0.1, получено \"" + *v + "\"";
        return std::nullopt;
      }
      o.targetError = e;
    } else if (a == "--max-unknowns") {
      double m = 0;
      if (!integer(i, a, 1, 1e6, m)) return std::nullopt;
      o.maxUnknowns = static_cast<long long>(m);
    } else if (a == "--max-memory") {
      double m = 0;
      if (!integer(i, a, 1, 1e9, m)) return std::nullopt;
      o.maxMemoryMb = m;
    } else if (a == "--singular-radius") {
      const std::string* v = value(i, a);
      if (!v) return std::nullopt;
      double r = 0;
      if (!ParseNumber(*v, r) || !(r > 0.0) || r > 1e6) {
        error = "--singular-radius: нужно число больше 0 и не больше 1e6 (см), получено \"" + *v + "\"";
        return std::nullopt;
      }
      o.singularRadius = r;
    } else if (a == "--inception") {
      const std::string* v = value(i, a);
      if (!v) return std::nullopt;
      if (v->empty()) {
        error = "--inception: нужно air, sf6 или файл таблицы";
        return std::nullopt;
      }
      o.inception.Enabled = true;
      o.inception.Gas = *v;
    } else if (a == "--pressure-bar" || a == "--temperature-c" || a == "--inception-k") {
      const std::string* v = value(i, a);
      if (!v) return std::nullopt;
      const bool pressure = a == "--pressure-bar", temperature = a == "--temperature-c";
      const double lo = pressure ? 0.001 : temperature ? -200 : 0.1, hi = pressure || temperature ? 1000 : 100;
      double x = 0;
      if (!ParseNumber(*v, x) || x < lo || x > hi) {
        error = text::Format("%s: нужно число от %g до %g, получено \"%s\"", a.c_str(), lo, hi, v->c_str());
        return std::nullopt;
      }
      (pressure ? o.inception.PressureBar : temperature ? o.inception.TemperatureC : o.inception.K) = x;
      inceptionConditions = true;
    } else if (a == "--inception-from") {
      const std::string* v = value(i, a);
      if (!v) return std::nullopt;
      const size_t comma = v->find(',');
      std::array<double, 2> at{};
      if (comma == std::string::npos || !ParseNumber(v->substr(0, comma), at[0]) ||
          !ParseNumber(v->substr(comma + 1), at[1]) || at[0] < 0 || std::fabs(at[0]) > 1e6 || std::fabs(at[1]) > 1e6) {
        error = "--inception-from: нужно X,Y (см, X >= 0, по модулю до 1e6), получено \"" + *v + "\"";
        return std::nullopt;
      }
      o.inception.From.push_back(at);
      inceptionConditions = true;
    } else if (a == "--precise") {
      o.precise = true;
    } else if (a == "--no-capacitance") {
      o.capacitance = false;
    } else if (a == "--capacitance") {
      o.capacitance = true;
    } else if (a == "--earth") {
      o.earth = true;
    } else if (a == "--test-closure") {
      o.testClosure = true;
    } else if (a == "--control") {
      o.control = true;
    } else if (a == "--control-potentials") {
      o.controlPotentials = true;
    } else if (a == "--dump-matrix") {
      o.dumpMatrix = true;
    } else if (a == "--dump-inverse") {
      o.dumpInverse = true;
    } else if (a == "--no-surface-results") {
      o.surfaceResults = false;
    } else if (a == "--yes") {
      o.yes = true;
    } else if (a == "--quiet") {
      o.quiet = true;
    } else if (a == "--timings") {
      o.timings = true;
    } else if (a.size() > 1 && a[0] == '-') {
      error = "неизвестный параметр " + a;
      return std::nullopt;
    } else if (o.systemFile.empty()) {
      o.systemFile = a;
    } else {
      error = "лишний аргумент " + a;
      return std::nullopt;
    }
  }
  if (!o.mapFile && (mapSizeGiven || o.mapRect)) {
    error = "--map-size и --map-rect действуют только вместе с --map FILE";
    return std::nullopt;
  }
  if (!o.fieldLinesFile && linesCountGiven) {
    error = "--field-lines-per-electrode действует только вместе с --field-lines FILE";
    return std::nullopt;
  }
  if (!o.inception.Enabled && inceptionConditions) {
    error = "--pressure-bar, --temperature-c, --inception-k и --inception-from действуют только вместе с --inception GAS";
    return std::nullopt;
  }
  if (o.sweeps.empty() != !o.sweepOut) {
    error = "--sweep и --sweep-out действуют только вместе";
    return std::nullopt;
  }
  if (!o.sweeps.empty() && (o.mapFile || o.fieldLinesFile || o.summaryFile || o.gapCurves || o.saveRefined ||
                            o.control || o.controlPotentials || o.dumpMatrix || o.dumpInverse)) {
    error = "--sweep не сочетается с файлами одного расчета (--map, --field-lines, --summary, --gap-curves, "
            "--save-refined, --control...)";
    return std::nullopt;
  }
  if (!o.targetError && o.saveRefined) {
    error = "--save-refined требует --target-error";
    return std::nullopt;
  }
  if (!CheckGeometryOptions(o.geometry, o.systemFile, error)) return std::nullopt;
  if (!o.help && !o.version && o.systemFile.empty() && !o.geometry.importDxf) {
    error = "не указан файл полеобразующей системы";
    return std::nullopt;
  }
  return o;
}
