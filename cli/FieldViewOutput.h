#pragma once
// kalvor-calc --map and --field-lines: computes them after a successful
// calculation and writes the CSV files.

class ConsoleProgress;
class FieldCalc;
struct CalcOptions;

// 0 when every requested file was written; otherwise the message is on
// stderr and the result is 1 (an interrupted computation writes nothing).
int WriteFieldViews(const FieldCalc& calc, const CalcOptions& opt, ConsoleProgress& console);
