// The pixel rules of the console's panels: where the read-outs, entry items and tabs' controls
// go for the laser found, the terminal's open and closed geometry, the protection-limits columns
// and the step arithmetic of the slide animations. The view gives the designed rectangles of its
// controls (as created, with the widths its fonts give them); the rules return the rectangles
// they change, by control name, each with the panel that holds it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "console/PanelLayout.h"
#include "console/PulseRate.h"

struct TRect {
  int x = 0, y = 0, w = 0, h = 0;
  int right() const { return x + w; }
  int bottom() const { return y + h; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

using TRects = std::map<std::string, TRect>;

struct TPlacement {
  std::string parent;  // the panel that holds the control
  TRect rect;          // in the parent's coordinates
  friend bool operator==(const TPlacement&, const TPlacement&) = default;
};

struct TGeometry {
  std::map<std::string, TPlacement> items;
  // The placement of a control the rules moved, or null.
  const TPlacement* Find(const std::string& name) const;
};

// What the view measured: the designed rectangle of every control by name (a missing name counts
// as an empty rectangle at 0, 0), the whole width of each value/unit pair (value label, gap and
// unit label) by the pair's name, and, for a pair whose unit reaches left of its value (the
// regulator level, whose value sits inside its unit), how far it reaches.
struct TPanelMeasures {
  TRects designed;
  std::map<std::string, int> totalWidth;
  std::map<std::string, int> lead;
  TRect Rect(const std::string& name) const;
  // A pair's whole width, otherwise the control's own width.
  int Width(const std::string& name) const;
  // Pixels from a pair's left edge to its value label's left edge (0 for other controls).
  int Lead(const std::string& name) const;
};

// ArrangePanels' pixel steps: branch rows and their gaps, the common panel, the maximum currents
// in their brackets, rows of branches 3 and 4, the current entry groups and the stacking of the
// rows, the trigger buttons and the frequency fields.
TGeometry ArrangeGeometry(const TPanelLayout& layout, const TPanelMeasures& measures);

// The terminal's panel and the Laser On / Laser Off buttons, open or closed. laserOnLeft and
// laserOnWidth are the buttons' designed left edge and width.
struct TAdvancedGeometry {
  int panelWidth = 1;
  int buttonsLeft = 0;
  int buttonsWidth = 0;
  friend bool operator==(const TAdvancedGeometry&, const TAdvancedGeometry&) = default;
};
TAdvancedGeometry AdvancedGeometry(bool open, int laserOnLeft, int laserOnWidth);

// The cover's target height: down to one pixel above the console's bottom edge, or 0.
int CoverTargetHeight(bool show, int consoleHeight, int coverTop);

// Left edges of the protection-limits columns: values fCurrentLimit<b><k>, headers lblI<b>.
TGeometry ProtectionGeometry(const TProtectionPanel& panel, const TPanelMeasures& measures);

// The values an animation passes through from start to target: six steps of
// (target - start) / 7 (truncated toward zero), then the target itself.
std::vector<int> SlideSteps(int start, int target);
