#pragma once
// The geometry view's picture (system, field picture, colour bar, axes) as a
// file: PNG or SVG by the name's suffix, drawn by the view's own PaintSystem
// at the size of the window, as on screen.

#include <QSize>
#include <QString>
#include <functional>

class CKalvorView;
class QPainter;

// A picture drawn by `draw` on a white page of `size`, written to `path` as
// PNG or SVG by the name's suffix, saved whole or not at all. Returns "" on
// success, else the reason; a suffix it does not know is refused with
// `formats` named in the message.
QString SavePicture(const QString& path, QSize size, const std::function<void(QPainter&)>& draw,
                    const QString& formats = QStringLiteral(".png или .svg"));

// Returns an empty string on success, else the reason.
QString ExportView(CKalvorView& view, const QString& path);
