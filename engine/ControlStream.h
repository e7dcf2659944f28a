#pragma once
// The control file's output stream. Number formatting accumulates over the
// writers that share the stream: they only ever switch notations on, so a
// double comes out as %.Pe (scientific only), %.Pf (fixed only) or %.Pg
// (both or neither). A width applies to the next item only, right-aligned.
// Line ends are CR LF.

#include <fstream>
#include <string>
#include <string_view>

class ControlStream {
 public:
  bool Open(const std::string& path);
  bool IsOpen() const { return out_.is_open(); }
  // Closes the file; false when anything written was lost.
  bool Close();

  ControlStream& Text(std::string_view s, int width = 0);
  ControlStream& Int(long long v, int width = 0);
  ControlStream& Double(double v, int width = 0);
  ControlStream& EndLine() { return Text("\n"); }

  void SetFixed() { fixed_ = true; }
  void SetScientific() { scientific_ = true; }
  void SetPrecision(int p) { precision_ = p; }

  // The text Double() would write for v (for tests of the rules).
  std::string FormatDouble(double v) const;

 private:
  std::ofstream out_;
  bool fixed_ = false;
  bool scientific_ = false;
  int precision_ = 6;
  bool failed_ = false;
};
