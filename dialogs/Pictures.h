#pragma once
// The small pictures of the dialogs, drawn rather than loaded: the arc and
// line pictures of the kind chooser, the row icons of the gap-curve list and
// the program's main icon.

#include <QIcon>
#include <QPixmap>
#include <functional>

class QPainter;

namespace pictures {

// A w x h pixmap, transparent, that `paint` draws on with antialiasing.
QPixmap Drawn(int w, int h, const std::function<void(QPainter&)>& paint);

QPixmap ArcPicture();    // kind chooser, "Окружности"
QPixmap LinePicture();   // kind chooser, "Прямой"
QIcon ArcCurveIcon();    // 16 x 16, gap-curve rows
QIcon LineCurveIcon();   // 16 x 16
QIcon MainIcon();        // the application's window icon when it has one

}  // namespace pictures
