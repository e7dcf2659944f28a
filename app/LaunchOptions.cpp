#include "app/LaunchOptions.h"

namespace {

bool RussianLocale(const std::function<std::string(const char*)>& env) {
  // The first of these that is set decides, as for gettext.
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const std::string value = env(name);
    if (!value.empty()) return value.rfind("ru", 0) == 0;
  }
  return false;
}

// Qt's own options that take a value (kalvor -platform offscreen FILE).
bool QtOptionWithValue(const std::string& a) {
  for (const char* o : {"-platform", "-platformpluginpath", "-platformtheme", "-plugin", "-qmljsdebugger",
                        "-style", "-stylesheet", "-session", "-display", "-geometry", "-title", "-qwindowgeometry",
                        "-qwindowtitle", "-qwindowicon", "-screen", "-fontengine"})
    if (a == o || a == std::string("-") + o) return true;
  return false;
}

}  // namespace

std::string VersionText() { return std::string("kalvor ") + KALVOR_VERSION + "\n"; }

std::string UsageText(bool russian) {
  if (russian)
    return "Использование: kalvor [ФАЙЛ]\n"
           "Расчет осесимметричных электростатических полей методом эквивалентных зарядов.\n"
           "Без аргументов открывает новую пустую систему, с именем файла - эту систему.\n"
           "\n"
           "  --help      эта справка\n"
           "  --version   версия программы\n"
           "\n"
           "Программе нужен графический дисплей. Расчет без окна (в скриптах, по ssh)\n"
           "выполняет kalvor-calc ФАЙЛ, см. kalvor-calc --help.\n";
  return "Usage: kalvor [FILE]\n"
         "Axisymmetric electrostatic fields by the charge simulation method.\n"
         "Without arguments it opens a new empty system, with a file name that system.\n"
         "\n"
         "  --help      this help\n"
         "  --version   the program's version\n"
         "\n"
         "The program needs a graphical display. Calculations without a window (scripts,\n"
         "ssh) are run by kalvor-calc FILE, see kalvor-calc --help.\n";
}

LaunchDecision DecideLaunch(const std::vector<std::string>& args,
                            const std::function<std::string(const char*)>& env) {
  LaunchDecision d;
  bool platformGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      d.proceed = false;
      d.out = UsageText(RussianLocale(env));
      return d;
    }
    if (a == "--version") {
      d.proceed = false;
      d.out = VersionText();
      return d;
    }
    if (QtOptionWithValue(a)) {
      // A platform or an X display named on the command line needs no variable.
      platformGiven = platformGiven || a == "-platform" || a == "--platform" || a == "-display" || a == "--display";
      ++i;
      continue;
    }
    if (a.size() > 2 && a.rfind("--", 0) == 0) {
      d.proceed = false;
      d.exitCode = 2;
      d.err = "kalvor: неизвестный параметр " + a + " (kalvor --help - справка)\n";
      return d;
    }
  }
  if (!platformGiven && env("DISPLAY").empty() && env("WAYLAND_DISPLAY").empty() &&
      env("QT_QPA_PLATFORM").empty()) {
    d.proceed = false;
    d.exitCode = 1;
    d.err =
        "kalvor: нет графического дисплея (не заданы переменные DISPLAY и WAYLAND_DISPLAY).\n"
        "Программа kalvor открывает окно и без дисплея работать не может.\n"
        "Расчет без окна выполняет kalvor-calc, например:\n"
        "  kalvor-calc СИСТЕМА.txt\n"
        "(kalvor-calc --help - все параметры).\n";
  }
  return d;
}
