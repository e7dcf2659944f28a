#pragma once
// The one exception the module raises for the engine's failures: it becomes
// kalvor.Error(message, code) in Python, with the engine's error code and
// its Russian message (and what it names: a path, a line, a generatrix).

#include <stdexcept>
#include <string>

class KalvorError : public std::runtime_error {
 public:
  KalvorError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};
