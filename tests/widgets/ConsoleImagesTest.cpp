#include <gtest/gtest.h>

#include <memory>

#include "widgets/ConsoleImages.h"

namespace {

TEST(ConsoleImages, ListsHaveTheConsolesSizesAndEntries) {
  QObject owner;
  struct Expected {
    TImageList* list;
    QSize size;
    int count;
  };
  const Expected lists[] = {
      {qv::makeWarnImages(&owner), {110, 110}, 3},
      {qv::makeLaserStatusDescImages(&owner), {110, 50}, 3},
      {qv::makeLedImages(&owner), {24, 24}, 5},
      {qv::makeWarningBadge(&owner), {106, 30}, 1},
      {qv::makeGlyphImages(&owner), {16, 16}, 7},
  };
  for (const Expected& e : lists) {
    EXPECT_EQ(e.list->parent(), &owner);
    EXPECT_EQ(e.list->size(), e.size);
    EXPECT_EQ(e.list->count(), e.count);
  }
  EXPECT_EQ(qv::makeAllImageLists(&owner).size(), std::size(lists));
}

TEST(ConsoleImages, IconsOfferTheirSizesAtEveryPixelRatio) {
  const QIcon app = qv::applicationIcon();
  ASSERT_FALSE(app.isNull());
  const QList<QSize> sizes = app.availableSizes();
  for (int s : {16, 24, 32, 48, 64, 128, 256}) EXPECT_TRUE(sizes.contains(QSize(s, s))) << s;

  for (qv::Glyph g :
       {qv::Glyph::Connected, qv::Glyph::Disconnected, qv::Glyph::Terminal, qv::Glyph::Options,
        qv::Glyph::Send, qv::Glyph::ClearLog, qv::Glyph::ClosePanel}) {
    const QIcon icon = qv::glyphIcon(g);
    ASSERT_FALSE(icon.isNull());
    const QPixmap at2x = icon.pixmap(QSize(16, 16), 2.0);
    EXPECT_EQ(at2x.size(), QSize(32, 32)) << "drawn for the ratio, not scaled up";
    EXPECT_EQ(at2x.devicePixelRatio(), 2.0);
  }
  const QPixmap cover = qv::coverPicture().pixmap(QSize(48, 48), 1.0);
  EXPECT_EQ(cover.size(), QSize(48, 48));
}

}  // namespace
