#include "widgets/ImageList.h"

#include <QPaintDevice>
#include <QPainter>
#include <QTransform>

TImageList::TImageList(int width, int height, QObject* parent)
    : QObject(parent), width_(width), height_(height) {}

void TImageList::setSize(int width, int height) {
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  forgetPixmaps();
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
  forgetPixmaps();
  emit changed();
}

void TImageList::paint(QPainter& painter, qreal x, qreal y, int index) const {
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

void TImageList::draw(QPainter& painter, int x, int y, int index) const {
  if (index < 0 || index >= count() || width_ <= 0 || height_ <= 0) return;
  // A scaled or rotated painter gets the drawing itself, which stays sharp at any scale.
  if (painter.worldTransform().type() > QTransform::TxTranslate) {
    paint(painter, x, y, index);
    return;
  }
  const qreal ratio = painter.device() ? painter.device()->devicePixelRatio() : 1.0;
  const std::pair<int, int> key(index, qRound(ratio * 100));
  auto it = pixmaps_.find(key);
  if (it == pixmaps_.end()) it = pixmaps_.emplace(key, pixmap(index, ratio)).first;
  painter.drawPixmap(QPointF(x, y), it->second);
}

QPixmap TImageList::pixmap(int index, qreal devicePixelRatio) const {
  if (devicePixelRatio <= 0) devicePixelRatio = 1.0;
  const QSize pixels(qMax(1, qRound(width_ * devicePixelRatio)),
                     qMax(1, qRound(height_ * devicePixelRatio)));
  QPixmap pm(pixels);
  pm.setDevicePixelRatio(devicePixelRatio);
  pm.fill(Qt::transparent);
  if (index >= 0 && index < count() && width_ > 0 && height_ > 0) {
    QPainter painter(&pm);
    paint(painter, 0, 0, index);
  }
  return pm;
}
