#include "console/InfoPanelSlider.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kFlingSpeed = 200;  // pixels per second above which a release flings
constexpr int kSnapStep = 20;
}  // namespace

TInfoPanelSlider::TInfoPanelSlider(int width, int64_t counterFrequency)
    : width_(std::max(width, 0)), counterFrequency_(counterFrequency) {}

bool TInfoPanelSlider::Press(bool leftButton, int screenX, int64_t counter) {
  if (!leftButton || !limitsVisible_) return false;
  glideStep_ = 0;  // a new gesture starts from where a glide left the panels
  dragging_ = true;
  clickNotDrag_ = true;
  dragLastX_ = dragStartX_ = screenX;
  dragStartTime_ = counter;
  return true;
}

bool TInfoPanelSlider::Move(int screenX) {
  if (!dragging_ || !limitsVisible_) return false;
  const int dx = screenX - dragLastX_;
  if (dx == 0) return false;
  clickNotDrag_ = false;
  dragLastX_ = screenX;
  // Moving right pulls the regular panel back in (its left edge -d grows by dx).
  const int before = offset_;
  offset_ = std::clamp(offset_ - dx, 0, width_);
  return offset_ != before;
}

void TInfoPanelSlider::Release(bool leftButton, int screenX, int64_t counter) {
  if (!leftButton || !limitsVisible_) return;
  const int64_t ticks = counter - dragStartTime_;
  const double v = ticks > 0 && counterFrequency_ > 0
                       ? double(screenX - dragStartX_) / double(ticks) * double(counterFrequency_)
                       : 0.0;
  lastSpeed_ = v;
  dragging_ = false;
  if (std::fabs(v) > kFlingSpeed) {
    // FlingInfoPanel(v × 10): step = Speed × 2 / −1000, truncated toward zero.
    const double speed = v * 10;
    startGlide(static_cast<int>(std::trunc(speed * 2 / -1000)));
  } else {
    startGlide(offset_ > width_ / 2 ? kSnapStep : -kSnapStep);
  }
}

void TInfoPanelSlider::startGlide(int step) {
  lastGlideStep_ = step;
  // From an end position nothing moves.
  glideStep_ = offset_ > 0 && offset_ < width_ ? step : 0;
}

bool TInfoPanelSlider::GlideStep() {
  if (glideStep_ == 0) return false;
  offset_ = std::clamp(offset_ + glideStep_, 0, width_);
  if (offset_ == 0 || offset_ == width_) glideStep_ = 0;
  return true;
}

void TInfoPanelSlider::Reset() {
  dragging_ = false;
  glideStep_ = 0;
  offset_ = 0;
}
