// The options dialog's rules without widgets: its fields as plain data, LoadOptions and
// StoreOptions, the port list, the trimming of a chosen list item, the OK check of the port text,
// and how an OK is applied to the console.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "catalogue/PortDiscovery.h"
#include "settings/Options.h"

class TLaser;
class TQVLaserControl;

constexpr const char* kUnknownPortTitle = "Unknown Port";
constexpr const char* kUnknownPortText =
    "Please check the Laser port again!\r\n(Valid port: COM1 ~ COM256)";

class TOptionFrm {
 public:
  enum class TTab { General, HotKeys, PresetCurrents, About };

  // Fields of the dialog's controls.
  std::string LaserPortText;
  int LaserPortTag = 0;
  bool AutoUpdateChecked = false;
  bool AutoDetectChecked = false;
  bool UpdateTimeEnabled = false;
  bool DetectTimeEnabled = false;
  std::int32_t UpdateUpDownPosition = 500;
  std::int32_t DetectUpDownPosition = 500;
  std::array<TShortCut, kHotKeyCount> HotKeyFields{};  // ConnectKey .. SetCurrent0Key
  std::array<std::string, 10> CurrentFields;           // Current1..Current9 at [1]..[9]
  TTab ActiveTab = TTab::General;
  bool LaserPortFocused = false;
  bool LaserPortSelectAll = false;
  TSerialPortItems LaserPortItems;

  TLaser* CurrentLaser = nullptr;  // set by Execute, for the port list
  bool KeysChanged = false;

  void LoadOptions(const TOptions& options);
  void StoreOptions(TOptions& options) const;

  // Every edit of a hot-key or preset-current field.
  void PreCurrentChange() { KeysChanged = true; }
  void AutoDetectClick(bool checked);
  void AutoUpdateClick(bool checked);

  // The port in use and its mark for the list: "COM<n>" and "SN%.4d *" while CurrentLaser is
  // connected, else "no" and "".
  std::pair<std::string, std::string> PortInUse() const;
  // Rebuilds LaserPortItems by port discovery (probes the ports; blocks for a moment).
  void LaserPortDropDown();
  // The chosen item written into the field: cut at " -" and selected.
  void DelayedCheckSerialPort();

  // OK: true when the port text is valid (its number is then in LaserPortTag and the dialog
  // closes); otherwise the error box is due (kUnknownPortTitle, kUnknownPortText), the General
  // tab is shown and the port field focused.
  bool BitBtn1Click();
  // Cancel (or Esc).
  void BitBtn2Click() { KeysChanged = false; }
};

// The number of a port text as the OK button reads it ("com12" with blanks around gives 12);
// nothing unless it is "COM" and an integer from 1 to 256.
std::optional<int> ParseLaserPortText(const std::string& text);

// Applies an OK to the console (port, detection, the live record) and says whether
// AfterChangeOption is due: a difference in port or detection settings, or keysChanged.
bool ApplyOptions(TQVLaserControl& console, const TOptions& fresh, bool keysChanged);

// The console's options operation on a dialog: LoadOptions with the live record, show it with
// the laser (execute returns true for OK), then StoreOptions and ApplyOptions on OK. Returns
// whether AfterChangeOption is due (also after a dialog closed without OK if a key was edited).
bool EditOptions(TQVLaserControl& console, TOptionFrm& form,
                 const std::function<bool(TOptionFrm&)>& execute);
