#pragma once
// The program's pictures: the ten tree-pane images and the toolbar buttons,
// SVG files under views/icons/ in the resource views/KalvorIcons.qrc.

#include <QIcon>

namespace KalvorIcons {

enum TreeImage {
  kGeneral = 0,
  kLineItem = 1,
  kArcItem = 2,
  kDielectric = 3,
  kConductor = 4,
  kCoordinates = 5,
  kX = 6,
  kY = 7,
  kRadius = 8,
  kAngle = 9,
  kTreeImageCount = 10
};

// 16 x 16 images of the tree pane, by index.
QIcon TreeIcon(int index);

enum ToolImage {
  kNew, kOpen, kSave, kCut, kCopy, kPaste, kPrintPreview, kZoomIn, kZoomOut, kPrint,
  kAbout, kContextHelp, kCreateArc, kCreateLine, kMainIcon
};
// kMainIcon is the program's own icon (pictures::MainIcon).
QIcon ToolIcon(ToolImage image);

}  // namespace KalvorIcons
