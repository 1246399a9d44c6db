// The console's controls with their designed names, captions, tags, fonts, colours and
// rectangles (the console's form). Positions that depend on the laser are set later by the
// panel geometry; the rectangles here are the designed ones it starts from.
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QToolButton>
#include <QValidator>

#include "console/ConsoleTexts.h"
#include "ui/QVLaserControlFrame.h"

#include <algorithm>
#include "widgets/AutoScaleControl.h"
#include "widgets/ConsoleFont.h"
#include "widgets/ConsoleImages.h"
#include "widgets/GraphicsEx.h"

namespace {

const QString kValueFace = QStringLiteral("Verdana");
const QString kTitleFace = QStringLiteral("Tahoma");
const QColor kValueColour(0, 0, 255);
const QColor kInfoColour(252, 252, 250);    // the information panel
const QColor kLimitsColour(250, 250, 244);  // the protection-limits panel
const QColor kMaxCurrentColour(255, 0, 0);

// The pale background of each tab panel, in the order of the tab panels.
const QColor kPanelColours[] = {
    QColor(234, 242, 255),  // Current
    QColor(234, 247, 234),  // Trigger
    QColor(255, 248, 225),  // Frequency
    QColor(241, 237, 248),  // System
    QColor(253, 239, 230),  // Regulator
    QColor(232, 246, 246),  // Advanced
};
const char* const kPanelNames[] = {"CurrentPanel", "TriggerPanel",   "FrequencyPanel",
                                   "SystemPanel",  "RegulatorPanel", "AdvancedPanel"};
const char* const kPanelCaptions[] = {"Current", "Trigger",   "Frequency",
                                      "System",  "Regulator", "Advanced"};

// Typed letters become lower case, pasted ones too.
class LowerCaseValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    input = input.toLower();
    return Acceptable;
  }
};

void fill(QWidget* w, const QColor& colour) {
  QPalette p = w->palette();
  p.setColor(QPalette::Window, colour);
  w->setPalette(p);
  w->setAutoFillBackground(true);
}

void colourText(QWidget* w, const QColor& colour) {
  QPalette p = w->palette();
  p.setColor(QPalette::WindowText, colour);
  w->setPalette(p);
}

std::string indexed(const char* stem, int i) {
  return stem + std::to_string(i);
}

}  // namespace

void TQVLaserControlFrame::setTag(QWidget* w, uint32_t tag) {
  w->setProperty("qvTag", static_cast<int>(tag));
}

template <class W>
W* TQVLaserControlFrame::make(const char* name, QWidget* parent, const TRect& rect) {
  auto* w = new W(parent);
  w->setObjectName(QString::fromLatin1(name));
  w->setGeometry(rect.x, rect.y, rect.w, rect.h);
  controls_[name] = w;
  designed_[name] = rect;
  return w;
}

TScalableLabel* TQVLaserControlFrame::makeValue(const char* name, QWidget* parent,
                                                const TRect& rect) {
  auto* l = make<TScalableLabel>(name, parent, rect);
  // Values change while polling: an opaque label repaints alone, not the panel behind it.
  fill(l, parent->palette().color(QPalette::Window));
  l->setFont(qv::consoleFont(kValueFace, 9));
  colourText(l, kValueColour);
  l->setAlignment(Qt::AlignCenter);
  return l;
}

TLabelPair* TQVLaserControlFrame::makePair(const char* name, QWidget* parent, const TRect& rect,
                                           const QString& value, const QString& unit, int unitWidth,
                                           int space) {
  auto* p = make<TLabelPair>(name, parent, rect);
  fill(p, parent->palette().color(QPalette::Window));
  p->setFont(qv::consoleFont(kValueFace, 9));
  colourText(p, kValueColour);
  p->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  TScalableLabel* u = p->unitLabel();
  u->setFont(qv::consoleFont(kTitleFace, 9));
  u->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  u->resize(unitWidth, rect.h);
  u->setCaption(unit);
  p->setSpace(space);
  p->setUnitAlignment(uaMiddle);
  p->setCaption(value);
  return p;
}

QPushButton* TQVLaserControlFrame::makeButton(const char* name, QWidget* parent, const TRect& rect,
                                              const QString& caption, int tag) {
  auto* b = make<QPushButton>(name, parent, rect);
  b->setText(caption);
  b->setFont(qv::consoleFont(kTitleFace, 9));
  b->setAutoDefault(false);
  if (tag >= 0) setTag(b, static_cast<uint32_t>(tag));
  return b;
}

void TQVLaserControlFrame::buildForm() {
  setObjectName(QStringLiteral("QVLaserControlFrame"));
  setFixedSize(kWidth, kHeight);
  setFont(qv::consoleFont(kTitleFace, 9));
  warnImages_ = qv::makeWarnImages(this);
  statusDescImages_ = qv::makeLaserStatusDescImages(this);
  ledImages_ = qv::makeLedImages(this);
  badgeImage_ = qv::makeWarningBadge(this);

  buildInfoPanel();
  buildTabPanels();
  buildStatusControls();
  buildHeader();
  buildCover();
  // Stacking: the terminal over the panels, the tab row and the badge; the cover over all
  // but the header.
  tabPanels_[kAdvanced]->raise();
  cover_->raise();
}

void TQVLaserControlFrame::buildHeader() {
  auto* header = make<QFrame>("HeaderPanel", this, {0, 0, kWidth, kHeaderHeight});
  header->setFrameShape(QFrame::StyledPanel);
  header->setFrameShadow(QFrame::Raised);
  fill(header, QColor(222, 226, 232));

  lblSN_ = make<TScalableLabel>("lblSN", header, {6, 2, 150, 18});
  lblSN_->setFont(qv::consoleFont(kTitleFace, 10, QFont::Bold));
  colourText(lblSN_, QColor(20, 40, 110));
  lblSN_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  lblSN_->setCaption(QString::fromLatin1(kNoSerialLabel));

  auto headerButton = [&](const char* name, int x, qv::Glyph glyph, const char* hint) {
    auto* b = make<QToolButton>(name, header, {x, 1, 22, 20});
    b->setAutoRaise(true);
    b->setIcon(qv::glyphIcon(glyph));
    b->setIconSize(QSize(16, 16));
    b->setToolTip(QString::fromLatin1(hint));
    b->setFocusPolicy(Qt::NoFocus);
    return b;
  };
  terminalOnly_ =
      headerButton("TerminalOnly", 160, qv::Glyph::Terminal, "Enter Advanced Panel directly");
  changeOptions_ = headerButton("ChangeOptions", 184, qv::Glyph::Options, "Options");
  connectLaser_ =
      headerButton("ConnectLaser", 208, qv::Glyph::Disconnected, "Connect/disconnect Laser");

  auto* title = make<TScalableLabel>("ScalableLabel4", header, {236, 2, 437, 18});
  QFont f = qv::consoleFont(kTitleFace, 10, QFont::Bold);
  f.setItalic(true);
  title->setFont(f);
  colourText(title, QColor(20, 40, 110));
  title->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  title->setCaption(QStringLiteral("Quorvane Laser Control "));
}

void TQVLaserControlFrame::buildCover() {
  cover_ = make<QWidget>("DisconnectedPanel", this,
                         {0, kHeaderHeight, kWidth, kHeight - kHeaderHeight - 1});
  fill(cover_, QColor(246, 246, 246));
  // A flat button over the whole cover: a click anywhere on it connects.
  connectLaser2_ =
      make<QPushButton>("ConnectLaser2", cover_, {0, 0, kWidth, kHeight - kHeaderHeight - 1});
  connectLaser2_->setFlat(true);
  connectLaser2_->setAutoDefault(false);
  connectLaser2_->setText(QStringLiteral("Laser Disconnected"));
  connectLaser2_->setIcon(qv::coverPicture());
  connectLaser2_->setIconSize(QSize(qv::kCoverPictureSize, qv::kCoverPictureSize));
  connectLaser2_->setFont(qv::consoleFont(kTitleFace, 26, QFont::Bold));
  QPalette p = connectLaser2_->palette();
  p.setColor(QPalette::ButtonText, QColor(255, 0, 0));
  connectLaser2_->setPalette(p);
  connectLaser2_->setFocusPolicy(Qt::NoFocus);
}

void TQVLaserControlFrame::buildInfoPanel() {
  laserInfoPanel_ = make<QWidget>("LaserInfoPanel", this, {2, kHeaderHeight + 2, 417, 100});
  fill(laserInfoPanel_, kInfoColour);
  regularPanel_ = make<QWidget>("RegularLaserInfoPanel", laserInfoPanel_, {0, 0, 417, 100});
  fill(regularPanel_, kInfoColour);

  for (int b = 1; b <= 4; ++b) {
    rowPanels_[b] = make<QWidget>(indexed("LaserPanelBranch", b).c_str(), regularPanel_,
                                  {0, 25 * (b - 1), 417, 25});
  }
  commonPanel_ = make<QWidget>("LaserPanelCommon", regularPanel_, {263, 0, 154, 100});

  // The unit of a nominal current holds the maximum current inside its brackets: the value
  // label is as wide as puts the bracket just left of the maximum's place (79 pixels right of
  // the value's left edge).
  const QString currentUnit = QStringLiteral("A [           A]");
  const QFontMetrics unitMetrics(qv::consoleFont(kTitleFace, 9));
  const int currentUnitWidth = unitMetrics.horizontalAdvance(currentUnit) + 2;
  const int bracketEnd = unitMetrics.horizontalAdvance(QStringLiteral("A ["));
  const int blanksEnd = unitMetrics.horizontalAdvance(QStringLiteral("A [           "));
  const int currentValueWidth = 79 - 1 - bracketEnd - 1;
  const int maxCurrentWidth = blanksEnd - bracketEnd - 2;

  for (int b = 1; b <= 4; ++b) {
    QWidget* row = rowPanels_[b];
    auto* title = make<TScalableLabel>(indexed("lblLaser", b).c_str(), row, {4, 3, 46, 19});
    title->setFont(qv::consoleFont(kTitleFace, 9, QFont::Bold));
    title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    title->setCaption(QStringLiteral("Laser%1").arg(b));
    nomCurrent_[b] = makePair(indexed("NomCurrent", b).c_str(), row, {58, 3, currentValueWidth, 19},
                              QStringLiteral("ERROR"), currentUnit, currentUnitWidth, 1);
    setTag(nomCurrent_[b], b);
    maxCurrent_[b] = make<TScalableLabel>(indexed("MaxCurrent", b).c_str(), row,
                                          {58 + 79, 5, maxCurrentWidth, 15});
    maxCurrent_[b]->setFont(qv::consoleFont(kValueFace, 8));
    colourText(maxCurrent_[b], kMaxCurrentColour);
    maxCurrent_[b]->setAlignment(Qt::AlignCenter);
    maxCurrent_[b]->setCaption(QStringLiteral("ERROR"));
    setTag(maxCurrent_[b], b);
  }
  for (int b = 1; b <= 2; ++b) {
    QWidget* row = rowPanels_[b];
    actFrequency_[b] = makePair(indexed("ActFrequency", b).c_str(), row, {200, 3, 56, 19},
                                QString(), QStringLiteral("Hz"), 18, 2);
    setTag(actFrequency_[b], b);
    triggerMode_[b] = makeValue(indexed("TriggerMode", b).c_str(), row, {300, 3, 64, 19});
  }

  // The regulator level's value sits between the "P" and the "%" of its unit.
  const QString levelUnit = QStringLiteral("P            %");
  const int levelUnitWidth = unitMetrics.horizontalAdvance(levelUnit) + 2;
  const int levelLead = unitMetrics.horizontalAdvance(QStringLiteral("P")) + 2;
  const int levelValueWidth = unitMetrics.horizontalAdvance(QStringLiteral("P           ")) -
                              unitMetrics.horizontalAdvance(QStringLiteral("P")) - 2;
  nomRegulatorLevel_ =
      makePair("NomRegulatorLevel", commonPanel_, {40, 11, levelValueWidth, 19},
               QStringLiteral("100.00"), levelUnit, levelUnitWidth, -(levelLead + levelValueWidth));
  nomRegulatorLevel_->setAlignment(Qt::AlignCenter);
  nomRegulatorLevel_->raise();  // over its unit, between the "P" and the "%"

  infoInternal_ = make<TScalableLabel>("InfoInternal", commonPanel_, {10, 40, 84, 19});
  infoPulsePicker_ = make<TScalableLabel>("InfoPulsePicker", commonPanel_, {10, 68, 64, 19});
  for (TScalableLabel* l : {infoInternal_, infoPulsePicker_}) {
    l->setFont(qv::consoleFont(kTitleFace, 9));
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
  infoInternal_->setCaption(QStringLiteral("Internal Gate"));
  setTag(infoInternal_, 1);
  infoPulsePicker_->setCaption(QStringLiteral("Pulse rate"));
  setTag(infoPulsePicker_, 2);

  buildProtectionPanel();
}

void TQVLaserControlFrame::buildProtectionPanel() {
  protectionPanel_ = make<QWidget>("ProtectionLimitsPanel", laserInfoPanel_, {417, 0, 417, 100});
  fill(protectionPanel_, kLimitsColour);
  protectionPanel_->hide();
  auto* title = make<TScalableLabel>("Label1", protectionPanel_, {6, 3, 176, 18});
  title->setFont(qv::consoleFont(kTitleFace, 8, QFont::Bold));
  title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  colourText(title, QColor(128, 128, 128));
  title->setCaption(QStringLiteral("I limitation at different pulse rate"));
  for (int k = 0; k < 3; ++k) {
    auto* line =
        make<QFrame>(indexed("Line", k).c_str(), protectionPanel_, {4, 23 + 25 * k, 409, 2});
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
  }
  for (int k = 1; k <= 3; ++k) {
    pulseRange_[k] = makeValue(indexed("fPulseRange", k).c_str(), protectionPanel_,
                               {6, 26 + 25 * (k - 1), 174, 20});
    pulseRange_[k]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  }
  const int columnX[4] = {0, 186, 262, 338};
  for (int b = 1; b <= 3; ++b) {
    lblI_[b] =
        make<QLabel>(indexed("lblI", b).c_str(), protectionPanel_, {columnX[b] + 38, 3, 24, 19});
    lblI_[b]->setTextFormat(Qt::RichText);
    lblI_[b]->setText(QStringLiteral("I<sub>%1</sub>").arg(b));
    lblI_[b]->setFont(qv::consoleFont(kTitleFace, 10, QFont::Bold));
    for (int k = 1; k <= 3; ++k) {
      const std::string name = "fCurrentLimit" + std::to_string(b) + std::to_string(k);
      currentLimit_[b][k] =
          makePair(name.c_str(), protectionPanel_, {columnX[b], 26 + 25 * (k - 1), 56, 20},
                   QString(), QStringLiteral("A"), 12, 2);
    }
  }
}

void TQVLaserControlFrame::buildTabPanels() {
  for (int i = 0; i < kTabPanels; ++i) {
    const TRect rect = i == kAdvanced ? TRect{0, kHeaderHeight, 1, kHeight - kHeaderHeight}
                                      : TRect{2, kHeaderHeight + 103, 417, 48};
    QWidget* panel = make<QWidget>(kPanelNames[i], this, rect);
    panel->setProperty("qvCaption", QString::fromLatin1(kPanelCaptions[i]));
    fill(panel, kPanelColours[i]);
    tabPanels_[i] = panel;
    if (i != kCurrent) panel->hide();
  }
  buildCurrentPanel(tabPanels_[kCurrent]);
  buildTriggerPanel(tabPanels_[kTrigger]);
  buildFrequencyPanel(tabPanels_[kFrequency]);
  buildSystemPanel(tabPanels_[kSystem]);
  buildRegulatorPanel(tabPanels_[kRegulator]);
  buildAdvancedPanel(tabPanels_[kAdvanced]);

  tabSet_ = make<QTabBar>("TabSet1", this, {2, kHeaderHeight + 151, 417, 21});
  tabSet_->setShape(QTabBar::RoundedSouth);
  tabSet_->setDrawBase(false);
  tabSet_->setExpanding(false);
  tabSet_->setUsesScrollButtons(false);
  tabSet_->setFocusPolicy(Qt::NoFocus);
  tabSet_->setFont(qv::consoleFont(kTitleFace, 9));
  for (const char* caption : {"Current", "Trigger", "Frequency", "System", "Advanced"}) {
    tabSet_->addTab(QString::fromLatin1(caption));
  }
}

void TQVLaserControlFrame::buildCurrentPanel(QWidget* panel) {
  for (int b = 1; b <= 4; ++b) {
    const int x = 8 + (b - 1) * 102;
    lblCurrent_[b] = make<QLabel>(indexed("lblCurrent", b).c_str(), panel, {x, 14, 12, 20});
    lblCurrent_[b]->setText(QString::number(b));
    lblCurrent_[b]->setFont(qv::consoleFont(kTitleFace, 9));
    lblCurrent_[b]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    currentField_[b] =
        make<TScalableEdit>(indexed("Current", b).c_str(), panel, {x + 56, 12, 58, 24});
    setTag(currentField_[b], b);
    okCurrent_[b] = makeButton(indexed("OkCurrent", b).c_str(), panel, {x + 70, 11, 32, 26},
                               QStringLiteral("OK"), b);
  }
}

void TQVLaserControlFrame::buildTriggerPanel(QWidget* panel) {
  lblTrigger_[1] = make<QLabel>("lblTrigger1", panel, {5, 16, 9, 16});
  lblTrigger_[2] = make<QLabel>("lblTrigger2", panel, {209, 16, 9, 16});
  for (int b = 1; b <= 2; ++b) {
    lblTrigger_[b]->setText(QString::number(b));
    lblTrigger_[b]->setFont(qv::consoleFont(kTitleFace, 7, QFont::Bold));
  }
  auto* divider = make<QFrame>("TriggerModeDivider", panel, {205, 5, 2, 38});
  divider->setFrameShape(QFrame::VLine);
  divider->setFrameShadow(QFrame::Sunken);
  triggerDivider_ = divider;
  const int x0[3] = {0, 16, 218};
  for (int b = 1; b <= 2; ++b) {
    externalTrigger_[b] = makeButton(indexed("ExternalTrigger", b).c_str(), panel,
                                     {x0[b], 10, 63, 28}, QStringLiteral("External"), b * 256 + 1);
    internalTrigger_[b] = makeButton(indexed("InternalTrigger", b).c_str(), panel,
                                     {x0[b] + 67, 10, 63, 28}, QStringLiteral("Internal"), 0);
    cwMode_[b] = makeButton(indexed("CWMode", b).c_str(), panel, {x0[b] + 134, 10, 52, 28},
                            QStringLiteral("CW"), b * 256 + 2);
  }
  hvOn1_ = makeButton("HVOn1", panel, {206, 10, 63, 28}, QStringLiteral("HV On"), 263);
  hvOn1_->hide();
}

void TQVLaserControlFrame::buildFrequencyPanel(QWidget* panel) {
  for (int b = 1; b <= 2; ++b) {
    const int x = b == 1 ? 93 : 300;
    frequencyField_[b] =
        make<TScalableEdit>(indexed("Frequency", b).c_str(), panel, {x, 12, 60, 24});
    frequencyField_[b]->setText(b == 1 ? QStringLiteral("1k") : QStringLiteral("1M"));
    setTag(frequencyField_[b], 0xF0000000u | static_cast<uint32_t>(b));
    lblHz_[b] = make<QLabel>(indexed("lblHz_f", b).c_str(), panel, {x + 62, 14, 16, 20});
    lblHz_[b]->setText(QStringLiteral("Hz"));
    okFrequency_[b] = makeButton(indexed("OkFrequency", b).c_str(), panel, {x + 80, 11, 32, 26},
                                 QStringLiteral("OK"), 0xF0000000u | static_cast<uint32_t>(b));
    lblFrequency_[b] =
        make<QLabel>(indexed("lblFrequency", b).c_str(), panel, {x - 74, 14, 72, 20});
    lblFrequency_[b]->setText(QStringLiteral("Frequency%1").arg(b));
    lblFrequency_[b]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
  // "f" with its subscript, the titles of the internal gate and the pulse rate.
  const QFont symbol = qv::consoleFont(kTitleFace, 11, QFont::Bold);
  lblInternalGate_ = make<QLabel>("lblInternalGate", panel, {10, 12, 81, 24});
  lblPulsePicker_ = make<QLabel>("lblPulsePicker", panel, {230, 12, 68, 24});
  lblInternalGate_->setText(
      QStringLiteral("<i>f</i><sub style=\"font-size:8pt\">Internal gate</sub>"));
  lblPulsePicker_->setText(QStringLiteral("<i>f</i><sub style=\"font-size:8pt\">Pulse rate</sub>"));
  for (QLabel* l : {lblInternalGate_, lblPulsePicker_}) {
    l->setTextFormat(Qt::RichText);
    l->setFont(symbol);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->hide();
  }
}

void TQVLaserControlFrame::buildRegulatorPanel(QWidget* panel) {
  // The level field stands inside its label, between "Power regulator" and "%".
  const QString caption = QStringLiteral("Power regulator              %");
  const QFont font = qv::consoleFont(kTitleFace, 9);
  const QFontMetrics fm(font);
  auto* label =
      make<QLabel>("lblPowerRegulator", panel, {8, 14, fm.horizontalAdvance(caption) + 2, 20});
  label->setText(caption);
  label->setFont(font);
  const int fieldLeft = 8 + fm.horizontalAdvance(QStringLiteral("Power regulator ")) + 1;
  const int fieldRight =
      8 + fm.horizontalAdvance(QStringLiteral("Power regulator              ")) - 2;
  powerRegulator_ =
      make<TScalableEdit>("PowerRegulator", panel, {fieldLeft, 12, fieldRight - fieldLeft, 24});
  powerRegulator_->setText(QStringLiteral("100"));
  setTag(powerRegulator_, 1);
  const int okLeft = label->geometry().right() + 6;
  makeButton("OkPowerRegulator", panel, {okLeft, 11, 34, 26}, QStringLiteral("OK"), -1);
  makeButton("ActivateRegulator", panel, {okLeft + 52, 11, 84, 26}, QStringLiteral("Activate"), 1);
  makeButton("DeactivateRegulator", panel, {okLeft + 140, 11, 84, 26}, QStringLiteral("Deactivate"),
             0);
}

void TQVLaserControlFrame::buildSystemPanel(QWidget* panel) {
  // Six buttons share the tab's width: the four of the laser, then the trend window and the
  // recording viewer.
  makeButton("ClearError", panel, {4, 10, 66, 28}, QStringLiteral("Clear Error"), -1);
  makeButton("Reset", panel, {73, 10, 66, 28}, QStringLiteral("Reset"), -1);
  makeButton("SaveSettings", panel, {142, 10, 66, 28}, QStringLiteral("Save Settings"), -1);
  QPushButton* record =
      makeButton("RecordParam", panel, {211, 10, 66, 28}, QStringLiteral("Param Rec."), -1);
  QPushButton* trends =
      makeButton("ShowTrends", panel, {280, 10, 66, 28}, QStringLiteral("Trends"), -1);
  trends->setToolTip(QStringLiteral("Live trends of the values the console reads"));
  QPushButton* open =
      makeButton("OpenRecording", panel, {349, 10, 66, 28}, QStringLiteral("Open Rec."), -1);
  open->setToolTip(QStringLiteral("Show a recording (.qlp) file"));
  // One caption size for the row: the largest at which every caption fits its button.
  const QList<QPushButton*> row = panel->findChildren<QPushButton*>();
  int points = 99;
  for (QPushButton* b : row) {
    fitCaption(b);
    points = std::min(points, b->font().pointSize());
  }
  for (QPushButton* b : row) {
    QFont f = b->font();
    f.setPointSize(points);
    b->setFont(f);
  }
  record->setToolTip(QStringLiteral(
      "Start/stop collecting Laser's parameters. When this is activated, auto detecting "
      "laser's connection will be deactivated."));
}

void TQVLaserControlFrame::buildAdvancedPanel(QWidget* panel) {
  cmdBox_ = make<TScalableEdit>("CmdBox", panel, {4, 4, 122, 22});
  cmdBox_->setValidator(new LowerCaseValidator(cmdBox_));
  cmdBox_->setMaxLength(255);
  setTag(cmdBox_, 0xF0000000u);
  auto* send = make<QToolButton>("SendCmd", panel, {128, 4, 22, 22});
  send->setIcon(qv::glyphIcon(qv::Glyph::Send));
  send->setIconSize(QSize(16, 16));
  send->setToolTip(QStringLiteral("Send command to laser"));
  cmdHistory_ = make<QListWidget>("CmdHistory", panel, {4, 30, 146, 140});
  cmdHistory_->setFont(qv::consoleFont(QStringLiteral("DejaVu Sans Mono"), 9));

  receiveBuffer_ = make<TScalableRichEdit>("ReceiveBuffer", panel, {154, 4, 400, 166});
  receiveBuffer_->setReadOnly(true);
  receiveBuffer_->setLineWrapMode(QTextEdit::NoWrap);
  receiveBuffer_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  receiveBuffer_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  receiveBuffer_->setFont(qv::consoleFont(QStringLiteral("DejaVu Sans Mono"), 9));
  // One tab stop, as far from the margin as "1234567890123" is wide: answers line up after it.
  receiveBuffer_->setTabStopDistance(
      QFontMetricsF(receiveBuffer_->font()).horizontalAdvance(QStringLiteral("1234567890123")));
  receiveBuffer_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  // The selection stays visible while the log has no focus.
  QPalette p = receiveBuffer_->palette();
  for (auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
    p.setColor(QPalette::Inactive, role, p.color(QPalette::Active, role));
  }
  receiveBuffer_->setPalette(p);

  auto tallButton = [&](const char* name, int y, qv::Glyph glyph, const char* hint) {
    auto* b = make<QToolButton>(name, panel, {558, y, 24, 82});
    b->setAutoRaise(true);
    b->setIcon(qv::glyphIcon(glyph));
    b->setIconSize(QSize(16, 16));
    b->setToolTip(QString::fromLatin1(hint));
    b->setFocusPolicy(Qt::NoFocus);
    return b;
  };
  tallButton("ClearRcvBuffer", 4, qv::Glyph::ClearLog, "Clear the log");
  closeAdvancedPanel_ = tallButton("CloseAdvancedPanel", 88, qv::Glyph::ClosePanel, "Close");
}

void TQVLaserControlFrame::buildStatusControls() {
  laserOnLeft_ = 424;
  laserOnWidth_ = 112;
  laserOn_ = makeButton("LaserOn", this, {laserOnLeft_, kHeaderHeight + 4, laserOnWidth_, 64},
                        QString::fromLatin1(kLaserOnCaption), 1);
  laserOff_ = makeButton("LaserOff", this, {laserOnLeft_, kHeaderHeight + 72, laserOnWidth_, 64},
                         QStringLiteral("Laser Off"), 0);
  for (QPushButton* b : {laserOn_, laserOff_})
    b->setFont(qv::consoleFont(kTitleFace, 11, QFont::Bold));

  iconLaserWarning_ = make<TImageEx>("IconLaserWarning", this, {427, kHeaderHeight + 141, 106, 30});
  iconLaserWarning_->setImages(badgeImage_);
  iconLaserWarning_->setImageIndex(0);
  iconLaserWarning_->hide();

  laserWarnSymbol_ = make<TImageEx>("LaserWarnSymbol", this, {541, kHeaderHeight + 4, 110, 110});
  laserWarnSymbol_->setImages(warnImages_);
  laserWarnSymbol_->setImageIndex(kSymbolActive);
  laserStatusDesc_ = make<TImageEx>("LaserStatusDesc", this, {541, kHeaderHeight + 64, 110, 50});
  laserStatusDesc_->setImages(statusDescImages_);
  laserStatusDesc_->setImageIndex(kCaptionNone);
  laserStatusDesc_->raise();

  recordingIndicator_ =
      make<TStatusIndicator>("RecordingIndicator", this, {653, kHeaderHeight + 3, 24, 24});
  recordingIndicator_->setImages(ledImages_);
  recordingIndicator_->setFalseImage(qv::kLedGrey);
  recordingIndicator_->setTrueImage(qv::kLedRed);
  recordingIndicator_->setStatus(false);
  recordingIndicator_->hide();
}
