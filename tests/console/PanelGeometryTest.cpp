#include "console/PanelGeometry.h"

#include <gtest/gtest.h>

namespace {

constexpr uint8_t b1 = 1u << 1, b2 = 1u << 2, b3 = 1u << 3, b4 = 1u << 4;

// A small designed form: sizes chosen so the arithmetic below can be followed by hand.
TPanelMeasures measures() {
  TPanelMeasures m;
  auto& d = m.designed;
  d["RegularLaserInfoPanel"] = {0, 0, 417, 100};
  for (int b = 1; b <= 4; ++b) {
    const std::string n = std::to_string(b);
    d["LaserPanelBranch" + n] = {0, 0, 417, 25};
    d["lblLaser" + n] = {4, 3, 40, 19};
    d["NomCurrent" + n] = {0, 0, 50, 19};
    m.totalWidth["NomCurrent" + n] = 130;
    d["MaxCurrent" + n] = {0, 0, 40, 15};
    d["lblCurrent" + n] = {0, 14, 50, 20};
    d["Current" + n] = {0, 12, 60, 22};
    d["OkCurrent" + n] = {0, 11, 30, 25};
  }
  for (int b = 1; b <= 2; ++b) {
    const std::string n = std::to_string(b);
    d["ActFrequency" + n] = {0, 0, 50, 19};
    m.totalWidth["ActFrequency" + n] = 70;
    d["TriggerMode" + n] = {0, 0, 60, 19};
    d["ExternalTrigger" + n] = {16, 10, 70, 28};
    d["InternalTrigger" + n] = {0, 10, 70, 28};
    d["CWMode" + n] = {0, 10, 70, 28};
    d["Frequency" + n] = {0, 12, 60, 22};
    d["lblFrequency" + n] = {0, 14, 70, 20};
    d["lblHz_f" + n] = {0, 14, 16, 20};
    d["OkFrequency" + n] = {0, 11, 30, 25};
  }
  d["HVOn1"] = {0, 10, 70, 28};
  d["lblInternalGate"] = {0, 14, 80, 20};
  d["lblPulsePicker"] = {0, 14, 66, 20};
  d["NomRegulatorLevel"] = {0, 0, 50, 19};
  m.totalWidth["NomRegulatorLevel"] = 80;
  m.lead["NomRegulatorLevel"] = 10;  // its unit "P ... %" starts 10 px left of the value
  d["InfoInternal"] = {0, 40, 80, 19};
  d["InfoPulsePicker"] = {0, 68, 60, 19};
  d["CurrentPanel"] = {0, 0, 417, 48};
  d["TriggerPanel"] = {0, 0, 417, 48};
  d["FrequencyPanel"] = {0, 0, 417, 48};
  return m;
}

struct Expect {
  const char* control;
  const char* parent;
  int x, y;  // y < 0: not checked
  int w = -1;
};

struct GeometryCase {
  const char* name;
  uint8_t C, F, T;
  bool PP, RG;
  std::vector<Expect> placed;
  std::vector<const char*> notPlaced;
};

void PrintTo(const GeometryCase& c, std::ostream* os) {
  *os << c.name;
}

class Arrange : public testing::TestWithParam<GeometryCase> {};

TEST_P(Arrange, PlacesByTheRules) {
  const GeometryCase& c = GetParam();
  const TGeometry g = ArrangeGeometry(ArrangePanels(c.C, c.F, c.T, c.PP, c.RG, 3), measures());
  for (const Expect& e : c.placed) {
    const TPlacement* p = g.Find(e.control);
    ASSERT_NE(p, nullptr) << e.control;
    EXPECT_EQ(p->parent, e.parent) << e.control;
    EXPECT_EQ(p->rect.x, e.x) << e.control;
    if (e.y >= 0) {
      EXPECT_EQ(p->rect.y, e.y) << e.control;
    }
    if (e.w >= 0) {
      EXPECT_EQ(p->rect.w, e.w) << e.control;
    }
  }
  for (const char* n : c.notPlaced) EXPECT_EQ(g.Find(n), nullptr) << n;
}

INSTANTIATE_TEST_SUITE_P(
    Lasers, Arrange,
    testing::Values(
        // Rows across the whole panel: S = 40 + 130 + 70 + 60 = 300, G = (417 - 300 - 8) / 3.
        GeometryCase{"TwoBranchesWithoutOptions",
                     b1 | b2,
                     b1 | b2,
                     b1 | b2,
                     false,
                     false,
                     {{"LaserPanelBranch1", "RegularLaserInfoPanel", 0, 0, 417},
                      {"LaserPanelBranch2", "RegularLaserInfoPanel", 0, 75, 417},
                      {"NomCurrent1", "LaserPanelBranch1", 80, 3},
                      {"ActFrequency1", "LaserPanelBranch1", 246, 3},
                      {"TriggerMode1", "LaserPanelBranch1", 352, 3},
                      {"NomCurrent2", "LaserPanelBranch2", 80, 3},
                      {"TriggerMode2", "LaserPanelBranch2", 352, 3},
                      {"MaxCurrent1", "LaserPanelBranch1", 159, 7},
                      {"MaxCurrent2", "LaserPanelBranch2", 158, 7},
                      // E = 50 + 60 + 30 + 4 = 144, G = (417 - 288) / 3 = 43.
                      {"lblCurrent1", "CurrentPanel", 43, 14},
                      {"Current1", "CurrentPanel", 95, 12},
                      {"OkCurrent1", "CurrentPanel", 157, 11},
                      {"lblCurrent2", "CurrentPanel", 230, 14},
                      // Two trigger groups: External and Internal 63, CW 52, branch 2 at 218.
                      {"ExternalTrigger1", "TriggerPanel", 16, 10, 63},
                      {"InternalTrigger1", "TriggerPanel", 83, 10, 63},
                      {"CWMode1", "TriggerPanel", 150, 10, 52},
                      {"ExternalTrigger2", "TriggerPanel", 218, 10, 63},
                      {"InternalTrigger2", "TriggerPanel", 285, 10, 63},
                      {"CWMode2", "TriggerPanel", 352, 10, 52},
                      {"Frequency1", "FrequencyPanel", 93, 12},
                      {"lblFrequency1", "FrequencyPanel", 21, 14},
                      {"lblHz_f1", "FrequencyPanel", 155, 14},
                      {"OkFrequency1", "FrequencyPanel", 173, 11},
                      {"Frequency2", "FrequencyPanel", 300, 12},
                      {"lblFrequency2", "FrequencyPanel", 228, 14}},
                     {"LaserPanelCommon", "LaserPanelBranch3", "NomCurrent3"}},
        // Rows beside the common panel: S = 230, rows 230 + 16 + 8 wide, G = 8.
        GeometryCase{"TwoBranchesOneFrequency",
                     b1 | b2,
                     b1,
                     b1 | b2,
                     false,
                     false,
                     {{"LaserPanelBranch1", "RegularLaserInfoPanel", 0, 0, 254},
                      {"NomCurrent1", "LaserPanelBranch1", 52, 3},
                      {"TriggerMode1", "LaserPanelBranch1", 190, 3},
                      {"LaserPanelCommon", "RegularLaserInfoPanel", 258, 0, 159},
                      // One item centred vertically, G = (159 - 70) / 2.
                      {"ActFrequency1", "LaserPanelCommon", 44, 40},
                      // The one frequency field centred with title, unit and OK button.
                      {"lblFrequency1", "FrequencyPanel", 117, 14},
                      {"Frequency1", "FrequencyPanel", 189, 12},
                      {"OkFrequency1", "FrequencyPanel", 269, 11}},
                     {"ActFrequency2"}},
        // The common panel over everything: G = (417 - 270) / 4 on the top line at 11.
        GeometryCase{"OneBranchPickerAndRegulator",
                     b1,
                     b1,
                     b1,
                     true,
                     true,
                     {{"LaserPanelCommon", "RegularLaserInfoPanel", 0, 0, 417},
                      {"NomCurrent1", "LaserPanelCommon", 36, 11},
                      {"MaxCurrent1", "LaserPanelCommon", 115, 15},
                      {"TriggerMode1", "LaserPanelCommon", 202, 11},
                      {"NomRegulatorLevel", "LaserPanelCommon", 308, 11},
                      // "Internal Gate" and its value centred: (417 - 154) / 2.
                      {"InfoInternal", "LaserPanelCommon", 131, 40},
                      {"ActFrequency1", "LaserPanelCommon", 215, 40},
                      {"ActFrequency2", "LaserPanelCommon", 215, 68},
                      {"InfoPulsePicker", "LaserPanelCommon", 151, 68},
                      // One current group centred: (417 - 144) / 2.
                      {"lblCurrent1", "CurrentPanel", 136, 14},
                      // One trigger group with HV On: (417 - 20) / 4 wide.
                      {"ExternalTrigger1", "TriggerPanel", 4, 10, 99},
                      {"InternalTrigger1", "TriggerPanel", 107, 10, 99},
                      {"CWMode1", "TriggerPanel", 210, 10, 99},
                      {"HVOn1", "TriggerPanel", 313, 10, 99},
                      // Both frequency fields, titled by the "f" symbols.
                      {"Frequency1", "FrequencyPanel", 93, 12},
                      {"lblInternalGate", "FrequencyPanel", 11, 14},
                      {"Frequency2", "FrequencyPanel", 300, 12},
                      {"lblPulsePicker", "FrequencyPanel", 232, 14}},
                     {"LaserPanelBranch1", "NomCurrent2"}},
        // Rows 3 and 4 as wide as row 1, their read-outs under branch 1's, rows every 25 px.
        GeometryCase{"FourBranches",
                     b1 | b2 | b3 | b4,
                     b1,
                     b1 | b2,
                     false,
                     false,
                     {{"LaserPanelBranch1", "RegularLaserInfoPanel", 0, 0, 254},
                      {"LaserPanelBranch2", "RegularLaserInfoPanel", 0, 25, 254},
                      {"LaserPanelBranch3", "RegularLaserInfoPanel", 0, 50, 254},
                      {"LaserPanelBranch4", "RegularLaserInfoPanel", 0, 75, 254},
                      {"NomCurrent3", "LaserPanelBranch3", 52, 3},
                      {"MaxCurrent3", "LaserPanelBranch3", 131, 7},
                      {"NomCurrent4", "LaserPanelBranch4", 52, 3},
                      {"lblLaser4", "LaserPanelBranch4", 4, 3}},
                     {}},
        // One branch that answers as branch 2 and no trigger modes: centred in the common
        // panel, no picker, no rows.
        GeometryCase{"SingleBranch",
                     b2,
                     b2,
                     0,
                     false,
                     false,
                     {{"LaserPanelCommon", "RegularLaserInfoPanel", 0, 0, 417},
                      {"NomCurrent2", "LaserPanelCommon", 72, 40},
                      {"MaxCurrent2", "LaserPanelCommon", 150, 44},
                      {"ActFrequency2", "LaserPanelCommon", 274, 40},
                      {"lblCurrent2", "CurrentPanel", 136, 14},
                      {"lblFrequency2", "FrequencyPanel", 117, 14},
                      {"Frequency2", "FrequencyPanel", 189, 12}},
                     {"NomCurrent1", "LaserPanelBranch1", "TriggerMode1", "TriggerMode2"}},
        GeometryCase{"NothingFound",
                     0,
                     0,
                     0,
                     false,
                     false,
                     {},
                     {"LaserPanelCommon", "LaserPanelBranch1", "NomCurrent1", "ActFrequency1",
                      "lblCurrent1", "MaxCurrent1"}}),
    [](const testing::TestParamInfo<GeometryCase>& i) { return std::string(i.param.name); });

// Four branches with narrow "1" to "4" labels fit side by side.
TEST(ArrangeGeometry, FourSmallGroupsSpreadEvenly) {
  TPanelMeasures m = measures();
  for (int b = 1; b <= 4; ++b) m.designed["lblCurrent" + std::to_string(b)].w = 8;
  const TGeometry g = ArrangeGeometry(ArrangePanels(b1 | b2 | b3 | b4, b1, b1, false, false, 3), m);
  // E = 8 + 60 + 30 + 4 = 102, G = (417 - 408) / 5 = 1.
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(g.Find("lblCurrent" + std::to_string(k + 1))->rect.x, 1 + k * 103) << k;
  }
}

// Three rows: (100 - 75) / 2 + 25 apart.
TEST(ArrangeGeometry, ThreeRowsSpreadOverTheHeight) {
  const TGeometry g =
      ArrangeGeometry(ArrangePanels(b1 | b2 | b3, b1, b1 | b2, false, false, 3), measures());
  EXPECT_EQ(g.Find("LaserPanelBranch1")->rect.y, 0);
  EXPECT_EQ(g.Find("LaserPanelBranch2")->rect.y, 37);
  EXPECT_EQ(g.Find("LaserPanelBranch3")->rect.y, 74);
}

// A generation-2 laser with one trigger branch: three buttons, (417 - 16) / 3 wide.
TEST(ArrangeGeometry, ThreeTriggerButtonsWithoutHvOn) {
  const TGeometry g = ArrangeGeometry(ArrangePanels(b1, b1, b1, false, false, 2), measures());
  EXPECT_EQ(g.Find("ExternalTrigger1")->rect, (TRect{4, 10, 133, 28}));
  EXPECT_EQ(g.Find("InternalTrigger1")->rect, (TRect{141, 10, 133, 28}));
  EXPECT_EQ(g.Find("CWMode1")->rect, (TRect{278, 10, 133, 28}));
}

// One current branch with two trigger branches: rows shown but only one current row; the rows
// still stack without dividing by zero.
TEST(ArrangeGeometry, RowsWithTheCurrentInTheCommonPanel) {
  const TGeometry g =
      ArrangeGeometry(ArrangePanels(b1, b1 | b2, b1 | b2, false, false, 3), measures());
  EXPECT_EQ(g.Find("LaserPanelBranch1")->rect.y, 0);
  EXPECT_EQ(g.Find("LaserPanelBranch2")->rect.y, 75);
  EXPECT_EQ(g.Find("NomCurrent1")->parent, "LaserPanelCommon");
}

TEST(AdvancedGeometry, OpenAndClosed) {
  EXPECT_EQ(AdvancedGeometry(true, 424, 112), (TAdvancedGeometry{586, 593, 52}));
  EXPECT_EQ(AdvancedGeometry(false, 424, 112), (TAdvancedGeometry{1, 424, 112}));
}

TEST(CoverTargetHeight, DownToOnePixelAboveTheBottom) {
  EXPECT_EQ(CoverTargetHeight(true, 196, 20), 175);
  EXPECT_EQ(CoverTargetHeight(false, 196, 20), 0);
}

TEST(ProtectionGeometry, ColumnsPackedLeftOfTheLast) {
  struct Case {
    int x0;
    int value[4], header[4];
  };
  const Case cases[] = {{186, {0, 186, 262, 338}, {0, 224, 300, 376}},
                        {262, {0, 262, 338, 338}, {0, 300, 376, 376}}};
  for (const Case& c : cases) {
    TProtectionPanel panel;
    panel.x0 = c.x0;
    const TGeometry g = ProtectionGeometry(panel, measures());
    for (int b = 1; b <= 3; ++b) {
      const std::string col = std::to_string(b);
      EXPECT_EQ(g.Find("lblI" + col)->rect.x, c.header[b]) << c.x0 << " " << b;
      for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(g.Find("fCurrentLimit" + col + std::to_string(k))->rect.x, c.value[b]);
      }
    }
  }
}

TEST(SlideSteps, SixTruncatedStepsThenTheTarget) {
  struct Case {
    int start, target;
    std::vector<int> values;
  };
  const Case cases[] = {
      {0, 175, {25, 50, 75, 100, 125, 150, 175}},
      {175, 0, {150, 125, 100, 75, 50, 25, 0}},
      {1, 586, {84, 167, 250, 333, 416, 499, 586}},
      {586, 1, {503, 420, 337, 254, 171, 88, 1}},
      // Less than 7 to go: the steps are 0, and the last one jumps.
      {10, 16, {10, 10, 10, 10, 10, 10, 16}},
      {16, 10, {16, 16, 16, 16, 16, 16, 10}},
  };
  for (const Case& c : cases) EXPECT_EQ(SlideSteps(c.start, c.target), c.values) << c.start;
}

}  // namespace
