#pragma once
// What kalvor settles before any window exists: --help and --version, an
// unknown option, and whether there is a display to open a window on. Qt's
// own start-up would abort without a display, and would take "--help" for a
// file name. Qt-free, so it runs before QApplication is constructed.

#include <functional>
#include <string>
#include <vector>

struct LaunchDecision {
  bool proceed = true;  // go on and open the window
  int exitCode = 0;
  std::string out;  // for stdout
  std::string err;  // for stderr
};

// `args` without the program name; `env` looks an environment variable up
// (empty when unset).
LaunchDecision DecideLaunch(const std::vector<std::string>& args,
                            const std::function<std::string(const char*)>& env);

// The usage text in the language of the locale (Russian or English).
std::string UsageText(bool russian);
std::string VersionText();
