// What the console frame showed last: each refresh compares the console's display with it and
// touches only the controls whose value changed.
#pragma once

#include <string>

#include "console/QVLaserControl.h"
#include "ui/QVLaserControlFrame.h"

struct TQVLaserControlFrame::Shown {
  bool first = true;         // nothing shown yet: everything is applied once
  bool tabsRebuilt = false;  // the tab row was made anew: its selection is set again
  TConsoleDisplay d;  // the values last shown
  size_t historyCount = 0;
  std::string historyLast;
};
