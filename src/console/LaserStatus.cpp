#include "console/LaserStatus.h"

const char* LaserStatusItemName(TQVLaserStatusItem item) {
  static const char* const kNames[] = {"lsPSConnected", "lsHeadConnected", "lsLaserOn", "lsError",
                                       "lsWarning",     "lsWarmingUp",     "lsWarmedUp"};
  return item <= lsWarmedUp ? kNames[item] : "";
}

std::vector<std::string> LaserStatusNames(TQVLaserStatus status) {
  std::vector<std::string> names;
  for (int i = lsPSConnected; i <= lsWarmedUp; ++i) {
    const auto item = static_cast<TQVLaserStatusItem>(i);
    if (status.Contains(item)) names.emplace_back(LaserStatusItemName(item));
  }
  return names;
}

TQVLaserStatus StatusFromState(uint32_t state, bool errorCodesPresent) {
  TQVLaserStatus s;
  switch (state & 3) {
    case 0: s.Include(lsPSConnected).Include(lsError); break;
    case 1:
      s.Include(lsPSConnected);
      if (errorCodesPresent) s.Include(lsError);
      break;
    case 2: s.Include(lsPSConnected).Include(lsHeadConnected); break;
    default: s.Include(lsPSConnected).Include(lsHeadConnected).Include(lsLaserOn); break;
  }
  if ((state & 0x3FFF) >= 8000) s.Include(lsWarning);
  const uint32_t warm = (state & 0xC000) >> 14;
  if (warm == 1) s.Include(lsWarmingUp).Exclude(lsLaserOn);
  else if (warm >= 2) s.Include(lsWarmedUp).Exclude(lsLaserOn);
  return s;
}

namespace {
const char* byWarmUp(bool warmUpRequired) { return warmUpRequired ? kWarmUpCaption : kLaserOnCaption; }
}  // namespace

TStatusChange ApplyStatus(TStatusDisplay& d, TQVLaserStatus previous, TQVLaserStatus next,
                          bool warmUpRequired) {
  TStatusChange change;
  if (next == previous) return change;
  change.changed = true;
  if (next.Contains(lsError)) {
    d.symbol = kSymbolActive;
    d.laserOnCaption = byWarmUp(warmUpRequired);
  } else {
    d.symbol = kSymbolActive;
    d.symbolHint.clear();
    if (next.Contains(lsWarmedUp)) {
      d.laserOnCaption = kLaserOnCaption;
      d.caption = kCaptionWarmedUp;
    } else if (next.Contains(lsWarmingUp)) {
      d.laserOnCaption = kWarmUpCaption;
      d.caption = kCaptionWarmingUp;
    } else if (next.Contains(lsLaserOn)) {
      d.caption = kCaptionLaserOn;
    } else {
      d.symbol = kSymbolIdle;
      d.laserOnCaption = byWarmUp(warmUpRequired);
      d.caption = kCaptionNone;
    }
    change.errorDismissed = next.Contains(lsHeadConnected) && previous.Contains(lsError);
  }
  if (next.Contains(lsWarning)) {
    d.badgeVisible = true;
  } else {
    change.warningDismissed = next.Contains(lsHeadConnected) && previous.Contains(lsWarning);
    d.badgeVisible = false;
    d.badgeHint.clear();
  }
  return change;
}

bool ApplyOnOff(TStatusDisplay& d, TQVLaserStatus status, bool isOn, bool errorFree) {
  if (status.Contains(lsWarmedUp) || status.Contains(lsWarmingUp)) {
    d.symbol = kSymbolActive;
    d.caption = status.Contains(lsWarmedUp) ? kCaptionWarmedUp : kCaptionWarmingUp;
    d.symbolHint.clear();
    return false;
  }
  if (isOn) {
    d.symbol = kSymbolActive;
    d.caption = kCaptionLaserOn;
    d.symbolHint.clear();
  } else if (errorFree) {
    d.symbol = kSymbolIdle;
    d.caption = kCaptionNone;
    d.symbolHint.clear();
  }
  return true;
}

void ResetStatusDisplay(TStatusDisplay& d) {
  d.symbol = kSymbolActive;
  d.caption = kCaptionNone;
  d.laserOnCaption = kLaserOnCaption;
  d.badgeVisible = false;
}
