#include "console/PanelLayout.h"

#include <algorithm>

#include "link/QVLaser.h"

namespace {
bool has(uint8_t mask, int b) { return (mask >> b) & 1u; }
constexpr uint8_t kBoth = (1u << 1) | (1u << 2);
}  // namespace

TPanelLayout ArrangePanels(uint8_t C, uint8_t F, uint8_t T, bool PP, bool RG, int lhcVersion) {
  TPanelLayout L;
  const uint8_t c12 = C & kBoth, f12 = F & kBoth, t12 = T & kBoth;
  int row1 = 0, common = 0;

  if (c12 == kBoth) {
    L.nomCurrent[1] = L.nomCurrent[2] = true;
    L.currentRows = 2;
    ++row1;
  } else if (c12 != 0) {
    L.nomCurrent[has(C, 1) ? 1 : 2] = true;
    L.currentRows = 1;
    ++common;
  }
  if (f12 == kBoth && !PP) {
    L.actFrequency[1] = L.actFrequency[2] = true;
    ++row1;
  } else if (has(F, 1) && !PP) {
    L.actFrequency[1] = true;
    ++common;
  } else if (f12 == (1u << 2) && !PP) {
    L.actFrequency[2] = true;
    ++common;
  }
  if (t12 == kBoth) {
    L.triggerMode[1] = L.triggerMode[2] = true;
    ++row1;
  } else if (t12 != 0) {
    L.triggerMode[has(T, 1) ? 1 : 2] = true;
    ++common;
  }
  if (PP) {
    // The pulse rate always shows; the internal gate only when branch 1 has a frequency.
    L.infoPulsePicker = L.actFrequency[2] = true;
    L.infoInternal = L.actFrequency[1] = has(F, 1);
  }
  L.regulatorLevel = RG;
  L.commonPanel = PP || RG || common > 0;
  L.branchRows = row1 > 0;

  for (int b = 3; b <= 4; ++b) {
    if (has(C, b)) {
      L.nomCurrent[b] = true;
      ++L.currentRows;
    }
  }
  for (int b = 1; b <= 4; ++b) L.currentEntry[b] = has(C, b);
  switch (L.currentRows) {
    case 1: L.currentLabel[C == (1u << 1) ? 1 : 2] = "Current"; break;
    case 2: L.currentLabel[1] = "Current1", L.currentLabel[2] = "Current2"; break;
    case 3: L.currentLabel[1] = "I1", L.currentLabel[2] = "I2", L.currentLabel[3] = "I3"; break;
    default: break;  // 0, or 4 with the small designed "1" to "4"
  }
  // One label or the three "I" labels in 12-point type, the four small numbers in 6-point.
  if (L.currentRows == 1 || L.currentRows == 3) L.currentLabelPoints = 12;
  if (L.currentRows == 4) L.currentLabelPoints = 6;

  L.triggerBranchLabels = t12 == kBoth;
  L.hvOn = t12 != kBoth && lhcVersion == 3;
  L.triggerButtons[1] = has(T, 1);
  L.triggerButtons[2] = has(T, 2);

  L.frequencyField[1] = has(F, 1);
  L.frequencyField[2] = PP || has(F, 2);
  L.lblFrequency[1] = has(F, 1) && !PP;
  L.lblFrequency[2] = has(F, 2) && !PP;
  L.lblInternalGate = PP && has(F, 1);
  L.lblPulsePicker = PP;
  if (f12 == (1u << 1)) L.frequencyTitle[1] = "Frequency";
  if (f12 == (1u << 2)) L.frequencyTitle[2] = "Frequency";

  if (C != 0) L.tabs.push_back("Current");
  if (T != 0) L.tabs.push_back("Trigger");
  if (F != 0 || PP) L.tabs.push_back("Frequency");
  if (RG) L.tabs.push_back("Regulator");
  L.tabs.push_back("System");
  L.tabs.push_back("Advanced");
  return L;
}

TPanelLayout DesignedLayout() {
  TPanelLayout L;
  L.nomCurrent[1] = L.nomCurrent[2] = true;
  L.actFrequency[1] = L.actFrequency[2] = true;
  L.triggerMode[1] = L.triggerMode[2] = true;
  L.branchRows = true;
  L.currentRows = 2;
  L.currentEntry[1] = L.currentEntry[2] = true;
  L.currentLabel[1] = "Current1";
  L.currentLabel[2] = "Current2";
  L.triggerButtons[1] = L.triggerButtons[2] = true;
  L.triggerBranchLabels = true;
  L.frequencyField[1] = L.frequencyField[2] = true;
  L.lblFrequency[1] = L.lblFrequency[2] = true;
  L.tabs = {"Current", "Trigger", "Frequency", "System", "Advanced"};
  return L;
}

bool TPanelLayout::hasTab(const std::string& caption) const {
  return std::find(tabs.begin(), tabs.end(), caption) != tabs.end();
}

bool TPanelLayout::offersTriggerButton(int branch, int mode) const {
  if (!hasTab("Trigger") || branch < 1 || branch > 2) return false;
  switch (mode) {
    case tmInternal:
    case tmExternal:
    case tmCW:
      return triggerButtons[branch];
    case tmHVOn:
      return branch == 1 && hvOn;
    default:
      return false;
  }
}
