#include "widgets/AutoScaleControl.h"

#include <QEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QResizeEvent>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

namespace {

// The font's size in whole points, also for a font that was given in pixels.
int pointSizeOf(const QFont& font) {
  if (font.pointSize() > 0) return font.pointSize();
  return std::max(1, QFontInfo(font).pointSize());
}

QFont withPointSize(QFont font, int size) {
  font.setPointSize(std::max(1, size));
  return font;
}

// The first estimate of the fitting loops: the integer part of `size * ratio` plus 2, and 2 when
// that part is negative, so the loop's first step never goes below 1.
int startSize(double size, double ratio) {
  const double estimate = std::trunc(size * ratio);
  if (!(estimate >= 0)) return 2;  // negative (or not a number)
  if (estimate > 4096) return 4096 + 2;
  return static_cast<int>(estimate) + 2;
}

}  // namespace

// ---- TScalableLabel ----

TScalableLabel::TScalableLabel(QWidget* parent) : QLabel(parent) {
  fitting_ = true;
}

TScalableLabel::TScalableLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
  fitting_ = true;
}

void TScalableLabel::setCaption(const QString& caption) {
  if (caption == text()) return;
  QLabel::setText(caption);
  if (autoSize_)
    adjustSize();  // the new bounds refit through the resize
  else if (autoScalable_)
    fitFont();
}

void TScalableLabel::setAutoSize(bool autoSize) {
  if (autoSize == autoSize_) return;
  autoSize_ = autoSize;
  if (autoSize_) adjustSize();
}

void TScalableLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  if (event->size() != event->oldSize()) fitFont();
}

void TScalableLabel::fitFont() {
  if (!fitting_ || !parentWidget()) return;
  fitting_ = false;

  QString shown = text();
  const bool accelerators = buddy() != nullptr;  // QLabel shows '&' marks only for a buddy
  if (shown.isEmpty() || (accelerators && shown == QLatin1String("&"))) shown += QLatin1Char(' ');

  int flags = Qt::TextExpandTabs;
  if (wordWrap()) flags |= Qt::TextWordWrap;
  if (accelerators) flags |= Qt::TextShowMnemonic;

  const int m = margin();
  const QRect box = contentsRect().adjusted(m, m, -m, -m);
  const auto measure = [&](const QFont& f) {
    return QFontMetrics(f, this).boundingRect(box, flags, shown).size();
  };

  QFont f = font();
  const int size = pointSizeOf(f);
  const QSize text = measure(f);
  const double ratio = std::min(text.width() > 0 ? double(box.width()) / text.width() : 0.0,
                                text.height() > 0 ? double(box.height()) / text.height() : 0.0);
  int s = startSize(size, ratio);
  QSize extent;
  do {
    --s;
    extent = measure(withPointSize(f, s));
  } while (s > 1 && (extent.width() > box.width() || extent.height() > box.height()));

  setFont(withPointSize(f, s));
  fitting_ = true;
}

// ---- TScalableEdit ----

TScalableEdit::TScalableEdit(QWidget* parent) : QLineEdit(parent) {
  fitting_ = true;
}

void TScalableEdit::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  if (event->size().height() != event->oldSize().height()) fitFont(event->size().height());
}

void TScalableEdit::fitFont(int height) {
  if (!fitting_) return;
  fitting_ = false;
  if (height < 0) height = this->height();
  QFont f = font();
  const int available = height - borderAllowance();
  const int textHeight = QFontMetrics(f, this).height();
  int s = startSize(pointSizeOf(f), textHeight > 0 ? double(available) / textHeight : 0.0);
  do {
    --s;
  } while (s > 1 && available < QFontMetrics(withPointSize(f, s), this).height());
  setFont(withPointSize(f, s));
  fitting_ = true;
}

// ---- TScalableRichEdit ----

TScalableRichEdit::TScalableRichEdit(QWidget* parent) : QTextEdit(parent) {
  document()->setDefaultFont(font());
  referenceSize_ = defaultTextSize();
  fitting_ = true;
}

int TScalableRichEdit::defaultTextSize() const {
  return pointSizeOf(document()->defaultFont());
}

bool TScalableRichEdit::event(QEvent* event) {
  const bool handled = QTextEdit::event(event);
  // The control's own bounds; resizeEvent of a scroll area reports its viewport instead.
  if (event->type() == QEvent::Resize) {
    const auto* resize = static_cast<QResizeEvent*>(event);
    if (resize->size() != resize->oldSize()) rescale(resize->size());
  }
  return handled;
}

void TScalableRichEdit::rescale(const QSize& size) {
  if (!fitting_) return;
  if (referenceWidth_ == -1) {
    referenceWidth_ = size.width();
    referenceHeight_ = size.height();
    referenceSize_ = defaultTextSize();
    return;
  }
  if (size.width() == 0 || size.height() == 0 || referenceWidth_ <= 0 || referenceHeight_ <= 0)
    return;
  fitting_ = false;
  const double ratio =
      std::min(double(size.width()) / referenceWidth_, double(size.height()) / referenceHeight_);
  // Nearest, halves to even; a box scaled down to almost nothing keeps a size of 1.
  const int scaled = static_cast<int>(std::nearbyint(referenceSize_ * ratio));
  setFont(withPointSize(font(), scaled));
  fitting_ = true;
}

void TScalableRichEdit::changeEvent(QEvent* event) {
  QTextEdit::changeEvent(event);
  if (event->type() != QEvent::FontChange) return;
  document()->setDefaultFont(font());
  if (fitting_) referenceSize_ = defaultTextSize();
}

// ---- TLabelPair ----

TLabelPair::TLabelPair(QWidget* parent) : TScalableLabel(parent) {
  fitting_ = false;
  unit_ = new TScalableLabel(parent);
  unit_->setObjectName(QStringLiteral("Unit"));
  if (!parent) unit_->hide();
  placeUnit();
  fitting_ = true;
}

TLabelPair::~TLabelPair() {
  delete unit_.data();
}

QPoint TLabelPair::unitPosition() const {
  const int unitHeight = unit_ ? unit_->height() : 0;
  int top = y();
  switch (unitAlignment_) {
    case uaTop:
      top = y();
      break;
    case uaMiddle:
      top = y() + (height() - unitHeight) / 2;
      break;
    case uaBottom:
      top = y() + height() - unitHeight;
      break;
  }
  return QPoint(x() + width() + space_, top);
}

void TLabelPair::placeUnit() {
  if (unit_) unit_->move(unitPosition());
}

void TLabelPair::setSpace(int space) {
  if (space == space_) return;
  space_ = space;
  if (unit_) unit_->move(unitPosition().x(), unit_->y());
}

void TLabelPair::setUnitAlignment(TUnitAlignment alignment) {
  if (alignment == unitAlignment_) return;
  unitAlignment_ = alignment;
  if (unit_) unit_->move(unit_->x(), unitPosition().y());
}

int TLabelPair::totalWidth() const {
  if (!unit_) return width();
  // Where the unit belongs, which is where it is once the pair's move has been delivered.
  const QRect unit(unitPosition(), unit_->size());
  const int left = std::min(x(), unit.left());
  const int right = std::max(x() + width(), unit.x() + unit.width());
  return right - left;
}

void TLabelPair::setVisible(bool visible) {
  TScalableLabel::setVisible(visible);
  // A unit without a parent would become a window of its own.
  if (unit_ && unit_->parentWidget()) unit_->setVisible(visible);
}

void TLabelPair::resizeEvent(QResizeEvent* event) {
  TScalableLabel::resizeEvent(event);
  placeUnit();
}

void TLabelPair::moveEvent(QMoveEvent* event) {
  TScalableLabel::moveEvent(event);
  placeUnit();
}

void TLabelPair::changeEvent(QEvent* event) {
  TScalableLabel::changeEvent(event);
  if (event->type() == QEvent::EnabledChange && unit_)
    unit_->setEnabled(!testAttribute(Qt::WA_Disabled));
}

bool TLabelPair::event(QEvent* event) {
  const bool handled = TScalableLabel::event(event);
  if (event->type() == QEvent::ParentChange && unit_ && unit_->parentWidget() != parentWidget()) {
    // A new parent hides the pair until it is shown; the unit goes along, hidden as well.
    unit_->setParent(parentWidget());
    unit_->setVisible(false);
    placeUnit();
  }
  return handled;
}
