#pragma once
// The geometry view's picture (system, field picture, colour bar, axes) as a
// file: PNG or SVG by the name's suffix, drawn by the view's own PaintSystem
// at the size of the window, as on screen.

#include <QString>

#include "dialogs/PictureFile.h"

class CKalvorView;

// Returns an empty string on success, else the reason.
QString ExportView(CKalvorView& view, const QString& path);
