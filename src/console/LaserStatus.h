// The console's status set and what its status display shows: the warning symbol, the status
// caption, the Laser On button's caption and the warning badge, as plain state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum TQVLaserStatusItem : uint8_t {
  lsPSConnected,
  lsHeadConnected,
  lsLaserOn,
  lsError,
  lsWarning,
  lsWarmingUp,
  lsWarmedUp
};

// Set of TQVLaserStatusItem, one byte, bit n for ordinal n.
struct TQVLaserStatus {
  uint8_t bits = 0;
  bool Contains(TQVLaserStatusItem item) const { return (bits >> item) & 1u; }
  TQVLaserStatus& Include(TQVLaserStatusItem item) { bits |= uint8_t(1u << item); return *this; }
  TQVLaserStatus& Exclude(TQVLaserStatusItem item) { bits &= uint8_t(~(1u << item)); return *this; }
  bool Empty() const { return bits == 0; }
  friend bool operator==(TQVLaserStatus, TQVLaserStatus) = default;
};

// Names of the items, in ordinal order ("lsPSConnected" …).
const char* LaserStatusItemName(TQVLaserStatusItem item);
std::vector<std::string> LaserStatusNames(TQVLaserStatus status);

// The set derived from a state word; errorCodesPresent is whether the laser holds error codes.
TQVLaserStatus StatusFromState(uint32_t state, bool errorCodesPresent);

// Pictures of the warning symbol and the status caption.
enum : int { kSymbolIdle = 0, kSymbolActive = 1, kSymbolError = 2 };
enum : int { kCaptionNone = -1, kCaptionLaserOn = 0, kCaptionWarmingUp = 1, kCaptionWarmedUp = 2 };

inline constexpr const char* kLaserOnCaption = "Laser On";
inline constexpr const char* kWarmUpCaption = "Warm Up";

struct TStatusDisplay {
  int symbol = kSymbolActive;
  std::string symbolHint;  // the error list while one is shown
  int caption = kCaptionNone;
  std::string laserOnCaption = kLaserOnCaption;
  bool badgeVisible = false;
  std::string badgeHint;  // the warning list
};

// What a change of the status set asks the console to announce.
struct TStatusChange {
  bool changed = false;           // the set differs: redraw done, OnLaserStatusChanged due
  bool errorDismissed = false;    // OnLaserErrorDismissed due
  bool warningDismissed = false;  // OnLaserWarningDismissed due
};

// Applies a new status set to the display (the state-word rule); previous is the set before.
TStatusChange ApplyStatus(TStatusDisplay& display, TQVLaserStatus previous, TQVLaserStatus next,
                          bool warmUpRequired);

// The on/off status answer; returns true when the console passes it on through OnLaserON.
bool ApplyOnOff(TStatusDisplay& display, TQVLaserStatus status, bool isOn, bool errorFree);

// The display after a disconnection.
void ResetStatusDisplay(TStatusDisplay& display);
