// The dialog pictures come from SVG resources of the dialogs library alone.
#include <gtest/gtest.h>

#include "dialogs/Pictures.h"

TEST(ResourcePictures, EveryPictureLoadsAtItsSize) {
  EXPECT_EQ(pictures::ArcPicture().size(), QSize(48, 36));
  EXPECT_EQ(pictures::LinePicture().size(), QSize(48, 36));
  for (const QIcon& icon : {pictures::ArcCurveIcon(), pictures::LineCurveIcon(), pictures::MainIcon()})
    EXPECT_FALSE(icon.pixmap(16, 16).isNull());
}
