#include "widgets/GraphicsEx.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "link/QVUtils.h"

// ---- TCustomImageEx ----

TCustomImageEx::TCustomImageEx(QWidget* parent) : QWidget(parent) {
  // A picture on the parent's background: nothing of its own is filled behind it.
  setAttribute(Qt::WA_NoSystemBackground);
  setAutoFillBackground(false);
}

TCustomImageEx::~TCustomImageEx() {
  stopBlinking();
  forgetImages();
}

void TCustomImageEx::forgetImages() {
  if (images_) disconnect(images_, nullptr, this, nullptr);
  images_ = nullptr;
}

void TCustomImageEx::setImages(TImageList* images) {
  if (images != images_) {
    forgetImages();
    images_ = images;
    if (images_) {
      connect(images_, &TImageList::changed, this, &TCustomImageEx::updateSize);
      // A released list is forgotten; the control keeps its bounds and shows nothing.
      connect(images_, &QObject::destroyed, this, [this] {
        images_ = nullptr;
        update();
      });
    }
  }
  updateSize();
}

void TCustomImageEx::updateSize() {
  if (autoSize_) {
    if (images_)
      resize(images_->width(), images_->height());
    else
      resize(0, 0);
  }
  update();
}

void TCustomImageEx::setAutoSize(bool autoSize) {
  if (autoSize == autoSize_) return;
  autoSize_ = autoSize;
  updateSize();
}

void TCustomImageEx::setAlignment(TImageAlignment alignment) {
  if (alignment == alignment_) return;
  alignment_ = alignment;
  if (images_) update();
}

void TCustomImageEx::setImageLayout(TImageLayout layout) {
  if (layout == layout_) return;
  layout_ = layout;
  update();
}

void TCustomImageEx::setImageIndex(int index) {
  if (blinking_) stopBlinking();
  if (index == imageIndex_) return;
  imageIndex_ = index;
  update();
}

void TCustomImageEx::showBlinkImage(int index) {
  if (index == imageIndex_) return;
  imageIndex_ = index;
  update();
}

void TCustomImageEx::blink(int offImage, int onImage) {
  blinkOffImage_ = offImage;
  if (onImage == offImage) {
    stopBlinking();
    return;
  }
  blinkOnImage_ = onImage;
  blinking_ = true;
  BlinkingTimer().add(this);
}

void TCustomImageEx::stopBlinking() {
  blinking_ = false;
  if (TBlinkingTimer* driver = ExistingBlinkingTimer()) driver->remove(this);
}

std::optional<QPoint> TCustomImageEx::imagePosition() const {
  if (!images_ || imageIndex_ < 0 || imageIndex_ >= images_->count()) return std::nullopt;
  const int w = images_->width();
  const int h = images_->height();
  // Integer division rounds toward zero, also for a picture larger than the control.
  int x = 0;
  switch (alignment_) {
    case iaLeft:
      x = 0;
      break;
    case iaRight:
      x = width() - w;
      break;
    case iaCenter:
      x = (width() - w) / 2;
      break;
  }
  int y = 0;
  switch (layout_) {
    case ilTop:
      y = 0;
      break;
    case ilBottom:
      y = height() - h;
      break;
    case ilCenter:
      y = (height() - h) / 2;
      break;
  }
  return QPoint(x, y);
}

void TCustomImageEx::paintEvent(QPaintEvent*) {
  const std::optional<QPoint> at = imagePosition();
  if (!at) return;
  QPainter painter(this);
  images_->draw(painter, at->x(), at->y(), imageIndex_);
}

void TCustomImageEx::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  event->accept();
}

void TCustomImageEx::mouseReleaseEvent(QMouseEvent* event) {
  const bool click =
      pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  event->accept();
  if (click) emit clicked();
}

// ---- TImageEx ----

TImageEx::TImageEx(QWidget* parent) : TCustomImageEx(parent) {}

// ---- TStatusIndicator ----

TStatusIndicator::TStatusIndicator(QWidget* parent) : TCustomImageEx(parent) {}

void TStatusIndicator::setTrueImage(int index) {
  if (index == trueImage_) return;
  if (status()) setImageIndex(index);
  trueImage_ = index;
}

void TStatusIndicator::setFalseImage(int index) {
  if (index == falseImage_) return;
  if (!status()) setImageIndex(index);
  falseImage_ = index;
}

void TStatusIndicator::setStatus(bool status) {
  setImageIndex(status ? trueImage_ : falseImage_);
}

// ---- TBlinkingTimer ----

namespace {

TBlinkingTimer* gBlinkingTimer = nullptr;
// The application the release hooks were installed on.
QPointer<QCoreApplication> gHookedApplication;

void releaseAtPostRoutine() {
  releaseBlinkingTimer();
}

// Without an application nobody else ends the clock: the last static destructor does.
struct StaticRelease {
  ~StaticRelease() { releaseBlinkingTimer(); }
} gStaticRelease;

void hookApplicationEnd() {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || gHookedApplication == app) return;
  gHookedApplication = app;
  // A normal end (the event loop quits): members are made steady while their windows exist.
  QObject::connect(app, &QCoreApplication::aboutToQuit, app, [] { releaseBlinkingTimer(); });
  // An application destroyed without quitting: the clock ends with it, before static
  // destruction, so no timer thread outlives the application.
  qAddPostRoutine(releaseAtPostRoutine);
}

// The blink thread waits with a lower priority than the console's threads.
void lowerThreadPriority(TObject*) {
  thread_local bool lowered = false;
  if (lowered) return;
  lowered = true;
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 2);
}

}  // namespace

TBlinkingTimer& BlinkingTimer() {
  if (!gBlinkingTimer) gBlinkingTimer = new TBlinkingTimer;
  hookApplicationEnd();
  return *gBlinkingTimer;
}

TBlinkingTimer* ExistingBlinkingTimer() {
  return gBlinkingTimer;
}

void releaseBlinkingTimer() {
  TBlinkingTimer* driver = gBlinkingTimer;
  if (!driver) return;
  driver->finish();
  gBlinkingTimer = nullptr;
  delete driver;
}

TBlinkingTimer::~TBlinkingTimer() {
  finish();
}

void TBlinkingTimer::finish() {
  // Once the window system is going away a repaint has nowhere to go.
  const bool repaint = QCoreApplication::instance() && !QCoreApplication::closingDown();
  std::vector<TCustomImageEx*> members;
  members.swap(members_);
  for (TCustomImageEx* member : members) {
    member->blinking_ = false;
    if (repaint) member->update();
  }
  std::unique_ptr<TThreadTimer> timer = std::move(timer_);
  if (timer) timer->Shutdown();
}

void TBlinkingTimer::add(TCustomImageEx* control) {
  if (!control) return;
  if (std::find(members_.begin(), members_.end(), control) != members_.end()) return;
  members_.push_back(control);
  if (!timer_) {
    timer_ = std::make_unique<TThreadTimer>();
    timer_->SetInterval(kInterval);
    timer_->OnTimerThread = lowerThreadPriority;
    timer_->OnTimer = [this](TObject*) { tick(); };
  }
  timer_->SetEnabled(true);
}

void TBlinkingTimer::remove(TCustomImageEx* control) {
  const auto it = std::find(members_.begin(), members_.end(), control);
  if (it != members_.end()) members_.erase(it);
  if (!members_.empty() || !timer_) return;
  // Dropped before the wait: a tick handed over meanwhile runs during Shutdown and must find
  // the set as it is now.
  std::unique_ptr<TThreadTimer> timer = std::move(timer_);
  timer->SetEnabled(false);
  timer->Shutdown();
}

void TBlinkingTimer::tick() {
  phase_ = !phase_;
  // By index: showing an entry only marks the control for repainting, it never changes the set.
  for (size_t i = 0; i < members_.size(); ++i) {
    TCustomImageEx* member = members_[i];
    member->showBlinkImage(phase_ ? member->blinkOnImage_ : member->blinkOffImage_);
  }
}
