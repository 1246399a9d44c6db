// A list of equally sized pictures, each kept as a drawing (a function that paints it at the
// list's size), so it is drawn crisply at any device pixel ratio.
#pragma once

#include <QObject>
#include <QPixmap>
#include <QSize>
#include <functional>
#include <map>
#include <utility>
#include <vector>

class QPainter;

// Paints one picture into the rectangle (0, 0, size.width(), size.height()) of the painter.
using TImageDrawing = std::function<void(QPainter& painter, const QSize& size)>;

// The pictures are drawn in the list's current size; changing the size, adding or clearing
// notifies through changed(). Its destruction (QObject::destroyed) is the release notice:
// controls that draw from it drop their reference.
class TImageList : public QObject {
  Q_OBJECT
 public:
  explicit TImageList(int width, int height, QObject* parent = nullptr);

  int count() const { return static_cast<int>(drawings_.size()); }
  int width() const { return width_; }
  int height() const { return height_; }
  QSize size() const { return {width_, height_}; }
  void setWidth(int width) { setSize(width, height_); }
  void setHeight(int height) { setSize(width_, height); }
  void setSize(int width, int height);

  // Appends a picture and returns its index.
  int add(TImageDrawing drawing);
  void clear();

  // Draws picture `index` with its top left corner at (x, y), in its natural size, clipped to
  // it; an index outside 0..count()-1 draws nothing. On an unscaled painter the picture is
  // drawn once per device pixel ratio and copied from then on.
  void draw(QPainter& painter, int x, int y, int index) const;
  // Picture `index` as a pixmap at the given device pixel ratio (a transparent one of the
  // list's size for an index outside the list).
  QPixmap pixmap(int index, qreal devicePixelRatio = 1.0) const;

 signals:
  void changed();

 private:
  // Paints the drawing itself, at any transformation of the painter.
  void paint(QPainter& painter, qreal x, qreal y, int index) const;
  void forgetPixmaps() { pixmaps_.clear(); }

  int width_;
  int height_;
  std::vector<TImageDrawing> drawings_;
  // Pictures drawn so far, by (index, device pixel ratio in hundredths).
  mutable std::map<std::pair<int, int>, QPixmap> pixmaps_;
};
