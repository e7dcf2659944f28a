// kalvor-calc end to end: options, exit codes, messages and the files it
// writes.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../common/SmallDisk.h"
#include "CliHarness.h"
#include "cli/Options.h"
#include "engine/FieldCalc.h"

namespace {

namespace fs = std::filesystem;

using clitest::Result;
using Cli = clitest::Harness;

const char* const kSphere =
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 0.000 ; 5.000 ; 90.00000 ; -90.00000 ; 10.000 ; 40 ; 1.0000 ;\n";

TEST_F(Cli, ConductorSphereWritesItsPotentialAndField) {
  const fs::path sys = Write("sphere.txt", kSphere);
  const Result r = Run(sys.string() + " --quiet --timings");
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_NE(r.out.find("Расчет завершен"), std::string::npos);
  EXPECT_NE(r.out.find("Контурных точек: 40, зарядов: 40, неизвестных: 40"), std::string::npos);
  for (const char* t : {"timing read ", "timing place ", "timing fill ", "timing solve ", "timing control ",
                        "timing results ", "timing gap ", "timing total ", "peak_rss_mb "})
    EXPECT_NE(r.out.find(t), std::string::npos) << t;
  EXPECT_TRUE(fs::exists(dir / "ControlCalc.txt"));  // results go beside the system file

  std::istringstream rows(Read(dir / "01.dat"));
  std::string header;
  std::getline(rows, header);
  int j = 0;
  for (std::string row; std::getline(rows, row); ++j) {
    double alfa, x, y, fi, en;
    ASSERT_EQ(std::sscanf(row.c_str(), "%lf %lf %lf %lf %lf", &alfa, &x, &y, &fi, &en), 5);
    if (j >= 1 && j <= 40) {  // contour points: rows 1..n for one point per interval
      EXPECT_NEAR(fi, 10.0, 1e-3) << row;
      EXPECT_NEAR(en, 10.0 / 5.0, 0.03) << row;
    }
  }
  EXPECT_EQ(j, 42);
}

TEST_F(Cli, FailuresExitWithTheirMessage) {
  const fs::path sys = Write("sphere.txt", kSphere);
  // Regression: a missing results folder was found only after the whole
  // calculation, with exit code 1 and a generic message. Now every output
  // path is checked first: exit 2, the folder and the cause named, nothing
  // written.
  Result r = Run(sys.string() + " --quiet --results " + (dir / "missing").string());
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.err.find("нет такой папки " + (dir / "missing").string()), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Error"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("Расчет завершен"), std::string::npos);
  for (const char* option : {"--map", "--summary", "--field-lines"}) {
    r = Run(sys.string() + " --quiet " + option + " " + (dir / "missing" / "out.txt").string());
    EXPECT_EQ(r.exit, 2) << option;
    EXPECT_NE(r.err.find("нет такой папки " + (dir / "missing").string()), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(option), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "01.dat")) << option;
    EXPECT_FALSE(fs::exists(dir / "ControlCalc.txt")) << option;
  }
  // The system file named like a result file in its results folder, and
  // --save-refined onto the system file itself.
  const fs::path named = Write("01.dat", kSphere);
  r = Run(named.string() + " --quiet");
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.err.find("исходный файл"), std::string::npos) << r.err;
  EXPECT_EQ(Read(named), kSphere);
  fs::remove(named);
  r = Run(sys.string() + " --quiet --target-error 1e-2 --save-refined " + sys.string());
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.err.find("--save-refined"), std::string::npos) << r.err;
  EXPECT_EQ(Read(sys), kSphere);

  // A reading error names the line and nothing is calculated.
  const fs::path bad = Write("bad.txt", std::string(kSphere) + "\n" + kSphere);
  r = Run(bad.string() + " --quiet");
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.err.find("Неверный тип образующей поверхности. Допустимые типы или 'c' или 'l'"), std::string::npos);
  EXPECT_NE(r.err.find("строка 2"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "01.dat"));

  // A number that overflows stops reading at its line; the lines above are
  // never calculated on their own.
  const fs::path huge = Write("huge.txt", std::string(kSphere) + "Me; 1 ; 2 ;    ; 1e400 ;\t\tl; 1 ; 0 ; 1 ; 10 ; 5 ; 4 ; 1 ;\n");
  r = Run(huge.string() + " --quiet");
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.err.find(FieldCalc::MessageFor(FieldCalc::kBadParameter)), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("строка 2"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir / "01.dat"));

  const fs::path empty = Write("empty.txt", "// nothing\n");
  r = Run(empty.string());
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.err.find("В файле исходных данных не найдены строки."), std::string::npos);

  r = Run((dir / "absent.txt").string());
  EXPECT_EQ(r.exit, 1);

  // Charges behind the axis are refused with the generatrix named.
  const fs::path axis = Write("axis.txt", "Me; 1 ; 2 ; ; 1 ; c; 0 ; 0 ; 5 ; 90 ; -90 ; 5 ; 1 ; 0.8 ;\n");
  r = Run(axis.string() + " --quiet");
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.err.find("Образующая 1"), std::string::npos) << r.err;
}

// Regression: --map, --field-lines, --summary and --save-refined were
// written in place: on a full disk the old map became a truncated file
// after "Расчет завершен". Each now keeps the old file whole, leaves no
// temporary, exits 1 and names the cause.
TEST_F(Cli, AFullDiskKeepsEveryOldOutputWhole) {
  SmallDisk disk("size=64k");
  ASSERT_TRUE(disk.Mounted() || ::geteuid() != 0);
  if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs (needs root)";
  const fs::path sys = Write("sphere.txt", kSphere);
  for (const std::string option : {"--map", "--field-lines", "--summary", "--save-refined"}) {
    SCOPED_TRACE(option);
    const fs::path out = disk.Path() / "out.txt";
    std::ofstream(out) << "previous";
    // Fill the disk but for a few bytes: the pre-check passes, the write fails.
    {
      std::ofstream filler(disk.Path() / "filler", std::ios::binary);
      const std::string block(1024, 'f');
      while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) filler.flush();
    }
    std::string args = sys.string() + " --quiet --results " + dir.string() + " " + option + " " + out.string();
    if (option == "--map") args += " --map-size 400x400";
    if (option == "--field-lines") args += " --field-lines-per-electrode 200";
    if (option == "--save-refined") args = "--target-error 1e-2 " + args;
    const Result r = Run(args);
    EXPECT_EQ(r.exit, 1) << r.err;
    EXPECT_NE(r.err.find("нет места на диске"), std::string::npos) << r.err;
    EXPECT_EQ(Read(out), "previous");
    fs::remove(disk.Path() / "filler");
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(disk.Path())) names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"out.txt"});
  }
}

TEST_F(Cli, ClosureQuestionNeedsYes) {
  const fs::path sys = Write("sphere.txt", kSphere);
  Result r = Run(sys.string() + " --quiet --test-closure");
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.err.find("Найдены незамкнутые области поверхностей."), std::string::npos);
  r = Run(sys.string() + " --quiet --test-closure --yes");
  EXPECT_EQ(r.exit, 0) << r.err;
}

TEST_F(Cli, GapCurvesAreWrittenAfterTheCalculation) {
  const fs::path sys = Write("sphere.txt", "Me; 1 ; 2 ; ; 1 ; c; 0 ; 20 ; 5 ; 90 ; -90 ; 10 ; 40 ; 1 ;\n");
  const fs::path gap = Write("gap.txt", "Me; 2 ; -1 ; ; 0 ; l; 0 ; 6 ; 0 ; 12 ;~ ; 0 ; 0 ; 5 ; 0 ;\r\n");
  const Result r = Run(sys.string() + " --quiet --earth --gap-curves " + gap.string());
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir / "01space.dat"));
}

// Ctrl+C used to be honoured only after the factorisation had run to its
// end; the first one now stops the solve itself, with the abort message
// and exit code 1.
TEST_F(Cli, CtrlCDuringTheSolveStopsIt) {
  std::ostringstream system;
  for (int k = 0; k < 10; ++k)  // about 6000 unknowns: a solve of a second or more
    system << "Me; " << 10 + k << " ; 1 ;    ; 1.0 ;\t\tc; 0 ; " << 20 + 12 * k << " ; 4 ; 90 ; -90 ; "
           << (k % 2 ? -100 : 100) << " ; 300 ; 1 ;\n"
           << "De; " << 100 + k << " ; 1 ;4.0 ; 1.0 ;\t\tl; 6 ; " << 23 + 12 * k << " ; 6 ; " << 17 + 12 * k
           << " ; 150 ; 1 ;\n";
  const fs::path file = Write("big.txt", system.str());
  int err[2];
  ASSERT_EQ(pipe(err), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(err[1], STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    execl(KALVOR_CALC, KALVOR_CALC, file.c_str(), "--earth", "--results", dir.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(err[1]);
  std::string text;
  char buf[4096];
  bool signalled = false;
  for (ssize_t got; (got = read(err[0], buf, sizeof buf)) > 0;) {
    text.append(buf, static_cast<size_t>(got));
    if (!signalled && text.find("Решение системы алгебраических уравнений") != std::string::npos) {
      kill(pid, SIGINT);
      signalled = true;
    }
  }
  close(err[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(signalled);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(text.find("Расчет прерван пользователем."), std::string::npos) << text;
  EXPECT_FALSE(fs::exists(dir / "01.dat"));
}

TEST(CliOptions, RangesAndUsage) {
  std::string error;
  EXPECT_TRUE(ParseOptions({"f.txt", "--external-field", "-1000", "--points-between", "100"}, error));
  EXPECT_FALSE(ParseOptions({"f.txt", "--external-field", "1000.5"}, error));
  EXPECT_NE(error.find("-1000"), std::string::npos);
  EXPECT_FALSE(ParseOptions({"f.txt", "--external-field", "nan"}, error));
  EXPECT_FALSE(ParseOptions({"f.txt", "--points-between", "1.5"}, error));
  EXPECT_FALSE(ParseOptions({"f.txt", "--points-between"}, error));
  EXPECT_FALSE(ParseOptions({"f.txt", "--bogus"}, error));
  EXPECT_FALSE(ParseOptions({}, error));
  auto help = ParseOptions({"--help"}, error);
  ASSERT_TRUE(help);
  EXPECT_TRUE(help->help);
  for (const char* o : {"--results", "--external-field", "--earth", "--test-closure", "--control",
                        "--control-potentials", "--dump-matrix", "--dump-inverse", "--control-file",
                        "--points-between", "--no-surface-results", "--gap-curves", "--yes", "--quiet"})
    EXPECT_NE(UsageText().find(o), std::string::npos) << o;
}

TEST_F(Cli, BadOptionsExitWithUsage) {
  const Result r = Run("x.txt --points-between 101");
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.err.find("Использование"), std::string::npos);
  EXPECT_EQ(Run("--help").exit, 0);
  EXPECT_EQ(Run("x.txt --target-error 0").exit, 2);
  EXPECT_EQ(Run("x.txt --max-unknowns 1.5").exit, 2);
  const Result lone = Run("x.txt --save-refined y.txt");
  EXPECT_EQ(lone.exit, 2);
  EXPECT_NE(lone.err.find("--target-error"), std::string::npos);
}

// Refinement works on a copy: the user's file stays as it was; the refined
// system goes only where --save-refined says, and reads back as a system.
TEST_F(Cli, RefinementNeverChangesTheSystemFile) {
  const std::string plane =
      "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 10.000 ; 5.000 ; 90.00000 ; -90.00000 ; 100.000 ; 20 ; 2.0000 ;\n";
  const fs::path sys = Write("plane.txt", plane);
  const fs::path refined = dir / "refined.txt";
  const fs::path summary = dir / "summary.json";
  const Result r = Run(sys.string() + " --earth --quiet --target-error 3e-5 --save-refined " + refined.string() +
                       " --summary " + summary.string());
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_EQ(Read(sys), plane);
  EXPECT_NE(r.out.find("Уточнение, шаг 2:"), std::string::npos) << r.out;
  const std::string text = Read(refined);
  EXPECT_NE(text.find("c; 0.000 ; 10.000 ; 5.000 ;"), std::string::npos) << text;
  EXPECT_EQ(text.find("; 20 ; 2.0000"), std::string::npos) << text;  // more contour points
  const Result again = Run(refined.string() + " --earth --quiet --no-surface-results");
  EXPECT_EQ(again.exit, 0) << again.err;
  const std::string json = Read(summary);
  for (const char* key : {"\"schema\": 1", "\"refinement\"", "\"rounds\"", "\"target_met\": true", "\"capacitance_f\""})
    EXPECT_NE(json.find(key), std::string::npos) << key;
}

// A target whose next round would not fit in the memory allowed ends before
// allocating it: exit 0, the reason in the summary, a warning saying how far
// it got, and results from the best system.
TEST_F(Cli, RefinementStopsBeforeARoundThatWouldNotFit) {
  const fs::path sys = Write("cylinder.txt",
                             "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 0.000 ; 10.000 ; 5.000 ; 10.000 ; 100.000 ; 20 ; 2.0 ;\n"
                             "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 5.000 ; 10.000 ; 5.000 ; 0.000 ; 100.000 ; 40 ; 2.0 ;\n"
                             "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 5.000 ; 0.000 ; 0.000 ; 0.000 ; 100.000 ; 20 ; 2.0 ;\n");
  const fs::path summary = dir / "summary.json";
  const Result r = Run(sys.string() + " --quiet --no-surface-results --target-error 1e-8 --max-memory 1 --summary " +
                       summary.string());
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_NE(r.err.find("Предупреждение: цель 1.00e-08 не достигнута"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("превысил бы предел памяти 1 МБ; достигнуто"), std::string::npos) << r.err;
  const std::string json = Read(summary);
  EXPECT_NE(json.find("\"stop_reason\": \"memory\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"max_field_error_kv_per_cm\""), std::string::npos);
}

// Refined cells finer than the file's 0.001 cm (a rod's tip junction at
// 1e-5) used to be written as pieces of zero length that no run could read
// back; they go together into one piece now, with a warning, and the saved
// system gives the refined tip field again.
TEST_F(Cli, SavedRefinementBelowTheFileResolutionReadsBack) {
  const fs::path sys = Write("rod.txt",
                             "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 24.000 ; 1.000 ; 90.00000 ; 0.00000 ; 100.000 ; 8 ; 2.0 ;\n"
                             "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 1.000 ; 24.000 ; 1.000 ; 6.000 ; 100.000 ; 40 ; 2.0 ;\n"
                             "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 6.000 ; 1.000 ; 0.00000 ; -90.00000 ; 100.000 ; 8 ; 2.0 ;\n");
  const fs::path refined = dir / "refined.txt", first = dir / "first.json", again = dir / "again.json";
  const Result r = Run(sys.string() + " --earth --quiet --no-surface-results --target-error 1e-5 --save-refined " +
                       refined.string() + " --summary " + first.string());
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_NE(r.err.find("точностью 0.001 см"), std::string::npos) << r.err;
  const Result back = Run(refined.string() + " --earth --quiet --precise --no-surface-results --summary " + again.string());
  ASSERT_EQ(back.exit, 0) << back.err;
  auto field = [&](const fs::path& p) {
    const std::string json = Read(p);
    const size_t at = json.find("\"max_field_kv_per_cm\"", json.find("\"bodies\""));
    return at == std::string::npos ? 0.0 : std::stod(json.substr(json.find(':', at) + 1));
  };
  EXPECT_NEAR(field(again), field(first), 1e-5 * field(first));
}

TEST_F(Cli, VersionIsTheProjectVersion) {
  const Result r = Run("--version");
  EXPECT_EQ(r.exit, 0);
  EXPECT_EQ(r.out, "kalvor-calc " KALVOR_VERSION "\n");
  EXPECT_NE(UsageText().find("--version"), std::string::npos);
}

}  // namespace
