#pragma once
// The small pictures of the dialogs, SVG files of the resource
// dialogs/Pictures.qrc: the arc and line pictures of the kind chooser, the row
// icons of the gap-curve list and the program's own icon (also its desktop
// icon).

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace pictures {

QPixmap ArcPicture();    // kind chooser, "Окружности", 48 x 36
QPixmap LinePicture();   // kind chooser, "Прямой", 48 x 36
QIcon ArcCurveIcon();    // 16 x 16, gap-curve rows
QIcon LineCurveIcon();   // 16 x 16
QIcon MainIcon();        // the application's icon: window, About box, summary

// The icon of an SVG file of these resources (":/dialogs/…"). Registers them
// first: they live in a static library, whose resource object the linker
// would otherwise leave out.
QIcon ResourceIcon(const QString& path);

}  // namespace pictures
