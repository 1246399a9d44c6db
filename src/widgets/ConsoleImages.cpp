#include "widgets/ConsoleImages.h"

#include <QPainter>

namespace qv {

namespace {

TImageList* placeholderList(QObject* parent, int w, int h, int count) {
  auto* list = new TImageList(w, h, parent);
  for (int i = 0; i < count; ++i)
    list->add([i](QPainter& p, const QSize& size) {
      p.setPen(Qt::NoPen);
      p.setBrush(QColor::fromHsv((i * 67) % 360, 160, 220));
      p.drawEllipse(QRectF(QPointF(0, 0), size).adjusted(1, 1, -1, -1));
    });
  return list;
}

}  // namespace

TImageList* makeWarnImages(QObject* parent) {
  return placeholderList(parent, 110, 110, 3);
}
TImageList* makeLaserStatusDescImages(QObject* parent) {
  return placeholderList(parent, 110, 50, 3);
}
TImageList* makeLedImages(QObject* parent) {
  return placeholderList(parent, 24, 24, 5);
}
TImageList* makeWarningBadge(QObject* parent) {
  return placeholderList(parent, 106, 30, 1);
}
TImageList* makeGlyphImages(QObject* parent) {
  return placeholderList(parent, 16, 16, 7);
}

std::vector<NamedImageList> makeAllImageLists(QObject* parent) {
  return {{QStringLiteral("WarnImages"), makeWarnImages(parent)},
          {QStringLiteral("LaserStatusDescImgs"), makeLaserStatusDescImages(parent)},
          {QStringLiteral("ImgsLED"), makeLedImages(parent)},
          {QStringLiteral("WarningBadge"), makeWarningBadge(parent)},
          {QStringLiteral("Glyphs"), makeGlyphImages(parent)}};
}

QIcon glyphIcon(Glyph) {
  return QIcon();
}
QIcon coverPicture() {
  return QIcon();
}
QIcon applicationIcon() {
  return QIcon();
}
std::vector<int> applicationIconSizes() {
  return {16, 24, 32, 48, 64, 128, 256};
}

}  // namespace qv
