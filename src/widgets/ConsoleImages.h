// Every picture of the console, drawn by this program: the image lists of the warning symbol,
// the status caption, the lamps and the warning badge, the glyphs of the small buttons, the
// cover's picture and the application icon. Icons paint at whatever size and device pixel ratio
// they are asked for. The glyphs and the cover's plug use a dark slate ink, for a light button
// face; the symbol, captions, lamps and badge read on light and dark backgrounds alike.
#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <vector>

#include "widgets/ImageList.h"

namespace qv {

// Entries of the warning symbol's list (110 x 110).
enum WarnImage { kWarnIdle = 0, kWarnMayEmit = 1, kWarnError = 2 };
// Entries of the status caption's list (110 x 50).
enum StatusDescImage { kDescLaserOn = 0, kDescWarmingUp = 1, kDescWarmedUp = 2 };
// Entries of the lamp list (24 x 24).
enum LedImage { kLedGrey = 0, kLedGreen = 1, kLedRed = 2, kLedBlue = 3, kLedOrange = 4 };
// The small button glyphs (16 x 16), in the order of the glyph list.
enum class Glyph { Connected, Disconnected, Terminal, Options, Send, ClearLog, ClosePanel };

// The lists, each a new TImageList owned by `parent`.
TImageList* makeWarnImages(QObject* parent);             // WarnImages
TImageList* makeLaserStatusDescImages(QObject* parent);  // LaserStatusDescImgs
TImageList* makeLedImages(QObject* parent);              // ImgsLED
TImageList* makeWarningBadge(QObject* parent);           // 106 x 30, one entry: the badge
TImageList* makeGlyphImages(QObject* parent);            // the glyphs, in Glyph order

struct NamedImageList {
  QString name;
  TImageList* list;
};
// Every list above under a file-friendly name, owned by `parent` (for the picture sheets).
std::vector<NamedImageList> makeAllImageLists(QObject* parent);

// A 16 x 16 glyph as an icon (ConnectedGlyph, DisconnectedGlyph and the header and terminal
// buttons' glyphs).
QIcon glyphIcon(Glyph glyph);
// The cover's large picture: a plug with its halves apart, 48 x 48.
QIcon coverPicture();
inline constexpr int kCoverPictureSize = 48;
// The program's emblem, offered at 16, 24, 32, 48, 64, 128 and 256 pixels.
QIcon applicationIcon();
std::vector<int> applicationIconSizes();

}  // namespace qv
