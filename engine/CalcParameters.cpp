#include "engine/CalcParameters.h"

#include "model/TextFormat.h"

namespace {

const char* YesNo(bool v) { return v ? "Да\r\n" : "Нет\r\n"; }

}  // namespace

std::string ControlFileIn(const std::string& folder) {
  if (folder.empty()) return "ControlCalc.txt";
  return folder.back() == '/' ? folder + "ControlCalc.txt" : folder + "/ControlCalc.txt";
}

std::string ParameterSummary(const CalcParameters& p) {
  std::string t = "Расчет будет производиться со следующими параметрами: \r\n";
  t += "Напряженность внешнего эл. поля = " + text::Format("%1.3f\r\n", p.ExternalField);
  t += std::string("Расчет проводиться с учетом отражения в земле: ") + YesNo(p.UseEarth);
  t += std::string("Расчет напряженностей во всех КТ: ") + YesNo(p.ControlCalc);
  t += std::string("Расчет потенциалов во всех КТ: ") + YesNo(p.ControlPotentials);
  t += std::string("Запись матрицы потециальных коэффициентов: ") + YesNo(p.DumpMatrix);
  t += std::string("Запись обращенной матрицы потециальных коэффициентов: ") + YesNo(p.DumpInverseMatrix);
  t += std::string("Проверка замкнутости областей: ") + YesNo(p.TestClosure);
  t += text::Format("Расчетных точек между КТ: %d\r\n", p.PointsBetweenCPs);
  t += std::string("Запись результатов по поверхностям: ") + YesNo(p.SurfaceResults);
  t += "Папка результатов: " + p.ResultsFolder + "\r\n";
  t += "Контрольный файл: " + p.ControlFilePath + "\r\n";
  t += std::string("Точный расчет (эллиптические интегралы без приближения): ") + YesNo(p.Precise);
  t += std::string("Расчет матрицы емкостей: ") + YesNo(p.Capacitance);
  return t;
}
