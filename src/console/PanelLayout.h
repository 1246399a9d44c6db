// Which read-outs, entry items and tabs the console shows for a laser, decided from its branch
// sets and options once per identification (the pixel placement is the view's business).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TPanelLayout {
  // Read-outs, index = branch (0 unused).
  bool nomCurrent[5] = {};    // NomCurrent1..4 (and MaxCurrent1..4 inside their brackets)
  bool actFrequency[3] = {};  // ActFrequency1 (internal gate with a pulse picker), ActFrequency2
  bool triggerMode[3] = {};
  bool regulatorLevel = false;
  bool infoInternal = false;     // "Internal Gate" title
  bool infoPulsePicker = false;  // "Pulse rate" title
  bool branchRows = false;       // LaserPanelBranch1/2 with "Laser1"/"Laser2"
  bool commonPanel = false;
  int currentRows = 0;           // R
  // Current entry panel.
  bool currentEntry[5] = {};
  std::string currentLabel[5] = {"", "1", "2", "3", "4"};
  int currentLabelPoints = 0;    // their type size; 0: the designed size
  // Trigger panel.
  bool triggerButtons[3] = {};   // External/Internal/CW of branch 1 and 2
  bool triggerBranchLabels = false;
  bool hvOn = false;
  // Frequency panel.
  bool frequencyField[3] = {};
  bool lblFrequency[3] = {};
  std::string frequencyTitle[3] = {"", "Frequency1", "Frequency2"};
  bool lblInternalGate = false;
  bool lblPulsePicker = false;
  // The tab row, in order.
  std::vector<std::string> tabs;
  friend bool operator==(const TPanelLayout&, const TPanelLayout&) = default;

  // What the panels offer the operator: a control counts only when it is shown on a panel whose
  // tab is in the row.
  bool hasTab(const std::string& caption) const;
  // The trigger button of a branch (1 or 2) for a mode ordinal (tmInternal, tmExternal, tmCW,
  // tmHVOn; "HV On" exists for branch 1 only).
  bool offersTriggerButton(int branch, int mode) const;
};

// ArrangePanels(C, F, T, PP, RG): masks with bit b for branch b.
TPanelLayout ArrangePanels(uint8_t currentMask, uint8_t frequencyMask, uint8_t triggerMask,
                           bool hasPulsePicker, bool hasRegulator, int lhcVersion);

// The layout before any identification: the designed controls of branch 1 and 2.
TPanelLayout DesignedLayout();
