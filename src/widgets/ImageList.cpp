#include "widgets/ImageList.h"

#include <QPainter>

TImageList::TImageList(int width, int height, QObject* parent)
    : QObject(parent), width_(width), height_(height) {}

void TImageList::setSize(int width, int height) {
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  emit changed();
}

int TImageList::add(TImageDrawing drawing) {
  drawings_.push_back(std::move(drawing));
  emit changed();
  return count() - 1;
}

void TImageList::clear() {
  if (drawings_.empty()) return;
  drawings_.clear();
  emit changed();
}

void TImageList::draw(QPainter& painter, int x, int y, int index) const {
  if (index < 0 || index >= count() || width_ <= 0 || height_ <= 0) return;
  const TImageDrawing& drawing = drawings_[static_cast<size_t>(index)];
  if (!drawing) return;
  painter.save();
  painter.translate(x, y);
  painter.setClipRect(QRect(0, 0, width_, height_), Qt::IntersectClip);
  painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                         QPainter::SmoothPixmapTransform);
  drawing(painter, size());
  painter.restore();
}

QPixmap TImageList::pixmap(int index, qreal devicePixelRatio) const {
  if (devicePixelRatio <= 0) devicePixelRatio = 1.0;
  const QSize pixels(qMax(1, qRound(width_ * devicePixelRatio)),
                     qMax(1, qRound(height_ * devicePixelRatio)));
  QPixmap pm(pixels);
  pm.setDevicePixelRatio(devicePixelRatio);
  pm.fill(Qt::transparent);
  QPainter painter(&pm);
  draw(painter, 0, 0, index);
  return pm;
}
