// The calculation command as every front end runs it: the summary, the
// order of steps, the questions, reporting once, and discarding failures.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/CalculationRun.h"
#include "ScriptedProgress.h"
#include "TestSystems.h"

namespace {

namespace fs = std::filesystem;

class Run : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kalvor-run-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    testsys::With(calc, [&](CalcParameters& p) { p.ResultsFolder = dir.string(); });
    testsys::With(calc, [&](CalcParameters& p) { p.ControlFilePath = (dir / "ControlCalc.txt").string(); });
  }
  void TearDown() override { fs::remove_all(dir); }

  fs::path dir;
  FieldCalc calc;
  ScriptedProgress ui;
  bool changed = true;
};

TEST_F(Run, SummaryText) {
  testsys::With(calc, [&](CalcParameters& p) { p.ExternalField = 1.5; });
  testsys::With(calc, [&](CalcParameters& p) { p.ControlCalc = true; });
  EXPECT_EQ(ParameterSummary(calc.Parameters()),
            "Расчет будет производиться со следующими параметрами: \r\n"
            "Напряженность внешнего эл. поля = 1.500\r\n"
            "Расчет проводиться с учетом отражения в земле: Нет\r\n"
            "Расчет напряженностей во всех КТ: Да\r\n"
            "Расчет потенциалов во всех КТ: Нет\r\n"
            "Запись матрицы потециальных коэффициентов: Нет\r\n"
            "Запись обращенной матрицы потециальных коэффициентов: Нет\r\n"
            "Проверка замкнутости областей: Нет\r\n"
            "Расчетных точек между КТ: 1\r\n"
            "Запись результатов по поверхностям: Да\r\n"
            "Папка результатов: " + dir.string() + "\r\n"
            "Контрольный файл: " + (dir / "ControlCalc.txt").string() + "\r\n"
            "Точный расчет (эллиптические интегралы без приближения): Нет\r\n"
            "Расчет матрицы емкостей: Да\r\n");  // on by default
}

TEST_F(Run, SuccessKeepsResultsAndWritesFiles) {
  testsys::Load(calc, testsys::Sphere(10, 10, 12));
  testsys::With(calc, [&](CalcParameters& p) { p.ControlFilePath = (dir / "ControlCalc.txt").string(); });
  const RunReport r = RunCalculation(calc, changed, ui);
  EXPECT_TRUE(r.success);
  EXPECT_EQ(r.parameters, calc.Parameters());
  EXPECT_FALSE(changed);
  EXPECT_TRUE(calc.HasSolution());
  EXPECT_EQ(calc.ErrorCode(), FieldCalc::kNoError);
  EXPECT_EQ(ui.messages, (std::vector<std::string>{"|Расчет завершен"}));
  EXPECT_TRUE(fs::exists(dir / "01.dat"));
  EXPECT_EQ(fs::file_size(dir / "ControlCalc.txt"),
            std::string(" Look our results:allocated 12 contour points and 12 charges in summary\r\n").size());
}

TEST_F(Run, FailuresAreReportedOnceAndDiscardEverything) {
  // A successful run first, so that there are results to lose.
  testsys::Load(calc, testsys::Sphere(10, 10, 12));
  ASSERT_TRUE(RunCalculation(calc, changed, ui).success);

  ui.messages.clear();
  testsys::With(calc, [&](CalcParameters& p) { p.ControlFilePath = (dir / "no" / "ControlCalc.txt").string(); });
  EXPECT_FALSE(RunCalculation(calc, changed, ui).success);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].rfind("Error|" + FieldCalc::MessageFor(FieldCalc::kFileOpen), 0), 0u);
  EXPECT_FALSE(calc.HasSolution());
  EXPECT_TRUE(calc.Charges().empty());
  EXPECT_EQ(calc.ErrorCode(), FieldCalc::kNoError);

  // Results folder missing: the control file is written, the run fails.
  ui.messages.clear();
  testsys::With(calc, [&](CalcParameters& p) { p.ControlFilePath = (dir / "ControlCalc.txt").string(); });
  testsys::With(calc, [&](CalcParameters& p) { p.ResultsFolder = (dir / "missing").string(); });
  EXPECT_FALSE(RunCalculation(calc, changed, ui).success);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].find("missing"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "ControlCalc.txt"));
  EXPECT_FALSE(calc.HasSolution());

  // A confirmed abort.
  ui.messages.clear();
  testsys::With(calc, [&](CalcParameters& p) { p.ResultsFolder = dir.string(); });
  ui.cancelQueries = 0;
  ui.cancelAt = 4;
  EXPECT_FALSE(RunCalculation(calc, changed, ui).success);
  EXPECT_EQ(ui.messages, (std::vector<std::string>{"Error|Расчет прерван пользователем."}));
  EXPECT_TRUE(calc.Points().empty());
}

TEST_F(Run, SecondDumpRepeatsTheFirst) {
  testsys::Load(calc, testsys::Sphere(10, 10, 6));
  testsys::With(calc, [&](CalcParameters& p) { p.DumpMatrix = p.DumpInverseMatrix = true; });
  ASSERT_TRUE(RunCalculation(calc, changed, ui).success);
  std::ifstream in(dir / "ControlCalc.txt", std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  std::vector<std::string> rows;
  for (std::string line; std::getline(ss, line);)
    if (line.find("::") == 4) rows.push_back(line);
  ASSERT_EQ(rows.size(), 12u);
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(rows[i], rows[i + 6]);
  EXPECT_EQ(calc.Coefficients().RowNo(), 6u);  // kept for the second dump
}

TEST_F(Run, OpenSurfacesAsk) {
  testsys::Load(calc, testsys::Sphere(10, 10, 12));  // one half circle: open by the rules
  testsys::With(calc, [&](CalcParameters& p) { p.TestClosure = true; });
  ui.answer = false;
  EXPECT_FALSE(RunCalculation(calc, changed, ui).success);
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(ui.questions[0], "May be late|" + FieldCalc::MessageFor(FieldCalc::kOpenSurfaces));
  EXPECT_TRUE(ui.messages.empty());  // No ends the run without another word
  EXPECT_FALSE(calc.HasSolution());

  ui.answer = true;
  EXPECT_TRUE(RunCalculation(calc, changed, ui).success);
  EXPECT_EQ(calc.ErrorCode(), FieldCalc::kNoError);
}

TEST_F(Run, EditedModelIsRecounted) {
  testsys::Load(calc, testsys::Sphere(10, 10, 12));
  auto edited = calc.Generatrices()[0]->Clone();
  edited->pointCount = 30;
  calc.ReplaceGeneratrix(0, std::move(edited));
  changed = true;
  ASSERT_TRUE(RunCalculation(calc, changed, ui).success);
  EXPECT_EQ(calc.TotalPoints(), 30);
  EXPECT_EQ(calc.Points().size(), 30u);
}

TEST_F(Run, GapCalculationNeedsResults) {
  testsys::Load(calc, testsys::Sphere(10, 10, 12));
  EXPECT_EQ(RunGapCalculation(calc, ui), -1);
  EXPECT_TRUE(fs::is_empty(dir));
}

}  // namespace
