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
         "Параметры расчета и кривые в промежутке берутся из файла параметров системы\n"
         "SYSTEM_FILE.kalvor.ini (его сохраняет программа kalvor), если он есть; параметры,\n"
         "заданные здесь, важнее.\n"
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
         "                         (без него - кривые из файла параметров системы, если они там есть)\n"
         "  --no-sidecar           не читать файл параметров системы SYSTEM_FILE.kalvor.ini\n"
         "  --map FILE             после расчета записать карту поля (CSV): Fi, Ex, Ey, |E| в узлах сетки\n"
         "  --map-size WxH         узлов сетки по x и по y (2..2000; 200x200)\n"
         "  --map-rect X1,Y1,X2,Y2 прямоугольник карты, см (по умолчанию система с полями)\n"
         "  --field-lines FILE     после расчета записать силовые линии (CSV)\n"
         "  --field-lines-per-electrode N  линий от каждой образующей проводника, также\n"
         "                         плавающего (1..1000; 10)\n"
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
         "                         для E < 4e-4 включает точный режим, как и с того шага, на котором\n"
         "                         достигнуто ограничение модуля приближенной формулы кольца или\n"
         "                         уточнение с ней перестало сходиться\n"
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

namespace {

// The command line read option by option; each group takes the option at
// the cursor (and its value) when it is one of its own.
class OptionReader {
 public:
  OptionReader(const std::vector<std::string>& args, CalcOptions& o, std::string& error)
      : args_(args), o_(o), error_(error) {}

  bool Read();

 private:
  OptionParse Parameter(const std::string& a);
  OptionParse Output(const std::string& a);
  OptionParse Refinement(const std::string& a);
  OptionParse Inception(const std::string& a);
  OptionParse Sweep(const std::string& a);
  OptionParse Run(const std::string& a);
  bool CheckCombination();

  // The value of the option at the cursor, the cursor moved onto it.
  const std::string* Value() {
    if (i_ + 1 >= args_.size()) {
      error_ = "параметру " + args_[i_] + " нужно значение";
      return nullptr;
    }
    return &args_[++i_];
  }
  OptionParse Text(std::optional<std::string>& out) {
    const std::string* v = Value();
    if (!v) return OptionParse::kFailed;
    out = *v;
    return OptionParse::kOk;
  }
  // The value as a number in [lo, hi].
  OptionParse Bounded(double lo, double hi, double& out) {
    const std::string name = args_[i_];
    const std::string* v = Value();
    if (!v) return OptionParse::kFailed;
    if (!ParseNumber(*v, out) || out < lo || out > hi) {
      error_ = text::Format("%s: нужно число от %g до %g, получено \"%s\"", name.c_str(), lo, hi, v->c_str());
      return OptionParse::kFailed;
    }
    return OptionParse::kOk;
  }
  // The value as a whole number in [lo, hi].
  OptionParse Integer(double lo, double hi, double& out) {
    const std::string name = args_[i_];
    const std::string* v = Value();
    if (!v) return OptionParse::kFailed;
    if (!ParseNumber(*v, out) || out != std::floor(out) || out < lo || out > hi) {
      error_ = text::Format("%s: нужно целое число от %.0f до %.0f, получено \"%s\"", name.c_str(), lo, hi, v->c_str());
      return OptionParse::kFailed;
    }
    return OptionParse::kOk;
  }
  static OptionParse Set(std::optional<bool>& flag, bool value) {
    flag = value;
    return OptionParse::kOk;
  }

  const std::vector<std::string>& args_;
  CalcOptions& o_;
  std::string& error_;
  size_t i_ = 0;
  bool mapSizeGiven_ = false, linesCountGiven_ = false;
};

bool OptionReader::Read() {
  for (i_ = 0; i_ < args_.size(); ++i_) {
    const std::string& a = args_[i_];
    OptionParse r = ParseGeometryOption(args_, i_, o_.geometry, error_);
    for (auto group : {&OptionReader::Parameter, &OptionReader::Output, &OptionReader::Refinement,
                       &OptionReader::Inception, &OptionReader::Sweep, &OptionReader::Run})
      if (r == OptionParse::kNotMine) r = (this->*group)(a);
    if (r == OptionParse::kFailed) return false;
    if (r == OptionParse::kOk) continue;
    if (a.size() > 1 && a[0] == '-') {
      error_ = "неизвестный параметр " + a;
      return false;
    }
    if (!o_.systemFile.empty()) {
      error_ = "лишний аргумент " + a;
      return false;
    }
    o_.systemFile = a;
  }
  return CheckCombination();
}

// The calculation parameters (those of the parameters dialog).
OptionParse OptionReader::Parameter(const std::string& a) {
  double x = 0;
  if (a == "--external-field") {
    const std::string* v = Value();
    if (!v) return OptionParse::kFailed;
    if (!ParseNumber(*v, x) || x < -1000 || x > 1000) {
      error_ = "--external-field: нужно число от -1000 до 1000, получено \"" + *v + "\"";
      return OptionParse::kFailed;
    }
    o_.externalField = x;
    return OptionParse::kOk;
  }
  if (a == "--points-between") {
    if (Integer(0, 100, x) == OptionParse::kFailed) return OptionParse::kFailed;
    o_.pointsBetween = static_cast<int>(x);
    return OptionParse::kOk;
  }
  if (a == "--results") return Text(o_.resultsFolder);
  if (a == "--control-file") return Text(o_.controlFile);
  if (a == "--earth") return Set(o_.earth, true);
  if (a == "--test-closure") return Set(o_.testClosure, true);
  if (a == "--control") return Set(o_.control, true);
  if (a == "--control-potentials") return Set(o_.controlPotentials, true);
  if (a == "--dump-matrix") return Set(o_.dumpMatrix, true);
  if (a == "--dump-inverse") return Set(o_.dumpInverse, true);
  if (a == "--no-surface-results") return Set(o_.surfaceResults, false);
  if (a == "--precise") return Set(o_.precise, true);
  if (a == "--capacitance") return Set(o_.capacitance, true);
  if (a == "--no-capacitance") return Set(o_.capacitance, false);
  if (a == "--no-sidecar") {
    o_.noSidecar = true;
    return OptionParse::kOk;
  }
  return OptionParse::kNotMine;
}

// Files written after the calculation, beside the result files.
OptionParse OptionReader::Output(const std::string& a) {
  if (a == "--gap-curves") return Text(o_.gapCurves);
  if (a == "--map") return Text(o_.mapFile);
  if (a == "--field-lines") return Text(o_.fieldLinesFile);
  if (a == "--summary") return Text(o_.summaryFile);
  if (a == "--map-size") {
    const std::string* v = Value();
    if (!v) return OptionParse::kFailed;
    const size_t xPos = v->find_first_of("xX");
    double w = 0, h = 0;
    if (xPos == std::string::npos || !ParseNumber(v->substr(0, xPos), w) || !ParseNumber(v->substr(xPos + 1), h) ||
        w != std::floor(w) || h != std::floor(h) || w < 2 || h < 2 || w > 2000 || h > 2000) {
      error_ = "--map-size: нужно WxH, целые от 2 до 2000, получено \"" + *v + "\"";
      return OptionParse::kFailed;
    }
    mapSizeGiven_ = true;
    o_.mapWidth = static_cast<int>(w);
    o_.mapHeight = static_cast<int>(h);
    return OptionParse::kOk;
  }
  if (a == "--map-rect") {
    const std::string* v = Value();
    if (!v) return OptionParse::kFailed;
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
      error_ = "--map-rect: нужно X1,Y1,X2,Y2 (см, по модулю до 1e6) с X2 > X1 и Y2 > Y1, получено \"" + *v + "\"";
      return OptionParse::kFailed;
    }
    o_.mapRect = r;
    return OptionParse::kOk;
  }
  if (a == "--field-lines-per-electrode") {
    double n = 0;
    if (Integer(1, 1000, n) == OptionParse::kFailed) return OptionParse::kFailed;
    linesCountGiven_ = true;
    o_.linesPerElectrode = static_cast<int>(n);
    return OptionParse::kOk;
  }
  return OptionParse::kNotMine;
}

OptionParse OptionReader::Refinement(const std::string& a) {
  double x = 0;
  if (a == "--save-refined") return Text(o_.saveRefined);
  if (a == "--target-error") {
    const std::string* v = Value();
    if (!v) return OptionParse::kFailed;
    if (!ParseNumber(*v, x) || x < 1e-9 || x > 0.1) {
      error_ = "--target-error: нужно число от 1e-9 до 0.1, получено \"" + *v + "\"";
      return OptionParse::kFailed;
    }
    o_.targetError = x;
    return OptionParse::kOk;
  }
  if (a == "--max-unknowns") {
    if (Integer(1, 1e6, x) == OptionParse::kFailed) return OptionParse::kFailed;
    o_.maxUnknowns = static_cast<long long>(x);
    return OptionParse::kOk;
  }
  if (a == "--max-memory") {
    if (Integer(1, 1e9, x) == OptionParse::kFailed) return OptionParse::kFailed;
    o_.maxMemoryMb = x;
    return OptionParse::kOk;
  }
  if (a == "--singular-radius") {
    const std::string* v = Value();
    if (!v) return OptionParse::kFailed;
    if (!ParseNumber(*v, x) || !(x > 0.0) || x > 1e6) {
      error_ = "--singular-radius: нужно число больше 0 и не больше 1e6 (см), получено \"" + *v + "\"";
      return OptionParse::kFailed;
    }
    o_.singularRadius = x;
    return OptionParse::kOk;
  }
  return OptionParse::kNotMine;
}

OptionParse OptionReader::Inception(const std::string& a) {
  double x = 0;
  if (a == "--inception") {
    const std::string* v = Value();
    if (!v) return OptionParse::kFailed;
    if (v->empty()) {
      error_ = "--inception: нужно air, sf6 или файл таблицы";
      return OptionParse::kFailed;
    }
    o_.inceptionGas = *v;
    return OptionParse::kOk;
  }
  if (a == "--pressure-bar") {
    if (Bounded(0.001, 1000, x) == OptionParse::kFailed) return OptionParse::kFailed;
    o_.pressureBar = x;
    return OptionParse::kOk;
  }
  if (a == "--temperature-c") {
    if (Bounded(-200, 1000, x) == OptionParse::kFailed) return OptionParse::kFailed;
    o_.temperatureC = x;
    return OptionParse::kOk;
  }
  if (a == "--inception-k") {
    if (Bounded(0.1, 100, x) == OptionParse::kFailed) return OptionParse::kFailed;
    o_.inceptionK = x;
    return OptionParse::kOk;
  }
  if (a == "--inception-from") {
    const std::string* v = Value();
    if (!v) return OptionParse::kFailed;
    const size_t comma = v->find(',');
    std::array<double, 2> at{};
    if (comma == std::string::npos || !ParseNumber(v->substr(0, comma), at[0]) ||
        !ParseNumber(v->substr(comma + 1), at[1]) || at[0] < 0 || std::fabs(at[0]) > 1e6 || std::fabs(at[1]) > 1e6) {
      error_ = "--inception-from: нужно X,Y (см, X >= 0, по модулю до 1e6), получено \"" + *v + "\"";
      return OptionParse::kFailed;
    }
    o_.inceptionFrom.push_back(at);
    return OptionParse::kOk;
  }
  return OptionParse::kNotMine;
}

OptionParse OptionReader::Sweep(const std::string& a) {
  if (a == "--sweep-out") return Text(o_.sweepOut);
  if (a != "--sweep") return OptionParse::kNotMine;
  const std::string* v = Value();
  if (!v) return OptionParse::kFailed;
  SweepVariable sweep;
  int steps = 0;
  if (const std::string problem = ParseSweepOption(*v, sweep, steps); !problem.empty()) {
    error_ = "--sweep: " + problem;
    return OptionParse::kFailed;
  }
  if (o_.sweepSteps && steps != o_.sweepSteps) {
    error_ = "--sweep: у всех изменяемых величин должно быть одно число шагов";
    return OptionParse::kFailed;
  }
  o_.sweeps.push_back(sweep);
  o_.sweepSteps = steps;
  return OptionParse::kOk;
}

// How the program runs and talks.
OptionParse OptionReader::Run(const std::string& a) {
  bool* flag = a == "--help" || a == "-h" ? &o_.help
               : a == "--version"         ? &o_.version
               : a == "--yes"             ? &o_.yes
               : a == "--quiet"           ? &o_.quiet
               : a == "--timings"         ? &o_.timings
                                          : nullptr;
  if (!flag) return OptionParse::kNotMine;
  *flag = true;
  return OptionParse::kOk;
}

bool OptionReader::CheckCombination() {
  auto refuse = [&](const char* why) {
    error_ = why;
    return false;
  };
  if (!o_.mapFile && (mapSizeGiven_ || o_.mapRect))
    return refuse("--map-size и --map-rect действуют только вместе с --map FILE");
  if (!o_.fieldLinesFile && linesCountGiven_)
    return refuse("--field-lines-per-electrode действует только вместе с --field-lines FILE");
  if (o_.sweeps.empty() != !o_.sweepOut) return refuse("--sweep и --sweep-out действуют только вместе");
  if (!o_.sweeps.empty() && (o_.mapFile || o_.fieldLinesFile || o_.summaryFile || o_.gapCurves || o_.saveRefined ||
                             o_.control || o_.controlPotentials || o_.dumpMatrix || o_.dumpInverse))
    return refuse("--sweep не сочетается с файлами одного расчета (--map, --field-lines, --summary, --gap-curves, "
                  "--save-refined, --control...)");
  if (!o_.targetError && o_.saveRefined) return refuse("--save-refined требует --target-error");
  if (!CheckGeometryOptions(o_.geometry, o_.systemFile, error_)) return false;
  if (!o_.help && !o_.version && o_.systemFile.empty() && !o_.geometry.importDxf)
    return refuse("не указан файл полеобразующей системы");
  return true;
}

}  // namespace

std::optional<CalcOptions> ParseOptions(const std::vector<std::string>& args, std::string& error) {
  CalcOptions o;
  if (!OptionReader(args, o, error).Read()) return std::nullopt;
  return o;
}

std::string ApplyParameterOptions(const CalcOptions& o, CalcParameters& p) {
  if (o.resultsFolder) {
    p.ResultsFolder = *o.resultsFolder;
    // The control file goes with the results unless it is named.
    p.ControlFilePath = ControlFileIn(p.ResultsFolder);
  }
  if (o.controlFile) p.ControlFilePath = *o.controlFile;
  auto take = [](const auto& option, auto& value) {
    if (option) value = *option;
  };
  take(o.externalField, p.ExternalField);
  take(o.earth, p.UseEarth);
  take(o.testClosure, p.TestClosure);
  take(o.control, p.ControlCalc);
  take(o.controlPotentials, p.ControlPotentials);
  take(o.dumpMatrix, p.DumpMatrix);
  take(o.dumpInverse, p.DumpInverseMatrix);
  take(o.pointsBetween, p.PointsBetweenCPs);
  take(o.surfaceResults, p.SurfaceResults);
  take(o.precise, p.Precise);
  take(o.capacitance, p.Capacitance);
  InceptionParameters& inception = p.Inception;
  if (o.inceptionGas) {
    inception.Enabled = true;
    inception.Gas = *o.inceptionGas;
  }
  take(o.pressureBar, inception.PressureBar);
  take(o.temperatureC, inception.TemperatureC);
  take(o.inceptionK, inception.K);
  if (!o.inceptionFrom.empty()) inception.From = o.inceptionFrom;
  const bool conditions = o.pressureBar || o.temperatureC || o.inceptionK || !o.inceptionFrom.empty();
  if (conditions && !inception.Enabled)
    return "--pressure-bar, --temperature-c, --inception-k и --inception-from действуют только вместе с "
           "--inception GAS (или с оценкой разряда, включенной в файле параметров системы)";
  return {};
}
