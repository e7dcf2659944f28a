#include <gtest/gtest.h>

#include <QWidget>

TEST(DialogSmoke, WidgetsCanBeCreated) {
  QWidget w;
  w.resize(100, 100);
  w.show();
  EXPECT_TRUE(w.isVisible());
}
