// The console's type faces. Its layout names Verdana and Tahoma; a machine without them gets
// DejaVu Sans, which has the same generous widths, so texts keep their room.
#pragma once

#include <QFont>
#include <QString>

namespace qv {

// The face used when a named face is not installed.
inline constexpr const char* kFallbackFace = "DejaVu Sans";

// `face` at `pointSize` points when it is installed, otherwise the fallback face.
QFont consoleFont(const QString& face, int pointSize, QFont::Weight weight = QFont::Normal);

// The family consoleFont uses for `face` on this machine.
QString consoleFamily(const QString& face);

}  // namespace qv
