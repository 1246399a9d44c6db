#include "shell/Actions.h"

#include "platform/Text.h"

#include <cctype>
#include <charconv>

namespace qv {

namespace {

constexpr TShortCut kF1 = 112;

std::vector<ActionInfo> makeTable() {
  std::vector<ActionInfo> t = {
      {ActionId::ConnectLaser, "ConnectLaser", ctrlKey('L'), 1, false, 0},
      {ActionId::MinimizeToTray, "MinimizeToTray", 0, 0, false, 0},
      {ActionId::ShowTrayIcon, "ShowTrayIcon", 0, 0, false, 0},
      {ActionId::ShowAdvanced, "ShowAdvanced", ctrlKey('D'), 0, true, 0},
      {ActionId::ShowLog, "ShowLog", ShortCut('L', scCtrl | scAlt), 0, false, 0},
      {ActionId::SetOptions, "SetOptions", ctrlKey('O'), 0, false, 0},
      {ActionId::FileExit1, "FileExit1", ShortCut('X', scAlt), 0, false, 0},
      {ActionId::SetInternal, "SetInternal", ctrlKey('I'), 2, true, 0},
      {ActionId::SetExternal, "SetExternal", ctrlKey('E'), 3, true, 0},
      {ActionId::SetCW, "SetCW", ctrlKey('W'), 4, true, 0},
      {ActionId::SetHVOn, "SetHVOn", ctrlKey('H'), 0, true, 0},
      {ActionId::SetLaserOn, "SetLaserOn", ctrlKey('N'), 5, true, 0},
      {ActionId::SetLaserOff, "SetLaserOff", ctrlKey('S'), 6, true, 0},
      {ActionId::SetCurrentZero, "SetCurrentZero", ctrlKey('0'), 7, true, 0},
  };
  static const char* const kCurrentNames[9] = {"SetCurrent1", "SetCurrent2", "SetCurrent3",
                                               "SetCurrent4", "SetCurrent5", "SetCurrent6",
                                               "SetCurrent7", "SetCurrent8", "SetCurrent9"};
  for (int i = 1; i <= 9; ++i)
    t.push_back({static_cast<ActionId>(static_cast<int>(ActionId::SetCurrent1) + i - 1),
                 kCurrentNames[i - 1], ctrlKey(static_cast<char>('0' + i)), 0, true, i});
  t.push_back({ActionId::About, "About", kF1, 0, false, 0});
  // Ctrl+T: no built-in or configurable short-cut uses T. Not guarded: the window can be open
  // before a laser is, and keeps its curves while none is connected.
  t.push_back({ActionId::ShowTrends, "ShowTrends", ctrlKey('T'), 8, false, 0});
  return t;
}

}  // namespace

const std::vector<ActionInfo>& actionTable() {
  static const std::vector<ActionInfo> table = makeTable();
  return table;
}

const ActionInfo& actionInfo(ActionId id) { return actionTable()[static_cast<std::size_t>(id)]; }

const std::array<HotKeySlot, kHotKeyCount>& hotKeySlots() {
  static const std::array<HotKeySlot, kHotKeyCount> slots = {{
      {"ConnectLaser", ActionId::ConnectLaser, ctrlKey('L')},
      {"SetInternal", ActionId::SetInternal, ctrlKey('I')},
      {"SetExternal", ActionId::SetExternal, ctrlKey('E')},
      {"SetCW", ActionId::SetCW, ctrlKey('W')},
      {"LaserOn", ActionId::SetLaserOn, ctrlKey('N')},
      {"LaserOff", ActionId::SetLaserOff, ctrlKey('S')},
      {"SetCurrentZero", ActionId::SetCurrentZero, ctrlKey('0')},
      {"ShowTrends", ActionId::ShowTrends, ctrlKey('T')},
  }};
  return slots;
}

std::array<TShortCut, kHotKeyCount> builtInHotKeys() {
  std::array<TShortCut, kHotKeyCount> keys{};
  for (std::size_t i = 0; i < keys.size(); ++i) keys[i] = hotKeySlots()[i].builtIn;
  return keys;
}

std::optional<double> parsePresetCurrent(const std::string& text) {
  std::string s = qv::trimBlanks(text);
  if (s.empty()) return std::nullopt;
  // Only plain decimal notation: sign, digits, one ".", an exponent. No "inf", "nan" or hex,
  // which the number parser would otherwise take.
  std::size_t i = 0;
  if (s[i] == '+' || s[i] == '-') ++i;
  std::size_t digits = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t expDigits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++expDigits;
    if (expDigits == 0) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  const char* first = s.data();
  if (*first == '+') ++first;
  double value = 0;
  auto [ptr, ec] = std::from_chars(first, s.data() + s.size(), value);
  if (ec != std::errc() || ptr != s.data() + s.size()) return std::nullopt;
  return value;
}

ShellActions::ShellActions() {
  for (const ActionInfo& a : actionTable()) state_.push_back({a.builtInShortCut, !a.guarded});
}

void ShellActions::ApplyHotKeys(const std::array<TShortCut, kHotKeyCount>& hotKeys) {
  for (std::size_t slot = 1; slot < kHotKeyCount; ++slot)
    state_[static_cast<std::size_t>(hotKeySlots()[slot].action)].shortCut = hotKeys[slot];
  state_[static_cast<std::size_t>(hotKeySlots()[0].action)].shortCut = hotKeys[0];
}

void ShellActions::UpdateLaserAction(bool connected, bool detecting) {
  const bool on = connected && !detecting;
  for (std::size_t i = 0; i < state_.size(); ++i)
    if (actionTable()[i].guarded) state_[i].enabled = on;
}

TShortCut ShellActions::shortCut(ActionId id) const {
  return state_[static_cast<std::size_t>(id)].shortCut;
}

bool ShellActions::enabled(ActionId id) const { return state_[static_cast<std::size_t>(id)].enabled; }

std::optional<ActionId> ShellActions::actionForShortCut(TShortCut sc) const {
  if (sc == 0) return std::nullopt;
  for (std::size_t i = 0; i < state_.size(); ++i)
    if (state_[i].shortCut == sc) return actionTable()[i].id;
  return std::nullopt;
}

bool ShellActions::handleShortCut(TShortCut sc, ActionHost& host) {
  const auto id = actionForShortCut(sc);
  if (!id) return false;
  execute(*id, host);
  return true;
}

void ShellActions::execute(ActionId id, ActionHost& host) {
  if (!enabled(id)) return;
  using B = ActionHost::Button;
  auto press = [&host](B first, std::optional<B> second) {
    if (host.buttonVisible(first)) host.triggerClick(first);
    if (second && host.buttonVisible(*second)) host.triggerClick(*second);
  };
  switch (id) {
    case ActionId::ConnectLaser: host.connectLaserClick(); break;
    case ActionId::ShowAdvanced:
      if (host.advancedPanelVisible())
        host.closeAdvancedPanelClick();
      else
        host.selectTab("Advanced");
      break;
    case ActionId::FileExit1: host.closeMainWindow(); break;
    case ActionId::SetInternal: press(B::InternalTrigger1, B::InternalTrigger2); break;
    case ActionId::SetExternal: press(B::ExternalTrigger1, B::ExternalTrigger2); break;
    case ActionId::SetCW: press(B::CWMode1, B::CWMode2); break;
    case ActionId::SetHVOn: press(B::HVOn1, std::nullopt); break;
    case ActionId::SetLaserOn: host.laserOnClick(true); break;
    case ActionId::SetLaserOff: host.laserOnClick(false); break;
    case ActionId::ShowTrends:
      host.showTrends();
      break;
    default:
      if (id == ActionId::SetCurrentZero ||
          (id >= ActionId::SetCurrent1 && id <= ActionId::SetCurrent9))
        SetPresetCurrent(actionInfo(id).tag, host);
      break;  // MinimizeToTray, ShowTrayIcon, ShowLog, SetOptions, About: no effect
  }
}

void ShellActions::SetPresetCurrent(int tag, ActionHost& host) {
  if (tag < 1 || tag > 9) {
    host.setAllCurrents(0.0);
    return;
  }
  const std::string preset = host.options().PresetCurrents[static_cast<std::size_t>(tag)];
  if (const auto value = parsePresetCurrent(preset)) host.setAllCurrents(*value);
}

}  // namespace qv
