#pragma once
// Reading of one element text line: ';'-separated fields, read field by field
// with the lenient rules of the file format (an empty or bad field reads 0).

#include <functional>
#include <istream>
#include <memory>
#include <string>

class SurfData;

class ElementLineReader {
 public:
  explicit ElementLineReader(std::string text) : rest_(std::move(text)) {}

  // Text before the next ';', trimmed; empty (and nothing consumed) when
  // there is no further ';'.
  std::string Token();
  // The number at the start of the rest; the rest then starts after the
  // first ';' at or beyond the number. 0 when nothing converts.
  double Number();
  int Integer();

  // Material, regions, permittivities and the kind letter.
  void ReadCommon(SurfData& e);
  // Potential (conductors), point count and L/d.
  void ReadTail(SurfData& e);

 private:
  std::string rest_;
};

// Upper-cases ASCII letters, as the readers compare fields case-blind.
std::string ToUpperAscii(std::string s);

// Builds a Line when the upper-cased text contains 'L', else an Arch when it
// contains 'C', else nothing.
std::unique_ptr<SurfData> MakeElementFromLine(const std::string& line);

// Whether every number of the element is finite: a decimal overflow
// ("1e400") reads as inf, which no file may hold or be written with.
bool AllNumbersFinite(const SurfData& e);

// Outcome of reading element lines from a stream.
struct ElementReadResult {
  int elements = 0;   // element lines read
  int errorCode = 0;  // 0, 7 for a line of no known kind, 3 for a number that overflows
  int errorLine = 0;  // 1-based line number of the offending line
};

// Reads element lines until the end or the first line of no known kind or
// with a number that overflows,
// handing each element to `sink`. Comment lines start with "//"; CR LF and
// LF both end a line, and a last line without a line end is read. Blank
// lines after the last element are ignored (editors leave them behind); a
// blank line followed by further content is an error like any other bad line.
ElementReadResult ReadElementLines(std::istream& in,
                                   const std::function<void(std::unique_ptr<SurfData>)>& sink);
