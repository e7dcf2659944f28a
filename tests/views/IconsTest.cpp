// The tree and toolbar pictures come from SVG resources: each must load and
// render (a missing file, a resource left out by the linker or a missing SVG
// plug-in all give empty icons).
#include <gtest/gtest.h>

#include <QImage>

#include "views/KalvorIcons.h"

namespace {

using namespace KalvorIcons;

bool Painted(const QIcon& icon, int size) {
  const QImage img = icon.pixmap(size, size).toImage();
  if (img.isNull()) return false;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (qAlpha(img.pixel(x, y)) > 0) return true;
  return false;
}

TEST(ResourceIcons, EveryTreeAndToolIconRenders) {
  for (int i = 0; i < kTreeImageCount; ++i) EXPECT_TRUE(Painted(TreeIcon(i), 16)) << "tree " << i;
  for (int i = kNew; i <= kMainIcon; ++i) EXPECT_TRUE(Painted(ToolIcon(ToolImage(i)), 16)) << "tool " << i;
  EXPECT_TRUE(Painted(ToolIcon(kMainIcon), 256));
  EXPECT_TRUE(TreeIcon(kTreeImageCount).isNull());
}

}  // namespace
