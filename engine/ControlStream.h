#pragma once
// The control file's output stream. Number formatting accumulates over the
// writers that share the stream: they only ever switch notations on, so a
// double comes out as %.Pe (scientific only), %.Pf (fixed only) or %.Pg
// (both or neither). A width applies to the next item only, right-aligned.
// Line ends are CR LF. The file is written under a temporary name and
// appears under its own only when closed complete.

#include "engine/AtomicFile.h"

#include <string>
#include <string_view>

class ControlStream {
 public:
  bool Open(const std::string& path);
  bool IsOpen() const { return file_.IsOpen(); }
  // Closes the file and puts it in place; false when anything written was
  // lost (the previous file then stays).
  bool Close();
  // Why Open or Close failed, in Russian ("нет места на диске").
  const std::string& Error() const { return file_.Error(); }
  // Drops what was written (after a failure or an abort).
  void Discard() { file_.Discard(); }

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
  AtomicFile file_;
  bool fixed_ = false;
  bool scientific_ = false;
  int precision_ = 6;
  bool failed_ = false;
};
