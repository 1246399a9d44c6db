#include "widgets/ConsoleImages.h"

#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>
#include <functional>

#include "widgets/ConsoleFont.h"

namespace qv {

namespace {

// One palette for every picture: a slate ink for outlines and glyphs, and the signal colours.
namespace ink {
const QColor kInk(0x36, 0x3d, 0x47);      // outlines, glyph strokes
const QColor kInkSoft(0x5b, 0x64, 0x70);  // secondary strokes
const QColor kGrey(0x9a, 0xa1, 0xa9);
const QColor kGreyLight(0xd9, 0xdc, 0xe0);
const QColor kPaper(0xf7, 0xf8, 0xf9);
const QColor kSafetyYellow(0xff, 0xcc, 0x00);
const QColor kSafetyBlack(0x1e, 0x1e, 0x1c);
const QColor kRed(0xd7, 0x26, 0x26);
const QColor kRedDark(0x9e, 0x16, 0x16);
const QColor kGreen(0x2f, 0x9e, 0x44);
const QColor kBlue(0x1c, 0x64, 0xc8);
const QColor kOrange(0xee, 0x7a, 0x00);
}  // namespace ink

QPen roundPen(const QColor& colour, qreal width) {
  return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// ---- the laser-radiation warning triangle (110 x 110) ----

void drawWarningTriangle(QPainter& p, const QSize& size, const QColor& fill, const QColor& band) {
  const qreal s = size.width() / 110.0;
  p.scale(s, size.height() / 110.0);
  // An equilateral triangle standing on its base; the wide round-joined band rounds its corners.
  const qreal band_w = 8.5;
  const qreal left = 8, right = 102, base = 96;
  const qreal top = base - (right - left) * qSqrt(3.0) / 2;
  QPainterPath triangle;
  triangle.moveTo(55, top);
  triangle.lineTo(right, base);
  triangle.lineTo(left, base);
  triangle.closeSubpath();

  QLinearGradient shade(0, top, 0, base);
  shade.setColorAt(0, fill.lighter(108));
  shade.setColorAt(1, fill.darker(104));
  p.setPen(roundPen(band, band_w));
  p.setBrush(shade);
  p.drawPath(triangle);

  // The beam sign: a small sun with sixteen rays and the beam leaving it to the right.
  const QPointF c(45, 71);
  p.setPen(Qt::NoPen);
  p.setBrush(band);
  p.drawEllipse(c, 5.2, 5.2);
  for (int i = 0; i < 16; ++i) {
    if (i == 0) continue;  // the beam takes the ray to the right
    const qreal a = i * M_PI / 8;
    const qreal r0 = 8.5, r1 = (i % 2) ? 14.5 : 19.0;
    p.setPen(roundPen(band, 2.4));
    p.drawLine(QPointF(c.x() + r0 * qCos(a), c.y() - r0 * qSin(a)),
               QPointF(c.x() + r1 * qCos(a), c.y() - r1 * qSin(a)));
  }
  p.setPen(roundPen(band, 3.2));
  p.drawLine(QPointF(c.x() + 8.5, c.y()), QPointF(80, c.y()));
}

// The error sign: a red disc with a white exclamation mark.
void drawErrorMark(QPainter& p, const QSize& size) {
  p.scale(size.width() / 110.0, size.height() / 110.0);
  const QPointF c(55, 55);
  QRadialGradient disc(QPointF(46, 38), 70);
  disc.setColorAt(0, ink::kRed.lighter(118));
  disc.setColorAt(1, ink::kRed.darker(112));
  p.setPen(QPen(ink::kRedDark, 2.5));
  p.setBrush(disc);
  p.drawEllipse(c, 48, 48);

  // A bar narrowing toward its foot, and the point below it.
  QPainterPath bar;
  bar.moveTo(47.5, 24);
  bar.quadTo(55, 18.5, 62.5, 24);
  bar.lineTo(59, 66);
  bar.quadTo(55, 70, 51, 66);
  bar.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawPath(bar);
  p.drawEllipse(QPointF(55, 82), 7, 7);
}

// ---- words drawn as outlines with a light halo, so they read over the symbol ----

// The largest bold font (in whole pixels, at least 5) whose outline of `text` fits `box`.
QFont fittedFont(const QString& text, const QSizeF& box, const QString& face) {
  QFont f = consoleFont(face, 10, QFont::Bold);
  const auto fits = [&](int px) {
    f.setPixelSize(px);
    QPainterPath path;
    path.addText(0, 0, f, text);
    const QRectF r = path.boundingRect();
    return r.width() <= box.width() && r.height() <= box.height();
  };
  int lo = 5, hi = std::max(5, qFloor(box.height()));
  while (lo < hi) {  // the outline grows with the size: the largest that fits
    const int mid = (lo + hi + 1) / 2;
    if (fits(mid))
      lo = mid;
    else
      hi = mid - 1;
  }
  f.setPixelSize(lo);
  return f;
}

void drawWords(QPainter& p, const QRectF& box, const QString& text, const QColor& colour,
               const QString& face, qreal halo) {
  const QFont f = fittedFont(text, QSizeF(box.width() - 2 * halo, box.height() - 2 * halo), face);
  QPainterPath path;
  path.addText(0, 0, f, text);
  const QRectF r = path.boundingRect();
  path.translate(box.center() - r.center());
  if (halo > 0) {
    p.setPen(roundPen(QColor(255, 255, 255, 205), 2 * halo));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
  }
  p.setPen(roundPen(colour.darker(125), 0.8));
  p.setBrush(colour);
  p.drawPath(path);
}

void drawStatusWords(QPainter& p, const QSize& size, const QString& text, const QColor& colour) {
  drawWords(p, QRectF(0, 0, size.width(), size.height()).adjusted(2, 6, -2, -6), text, colour,
            QStringLiteral("Verdana"), 2.5);
}

// ---- lamps (24 x 24) ----

void drawLamp(QPainter& p, const QSize& size, const QColor& colour, bool lit) {
  p.scale(size.width() / 24.0, size.height() / 24.0);
  const QPointF c(12, 12);
  QLinearGradient bezel(0, 1, 0, 23);
  bezel.setColorAt(0, QColor(0x8c, 0x93, 0x9b));
  bezel.setColorAt(1, QColor(0x3f, 0x45, 0x4d));
  p.setPen(Qt::NoPen);
  p.setBrush(bezel);
  p.drawEllipse(c, 11, 11);

  QRadialGradient glass(QPointF(10, 9), 11);
  glass.setColorAt(0, colour.lighter(lit ? 150 : 125));
  glass.setColorAt(0.55, colour);
  glass.setColorAt(1, colour.darker(lit ? 150 : 135));
  p.setBrush(glass);
  p.setPen(QPen(colour.darker(180), 0.8));
  p.drawEllipse(c, 8.6, 8.6);

  QLinearGradient shine(0, 4, 0, 12);
  shine.setColorAt(0, QColor(255, 255, 255, lit ? 190 : 150));
  shine.setColorAt(1, QColor(255, 255, 255, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(shine);
  p.drawEllipse(QRectF(7, 4.6, 10, 6.4));
}

// ---- the warning badge (106 x 30) ----

void drawSmallTriangle(QPainter& p, const QRectF& r, const QColor& fill) {
  QPainterPath t;
  t.moveTo(r.center().x(), r.top());
  t.lineTo(r.right(), r.bottom());
  t.lineTo(r.left(), r.bottom());
  t.closeSubpath();
  p.setPen(roundPen(fill.darker(130), 1.6));
  p.setBrush(fill);
  p.drawPath(t);
  p.setPen(roundPen(Qt::white, 2.0));
  const qreal x = r.center().x();
  p.drawLine(QPointF(x, r.top() + r.height() * 0.36), QPointF(x, r.top() + r.height() * 0.64));
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(x, r.top() + r.height() * 0.82), 1.15, 1.15);
}

void drawWarningBadge(QPainter& p, const QSize& size) {
  p.scale(size.width() / 106.0, size.height() / 30.0);
  const QRectF body(0.75, 0.75, 104.5, 28.5);
  QLinearGradient shade(0, 0, 0, 30);
  shade.setColorAt(0, QColor(0xf1, 0xf2, 0xf4));
  shade.setColorAt(1, QColor(0xd3, 0xd6, 0xda));
  p.setPen(QPen(QColor(0x9a, 0xa1, 0xa9), 1.5));
  p.setBrush(shade);
  p.drawRoundedRect(body, 6, 6);
  drawSmallTriangle(p, QRectF(8, 6.5, 19, 17), ink::kOrange);
  drawWords(p, QRectF(31, 4, 67, 22), QStringLiteral("Warning"), ink::kOrange,
            QStringLiteral("Tahoma"), 0);
}

// ---- 16 x 16 glyphs, drawn on a 16 grid (strokes on half pixels stay sharp at 1x and 2x) ----

void drawPlugHalves(QPainter& p, bool joined, const QColor& fill) {
  p.setPen(roundPen(ink::kInk, 2));
  if (joined) {
    p.drawLine(QPointF(1, 8), QPointF(3.5, 8));
    p.drawLine(QPointF(12.5, 8), QPointF(15, 8));
    p.setPen(QPen(ink::kInk, 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(3.5, 4.5, 4.5, 7), 1.2, 1.2);
    p.drawRoundedRect(QRectF(8, 3.5, 4.5, 9), 1.2, 1.2);
  } else {
    p.drawLine(QPointF(1, 8), QPointF(2.5, 8));
    p.drawLine(QPointF(13.5, 8), QPointF(15, 8));
    p.setPen(QPen(ink::kInk, 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(2.5, 4.5, 3.5, 7), 1.1, 1.1);
    p.drawRoundedRect(QRectF(10, 3.5, 3.5, 9), 1.1, 1.1);
    p.setPen(QPen(ink::kInk, 1.2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(6, 6.5), QPointF(8.3, 6.5));
    p.drawLine(QPointF(6, 9.5), QPointF(8.3, 9.5));
  }
}

void drawConnected(QPainter& p) {
  drawPlugHalves(p, true, ink::kGreen);
}
void drawDisconnected(QPainter& p) {
  drawPlugHalves(p, false, ink::kGreyLight);
}

void drawTerminal(QPainter& p) {
  p.setPen(QPen(ink::kInk, 1));
  p.setBrush(QColor(0x2a, 0x30, 0x38));
  p.drawRoundedRect(QRectF(1.5, 2.5, 13, 11), 2, 2);
  p.setPen(roundPen(QColor(0x8e, 0xe0, 0x8e), 1.4));
  p.setBrush(Qt::NoBrush);
  p.drawPolyline(QPolygonF({QPointF(4, 6), QPointF(6.5, 8), QPointF(4, 10)}));
  p.setPen(roundPen(QColor(0xe8, 0xea, 0xed), 1.4));
  p.drawLine(QPointF(8, 10.5), QPointF(11.5, 10.5));
}

void drawGear(QPainter& p, const QPointF& c, qreal outer, qreal root, qreal hole, int teeth,
              const QColor& fill) {
  QPainterPath gear;
  const qreal step = 2 * M_PI / teeth;
  for (int i = 0; i < teeth; ++i) {
    const qreal a = i * step;
    // A tooth with sloped flanks: root, up to the tip, along the tip, down again.
    const qreal pts[4][2] = {{a - step * 0.30, root},
                             {a - step * 0.16, outer},
                             {a + step * 0.16, outer},
                             {a + step * 0.30, root}};
    for (int k = 0; k < 4; ++k) {
      const QPointF q(c.x() + pts[k][1] * qCos(pts[k][0]), c.y() + pts[k][1] * qSin(pts[k][0]));
      if (i == 0 && k == 0)
        gear.moveTo(q);
      else
        gear.lineTo(q);
    }
  }
  gear.closeSubpath();
  gear.addEllipse(c, hole, hole);
  gear.setFillRule(Qt::OddEvenFill);
  p.setPen(QPen(fill.darker(140), 0.8, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
  p.setBrush(fill);
  p.drawPath(gear);
}

void drawOptions(QPainter& p) {
  drawGear(p, QPointF(8, 8), 7.2, 5.0, 2.1, 8, ink::kInkSoft);
}

void drawSend(QPainter& p) {
  QPainterPath plane;
  plane.moveTo(1.5, 2.5);
  plane.lineTo(14.8, 8);
  plane.lineTo(1.5, 13.5);
  plane.lineTo(4, 8);
  plane.closeSubpath();
  p.setPen(QPen(ink::kBlue.darker(130), 0.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(ink::kBlue);
  p.drawPath(plane);
  p.setPen(roundPen(QColor(255, 255, 255, 170), 1));
  p.drawLine(QPointF(4.5, 8), QPointF(12, 8));
}

void drawClearLog(QPainter& p) {
  QPainterPath page;
  page.moveTo(2.5, 1.5);
  page.lineTo(9, 1.5);
  page.lineTo(12.5, 5);
  page.lineTo(12.5, 14.5);
  page.lineTo(2.5, 14.5);
  page.closeSubpath();
  p.setPen(QPen(ink::kInkSoft, 1));
  p.setBrush(ink::kPaper);
  p.drawPath(page);
  p.setPen(QPen(ink::kGrey, 1));
  for (qreal y : {5.5, 8.0, 10.5}) p.drawLine(QPointF(4.5, y), QPointF(y < 6 ? 8 : 10.5, y));
  // The red "clear" badge over the page's corner.
  p.setPen(QPen(ink::kRedDark, 0.8));
  p.setBrush(ink::kRed);
  p.drawEllipse(QPointF(11.5, 11.5), 4, 4);
  p.setPen(roundPen(Qt::white, 1.3));
  p.drawLine(QPointF(10, 10), QPointF(13, 13));
  p.drawLine(QPointF(13, 10), QPointF(10, 13));
}

void drawClosePanel(QPainter& p) {
  p.setPen(roundPen(ink::kInk, 2));
  p.drawLine(QPointF(4, 4), QPointF(12, 12));
  p.drawLine(QPointF(12, 4), QPointF(4, 12));
}

void drawGlyph(QPainter& p, const QSize& size, Glyph glyph) {
  p.scale(size.width() / 16.0, size.height() / 16.0);
  switch (glyph) {
    case Glyph::Connected:
      drawConnected(p);
      break;
    case Glyph::Disconnected:
      drawDisconnected(p);
      break;
    case Glyph::Terminal:
      drawTerminal(p);
      break;
    case Glyph::Options:
      drawOptions(p);
      break;
    case Glyph::Send:
      drawSend(p);
      break;
    case Glyph::ClearLog:
      drawClearLog(p);
      break;
    case Glyph::ClosePanel:
      drawClosePanel(p);
      break;
  }
}

// ---- the cover's picture: a large plug whose halves are apart (48 x 48) ----

void drawCover(QPainter& p, const QSize& size) {
  p.scale(size.width() / 48.0, size.height() / 48.0);
  p.translate(24, 24);
  p.rotate(-40);
  // Cables.
  p.setPen(roundPen(ink::kInk, 4));
  p.drawLine(QPointF(-23, 0), QPointF(-14, 0));
  p.drawLine(QPointF(14, 0), QPointF(23, 0));
  // Plug, with its two pins.
  QLinearGradient metal(0, -4, 0, 4);
  metal.setColorAt(0, QColor(0xe4, 0xe7, 0xea));
  metal.setColorAt(1, QColor(0x9a, 0xa1, 0xa9));
  p.setPen(QPen(ink::kInk, 1));
  p.setBrush(metal);
  p.drawRoundedRect(QRectF(-3.5, -5.2, 6, 2.6), 0.8, 0.8);
  p.drawRoundedRect(QRectF(-3.5, 2.6, 6, 2.6), 0.8, 0.8);
  QLinearGradient body(0, -8, 0, 8);
  body.setColorAt(0, QColor(0x6b, 0x74, 0x80));
  body.setColorAt(1, QColor(0x39, 0x40, 0x4a));
  p.setPen(QPen(QColor(0x24, 0x29, 0x30), 1.2));
  p.setBrush(body);
  QPainterPath plug;
  plug.moveTo(-15, -4.5);
  plug.lineTo(-12, -8);
  plug.lineTo(-3.5, -8);
  plug.lineTo(-3.5, 8);
  plug.lineTo(-12, 8);
  plug.lineTo(-15, 4.5);
  plug.closeSubpath();
  p.drawPath(plug);
  // Socket, with the openings facing the pins.
  QPainterPath socket;
  socket.moveTo(15, -4.5);
  socket.lineTo(12, -9);
  socket.lineTo(5.5, -9);
  socket.lineTo(5.5, 9);
  socket.lineTo(12, 9);
  socket.lineTo(15, 4.5);
  socket.closeSubpath();
  p.drawPath(socket);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1b, 0x1f, 0x25));
  p.drawRoundedRect(QRectF(5.5, -5, 2.2, 2.2), 0.5, 0.5);
  p.drawRoundedRect(QRectF(5.5, 2.8, 2.2, 2.2), 0.5, 0.5);
  // The break between them.
  p.setPen(roundPen(ink::kRed, 1.6));
  p.drawLine(QPointF(4, -11), QPointF(3, -14.5));
  p.drawLine(QPointF(4, 11), QPointF(3, 14.5));
  p.drawLine(QPointF(6.5, -11.5), QPointF(8.5, -14.5));
  p.drawLine(QPointF(6.5, 11.5), QPointF(8.5, 14.5));
}

// ---- the application icon: a console tile with a laser head and its beam ----

void drawApplicationIcon(QPainter& p, const QSize& size) {
  const qreal s = size.width();
  const bool tiny = s < 24;
  const bool small = s < 48;
  p.scale(s / 64.0, size.height() / 64.0);

  // The tile.
  const QRectF tile = tiny ? QRectF(1, 1, 62, 62) : QRectF(3, 3, 58, 58);
  QLinearGradient night(0, tile.top(), 0, tile.bottom());
  night.setColorAt(0, QColor(0x2d, 0x3e, 0x56));
  night.setColorAt(1, QColor(0x12, 0x1a, 0x27));
  p.setPen(tiny ? Qt::NoPen : QPen(QColor(0x0b, 0x10, 0x18), 1.2));
  p.setBrush(night);
  p.drawRoundedRect(tile, 12, 12);
  if (!tiny) {
    p.setPen(QPen(QColor(255, 255, 255, 40), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(tile.adjusted(1.6, 1.6, -1.6, -1.6), 10.5, 10.5);
  }

  const qreal beamY = small ? 30 : 27;
  // The beam, with a glow around it at sizes where a glow can be seen.
  const QColor beam(0xff, 0x3b, 0x30);
  if (!tiny) {
    for (const auto& [w, a] : {std::pair{9.0, 28}, std::pair{5.5, 60}}) {
      QColor glow = beam;
      glow.setAlpha(a);
      p.setPen(roundPen(glow, w));
      p.drawLine(QPointF(30, beamY), QPointF(52, beamY));
    }
  }
  p.setPen(roundPen(QColor(0xff, 0x6b, 0x5e), tiny ? 5 : 2.6));
  p.drawLine(QPointF(30, beamY), QPointF(tiny ? 56 : 52, beamY));
  if (!tiny) {
    p.setPen(roundPen(QColor(0xff, 0xe6, 0xe2), 1.0));
    p.drawLine(QPointF(31, beamY), QPointF(51, beamY));
    // Where the beam lands.
    QRadialGradient spot(QPointF(52, beamY), 7);
    spot.setColorAt(0, QColor(255, 250, 240, 255));
    spot.setColorAt(0.35, QColor(0xff, 0x6b, 0x5e, 200));
    spot.setColorAt(1, QColor(0xff, 0x3b, 0x30, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(spot);
    p.drawEllipse(QPointF(52, beamY), 7, 7);
  }

  // The laser head: a metal housing with its exit aperture.
  QLinearGradient metal(0, beamY - 9, 0, beamY + 9);
  metal.setColorAt(0, QColor(0xf1, 0xf3, 0xf5));
  metal.setColorAt(0.5, QColor(0xc3, 0xc9, 0xd0));
  metal.setColorAt(1, QColor(0x8a, 0x93, 0x9e));
  p.setPen(tiny ? Qt::NoPen : QPen(QColor(0x0b, 0x10, 0x18), 1.2));
  p.setBrush(metal);
  const QRectF head = tiny ? QRectF(6, beamY - 12, 24, 24) : QRectF(10, beamY - 9, 20, 18);
  p.drawRoundedRect(head, tiny ? 3 : 2.5, tiny ? 3 : 2.5);
  if (!tiny) {
    p.setPen(QPen(QColor(0x5b, 0x64, 0x70), 1));
    p.drawLine(QPointF(16, beamY - 9), QPointF(16, beamY + 9));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x24, 0x29, 0x30));
    p.drawRoundedRect(QRectF(28, beamY - 3.5, 4, 7), 1, 1);
  }

  // The console's read-outs: three lamps under the beam.
  if (!small) {
    const QColor lamps[] = {ink::kGreen.lighter(120), ink::kOrange, beam};
    for (int i = 0; i < 3; ++i) {
      p.setPen(Qt::NoPen);
      p.setBrush(lamps[i]);
      p.drawEllipse(QPointF(15 + i * 9, 48), 3, 3);
    }
    p.setPen(roundPen(QColor(255, 255, 255, 90), 2));
    p.drawLine(QPointF(38, 48), QPointF(50, 48));
  } else if (!tiny) {
    p.setPen(roundPen(QColor(255, 255, 255, 110), 3));
    p.drawLine(QPointF(12, 49), QPointF(52, 49));
  }
}

// An icon that paints its drawing at whatever size and ratio it is asked for. `design` is the
// size the drawing is made for (its pictures scale from it), `sizes` the sizes it offers.
class DrawingIconEngine : public QIconEngine {
 public:
  DrawingIconEngine(TImageDrawing drawing, QList<QSize> sizes)
      : drawing_(std::move(drawing)), sizes_(std::move(sizes)) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
    painter->save();
    painter->translate(rect.topLeft());
    painter->setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    if (mode == QIcon::Disabled) painter->setOpacity(0.4);
    drawing_(*painter, rect.size());
    painter->restore();
  }

  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return scaledPixmap(size, mode, state, 1.0);
  }

  // `size` in device pixels; the pixmap carries `scale` as its ratio.
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                       qreal scale) override {
    if (size.isEmpty()) return {};
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    {
      QPainter painter(&pm);
      paint(&painter, QRect(QPoint(0, 0), size), mode, state);
    }
    pm.setDevicePixelRatio(scale > 0 ? scale : 1.0);
    return pm;
  }

  QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return sizes_; }
  QString key() const override { return QStringLiteral("qv-drawing"); }
  QIconEngine* clone() const override { return new DrawingIconEngine(drawing_, sizes_); }

 private:
  TImageDrawing drawing_;
  QList<QSize> sizes_;
};

QIcon drawnIcon(TImageDrawing drawing, QList<QSize> sizes) {
  return QIcon(new DrawingIconEngine(std::move(drawing), std::move(sizes)));
}

TImageList* makeList(QObject* parent, int w, int h, std::vector<TImageDrawing> drawings) {
  auto* list = new TImageList(w, h, parent);
  for (TImageDrawing& d : drawings) list->add(std::move(d));
  return list;
}

}  // namespace

TImageList* makeWarnImages(QObject* parent) {
  return makeList(
      parent, 110, 110,
      {[](QPainter& p, const QSize& s) { drawWarningTriangle(p, s, ink::kGreyLight, ink::kGrey); },
       [](QPainter& p, const QSize& s) {
         drawWarningTriangle(p, s, ink::kSafetyYellow, ink::kSafetyBlack);
       },
       [](QPainter& p, const QSize& s) { drawErrorMark(p, s); }});
}

TImageList* makeLaserStatusDescImages(QObject* parent) {
  return makeList(parent, 110, 50,
                  {[](QPainter& p, const QSize& s) {
                     drawStatusWords(p, s, QStringLiteral("LASER ON"), ink::kRed);
                   },
                   [](QPainter& p, const QSize& s) {
                     drawStatusWords(p, s, QStringLiteral("Warming Up"), ink::kBlue);
                   },
                   [](QPainter& p, const QSize& s) {
                     drawStatusWords(p, s, QStringLiteral("Warmed Up"), ink::kOrange);
                   }});
}

TImageList* makeLedImages(QObject* parent) {
  std::vector<TImageDrawing> lamps;
  const std::pair<QColor, bool> colours[] = {{QColor(0xa8, 0xad, 0xb3), false},
                                             {QColor(0x32, 0xc8, 0x4b), true},
                                             {QColor(0xe8, 0x2c, 0x2c), true},
                                             {QColor(0x2f, 0x7c, 0xf0), true},
                                             {QColor(0xff, 0x96, 0x10), true}};
  for (const auto& [colour, lit] : colours)
    lamps.push_back([colour, lit](QPainter& p, const QSize& s) { drawLamp(p, s, colour, lit); });
  return makeList(parent, 24, 24, std::move(lamps));
}

TImageList* makeWarningBadge(QObject* parent) {
  return makeList(parent, 106, 30, {[](QPainter& p, const QSize& s) { drawWarningBadge(p, s); }});
}

TImageList* makeGlyphImages(QObject* parent) {
  std::vector<TImageDrawing> glyphs;
  for (Glyph g : {Glyph::Connected, Glyph::Disconnected, Glyph::Terminal, Glyph::Options,
                  Glyph::Send, Glyph::ClearLog, Glyph::ClosePanel})
    glyphs.push_back([g](QPainter& p, const QSize& s) { drawGlyph(p, s, g); });
  return makeList(parent, 16, 16, std::move(glyphs));
}

std::vector<NamedImageList> makeAllImageLists(QObject* parent) {
  return {{QStringLiteral("WarnImages"), makeWarnImages(parent)},
          {QStringLiteral("LaserStatusDescImgs"), makeLaserStatusDescImages(parent)},
          {QStringLiteral("ImgsLED"), makeLedImages(parent)},
          {QStringLiteral("WarningBadge"), makeWarningBadge(parent)},
          {QStringLiteral("Glyphs"), makeGlyphImages(parent)}};
}

QIcon glyphIcon(Glyph glyph) {
  return drawnIcon([glyph](QPainter& p, const QSize& s) { drawGlyph(p, s, glyph); },
                   {QSize(16, 16)});
}

QIcon coverPicture() {
  return drawnIcon(drawCover, {QSize(kCoverPictureSize, kCoverPictureSize)});
}

std::vector<int> applicationIconSizes() {
  return {16, 24, 32, 48, 64, 128, 256};
}

QIcon applicationIcon() {
  QList<QSize> sizes;
  for (int s : applicationIconSizes()) sizes.push_back(QSize(s, s));
  return drawnIcon(drawApplicationIcon, sizes);
}

}  // namespace qv
