#pragma once
// Locale-independent number text. The desktop toolkit switches the C locale
// to the user's one, which would turn "1.5" into "1,5" in our files; every
// file and message number therefore goes through these helpers.

#include <cstdarg>
#include <string>

namespace text {

// printf-style formatting into a std::string, always with the "C" locale.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* fmt, std::va_list args);

// Decimal string-to-double in the "C" locale: leading white space skipped,
// the longest decimal prefix ([sign] digits [. digits] [e [sign] digits])
// converted, 0 when there is none. Hexadecimal, "inf" and "nan" are not
// numbers here ("0x5" reads 0 and stops after the "0"). `end` receives the end of the
// converted prefix (== s when nothing was converted); `rangeError` is set
// when the conversion overflowed or underflowed.
double ParseDouble(const char* s, const char** end = nullptr, bool* rangeError = nullptr);

// Truncation towards zero of a file number into an int; values beyond the
// int range saturate and NaN gives 0, so no input can cause undefined
// behaviour.
int TruncateToInt(double v);

}  // namespace text
