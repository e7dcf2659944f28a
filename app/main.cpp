// kalvor [FILE]: the desktop program.
#include <QApplication>

#include "app/CKalvorApp.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  CKalvorApp kalvor;
  QStringList args = QApplication::arguments();
  args.removeFirst();
  if (!kalvor.InitInstance(args)) return 1;
  return app.exec();
}
