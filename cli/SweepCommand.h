#pragma once
// kalvor-calc --sweep: one calculation per value, the values side by side on
// the machine's cores, one CSV line per value (--sweep-out).

class FieldCalc;
struct CalcOptions;

// `calc` holds the system read and the parameters of the options. Returns
// the exit code: 0 when every value was calculated, 1 when any failed (the
// CSV is written all the same) or nothing could be written, 2 for a
// variable the system does not have.
int RunSweepCommand(const FieldCalc& calc, const CalcOptions& opt);
