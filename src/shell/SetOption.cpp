#include "shell/SetOption.h"

#include "platform/Text.h"

#include <cstdio>

#include "console/QVLaserControl.h"
#include "shell/CommandLine.h"

namespace {

std::string trim(const std::string& s) { return qv::trimBlanks(s); }

}  // namespace

void TOptionFrm::LoadOptions(const TOptions& o) {
  LaserPortText = "COM" + std::to_string(o.Port);
  LaserPortTag = o.Port;
  AutoUpdateChecked = o.UpdateEnabled;
  AutoDetectChecked = o.DetectEnabled;
  UpdateTimeEnabled = o.UpdateEnabled;
  DetectTimeEnabled = o.DetectEnabled;
  // Positions are taken as they are: clamping a never-shown update interval of 0 to the field's
  // 500 would make every OK look like a change.
  UpdateUpDownPosition = o.UpdateInterval;
  DetectUpDownPosition = o.DetectInterval;
  HotKeyFields = o.HotKeys;
  CurrentFields = o.PresetCurrents;
  KeysChanged = false;
}

void TOptionFrm::StoreOptions(TOptions& o) const {
  o.Port = static_cast<std::uint16_t>(LaserPortTag);
  o.UpdateEnabled = AutoUpdateChecked;
  o.UpdateInterval = UpdateUpDownPosition;
  o.DetectEnabled = AutoDetectChecked;
  o.DetectInterval = DetectUpDownPosition;
  o.HotKeys = HotKeyFields;
  for (std::size_t i = 1; i <= 9; ++i) o.PresetCurrents[i] = CurrentFields[i];
}

void TOptionFrm::AutoDetectClick(bool checked) {
  AutoDetectChecked = checked;
  DetectTimeEnabled = checked;
}

void TOptionFrm::AutoUpdateClick(bool checked) {
  AutoUpdateChecked = checked;
  UpdateTimeEnabled = checked;
}

std::pair<std::string, std::string> TOptionFrm::PortInUse() const {
  if (CurrentLaser && CurrentLaser->Connected()) {
    char mark[32];
    std::snprintf(mark, sizeof mark, "SN%.4d *", static_cast<int>(CurrentLaser->SN()));
    return {"COM" + std::to_string(CurrentLaser->Port()), mark};
  }
  return {"no", ""};
}

void TOptionFrm::LaserPortDropDown() {
  const auto [port, mark] = PortInUse();
  ListSerialPorts(LaserPortItems, port, mark);
}

void TOptionFrm::DelayedCheckSerialPort() {
  if (LaserPortText.compare(0, 3, "COM") == 0) {
    const auto cut = LaserPortText.find(" -");
    if (cut != std::string::npos) LaserPortText.erase(cut);
  }
  LaserPortSelectAll = true;
}

std::optional<int> ParseLaserPortText(const std::string& text) {
  std::string t = trim(text);
  for (char& c : t)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (t.compare(0, 3, "COM") != 0) return std::nullopt;
  const auto n = qv::parseSignedDecimal(t.substr(3));
  if (!n || *n < 1 || *n > 256) return std::nullopt;
  return n;
}

bool TOptionFrm::BitBtn1Click() {
  if (const auto n = ParseLaserPortText(LaserPortText)) {
    LaserPortTag = *n;
    return true;
  }
  ActiveTab = TTab::General;
  LaserPortFocused = true;
  return false;
}

bool ApplyOptions(TQVLaserControl& console, const TOptions& fresh, bool keysChanged) {
  TOptions& live = console.Options();
  TLaser& laser = console.Laser();
  bool changed = false;
  if (fresh.Port != live.Port) {
    changed = true;
    laser.Disconnect();
    laser.SetPort(fresh.Port);
    console.SetUserConnect(true);  // a port that cannot be opened is reported in a box
    laser.Connect();
  }
  if (fresh.DetectInterval != live.DetectInterval) {
    changed = true;
    if (!laser.Connected() && console.AutoDetect()) console.AutoDetect()->SetInterval(fresh.DetectInterval);
  }
  if (fresh.UpdateInterval != live.UpdateInterval) changed = true;
  if (fresh.DetectEnabled != live.DetectEnabled) {
    changed = true;
    if (!laser.Connected() && console.AutoDetect()) {
      console.AutoDetect()->SetInterval(fresh.DetectInterval);
      console.AutoDetect()->SetActive(fresh.DetectEnabled);
    }
  }
  live = fresh;
  return changed || keysChanged;
}

bool EditOptions(TQVLaserControl& console, TOptionFrm& form,
                 const std::function<bool(TOptionFrm&)>& execute) {
  form.LoadOptions(console.Options());
  form.CurrentLaser = &console.Laser();
  const bool ok = execute && execute(form);
  bool changed = false;
  if (ok) {
    TOptions fresh;
    form.StoreOptions(fresh);
    changed = ApplyOptions(console, fresh, false);
  }
  return changed || form.KeysChanged;
}
