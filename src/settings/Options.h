// The settings records shared by the console, the main window, the hot keys and the options
// dialog: TOptions, the short-cut value and TLaserCtrlAutomation.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

// A keyboard short-cut: bits 0..7 the virtual-key code, 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt;
// 0 means none. This number is what the settings file stores (Ctrl+L = 16460).
using TShortCut = std::uint16_t;
constexpr TShortCut scNone = 0;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;

constexpr TShortCut ShortCut(std::uint8_t key, TShortCut modifiers = 0) {
  return static_cast<TShortCut>(key | modifiers);
}
constexpr std::uint8_t ShortCutKey(TShortCut s) {
  return static_cast<std::uint8_t>(s & 0xFF);
}
constexpr TShortCut ShortCutModifiers(TShortCut s) {
  return static_cast<TShortCut>(s & (scShift | scCtrl | scAlt));
}

// Slots of TOptions::HotKeys, in their fixed order.
enum THotKeySlot : int {
  hkConnectLaser,
  hkSetInternal,
  hkSetExternal,
  hkSetCW,
  hkLaserOn,
  hkLaserOff,
  hkSetCurrentZero,
  hkShowTrends  // the live trend window; a slot of this console's own, after the seven
};
constexpr int kHotKeyCount = 8;

struct TOptions {
  std::uint16_t Port = 1;      // COM port of the laser, 1..256
  bool UpdateEnabled = false;  // never loaded or saved
  bool DetectEnabled = false;
  std::int32_t UpdateInterval = 0;                // ms; never loaded or saved
  std::int32_t DetectInterval = 0;                // ms
  std::array<TShortCut, kHotKeyCount> HotKeys{};  // indexed by THotKeySlot
  std::array<std::string, 10> PresetCurrents;     // [1]..[9]; [0] unused; "" = no preset
  bool operator==(const TOptions&) const = default;
};

// Switches and times the console's automatic laser detection.
class TLaserCtrlAutomation {
 public:
  using TNotifyEvent = std::function<void(TLaserCtrlAutomation& sender)>;

  bool Active() const { return active_; }
  std::int32_t Interval() const { return interval_; }
  // Each raises OnChange after an effective change only.
  void SetActive(bool value);
  void SetInterval(std::int32_t value);
  // Active then Interval through their setters; nothing when given itself.
  void Assign(const TLaserCtrlAutomation& other);

  TNotifyEvent OnChange;

 private:
  bool active_ = false;
  std::int32_t interval_ = 1000;
};
