#include "dialogs/Pictures.h"

// Outside any namespace: the macro declares the resource's init function.
static void RegisterPictures() { Q_INIT_RESOURCE(Pictures); }

namespace pictures {

namespace {

void RegisterResources() {
  static const bool registered = (RegisterPictures(), true);
  (void)registered;
}

// SVG files carry their own width and height; QIcon renders them sharp at any
// device pixel ratio.
QPixmap Picture(const QString& path, QSize size) { return ResourceIcon(path).pixmap(size); }

}  // namespace

QIcon ResourceIcon(const QString& path) {
  RegisterResources();
  return QIcon(path);
}

QPixmap ArcPicture() { return Picture(QStringLiteral(":/dialogs/pictures/arc.svg"), QSize(48, 36)); }
QPixmap LinePicture() { return Picture(QStringLiteral(":/dialogs/pictures/line.svg"), QSize(48, 36)); }
QIcon ArcCurveIcon() { return ResourceIcon(QStringLiteral(":/dialogs/pictures/arc-curve.svg")); }
QIcon LineCurveIcon() { return ResourceIcon(QStringLiteral(":/dialogs/pictures/line-curve.svg")); }
QIcon MainIcon() { return ResourceIcon(QStringLiteral(":/dialogs/pictures/kalvor.svg")); }

}  // namespace pictures
