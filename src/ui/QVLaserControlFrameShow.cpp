// Showing what the console publishes: each refresh compares the display with what was shown
// last and updates only the controls whose value changed; the layout, the terminal's log and
// the slides of the cover and the terminal.
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>

#include "ui/ProtocolText.h"
#include "ui/QVLaserControlFrame.h"
#include "ui/QVLaserControlFrameShown.h"
#include "widgets/AutoScaleControl.h"
#include "widgets/ConsoleFont.h"
#include "widgets/ConsoleImages.h"
#include "widgets/GraphicsEx.h"

namespace {

const char* const kPanelCaptions[] = {"Current", "Trigger",   "Frequency",
                                      "System",  "Regulator", "Advanced"};
const QColor kSilver(192, 192, 192);
const QColor kValueColour(0, 0, 255);
const QColor kSentColour(255, 0, 0);
const QColor kReceivedColour(0, 0, 255);
constexpr int kDesignedLabelPoints = 9;
constexpr int kButtonPoints = 11;  // Laser On and Laser Off at their designed width

// Stores now in last and returns true when it differs (always on the first refresh).
template <class T>
bool differs(bool first, T& last, const T& now) {
  if (!first && last == now) return false;
  last = now;
  return true;
}

void colourText(QWidget* w, const QColor& colour) {
  QPalette p = w->palette();
  if (p.color(QPalette::WindowText) == colour) return;
  p.setColor(QPalette::WindowText, colour);
  w->setPalette(p);
}

// A number's text with each digit as "0": the faces in use have digits of one width, so two
// texts of the same shape take the same room and the font fitted to one fits the other.
QString shapeOf(const QString& text) {
  QString shape = text;
  for (QChar& c : shape) {
    if (c.isDigit()) c = QLatin1Char('0');
  }
  return shape;
}

// Shows a read-out's new value; the font is fitted again only when the text's shape changed.
void showValue(TScalableLabel* label, const std::string& value) {
  const QString text = qv::fromUtf8(value);
  if (shapeOf(text) == shapeOf(label->text())) {
    label->QLabel::setText(text);
  } else {
    label->setCaption(text);
  }
}

QString hint(const std::string& text) {
  QString s = qv::fromUtf8(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

}  // namespace

void TQVLaserControlFrame::refresh() {
  // A change announced while a refresh runs is shown by another round of the same refresh.
  if (refreshing_) {
    refreshAgain_ = true;
    return;
  }
  refreshing_ = true;
  do {
    refreshAgain_ = false;
    refreshOnce();
  } while (refreshAgain_);
  refreshing_ = false;
}

void TQVLaserControlFrame::refreshOnce() {
  const TConsoleDisplay& d = console_->Display();
  Shown& s = *shown_;
  const bool first = s.first;

  if (differs(first, s.d.layout, d.layout)) showLayout(d.layout);

  if (differs(first, s.d.serialLabel, d.serialLabel))
    lblSN_->setCaption(qv::fromUtf8(d.serialLabel));
  if (differs(first, s.d.connectedGlyph, d.connectedGlyph)) {
    connectLaser_->setIcon(
        qv::glyphIcon(d.connectedGlyph ? qv::Glyph::Connected : qv::Glyph::Disconnected));
  }
  if (differs(first, s.d.terminalOnlyButton, d.terminalOnlyButton)) {
    terminalOnly_->setVisible(d.terminalOnlyButton);
  }
  if (differs(first, s.d.coverShown, d.coverShown)) slideCover(d.coverShown);

  showStatus(d.status);
  if (differs(first, s.d.warnSymbolVisible, d.warnSymbolVisible)) {
    laserWarnSymbol_->setVisible(d.warnSymbolVisible);
    // The caption stands on the symbol; without it, it would stand under the moved buttons.
    laserStatusDesc_->setVisible(d.warnSymbolVisible);
  }

  // Read-out values: at once, or, while answers flood in, at most every kReadOutPeriodMs.
  if (first || readOutsDiffer(d)) scheduleReadOuts(first);
  if (differs(first, s.d.regulatorOn, d.regulatorOn)) {
    colourText(nomRegulatorLevel_, d.regulatorOn ? kValueColour : kSilver);
    colourText(nomRegulatorLevel_->unitLabel(),
               d.regulatorOn ? palette().color(QPalette::WindowText) : kSilver);
  }

  showEntryFields(d);
  if (differs(first || s.tabsRebuilt, s.d.selectedTab, d.selectedTab)) showTab(d.selectedTab);
  s.tabsRebuilt = false;

  // Terminal.
  if (differs(first, s.d.closeAdvancedEnabled, d.closeAdvancedEnabled)) {
    closeAdvancedPanel_->setEnabled(d.closeAdvancedEnabled);
  }
  if (differs(first, s.d.advancedOpen, d.advancedOpen)) {
    slideAdvanced(d.advancedOpen, d.advancedSlides && !first);
  }
  showHistory();

  // Recording lamp.
  if (differs(first, s.d.recordingLampVisible, d.recordingLampVisible)) {
    recordingIndicator_->setVisible(d.recordingLampVisible);
  }
  if (differs(first, s.d.recordingLampBlinking, d.recordingLampBlinking)) {
    if (d.recordingLampBlinking)
      recordingIndicator_->blink(qv::kLedGrey, qv::kLedRed);
    else
      recordingIndicator_->setStatus(false);
  }

  showProtection(d);
  s.first = false;
}

bool TQVLaserControlFrame::readOutsDiffer(const TConsoleDisplay& d) const {
  const TConsoleDisplay& last = shown_->d;
  for (int b = 1; b <= 4; ++b) {
    if (last.nomCurrent[b] != d.nomCurrent[b] || last.maxCurrent[b] != d.maxCurrent[b]) {
      return true;
    }
  }
  for (int b = 1; b <= 2; ++b) {
    if (last.actFrequency[b] != d.actFrequency[b] || last.triggerMode[b] != d.triggerMode[b]) {
      return true;
    }
  }
  if (last.regulatorLevel != d.regulatorLevel) return true;
  for (int k = 1; k <= 3; ++k) {
    if (last.protection.rangeText[k] != d.protection.rangeText[k]) return true;
    for (int b = 1; b <= 3; ++b) {
      if (last.protection.limitText[k][b] != d.protection.limitText[k][b]) return true;
    }
  }
  return false;
}

void TQVLaserControlFrame::scheduleReadOuts(bool now) {
  if (readOutTimer_.isActive()) return;  // the values it shows are the newest by then
  const qint64 since = readOutClock_.isValid() ? readOutClock_.elapsed() : kReadOutPeriodMs;
  if (now || since >= kReadOutPeriodMs) {
    showReadOuts(now);
  } else {
    readOutTimer_.start(static_cast<int>(kReadOutPeriodMs - since));
  }
}

void TQVLaserControlFrame::showReadOuts(bool first) {
  readOutClock_.start();
  const TConsoleDisplay& d = console_->Display();
  Shown& s = *shown_;
  // Read-outs.
  for (int b = 1; b <= 4; ++b) {
    if (differs(first, s.d.nomCurrent[b], d.nomCurrent[b])) {
      showValue(nomCurrent_[b], d.nomCurrent[b]);
    }
    if (differs(first, s.d.maxCurrent[b], d.maxCurrent[b])) {
      showValue(maxCurrent_[b], d.maxCurrent[b]);
    }
  }
  for (int b = 1; b <= 2; ++b) {
    if (differs(first, s.d.actFrequency[b], d.actFrequency[b])) {
      showValue(actFrequency_[b], d.actFrequency[b]);
    }
    if (differs(first, s.d.triggerMode[b], d.triggerMode[b])) {
      triggerMode_[b]->setCaption(qv::fromUtf8(d.triggerMode[b]));
    }
  }
  if (differs(first, s.d.regulatorLevel, d.regulatorLevel)) {
    showValue(nomRegulatorLevel_, d.regulatorLevel);
  }
  const TProtectionPanel& now = d.protection;
  TProtectionPanel& last = s.d.protection;
  for (int k = 1; k <= 3; ++k) {
    if (differs(first, last.rangeText[k], now.rangeText[k])) {
      showValue(pulseRange_[k], now.rangeText[k]);
    }
    for (int b = 1; b <= 3; ++b) {
      if (differs(first, last.limitText[k][b], now.limitText[k][b])) {
        showValue(currentLimit_[b][k], now.limitText[k][b]);
      }
    }
  }
}

void TQVLaserControlFrame::showEntryFields(const TConsoleDisplay& d) {
  Shown& s = *shown_;
  const bool first = s.first;
  // A field shows the console's text when the console changed it (emptied, filled from the
  // history); what the operator types reaches the console as it is typed.
  auto sync = [first](QLineEdit* field, std::string& last, const std::string& now, bool protocol) {
    if (!first && last == now) return;
    last = now;
    const QString text = protocol ? qv::fromProtocolText(now) : qv::fromUtf8(now);
    if (field->text() != text) field->setText(text);
  };
  for (int b = 1; b <= 4; ++b)
    sync(currentField_[b], s.d.currentField[b], d.currentField[b], false);
  for (int b = 1; b <= 2; ++b) {
    sync(frequencyField_[b], s.d.frequencyField[b], d.frequencyField[b], false);
  }
  sync(powerRegulator_, s.d.powerRegulatorField, d.powerRegulatorField, false);
  sync(cmdBox_, s.d.cmdBox, d.cmdBox, true);
}

void TQVLaserControlFrame::showStatus(const TStatusDisplay& now) {
  Shown& s = *shown_;
  TStatusDisplay& last = s.d.status;
  const bool first = s.first;
  if (differs(first, last.symbol, now.symbol)) laserWarnSymbol_->setImageIndex(now.symbol);
  if (differs(first, last.symbolHint, now.symbolHint)) {
    laserWarnSymbol_->setToolTip(hint(now.symbolHint));
    laserStatusDesc_->setToolTip(hint(now.symbolHint));
  }
  if (differs(first, last.caption, now.caption)) laserStatusDesc_->setImageIndex(now.caption);
  if (differs(first, last.laserOnCaption, now.laserOnCaption)) {
    laserOn_->setText(qv::fromUtf8(now.laserOnCaption));
    fitCaption(laserOn_);
  }
  if (differs(first, last.badgeVisible, now.badgeVisible)) {
    iconLaserWarning_->setVisible(now.badgeVisible);
  }
  if (differs(first, last.badgeHint, now.badgeHint)) {
    iconLaserWarning_->setToolTip(hint(now.badgeHint));
  }
}

void TQVLaserControlFrame::showHistory() {
  Shown& s = *shown_;
  const std::vector<std::string>& entries = console_->CmdHistory().Entries();
  const std::string last = entries.empty() ? std::string() : entries.back();
  if (entries.size() == s.historyCount && last == s.historyLast) return;
  // Entries are only ever added at the end, or all removed.
  if (entries.size() < s.historyCount ||
      static_cast<size_t>(cmdHistory_->count()) != s.historyCount) {
    cmdHistory_->clear();
    s.historyCount = 0;
  }
  for (size_t i = s.historyCount; i < entries.size(); ++i) {
    cmdHistory_->addItem(qv::fromProtocolText(entries[i]));
  }
  s.historyCount = entries.size();
  s.historyLast = last;
}

void TQVLaserControlFrame::showTab(const std::string& caption) {
  const QString text = qv::fromUtf8(caption);
  {
    const QSignalBlocker block(tabSet_);
    int index = -1;
    for (int i = 0; i < tabSet_->count(); ++i) {
      if (tabSet_->tabText(i) == text) index = i;
    }
    if (index >= 0) tabSet_->setCurrentIndex(index);
  }
  QWidget* shown = nullptr;
  for (int i = 0; i < kTabPanels; ++i) {
    const bool match = caption == kPanelCaptions[i];
    if (match) shown = tabPanels_[i];
    // The terminal shows and hides with its slide.
    if (i != kAdvanced) tabPanels_[i]->setVisible(match);
  }
  if (!shown) return;
  const QColor colour = shown->palette().color(QPalette::Window);
  tabSet_->setStyleSheet(
      QStringLiteral(
          "QTabBar::tab { background: #dcdcdc; border: 1px solid #9a9a9a; border-top: none;"
          " border-bottom-left-radius: 3px; border-bottom-right-radius: 3px;"
          " padding: 1px 7px 2px 7px; margin-right: -1px; }"
          "QTabBar::tab:selected { background: %1; margin-top: -1px; }")
          .arg(colour.name()));
  if (shown == tabPanels_[kAdvanced]) {
    if (window()->isVisible()) cmdBox_->setFocus();
  } else {
    focusFirstOf(shown);
  }
}

void TQVLaserControlFrame::fitCaption(QPushButton* button) {
  QFont font = button->font();
  int size = kButtonPoints;
  const int room = button->width() - 10;
  for (; size > 6; --size) {
    font.setPointSize(size);
    if (QFontMetrics(font).horizontalAdvance(button->text()) <= room) break;
  }
  font.setPointSize(size);
  if (font != button->font()) button->setFont(font);
}

TPanelMeasures TQVLaserControlFrame::measures() const {
  TPanelMeasures m;
  m.designed = designed_;
  for (const auto& [name, w] : controls_) {
    if (auto* pair = qobject_cast<TLabelPair*>(w)) {
      const int unitLeft = pair->width() + pair->space();
      const int left = std::min(0, unitLeft);
      const int right = std::max(pair->width(), unitLeft + pair->unitLabel()->width());
      m.totalWidth[name] = right - left;
      if (left < 0) m.lead[name] = -left;
    }
  }
  return m;
}

void TQVLaserControlFrame::showLayout(const TPanelLayout& L) {
  // Captions and type sizes first: the geometry works with the widths they give.
  const int points = L.currentLabelPoints > 0 ? L.currentLabelPoints : kDesignedLabelPoints;
  for (int b = 1; b <= 4; ++b) {
    QLabel* label = lblCurrent_[b];
    label->setText(qv::fromUtf8(L.currentLabel[b]));
    label->setFont(qv::consoleFont(QStringLiteral("Tahoma"), points));
    const int width = QFontMetrics(label->font()).horizontalAdvance(label->text()) + 4;
    designed_[label->objectName().toStdString()].w = width;
    label->resize(width, label->height());
  }
  for (int b = 1; b <= 2; ++b) {
    QLabel* label = lblFrequency_[b];
    label->setText(qv::fromUtf8(L.frequencyTitle[b]));
    const int width = QFontMetrics(label->font()).horizontalAdvance(label->text()) + 4;
    designed_[label->objectName().toStdString()].w = width;
  }
  for (QLabel* label : {lblInternalGate_, lblPulsePicker_}) {
    designed_[label->objectName().toStdString()].w = label->sizeHint().width();
  }

  // Positions (and parents) by the rules.
  const TGeometry g = ArrangeGeometry(L, measures());
  for (const auto& [name, place] : g.items) {
    const auto it = controls_.find(name);
    if (it == controls_.end()) continue;
    QWidget* w = it->second;
    const auto parent = controls_.find(place.parent);
    if (parent != controls_.end() && w->parentWidget() != parent->second) {
      w->setParent(parent->second);
      w->installEventFilter(this);
    }
    const TRect& r = place.rect;
    w->setGeometry(r.x, r.y, r.w, r.h);
  }

  // What is shown.
  for (int b = 1; b <= 4; ++b) {
    nomCurrent_[b]->setVisible(L.nomCurrent[b]);
    maxCurrent_[b]->setVisible(L.nomCurrent[b]);
    lblCurrent_[b]->setVisible(L.currentEntry[b]);
    currentField_[b]->setVisible(L.currentEntry[b]);
    okCurrent_[b]->setVisible(L.currentEntry[b]);
  }
  for (int b = 3; b <= 4; ++b) rowPanels_[b]->setVisible(L.nomCurrent[b]);
  rowPanels_[1]->setVisible(L.branchRows);
  rowPanels_[2]->setVisible(L.branchRows);
  commonPanel_->setVisible(L.commonPanel);
  for (int b = 1; b <= 2; ++b) {
    actFrequency_[b]->setVisible(L.actFrequency[b]);
    triggerMode_[b]->setVisible(L.triggerMode[b]);
    lblTrigger_[b]->setVisible(L.triggerBranchLabels);
    externalTrigger_[b]->setVisible(L.triggerButtons[b]);
    internalTrigger_[b]->setVisible(L.triggerButtons[b]);
    cwMode_[b]->setVisible(L.triggerButtons[b]);
    frequencyField_[b]->setVisible(L.frequencyField[b]);
    lblHz_[b]->setVisible(L.frequencyField[b]);
    okFrequency_[b]->setVisible(L.frequencyField[b]);
    lblFrequency_[b]->setVisible(L.lblFrequency[b]);
  }
  nomRegulatorLevel_->setVisible(L.regulatorLevel);
  infoInternal_->setVisible(L.infoInternal);
  infoPulsePicker_->setVisible(L.infoPulsePicker);
  triggerDivider_->setVisible(L.triggerBranchLabels);
  hvOn1_->setVisible(L.hvOn);
  lblInternalGate_->setVisible(L.lblInternalGate);
  lblPulsePicker_->setVisible(L.lblPulsePicker);

  // The tab row.
  const QSignalBlocker block(tabSet_);
  while (tabSet_->count() > 0) tabSet_->removeTab(0);
  for (const std::string& tab : L.tabs) tabSet_->addTab(qv::fromUtf8(tab));
  // The tab shown is set again from the display's selected tab, which the caller applies next.
  shown_->tabsRebuilt = true;
}

void TQVLaserControlFrame::showProtection(const TConsoleDisplay& d) {
  Shown& s = *shown_;
  const bool first = s.first;
  if (differs(first, s.d.protectionPanelVisible, d.protectionPanelVisible)) {
    protectionPanel_->setVisible(d.protectionPanelVisible);
    slider_.SetLimitsVisible(d.protectionPanelVisible);
    if (!d.protectionPanelVisible) {
      slider_.Reset();
      glideTimer_.stop();
      placeInfoPanels();
    }
  }
  const TProtectionPanel& now = d.protection;
  TProtectionPanel& last = s.d.protection;
  const bool columns = differs(first, last.column1Visible, now.column1Visible) |
                       differs(first, last.column3Visible, now.column3Visible) |
                       differs(first, last.x0, now.x0);
  if (!columns) return;
  for (int k = 1; k <= 3; ++k) {
    currentLimit_[1][k]->setVisible(now.column1Visible);
    currentLimit_[3][k]->setVisible(now.column3Visible);
  }
  lblI_[1]->setVisible(now.column1Visible);
  lblI_[3]->setVisible(now.column3Visible);
  TPanelMeasures m;
  m.designed = designed_;
  for (const auto& [name, place] : ProtectionGeometry(now, m).items) {
    QWidget* w = controls_.at(name);
    w->move(place.rect.x, place.rect.y);
  }
}

// --- The terminal's log ------------------------------------------------------------------------

void TQVLaserControlFrame::applyLogEdit(const qv::LogEdit& edit) {
  QTextDocument* doc = receiveBuffer_->document();
  QString text = qv::fromProtocolText(edit.text);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  // A line break counts one position, as in the document; the end is the last position.
  const int end = doc->characterCount() - 1;
  const int from = std::clamp(static_cast<int>(edit.position), 0, end);
  const int to = std::clamp(static_cast<int>(edit.position + edit.removed), from, end);
  QTextCursor cursor(doc);
  cursor.setPosition(from);
  cursor.setPosition(to, QTextCursor::KeepAnchor);
  QTextCharFormat format;
  format.setForeground(edit.colour == qv::LogColour::Sent ? kSentColour : kReceivedColour);
  if (text.isEmpty()) {
    cursor.removeSelectedText();
  } else {
    cursor.insertText(text, format);
  }
  if (doc->isEmpty()) {
    // An emptied log starts again with the default format: blue, one tab stop.
    QTextCharFormat blue;
    blue.setForeground(kReceivedColour);
    QTextCursor(doc).setCharFormat(blue);
  }
  // The operator sees the newest line; nothing stays selected.
  QTextCursor caret(doc);
  caret.movePosition(QTextCursor::End);
  receiveBuffer_->setTextCursor(caret);
  receiveBuffer_->ensureCursorVisible();
}

// --- Slides -------------------------------------------------------------------------------------

void TQVLaserControlFrame::startSlide(Slide& slide, int target, std::function<void()> done) {
  const int start = slide.height ? slide.widget->height() : slide.widget->width();
  slide.steps = SlideSteps(start, target);
  slide.next = 0;
  slide.done = std::move(done);
  if (!animationTimer_.isActive()) animationTimer_.start();
}

void TQVLaserControlFrame::stepSlide(Slide& slide) {
  if (slide.next >= slide.steps.size()) return;
  const int value = slide.steps[slide.next++];
  QWidget* w = slide.widget;
  if (slide.height)
    w->resize(w->width(), value);
  else
    w->resize(value, w->height());
  if (slide.next == slide.steps.size()) {
    auto done = std::move(slide.done);
    slide.done = nullptr;
    if (done) done();
  }
}

void TQVLaserControlFrame::animationStep() {
  stepSlide(coverSlide_);
  stepSlide(advancedSlide_);
  if (coverSlide_.next >= coverSlide_.steps.size() &&
      advancedSlide_.next >= advancedSlide_.steps.size()) {
    animationTimer_.stop();
  }
}

void TQVLaserControlFrame::slideCover(bool show) {
  const int target = CoverTargetHeight(show, kHeight, kHeaderHeight);
  coverSlide_.widget = cover_;
  coverSlide_.height = true;
  if (show) cover_->show();
  if (shown_->first) {
    cover_->resize(kWidth, target);
    return;
  }
  startSlide(coverSlide_, target, [this, show] {
    if (!show) cover_->hide();
  });
}

void TQVLaserControlFrame::slideAdvanced(bool open, bool animated) {
  QWidget* panel = tabPanels_[kAdvanced];
  advancedSlide_.widget = panel;
  advancedSlide_.height = false;
  const TAdvancedGeometry target = AdvancedGeometry(open, laserOnLeft_, laserOnWidth_);
  auto placeButtons = [this, target] {
    for (QPushButton* b : {laserOn_, laserOff_}) {
      b->setGeometry(target.buttonsLeft, b->y(), target.buttonsWidth, b->height());
      fitCaption(b);
    }
  };
  if (open) {
    panel->show();
    if (window()->isVisible()) cmdBox_->setFocus();
  } else {
    placeButtons();  // closing gives the buttons back their place at once
  }
  if (!animated) {
    advancedSlide_.steps.clear();
    advancedSlide_.next = 0;
    panel->resize(target.panelWidth, panel->height());
    if (open)
      placeButtons();
    else
      panel->hide();
    return;
  }
  startSlide(advancedSlide_, target.panelWidth, [this, open, panel, placeButtons] {
    if (open)
      placeButtons();
    else
      panel->hide();
  });
}
