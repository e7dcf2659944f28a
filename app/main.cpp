// kalvor [FILE]: the desktop program.
#include <QApplication>

#include "app/CKalvorApp.h"
#include "engine/Blas.h"

int main(int argc, char* argv[]) {
  blas::SelectBestKernel(argc, argv);  // before anything else: it may restart the program
  QApplication app(argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral("kalvor"));  // taskbars find kalvor.desktop and its icon
  CKalvorApp kalvor;
  QStringList args = QApplication::arguments();
  args.removeFirst();
  if (!kalvor.InitInstance(args)) return 1;
  return app.exec();
}
