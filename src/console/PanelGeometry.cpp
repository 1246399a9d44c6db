#include "console/PanelGeometry.h"

#include <algorithm>

namespace {

constexpr int kItemTop = 3;     // read-outs sit this far below the top of their row
constexpr int kCommonTop = 11;  // the common panel's first line with a picker or regulator
constexpr int kTitleGap = 4;    // "Internal Gate" / "Pulse rate" and their value
constexpr int kEntryGap = 2;    // label, field, unit and OK button of an entry group
constexpr int kButtonGap = 4;   // trigger buttons
constexpr int kMaxCurrentOffset[3] = {0, 79, 78};  // MaxCurrent inside NomCurrent's brackets

std::string name(const char* stem, int index) {
  return stem + std::to_string(index);
}

class Placer {
 public:
  explicit Placer(const TPanelMeasures& m) : m_(m) {}

  // Places a control at (x, y) in parent with its designed size.
  TRect& at(const std::string& control, const std::string& parent, int x, int y) {
    TRect r = m_.Rect(control);
    r.x = x;
    r.y = y;
    return put(control, parent, r);
  }
  // Places a read-out whose whole extent (a pair with its unit) starts at x.
  TRect& item(const std::string& control, const std::string& parent, int x, int y) {
    return at(control, parent, x + m_.Lead(control), y);
  }
  TRect& put(const std::string& control, const std::string& parent, const TRect& r) {
    TPlacement& p = g_.items[control];
    p.parent = parent;
    p.rect = r;
    return p.rect;
  }
  const TPlacement* find(const std::string& control) const { return g_.Find(control); }
  TGeometry take() { return std::move(g_); }

 private:
  const TPanelMeasures& m_;
  TGeometry g_;
};

// The vertical position that centres a control of height h on the line of the given rectangle.
int centredOn(const TRect& line, int h) {
  return line.y + (line.h - h) / 2;
}

}  // namespace

const TPlacement* TGeometry::Find(const std::string& control) const {
  const auto it = items.find(control);
  return it == items.end() ? nullptr : &it->second;
}

TRect TPanelMeasures::Rect(const std::string& control) const {
  const auto it = designed.find(control);
  return it == designed.end() ? TRect{} : it->second;
}

int TPanelMeasures::Width(const std::string& control) const {
  const auto it = totalWidth.find(control);
  return it == totalWidth.end() ? Rect(control).w : it->second;
}

int TPanelMeasures::Lead(const std::string& control) const {
  const auto it = lead.find(control);
  return it == lead.end() ? 0 : it->second;
}

TGeometry ArrangeGeometry(const TPanelLayout& L, const TPanelMeasures& m) {
  Placer place(m);
  const TRect info = m.Rect("RegularLaserInfoPanel");
  const int rowHeight = m.Rect("LaserPanelBranch1").h;
  const bool PP = L.infoPulsePicker;
  const bool RG = L.regulatorLevel;

  // Which read-outs go once per branch row and which once into the common panel.
  std::vector<std::string> row1, row2, common;
  if (L.nomCurrent[1] && L.nomCurrent[2]) {
    row1.push_back("NomCurrent1");
    row2.push_back("NomCurrent2");
  } else if (L.nomCurrent[1] || L.nomCurrent[2]) {
    common.push_back(L.nomCurrent[1] ? "NomCurrent1" : "NomCurrent2");
  }
  if (!PP) {
    if (L.actFrequency[1] && L.actFrequency[2]) {
      row1.push_back("ActFrequency1");
      row2.push_back("ActFrequency2");
    } else if (L.actFrequency[1] || L.actFrequency[2]) {
      common.push_back(L.actFrequency[1] ? "ActFrequency1" : "ActFrequency2");
    }
  }
  if (L.triggerMode[1] && L.triggerMode[2]) {
    row1.push_back("TriggerMode1");
    row2.push_back("TriggerMode2");
  } else if (L.triggerMode[1] || L.triggerMode[2]) {
    common.push_back(L.triggerMode[1] ? "TriggerMode1" : "TriggerMode2");
  }
  if (PP && RG) common.push_back("NomRegulatorLevel");

  // Branch rows: the items after the row title, spread by the gap G; row 2 mirrors row 1.
  int rowWidth = info.w;
  if (L.branchRows && !row1.empty()) {
    const TRect title = m.Rect("lblLaser1");
    int s = title.w;
    for (const std::string& item : row1) s += m.Width(item);
    const int n = static_cast<int>(row1.size());
    if (L.commonPanel) rowWidth = s + 8 * n + 8;
    const int gap = (rowWidth - s - 8) / (n == 1 ? 2 : n);
    int x = title.right() + gap;
    for (size_t j = 0; j < row1.size(); ++j) {
      place.item(row1[j], "LaserPanelBranch1", x, kItemTop);
      place.item(row2[j], "LaserPanelBranch2", x, kItemTop);
      x += m.Width(row1[j]) + gap;
    }
    place.put("lblLaser1", "LaserPanelBranch1", title);
    place.put("lblLaser2", "LaserPanelBranch2", m.Rect("lblLaser2"));
    place.put("LaserPanelBranch1", "RegularLaserInfoPanel", {0, 0, rowWidth, rowHeight});
    place.put("LaserPanelBranch2", "RegularLaserInfoPanel", {0, 0, rowWidth, rowHeight});
  }

  // Common panel: right of the rows (4 pixels apart, flush right) or over the whole panel.
  if (L.commonPanel) {
    const bool beside = L.branchRows && !row1.empty();
    const TRect panel = beside ? TRect{rowWidth + 4, 0, info.w - rowWidth - 4, info.h}
                               : TRect{0, 0, info.w, info.h};
    place.put("LaserPanelCommon", "RegularLaserInfoPanel", panel);
    if (!common.empty()) {
      int sum = 0;
      for (const std::string& item : common) sum += m.Width(item);
      const int gap = (panel.w - sum) / (static_cast<int>(common.size()) + 1);
      int x = gap;
      for (const std::string& item : common) {
        const int y = PP || RG ? kCommonTop : (panel.h - m.Rect(item).h) / 2;
        place.item(item, "LaserPanelCommon", x, y);
        x += m.Width(item) + gap;
      }
    }
    const TRect gateLine = m.Rect("InfoInternal");
    const TRect rateLine = m.Rect("InfoPulsePicker");
    if (PP && L.infoInternal) {
      const int pair = gateLine.w + kTitleGap + m.Width("ActFrequency1");
      const int x = (panel.w - pair) / 2;
      place.at("InfoInternal", "LaserPanelCommon", x, gateLine.y);
      const int valueX = x + gateLine.w + kTitleGap;
      place.at("ActFrequency1", "LaserPanelCommon", valueX,
               centredOn(gateLine, m.Rect("ActFrequency1").h));
      place.at("ActFrequency2", "LaserPanelCommon", valueX,
               centredOn(rateLine, m.Rect("ActFrequency2").h));
      place.at("InfoPulsePicker", "LaserPanelCommon", valueX - kTitleGap - rateLine.w, rateLine.y);
    } else if (PP) {
      const int pair = rateLine.w + kTitleGap + m.Width("ActFrequency2");
      const int x = (panel.w - pair) / 2;
      place.at("InfoPulsePicker", "LaserPanelCommon", x, rateLine.y);
      place.at("ActFrequency2", "LaserPanelCommon", x + rateLine.w + kTitleGap,
               centredOn(rateLine, m.Rect("ActFrequency2").h));
    } else if (RG) {
      place.item("NomRegulatorLevel", "LaserPanelCommon",
                 (panel.w - m.Width("NomRegulatorLevel")) / 2,
                 centredOn(rateLine, m.Rect("NomRegulatorLevel").h));
    }
  }

  // Maximum currents inside the brackets of their nominal current's unit.
  for (int b = 1; b <= 2; ++b) {
    const TPlacement* nom = place.find(name("NomCurrent", b));
    if (!nom) continue;
    const TRect max = m.Rect(name("MaxCurrent", b));
    place.at(name("MaxCurrent", b), nom->parent, nom->rect.x + kMaxCurrentOffset[b],
             nom->rect.bottom() - max.h);
  }

  // Branches 3 and 4: rows as wide as row 1, read-outs lined up with those of branch 1.
  for (int b = 3; b <= 4; ++b) {
    if (!L.nomCurrent[b]) continue;
    const std::string row = name("LaserPanelBranch", b);
    place.put(row, "RegularLaserInfoPanel", {0, 0, rowWidth, rowHeight});
    place.put(name("lblLaser", b), row, m.Rect(name("lblLaser", b)));
    const TPlacement* nom1 = place.find("NomCurrent1");
    const TPlacement* max1 = place.find("MaxCurrent1");
    const TRect nom = place.at(name("NomCurrent", b), row,
                               nom1 ? nom1->rect.x : m.Rect(name("NomCurrent", b)).x, kItemTop);
    const TRect max = m.Rect(name("MaxCurrent", b));
    place.at(name("MaxCurrent", b), row, max1 ? max1->rect.x : nom.x + kMaxCurrentOffset[1],
             nom.bottom() - max.h);
  }

  // The shown rows, in branch order, spread over the panel's height; branch 4 at the bottom.
  std::vector<int> rows;
  if (L.branchRows && !row1.empty()) rows = {1, 2};
  for (int b = 3; b <= 4; ++b) {
    if (L.nomCurrent[b]) rows.push_back(b);
  }
  if (!rows.empty()) {
    const int n = static_cast<int>(rows.size());
    const int step = n > 1 ? (info.h - rowHeight * n) / (n - 1) + rowHeight : 0;
    for (int i = 0; i < n; ++i) {
      TRect r = place.find(name("LaserPanelBranch", rows[i]))->rect;
      r.y = rows[i] == 4 ? info.h - rowHeight : i * step;
      place.put(name("LaserPanelBranch", rows[i]), "RegularLaserInfoPanel", r);
    }
  }

  // Current entry: one group centred, or the groups of the present branches spread evenly.
  {
    const int panel = m.Rect("CurrentPanel").w;
    std::vector<int> present;
    int groupWidth = 0;
    for (int b = 1; b <= 4; ++b) {
      if (!L.currentEntry[b]) continue;
      present.push_back(b);
      groupWidth =
          std::max(groupWidth, m.Rect(name("lblCurrent", b)).w + m.Rect(name("Current", b)).w +
                                   m.Rect(name("OkCurrent", b)).w + 2 * kEntryGap);
    }
    const int r = static_cast<int>(present.size());
    const int gap = r > 0 ? (panel - groupWidth * r) / (r + 1) : 0;
    for (int k = 0; k < r; ++k) {
      const int b = present[k];
      const int x = r == 1 ? (panel - groupWidth) / 2 : gap + k * (groupWidth + gap);
      const TRect label = m.Rect(name("lblCurrent", b));
      const TRect field = m.Rect(name("Current", b));
      const TRect& l = place.at(name("lblCurrent", b), "CurrentPanel", x, label.y);
      const TRect& f = place.at(name("Current", b), "CurrentPanel", l.right() + kEntryGap, field.y);
      place.at(name("OkCurrent", b), "CurrentPanel", f.right() + kEntryGap,
               m.Rect(name("OkCurrent", b)).y);
    }
  }

  // Trigger buttons: two groups side by side, or one group filling the panel.
  {
    const int panel = m.Rect("TriggerPanel").w;
    int width = 0, cwWidth = 0, start[3] = {};
    if (L.triggerBranchLabels) {
      width = 63;
      cwWidth = 52;
      start[1] = m.Rect("ExternalTrigger1").x;
      start[2] = 218;
    } else {
      width = L.hvOn ? (panel - 20) / 4 : (panel - 16) / 3;
      cwWidth = width;
      start[1] = start[2] = 4;
    }
    for (int b = 1; b <= 2; ++b) {
      TRect ext = m.Rect(name("ExternalTrigger", b));
      ext.x = start[b];
      ext.w = width;
      place.put(name("ExternalTrigger", b), "TriggerPanel", ext);
      TRect in = m.Rect(name("InternalTrigger", b));
      in.x = ext.right() + kButtonGap;
      in.w = width;
      place.put(name("InternalTrigger", b), "TriggerPanel", in);
      TRect cw = m.Rect(name("CWMode", b));
      cw.x = in.right() + kButtonGap;
      cw.w = cwWidth;
      place.put(name("CWMode", b), "TriggerPanel", cw);
    }
    TRect hv = m.Rect("HVOn1");
    hv.x = place.find("CWMode1")->rect.right() + kButtonGap;
    hv.w = width;
    place.put("HVOn1", "TriggerPanel", hv);
  }

  // Frequency fields at their designed places for two, or the one in use centred; titles left
  // of their field, unit and OK button after it, 2 pixels apart.
  {
    const int panel = m.Rect("FrequencyPanel").w;
    auto title = [&](int b) {
      if (L.lblFrequency[b]) return name("lblFrequency", b);
      return std::string(b == 1 ? "lblInternalGate" : "lblPulsePicker");
    };
    int fieldX[3] = {0, m.Rect("Frequency1").x, m.Rect("Frequency2").x};
    if (L.frequencyField[1] && L.frequencyField[2]) {
      fieldX[1] = 93;
      fieldX[2] = 300;
    } else {
      for (int b = 1; b <= 2; ++b) {
        if (!L.frequencyField[b]) continue;
        const int t = m.Rect(title(b)).w;
        const int group = t + m.Rect(name("Frequency", b)).w + m.Rect(name("lblHz_f", b)).w +
                          m.Rect(name("OkFrequency", b)).w + 3 * kEntryGap;
        fieldX[b] = (panel - group) / 2 + t + kEntryGap;
      }
    }
    const char* titles[3][2] = {
        {}, {"lblFrequency1", "lblInternalGate"}, {"lblFrequency2", "lblPulsePicker"}};
    for (int b = 1; b <= 2; ++b) {
      const TRect& f = place.at(name("Frequency", b), "FrequencyPanel", fieldX[b],
                                m.Rect(name("Frequency", b)).y);
      for (const char* t : titles[b]) {
        const TRect r = m.Rect(t);
        place.at(t, "FrequencyPanel", f.x - kEntryGap - r.w, r.y);
      }
      const TRect& unit = place.at(name("lblHz_f", b), "FrequencyPanel", f.right() + kEntryGap,
                                   m.Rect(name("lblHz_f", b)).y);
      place.at(name("OkFrequency", b), "FrequencyPanel", unit.right() + kEntryGap,
               m.Rect(name("OkFrequency", b)).y);
    }
  }
  return place.take();
}

TAdvancedGeometry AdvancedGeometry(bool open, int laserOnLeft, int laserOnWidth) {
  if (!open) return {1, laserOnLeft, laserOnWidth};
  return {laserOnLeft + 169 - 7, laserOnLeft + 169, laserOnWidth - 60};
}

int CoverTargetHeight(bool show, int consoleHeight, int coverTop) {
  return show ? consoleHeight - coverTop - 1 : 0;
}

TGeometry ProtectionGeometry(const TProtectionPanel& panel, const TPanelMeasures& m) {
  Placer place(m);
  // Values and headers of columns 1 and 2 packed left of column 3's designed place.
  const int valueX[4] = {0, panel.x0, panel.x0 + 76, 338};
  const int headerX[4] = {0, panel.x0 + 38, panel.x0 + 114, 376};
  for (int b = 1; b <= 3; ++b) {
    const std::string header = name("lblI", b);
    place.at(header, "ProtectionLimitsPanel", headerX[b], m.Rect(header).y);
    for (int k = 1; k <= 3; ++k) {
      const std::string value = "fCurrentLimit" + std::to_string(b) + std::to_string(k);
      place.at(value, "ProtectionLimitsPanel", valueX[b], m.Rect(value).y);
    }
  }
  return place.take();
}

std::vector<int> SlideSteps(int start, int target) {
  const int step = (target - start) / 7;
  std::vector<int> values;
  for (int i = 1; i <= 6; ++i) values.push_back(start + i * step);
  values.push_back(target);
  return values;
}
