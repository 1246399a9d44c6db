// Picture controls that show one entry of a shared image list, placed by alignment and layout,
// optionally sized to the list, and able to blink between two entries in step with every other
// blinking picture of the process.
#pragma once

#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "widgets/ImageList.h"

class TThreadTimer;

enum TImageAlignment { iaLeft, iaRight, iaCenter };
enum TImageLayout { ilTop, ilCenter, ilBottom };

// Draws no background of its own: the parent's colour shows around and through the picture.
class TCustomImageEx : public QWidget {
  Q_OBJECT
 public:
  explicit TCustomImageEx(QWidget* parent = nullptr);
  ~TCustomImageEx() override;

  // The list drawn from (not owned); the control follows its changes and forgets it when the
  // list is destroyed.
  TImageList* images() const { return images_; }
  void setImages(TImageList* images);

  // The entry shown; -1 or any index outside the list shows nothing.
  int imageIndex() const { return imageIndex_; }

  TImageAlignment alignment() const { return alignment_; }
  void setAlignment(TImageAlignment alignment);
  // The vertical placement (named apart from QWidget::layout, which is the widget's QLayout).
  TImageLayout imageLayout() const { return layout_; }
  void setImageLayout(TImageLayout layout);

  // True: the control keeps exactly the list's image size (0 x 0 without a list).
  bool autoSize() const { return autoSize_; }
  void setAutoSize(bool autoSize);
  // Applies autoSize now and repaints.
  void updateSize();

  bool blinking() const { return blinking_; }
  int blinkOnImage() const { return blinkOnImage_; }
  int blinkOffImage() const { return blinkOffImage_; }
  // Alternates between the two entries with the process's blink clock, starting at its next
  // tick; equal entries stop blinking instead.
  void blink(int offImage, int onImage);
  // Leaves the blinking set; the entry last shown stays.
  void stopBlinking();

  // Where the entry's top left corner goes inside the control, or nothing when no entry is
  // drawn (no list, or the index outside it).
  std::optional<QPoint> imagePosition() const;

 signals:
  void clicked();

 protected:
  // Stops blinking, then shows `index`.
  void setImageIndex(int index);

  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  friend class TBlinkingTimer;
  // The blink clock's step: shows `index` without leaving the blinking set.
  void showBlinkImage(int index);
  void forgetImages();

  QPointer<TImageList> images_;
  int imageIndex_ = -1;
  TImageAlignment alignment_ = iaCenter;
  TImageLayout layout_ = ilCenter;
  bool autoSize_ = false;
  bool blinking_ = false;
  int blinkOnImage_ = -1;
  int blinkOffImage_ = -1;
  bool pressed_ = false;
};

// A picture whose entry is chosen by index.
class TImageEx : public TCustomImageEx {
  Q_OBJECT
 public:
  explicit TImageEx(QWidget* parent = nullptr);
  using TCustomImageEx::setImageIndex;
};

// A lamp: shows trueImage or falseImage by its status.
class TStatusIndicator : public TCustomImageEx {
  Q_OBJECT
 public:
  explicit TStatusIndicator(QWidget* parent = nullptr);

  int trueImage() const { return trueImage_; }
  // Shown at once when the status is true now; otherwise only stored.
  void setTrueImage(int index);
  int falseImage() const { return falseImage_; }
  void setFalseImage(int index);

  // True while the entry shown is trueImage.
  bool status() const { return imageIndex() == trueImage_; }
  // Shows trueImage or falseImage, which also stops blinking.
  void setStatus(bool status);

 private:
  int trueImage_ = -1;
  int falseImage_ = -1;
};

// The blink clock of the process: one 400 ms periodic timer thread whose ticks run on the main
// thread and switch every member to its on or off entry at the same moment. The timer exists
// only while there are members. Main thread only.
class TBlinkingTimer {
 public:
  static constexpr int kInterval = 400;  // ms per entry; a full cycle is twice that

  ~TBlinkingTimer();
  TBlinkingTimer(const TBlinkingTimer&) = delete;
  TBlinkingTimer& operator=(const TBlinkingTimer&) = delete;

  // True: members show their on entry.
  bool phase() const { return phase_; }
  const std::vector<TCustomImageEx*>& members() const { return members_; }
  // The running timer, or null while nothing blinks.
  TThreadTimer* timer() const { return timer_.get(); }

  // Joins the set (once) and makes sure the timer runs.
  void add(TCustomImageEx* control);
  // Leaves the set; the last one out shuts the timer down and drops it.
  void remove(TCustomImageEx* control);
  // One step of the clock: flips the phase and shows every member's entry for it.
  void tick();

 private:
  friend TBlinkingTimer& BlinkingTimer();
  friend void releaseBlinkingTimer();
  TBlinkingTimer() = default;
  // Program end: members become steady (and are repainted while the window system is still
  // there); the timer is shut down.
  void finish();

  bool phase_ = true;
  std::vector<TCustomImageEx*> members_;  // not owned
  std::unique_ptr<TThreadTimer> timer_;
};

// The process's blink clock, made on first use. It is released when the application quits or
// is destroyed, whichever comes first.
TBlinkingTimer& BlinkingTimer();
// The blink clock if it exists now, else null (never makes one).
TBlinkingTimer* ExistingBlinkingTimer();
// Releases the blink clock now (members made steady first). Safe to call more than once.
void releaseBlinkingTimer();
