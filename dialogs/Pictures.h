#pragma once
// The small pictures of the dialogs, drawn rather than loaded: the arc and
// line pictures of the kind chooser, the row icons of the gap-curve list and
// the program's main icon.

#include <QIcon>
#include <QPixmap>

namespace pictures {

QPixmap ArcPicture();    // kind chooser, "Окружности"
QPixmap LinePicture();   // kind chooser, "Прямой"
QIcon ArcCurveIcon();    // 16 x 16, gap-curve rows
QIcon LineCurveIcon();   // 16 x 16
QIcon MainIcon();        // the application's window icon when it has one

}  // namespace pictures
