#include "model/ElementText.h"

#include <cctype>
#include <cmath>
#include <vector>

#include "model/Arch.h"
#include "model/Line.h"
#include "model/SurfData.h"
#include "model/TextFormat.h"

namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

bool IsBlank(const std::string& s) {
  for (char c : s)
    if (!std::isspace(static_cast<unsigned char>(c))) return false;
  return true;
}

}  // namespace

std::string ElementLineReader::Token() {
  const size_t semi = rest_.find(';');
  if (semi == std::string::npos) return {};
  std::string token = Trim(rest_.substr(0, semi));
  rest_.erase(0, semi + 1);
  return token;
}

double ElementLineReader::Number() {
  const char* begin = rest_.c_str();
  const char* end = begin;
  const double v = text::ParseDouble(begin, &end);
  const size_t semi = rest_.find(';', static_cast<size_t>(end - begin));
  if (semi == std::string::npos)
    rest_.clear();
  else
    rest_.erase(0, semi + 1);
  return v;
}

int ElementLineReader::Integer() { return text::TruncateToInt(Number()); }

void ElementLineReader::ReadCommon(SurfData& e) {
  const std::string material = Token();
  if (material == "DE") {
    e.material = 0;
    e.isFloating = false;
    e.isFixed = false;
  } else {
    e.material = 1;
  }
  e.innerRegion = Integer();
  e.outerRegion = Integer();
  if (e.material == 1) {
    Token();
    e.epsInner = 0.0;
  } else {
    e.epsInner = Number();
  }
  e.epsOuter = Number();
  Token();  // kind letter; the caller decided the kind already
  e.fixedPotential = e.potentialFrom = e.potentialTo = 0.0;
  e.marked = false;
}

void ElementLineReader::ReadTail(SurfData& e) {
  if (e.material == 1) {
    const std::string t = Token();
    if (t == "X") {
      e.isFloating = true;
      e.isFixed = false;
      e.fixedPotential = 0.0;
    } else if (t == "~") {
      e.isFloating = false;
      e.isFixed = false;
      e.potentialFrom = text::ParseDouble(Token().c_str());
      e.potentialTo = text::ParseDouble(Token().c_str());
    } else {
      e.isFixed = true;
      e.isFloating = false;
      bool rangeError = false;
      e.fixedPotential = text::ParseDouble(t.c_str(), nullptr, &rangeError);
      if (rangeError && e.fixedPotential == 0.0) e.fixedPotential = 123456789.0;
    }
  }
  e.pointCount = Integer();
  e.ratioLd = Number();
}

std::string ToUpperAscii(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

bool AllNumbersFinite(const SurfData& e) {
  double a = 0, b = 0, c = 0, d = 0;
  e.GetEnds(a, b, c, d);
  double mx = 0, my = 0;
  e.GetMaxCorner(mx, my);
  for (double v : {e.epsInner, e.epsOuter, e.fixedPotential, e.potentialFrom, e.potentialTo, e.ratioLd, a, b, c, d,
                   mx, my})
    if (!std::isfinite(v)) return false;
  return true;
}

std::unique_ptr<SurfData> MakeElementFromLine(const std::string& line) {
  const std::string upper = ToUpperAscii(line);
  if (upper.find('L') != std::string::npos) return std::make_unique<Line>(upper);
  if (upper.find('C') != std::string::npos) return std::make_unique<Arch>(upper);
  return nullptr;
}

ElementReadResult ReadElementLines(std::istream& in,
                                   const std::function<void(std::unique_ptr<SurfData>)>& sink) {
  ElementReadResult result;
  std::string line;
  int lineNo = 0;
  int pendingBlank = 0;  // line number of a blank line not yet known to be trailing
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() >= 2 && line[0] == '/' && line[1] == '/') continue;
    if (IsBlank(line)) {
      if (pendingBlank == 0) pendingBlank = lineNo;
      continue;
    }
    if (pendingBlank != 0) {
      result.errorCode = 7;
      result.errorLine = pendingBlank;
      return result;
    }
    std::unique_ptr<SurfData> e = MakeElementFromLine(line);
    if (!e || !AllNumbersFinite(*e)) {
      result.errorCode = e ? 3 : 7;
      result.errorLine = lineNo;
      return result;
    }
    sink(std::move(e));
    ++result.elements;
  }
  return result;
}
