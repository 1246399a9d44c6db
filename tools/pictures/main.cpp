// qvlaser-pictures DIR: writes every image list of the console as a PNG sheet (all entries side
// by side, at 1x and 2x, and the 1x sheet magnified four times without smoothing, to judge the
// pixels a 1x screen shows), every icon at 1x and 2x, and the application icon at 16..256 pixels.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "widgets/ConsoleImages.h"

namespace {

constexpr int kGap = 8;

// The entries side by side on a light and a dark strip, so that edges show on either.
QImage sheet(const TImageList& list, qreal ratio) {
  const int n = std::max(1, list.count());
  const int w = kGap + n * (list.width() + kGap);
  const int h = 2 * (list.height() + 2 * kGap);
  QImage image(QSize(qRound(w * ratio), qRound(h * ratio)), QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  QPainter p(&image);
  p.fillRect(QRectF(0, 0, w, h / 2.0), QColor(0xf0, 0xf0, 0xf0));
  p.fillRect(QRectF(0, h / 2.0, w, h / 2.0), QColor(0x3a, 0x3f, 0x47));
  for (int strip = 0; strip < 2; ++strip) {
    const int y = strip * (list.height() + 2 * kGap) + kGap;
    for (int i = 0; i < list.count(); ++i) list.draw(p, kGap + i * (list.width() + kGap), y, i);
  }
  return image;
}

// Every pixel of `image` as a block of 4 x 4.
QImage magnified(const QImage& image) {
  QImage big = image.scaled(image.size() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  big.setDevicePixelRatio(1.0);
  return big;
}

QImage iconImage(const QIcon& icon, int size, qreal ratio) {
  QImage image = icon.pixmap(QSize(size, size), ratio).toImage();
  return image;
}

bool save(const QImage& image, const QDir& dir, const QString& name) {
  const QString path = dir.filePath(name);
  if (image.save(path, "PNG")) {
    std::printf("%s\n", qPrintable(path));
    return true;
  }
  std::fprintf(stderr, "qvlaser-pictures: cannot write %s\n", qPrintable(path));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() != 2 || args[1].startsWith('-')) {
    std::fprintf(stderr, "usage: qvlaser-pictures DIR\n");
    return args.size() == 2 && (args[1] == "-h" || args[1] == "--help") ? 0 : 1;
  }
  QDir dir(args[1]);
  if (!dir.mkpath(".")) {
    std::fprintf(stderr, "qvlaser-pictures: cannot make %s\n", qPrintable(args[1]));
    return 1;
  }

  bool ok = true;
  QObject owner;
  for (const qv::NamedImageList& named : qv::makeAllImageLists(&owner)) {
    ok &= save(sheet(*named.list, 1.0), dir, named.name + ".png");
    ok &= save(sheet(*named.list, 2.0), dir, named.name + "@2x.png");
    ok &= save(magnified(sheet(*named.list, 1.0)), dir, named.name + "-pixels.png");
  }

  const struct {
    const char* name;
    QIcon icon;
    int size;
  } icons[] = {
      {"ConnectedGlyph", qv::glyphIcon(qv::Glyph::Connected), 16},
      {"DisconnectedGlyph", qv::glyphIcon(qv::Glyph::Disconnected), 16},
      {"TerminalGlyph", qv::glyphIcon(qv::Glyph::Terminal), 16},
      {"OptionsGlyph", qv::glyphIcon(qv::Glyph::Options), 16},
      {"SendGlyph", qv::glyphIcon(qv::Glyph::Send), 16},
      {"ClearLogGlyph", qv::glyphIcon(qv::Glyph::ClearLog), 16},
      {"ClosePanelGlyph", qv::glyphIcon(qv::Glyph::ClosePanel), 16},
      {"CoverPicture", qv::coverPicture(), qv::kCoverPictureSize},
  };
  for (const auto& i : icons) {
    ok &= save(iconImage(i.icon, i.size, 1.0), dir, QString::fromLatin1(i.name) + ".png");
    ok &= save(iconImage(i.icon, i.size, 2.0), dir, QString::fromLatin1(i.name) + "@2x.png");
  }

  const QIcon appIcon = qv::applicationIcon();
  for (int size : qv::applicationIconSizes())
    ok &=
        save(iconImage(appIcon, size, 1.0), dir, QStringLiteral("QVLaserControl-%1.png").arg(size));
  return ok ? 0 : 1;
}
