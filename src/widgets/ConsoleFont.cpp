#include "widgets/ConsoleFont.h"

#include <QFontDatabase>
#include <QStringList>

namespace qv {

QString consoleFamily(const QString& face) {
  // Qt matches family names case-insensitively; an exact installed family keeps its own face.
  if (!face.isEmpty() && QFontDatabase::families().contains(face, Qt::CaseInsensitive)) return face;
  return QString::fromLatin1(kFallbackFace);
}

QFont consoleFont(const QString& face, int pointSize, QFont::Weight weight) {
  QFont font(consoleFamily(face));
  font.setPointSize(pointSize > 0 ? pointSize : 1);
  font.setWeight(weight);
  // No substitution of a look-alike that may not fit the console's pixel layout.
  font.setStyleHint(QFont::SansSerif);
  return font;
}

}  // namespace qv
