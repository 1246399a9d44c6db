// Labels and edits that keep their text as large as their bounds allow, and the value label
// that carries its unit label beside it.
//
// Qt delivers the resize and move events of a hidden widget when it is shown, so a control laid
// out while hidden refits (and a pair places its unit) as it appears; a caption change refits at
// once from the current bounds.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTextEdit>

// A label whose font is fitted to its bounds.
//
// '&' follows what the label draws: QLabel treats '&' as an accelerator mark only when the label
// has a buddy (then "&&" shows one '&' and "&x" shows x), otherwise it shows every '&'. The
// measuring does the same.
class TScalableLabel : public QLabel {
  Q_OBJECT
 public:
  explicit TScalableLabel(QWidget* parent = nullptr);
  explicit TScalableLabel(const QString& caption, QWidget* parent = nullptr);

  QString caption() const { return text(); }
  // Sets the text; refits when autoScalable and not autoSize.
  void setCaption(const QString& caption);
  // Hides QLabel::setText so that the text set through this class refits as well.
  void setText(const QString& text) { setCaption(text); }

  bool autoScalable() const { return autoScalable_; }
  void setAutoScalable(bool autoScalable) { autoScalable_ = autoScalable; }
  // True: the label takes the size of its text at a caption change (QLabel::adjustSize).
  bool autoSize() const { return autoSize_; }
  void setAutoSize(bool autoSize);

  // Sets the font to the largest point size, not above the estimate plus one, at which the text
  // fits the label's bounds, or 1. Does nothing without a parent or while a fit runs.
  void fitFont();

 protected:
  void resizeEvent(QResizeEvent* event) override;

  // False while constructing and while a fit runs.
  bool fitting_ = false;

 private:
  bool autoScalable_ = true;
  bool autoSize_ = false;
};

// A single-line edit whose font is fitted to its height. The frame takes a fixed allowance of
// the height: 8 px with a frame, 6 px without (the drawn frame and margins of a line edit are
// 6 px in the styles in use, so the text keeps at least a pixel of air above and below).
class TScalableEdit : public QLineEdit {
  Q_OBJECT
 public:
  static constexpr int kFramedAllowance = 8;
  static constexpr int kFlatAllowance = 6;

  explicit TScalableEdit(QWidget* parent = nullptr);

  int borderAllowance() const { return hasFrame() ? kFramedAllowance : kFlatAllowance; }
  // Fits the font to `height` (the edit's height when negative).
  void fitFont(int height = -1);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  bool fitting_ = false;
};

// A rich-text box whose default text size follows its size: the size met at the first sizing is
// the reference, later sizes scale the reference text size by the smaller ratio.
class TScalableRichEdit : public QTextEdit {
  Q_OBJECT
 public:
  explicit TScalableRichEdit(QWidget* parent = nullptr);

  int referenceWidth() const { return referenceWidth_; }
  int referenceHeight() const { return referenceHeight_; }
  int referenceSize() const { return referenceSize_; }
  // The point size of the document's default font.
  int defaultTextSize() const;

  // Rescales for a new size of the control (what a resize does).
  void rescale(const QSize& size);

 protected:
  bool event(QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  bool fitting_ = false;
  int referenceWidth_ = -1;
  int referenceHeight_ = -1;
  int referenceSize_ = 0;
};

enum TUnitAlignment { uaTop, uaMiddle, uaBottom };

// A scalable value label with a scalable unit label beside it. The unit label is a sibling (a
// child of the pair's parent, object name "Unit"), kept `space` pixels right of the pair and
// placed vertically by `unitAlignment`; it follows the pair's parent, visibility and enabled
// state, and is deleted with the pair.
class TLabelPair : public TScalableLabel {
  Q_OBJECT
 public:
  explicit TLabelPair(QWidget* parent = nullptr);
  ~TLabelPair() override;

  TScalableLabel* unitLabel() const { return unit_; }
  int space() const { return space_; }
  void setSpace(int space);
  TUnitAlignment unitAlignment() const { return unitAlignment_; }
  void setUnitAlignment(TUnitAlignment alignment);
  // From the leftmost left edge to the rightmost right edge of the two labels.
  int totalWidth() const;

  // Where the unit label belongs for the pair's current bounds.
  QPoint unitPosition() const;
  // Moves the unit label there (what every bounds change of the pair does).
  void placeUnit();

  void setVisible(bool visible) override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  QPointer<TScalableLabel> unit_;
  int space_ = 0;
  TUnitAlignment unitAlignment_ = uaBottom;
};
