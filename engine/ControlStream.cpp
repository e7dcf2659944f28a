#include "engine/ControlStream.h"

#include "model/TextFormat.h"

bool ControlStream::Open(const std::string& path) {
  const bool opened = file_.Open(path);
  fixed_ = scientific_ = false;
  precision_ = 6;
  failed_ = false;
  return opened;
}

bool ControlStream::Close() {
  if (!file_.IsOpen()) return !failed_;
  // A stream that failed makes the commit fail too, naming the cause.
  if (!file_.Commit()) failed_ = true;
  return !failed_;
}

ControlStream& ControlStream::Text(std::string_view s, int width) {
  if (!file_.IsOpen()) return *this;
  std::ostream& out = file_.Stream();
  if (width > 0 && static_cast<int>(s.size()) < width) out << std::string(width - s.size(), ' ');
  size_t start = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\n') continue;
    out.write(s.data() + start, static_cast<std::streamsize>(i - start));
    out.write("\r\n", 2);
    start = i + 1;
  }
  out.write(s.data() + start, static_cast<std::streamsize>(s.size() - start));
  if (out.fail()) failed_ = true;
  return *this;
}

ControlStream& ControlStream::Int(long long v, int width) {
  return Text(text::Format("%lld", v), width);
}

std::string ControlStream::FormatDouble(double v) const {
  const char* fmt = fixed_ == scientific_ ? "%.*g" : (scientific_ ? "%.*e" : "%.*f");
  return text::Format(fmt, precision_, v);
}

ControlStream& ControlStream::Double(double v, int width) { return Text(FormatDouble(v), width); }
