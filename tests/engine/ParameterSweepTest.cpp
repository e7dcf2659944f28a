// Parameter studies: the option's syntax, setting a number in a copy, rows
// side by side equal to rows one by one, failures kept in their row.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "engine/ParameterSweep.h"
#include "engine/ProgressReporter.h"
#include "TestSystems.h"
#include "model/Arch.h"
#include "model/Line.h"

namespace {

// A sphere of radius 5 cm at 100 kV above the earth plane, and a plate.
const char* kSystem =
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 15.000 ; 5.000 ; 90.00000 ; -90.00000 ; 100.000 ; 30 ; 2.0000 ;\n"
    "Me; 3 ; 2 ;    ; 1.0 ;\t\tl; 0.000 ; 40.000 ; 6.000 ; 40.000 ; 0.000 ; 20 ; 2.0000 ;\n";

CalcParameters Earth() {
  CalcParameters p;
  p.UseEarth = true;
  return p;
}

TEST(ParameterSweep, OptionSyntax) {
  SweepVariable v;
  int steps = 0;
  EXPECT_EQ(ParseSweepOption("2:radius=1.5:3:7", v, steps), "");
  EXPECT_EQ(v.generatrix, 1);
  EXPECT_EQ(v.field, SweepField::kRadius);
  EXPECT_EQ(v.from, 1.5);
  EXPECT_EQ(v.to, 3.0);
  EXPECT_EQ(steps, 7);
  EXPECT_EQ(ParseSweepOption("external_field=-5:5:3", v, steps), "");
  EXPECT_EQ(v.generatrix, -1);
  EXPECT_EQ(v.field, SweepField::kExternalField);
  for (const char* bad : {"radius=1:2:3", "0:radius=1:2:3", "1:external_field=1:2:3", "1:width=1:2:3",
                          "1:radius=1:2", "1:radius=1:2:0", "1:radius=1:2:2.5", "1:radius=a:2:3", "1:radius=1:2:3:4"})
    EXPECT_NE(ParseSweepOption(bad, v, steps), "") << bad;
  // Both ends exactly, whatever the rounding of the steps between.
  v.from = 0.1;
  v.to = 0.7;
  EXPECT_EQ(SweepValue(v, 0, 7), 0.1);
  EXPECT_EQ(SweepValue(v, 6, 7), 0.7);
  EXPECT_EQ(SweepValue(v, 0, 1), 0.1);
}

TEST(ParameterSweep, SettingANumberChangesOnlyTheCopy) {
  FieldCalc calc;
  testsys::Load(calc, kSystem);
  CSurfColl copy = calc.Generatrices().Clone();
  CalcParameters p;
  EXPECT_EQ(ApplySweepValue(copy, p, {0, SweepField::kAngle2, 0, 0}, -45.0), "");
  EXPECT_EQ(ApplySweepValue(copy, p, {1, SweepField::kX2, 0, 0}, 8.0), "");
  EXPECT_EQ(ApplySweepValue(copy, p, {1, SweepField::kCount, 0, 0}, 9.6), "");
  EXPECT_EQ(ApplySweepValue(copy, p, {-1, SweepField::kExternalField, 0, 0}, 3.0), "");
  const auto& arc = static_cast<const Arch&>(*copy.At(0));
  const auto& line = static_cast<const Line&>(*copy.At(1));
  EXPECT_DOUBLE_EQ(RadiansToDegrees(arc.angle2), -45.0);
  EXPECT_EQ(line.x2, 8.0);
  EXPECT_EQ(line.pointCount, 10);
  EXPECT_DOUBLE_EQ(line.length, 8.0);  // the derived fields follow
  EXPECT_DOUBLE_EQ(line.step, 8.0 / 11);
  EXPECT_EQ(p.ExternalField, 3.0);
  EXPECT_EQ(static_cast<const Line&>(*calc.Generatrices().At(1)).x2, 6.0);
  EXPECT_NE(ApplySweepValue(copy, p, {0, SweepField::kX1, 0, 0}, 1.0), "");  // an arc has no x1
  EXPECT_NE(ApplySweepValue(copy, p, {5, SweepField::kLd, 0, 0}, 1.0), "");
  copy.At(0)->isFloating = true;
  EXPECT_NE(CheckSweep(copy, {{0, SweepField::kPotential, 0, 0}}), "");  // the run finds its potential
}

TEST(ParameterSweep, SideBySideGivesTheNumbersOfOneByOne) {
  FieldCalc calc;
  testsys::Load(calc, kSystem);
  const std::vector<SweepVariable> vars{{0, SweepField::kCy, 12.0, 18.0}, {1, SweepField::kLd, 2.0, -1.0}};
  SweepControl control;
  control.parallel = 2;
  int reported = 0;
  control.onRow = [&](int, const SweepRow&) { ++reported; };
  const std::vector<SweepRow> rows = RunSweep(calc.Generatrices(), Earth(), {}, vars, 4, control);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(reported, 4);
  for (int k = 0; k < 4; ++k) {
    SilentProgress ui;
    const SweepRow one = RunSweepPoint(calc.Generatrices(), Earth(), {}, vars, k, 4, ui);
    const SweepRow& r = rows[static_cast<size_t>(k)];
    EXPECT_EQ(r.values, one.values);
    EXPECT_EQ(r.success, one.success);
    EXPECT_EQ(r.error, one.error);
    EXPECT_EQ(r.charge, one.charge) << k;
    EXPECT_EQ(r.maxField, one.maxField) << k;
    // The capacitance comes from LAPACK's own LU, whose rounding follows
    // the BLAS threads (one per value side by side, all cores alone).
    ASSERT_EQ(r.capacitance.size(), one.capacitance.size());
    for (size_t i = 0; i < r.capacitance.size(); ++i)
      for (size_t j = 0; j < r.capacitance[i].size(); ++j)
        EXPECT_NEAR(r.capacitance[i][j], one.capacitance[i][j], 1e-12 * std::abs(one.capacitance[i][i])) << k;
  }
  // L/d runs 2, 1, 0, -1: the last two are refused, the others calculated.
  EXPECT_TRUE(rows[0].success && rows[1].success);
  EXPECT_FALSE(rows[2].success || rows[3].success);
  EXPECT_EQ(rows[3].errorCode, FieldCalc::kBadParameter);
  EXPECT_NE(rows[3].error.find("L/d"), std::string::npos);
  // Two bodies: the sphere and the plate.
  ASSERT_EQ(rows[0].charge.size(), 2u);
  EXPECT_GT(rows[1].maxField[0], 0.0);

  std::ostringstream csv;
  WriteSweepCsv(rows, csv);
  std::istringstream lines(csv.str());
  std::string header, first, last;
  std::getline(lines, header);
  std::getline(lines, first);
  for (std::string l; std::getline(lines, l);) last = l;
  EXPECT_EQ(header,
            "value,max_field_kv_per_cm_1,max_field_error_kv_per_cm_1,charge_c_1,max_field_kv_per_cm_2,"
            "max_field_error_kv_per_cm_2,charge_c_2,capacitance_f_1_1,capacitance_f_1_2,capacitance_f_2_1,"
            "capacitance_f_2_2,error");
  EXPECT_EQ(first.substr(0, 3), "12,");
  EXPECT_EQ(first.back(), ',');  // no error
  EXPECT_EQ(last.substr(0, 12), "18,,,,,,,,,,");
  EXPECT_NE(last.find(",\"Ошибка"), std::string::npos);
}

TEST(ParameterSweep, StopFlagEndsTheStudy) {
  FieldCalc calc;
  testsys::Load(calc, kSystem);
  std::atomic<bool> stop{true};
  SweepControl control;
  control.stop = &stop;
  const std::vector<SweepRow> rows =
      RunSweep(calc.Generatrices(), Earth(), {}, {{0, SweepField::kCy, 12.0, 18.0}}, 3, control);
  ASSERT_EQ(rows.size(), 3u);
  for (const SweepRow& r : rows) {
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.errorCode, FieldCalc::kAborted);
  }
}

}  // namespace
