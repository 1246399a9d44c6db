#include "settings/Options.h"

void TLaserCtrlAutomation::SetActive(bool value) {
  if (value == active_) return;
  active_ = value;
  if (OnChange) OnChange(*this);
}

void TLaserCtrlAutomation::SetInterval(std::int32_t value) {
  if (value == interval_) return;
  interval_ = value;
  if (OnChange) OnChange(*this);
}

void TLaserCtrlAutomation::Assign(const TLaserCtrlAutomation& other) {
  if (&other == this) return;
  SetActive(other.Active());
  SetInterval(other.Interval());
}
