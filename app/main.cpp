// kalvor [FILE]: the desktop program.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/CKalvorApp.h"
#include "app/LaunchOptions.h"
#include "engine/Blas.h"

int main(int argc, char* argv[]) {
  // --help, --version and a missing display are settled before Qt, which
  // would abort without a display.
  const LaunchDecision launch = DecideLaunch(std::vector<std::string>(argv + 1, argv + argc), [](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value ? value : "");
  });
  std::fputs(launch.out.c_str(), stdout);
  std::fputs(launch.err.c_str(), stderr);
  if (!launch.proceed) return launch.exitCode;
  blas::SelectBestKernel(argc, argv);  // it may restart the program
  QApplication app(argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral("kalvor"));  // taskbars find kalvor.desktop and its icon
  CKalvorApp kalvor;
  QStringList args = QApplication::arguments();
  args.removeFirst();
  if (!kalvor.InitInstance(args)) return 1;
  return app.exec();
}
