#include "model/TextFormat.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <string>
#include <vector>

namespace text {
namespace {

locale_t CLocale() {
  static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return loc;
}

// Switches the calling thread to the "C" locale for its lifetime.
class CLocaleScope {
 public:
  CLocaleScope() : previous_(uselocale(CLocale())) {}
  ~CLocaleScope() { uselocale(previous_); }
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  locale_t previous_;
};

}  // namespace

std::string FormatV(const char* fmt, std::va_list args) {
  CLocaleScope scope;
  char small[256];
  std::va_list copy;
  va_copy(copy, args);
  const int len = std::vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (len < 0) return {};
  if (static_cast<size_t>(len) < sizeof small) return std::string(small, static_cast<size_t>(len));
  std::vector<char> big(static_cast<size_t>(len) + 1);
  std::vsnprintf(big.data(), big.size(), fmt, args);
  return std::string(big.data(), static_cast<size_t>(len));
}

std::string Format(const char* fmt, ...) {
  std::va_list args;
  va_start(args, fmt);
  std::string s = FormatV(fmt, args);
  va_end(args);
  return s;
}

double ParseDouble(const char* s, const char** end, bool* rangeError) {
  // strtod alone would also take hexadecimal numbers ("0x5"), "inf", "nan"
  // and "infinity"; the files hold decimal numbers only, so the longest
  // decimal prefix is found first and only it is converted.
  const char* p = s;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  const char* start = p;
  if (*p == '+' || *p == '-') ++p;
  const char* digits = p;
  while (*p >= '0' && *p <= '9') ++p;
  bool any = p != digits;
  if (*p == '.') {
    const char* frac = ++p;
    while (*p >= '0' && *p <= '9') ++p;
    any = any || p != frac;
  }
  if (rangeError) *rangeError = false;
  if (!any) {
    if (end) *end = s;
    return 0.0;
  }
  if (*p == 'e' || *p == 'E') {
    const char* q = p + 1;
    if (*q == '+' || *q == '-') ++q;
    if (*q >= '0' && *q <= '9') {
      while (*q >= '0' && *q <= '9') ++q;
      p = q;
    }
  }
  const std::string number(start, p);
  char* stop = nullptr;
  errno = 0;
  const double v = strtod_l(number.c_str(), &stop, CLocale());
  if (rangeError) *rangeError = (errno == ERANGE);
  if (end) *end = p;
  return v;
}

int TruncateToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(v);
}

}  // namespace text
