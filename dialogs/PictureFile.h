#pragma once
// A picture as a file: PNG or SVG by the name's suffix, written whole or not
// at all. Shared by the geometry view, the plots and the study's chart.

#include <QSize>
#include <QString>
#include <functional>

class QPainter;

// A picture drawn by `draw` on a white page of `size`, written to `path` as
// PNG or SVG by the name's suffix, saved whole or not at all. Returns "" on
// success, else the reason; a suffix it does not know is refused with
// `formats` named in the message.
QString SavePicture(const QString& path, QSize size, const std::function<void(QPainter&)>& draw,
                    const QString& formats = QStringLiteral(".png или .svg"));
