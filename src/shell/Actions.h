// The main window's named actions: built-in short-cuts, the seven configurable slots, the
// enabling rule for laser actions and what each action forwards to the console.
// No widgets: the window feeds key short-cuts in and implements ActionHost.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "settings/Options.h"

namespace qv {

constexpr TShortCut ctrlKey(char key) { return ShortCut(static_cast<std::uint8_t>(key), scCtrl); }

enum class ActionId {
  ConnectLaser,
  MinimizeToTray,
  ShowTrayIcon,
  ShowAdvanced,
  ShowLog,
  SetOptions,
  FileExit1,
  SetInternal,
  SetExternal,
  SetCW,
  SetHVOn,
  SetLaserOn,
  SetLaserOff,
  SetCurrentZero,
  SetCurrent1,
  SetCurrent2,
  SetCurrent3,
  SetCurrent4,
  SetCurrent5,
  SetCurrent6,
  SetCurrent7,
  SetCurrent8,
  SetCurrent9,
  About,
  ShowTrends  // opens the live trend window
};

struct ActionInfo {
  ActionId id;
  const char* name;
  TShortCut builtInShortCut;
  int hotKeySlot;  // 1..8 into the options' hot keys, 0 = not configurable
  bool guarded;    // enabled only while a laser is connected and not detecting
  int tag;         // the current actions: 0 for SetCurrentZero, 1..9 for SetCurrent1..9
};

// Every action, in list order.
const std::vector<ActionInfo>& actionTable();
const ActionInfo& actionInfo(ActionId id);

// The configurable slots (the seven of old, then the trend window's): settings key in section
// "HotKeys" and built-in short-cut.
struct HotKeySlot {
  const char* settingsKey;
  ActionId action;
  TShortCut builtIn;
};
const std::array<HotKeySlot, kHotKeyCount>& hotKeySlots();  // indexed by THotKeySlot
std::array<TShortCut, kHotKeyCount> builtInHotKeys();

// What the actions need of the console and the window.
class ActionHost {
 public:
  enum class Button { InternalTrigger1, InternalTrigger2, ExternalTrigger1, ExternalTrigger2,
                      CWMode1, CWMode2, HVOn1 };
  virtual ~ActionHost() = default;
  virtual void connectLaserClick() = 0;              // ConnectLaserClick(ConnectLaser)
  virtual bool buttonVisible(Button b) = 0;
  virtual void triggerClick(Button b) = 0;           // TriggerClick(button)
  virtual void laserOnClick(bool laserOnButton) = 0; // LaserOnClick(LaserOn) / (LaserOff)
  virtual void setAllCurrents(double value) = 0;     // every shown branch, clipped to its maximum
  virtual bool advancedPanelVisible() = 0;
  virtual void closeAdvancedPanelClick() = 0;        // CloseAdvancedPanelClick(CloseAdvancedPanel)
  virtual bool selectTab(const std::string& caption) = 0;  // false when there is no such tab
  virtual void closeMainWindow() = 0;
  virtual const TOptions& options() = 0;             // the console's live record
  virtual void showTrends() {}                       // the live trend window, raised
};

// A preset current as typed: blanks trimmed, "." as the only decimal separator. Nothing for an
// empty or non-numeric text.
std::optional<double> parsePresetCurrent(const std::string& text);

// The live action list: short-cuts and enabled states.
class ShellActions {
 public:
  ShellActions();

  // Copies the options' hot keys: slots 2..8, then slot 1. A 0 removes the short-cut.
  void ApplyHotKeys(const std::array<TShortCut, kHotKeyCount>& hotKeys);
  // The enabling rule of every guarded action.
  void UpdateLaserAction(bool connected, bool detecting);

  TShortCut shortCut(ActionId id) const;
  bool enabled(ActionId id) const;
  // The action that owns a short-cut: the first in list order that carries it.
  std::optional<ActionId> actionForShortCut(TShortCut sc) const;
  // A key pressed: true when an action owns it (it is consumed even when the action is disabled).
  bool handleShortCut(TShortCut sc, ActionHost& host);

  // Runs an action's effect (nothing for a disabled one).
  void execute(ActionId id, ActionHost& host);
  void SetPresetCurrent(int tag, ActionHost& host);

 private:
  struct State {
    TShortCut shortCut;
    bool enabled;
  };
  std::vector<State> state_;  // one per actionTable() entry
};

}  // namespace qv
