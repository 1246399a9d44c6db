// The console frame against the virtual laser in this process: what the operator sees for every
// kind of laser, the status pictures, the terminal's log, the password prompt, the cover, the
// recording lamp and the dialogs that must not hold the laser's threads.
#include "ui/QVLaserControlFrame.h"

#include <gtest/gtest.h>

#include <set>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

#include "engine/Simulator.h"
#include "settings/Options.h"
#include "support/TempDir.h"
#include "ui/MainThreadBridge.h"
#include "ui/PasswordDialog.h"
#include "ui/QtConsoleTimer.h"
#include "widgets/AutoScaleControl.h"
#include "widgets/ConsoleFont.h"
#include "widgets/GraphicsEx.h"

namespace {

using Strings = std::vector<std::string>;

// Answers the first visible dialog of type D with `answer` after it has been open for holdMs.
template <class D>
class DialogAnswer {
 public:
  DialogAnswer(std::function<void(D&)> answer, int holdMs = 0)
      : answer_(std::move(answer)), holdMs_(holdMs) {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start();
  }
  bool answered() const { return answered_; }
  bool seen() const { return seen_; }

 private:
  void poll() {
    if (answered_) return;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<D*>(w);
      if (!dialog || !dialog->isVisible()) continue;
      if (!seen_) {
        seen_ = true;
        opened_.start();
      }
      if (opened_.elapsed() < holdMs_) return;
      answered_ = true;
      answer_(*dialog);
      return;
    }
  }
  std::function<void(D&)> answer_;
  int holdMs_;
  QTimer timer_;
  QElapsedTimer opened_;
  bool seen_ = false;
  bool answered_ = false;
};

class FrameTest : public testing::Test {
 protected:
  void SetUp() override {
    frame_ = std::make_unique<TQVLaserControlFrame>();
    TQVLaserControl& c = console();
    c.SetAutoDetect(std::make_unique<TLaserCtrlAutomation>());
    c.Laser().SetPort(kPort);
    c.OnLaserConnected = [this](TObject*) { ++connected_; };
    c.OnLaserDisconnected = [this](TObject*) { ++disconnected_; };
    c.OnLaserCommandTimeout = [this](TLaser&, TLaserCommand, uint8_t, const std::string&) {
      ++timeouts_;
    };
    frame_->show();
  }
  void TearDown() override {
    frame_.reset();
    sim_.reset();
  }

  void startSim(const std::string& profile, qv::sim::Config config = {}) {
    config.profile = profile;
    sim_ = std::make_unique<qv::sim::Simulator>(config);
    ASSERT_TRUE(sim_->start(kPort, ports_.path())) << sim_->lastError();
  }
  static bool until(const std::function<bool()>& done, int ms = 15000) {
    return qv::runEventLoopUntil(done, ms);
  }
  // Connects with the connect button and waits for the setup and the cover's slide.
  void connect() {
    const int before = connected_;
    frame_->ConnectLaserClick();
    ASSERT_TRUE(until([&] { return connected_ > before && !frame_->Animating(); }))
        << "no identification";
  }
  // Waits, with the event loop running (the laser's hand-overs need it), until the laser has
  // received `count` commands that match the selector.
  bool received(const std::string& selector, int count = 1) {
    return until([&] { return sim_->countReceived(selector) >= count; }, 5000);
  }
  TQVLaserControl& console() { return frame_->Console(); }
  const TConsoleDisplay& display() { return console().Display(); }
  template <class T = QWidget>
  T* child(const char* name) {
    T* w = frame_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QString text(const char* name) {
    if (auto* l = frame_->findChild<QLabel*>(QString::fromLatin1(name))) return l->text();
    if (auto* e = frame_->findChild<QLineEdit*>(QString::fromLatin1(name))) return e->text();
    if (auto* b = frame_->findChild<QAbstractButton*>(QString::fromLatin1(name))) return b->text();
    ADD_FAILURE() << "no control " << name;
    return {};
  }
  Strings tabs() {
    Strings out;
    for (int i = 0; i < frame_->TabSet1()->count(); ++i) {
      out.push_back(frame_->TabSet1()->tabText(i).toStdString());
    }
    return out;
  }
  // The rectangle of a control in the coordinates of `ancestor`.
  static QRect rectIn(QWidget* w, QWidget* ancestor) {
    return QRect(w->mapTo(ancestor, QPoint(0, 0)), w->size());
  }
  // The visible controls below `panel` (direct and indirect), each with its unit label.
  static std::vector<QWidget*> shownLeaves(QWidget* panel) {
    std::vector<QWidget*> out;
    for (QWidget* w : panel->findChildren<QWidget*>()) {
      if (!w->isVisibleTo(panel) || !w->findChildren<QWidget*>().empty()) continue;
      out.push_back(w);
    }
    return out;
  }
  // Controls designed to stand on each other: a maximum current inside its nominal current's
  // unit brackets, the regulator's value inside its unit, its field inside its label.
  static bool standsInside(QWidget* a, QWidget* b) {
    auto unitOf = [](QWidget* w) {
      auto* pair = qobject_cast<TLabelPair*>(w);
      return pair ? static_cast<QWidget*>(pair->unitLabel()) : nullptr;
    };
    for (auto [x, y] : {std::pair{a, b}, std::pair{b, a}}) {
      const QString n = x->objectName();
      if (n.startsWith("MaxCurrent")) {
        auto* nom = x->parentWidget()->findChild<QWidget*>("NomCurrent" + n.right(1));
        if (nom && unitOf(nom) == y) return true;
      }
      if (unitOf(x) == y && n == "NomRegulatorLevel") return true;
      if (n == "PowerRegulator" && y->objectName() == "lblPowerRegulator") return true;
    }
    return false;
  }
  // Nothing shown on the panel sticks out of it or covers another shown control.
  static void expectTidy(QWidget* panel, const std::string& what) {
    const std::vector<QWidget*> leaves = shownLeaves(panel);
    const QRect area(QPoint(0, 0), panel->size());
    for (size_t i = 0; i < leaves.size(); ++i) {
      const QRect r = rectIn(leaves[i], panel);
      EXPECT_TRUE(area.contains(r))
          << what << ": " << leaves[i]->objectName().toStdString() << " sticks out";
      for (size_t j = i + 1; j < leaves.size(); ++j) {
        if (standsInside(leaves[i], leaves[j])) continue;
        EXPECT_FALSE(r.intersects(rectIn(leaves[j], panel)))
            << what << ": " << leaves[i]->objectName().toStdString() << " and "
            << leaves[j]->objectName().toStdString() << " overlap";
      }
    }
  }

  static constexpr int kPort = 6;
  qv::test::PortsDir ports_;
  std::unique_ptr<qv::sim::Simulator> sim_;
  std::unique_ptr<TQVLaserControlFrame> frame_;
  int connected_ = 0, disconnected_ = 0, timeouts_ = 0;
};

// --- Every kind of laser ---------------------------------------------------------------------

struct KindCase {
  const char* profile;
  const char* serial;
  Strings tabs;
  Strings readOuts;       // shown on the information panel
  Strings currentLabels;  // the captions of the shown current entry labels, in branch order
  bool protectionPanel;
};

void PrintTo(const KindCase& c, std::ostream* os) {
  *os << c.profile;
}

class FrameKinds : public FrameTest, public testing::WithParamInterface<KindCase> {};

TEST_P(FrameKinds, ShowsWhatTheLaserHas) {
  const KindCase& k = GetParam();
  startSim(k.profile);
  EXPECT_EQ(text("lblSN"), "TESSARIX");
  EXPECT_TRUE(child("TerminalOnly")->isVisible());
  connect();

  EXPECT_EQ(text("lblSN").toStdString(), k.serial);
  EXPECT_FALSE(child("TerminalOnly")->isVisible());
  EXPECT_FALSE(child("DisconnectedPanel")->isVisible());
  EXPECT_EQ(tabs(), k.tabs);
  EXPECT_EQ(frame_->TabSet1()->tabText(frame_->TabSet1()->currentIndex()).toStdString(),
            k.tabs.front());

  // The read-outs of the laser, and nothing else, with their designed units.
  QWidget* info = child("RegularLaserInfoPanel");
  Strings shown;
  for (const char* name : {"NomCurrent1", "NomCurrent2", "NomCurrent3", "NomCurrent4",
                           "ActFrequency1", "ActFrequency2", "TriggerMode1", "TriggerMode2",
                           "NomRegulatorLevel", "InfoInternal", "InfoPulsePicker"}) {
    if (child(name)->isVisibleTo(info)) shown.push_back(name);
  }
  EXPECT_EQ(shown, k.readOuts);
  for (int b = 1; b <= 4; ++b) {
    auto* pair = child<TLabelPair>(("NomCurrent" + std::to_string(b)).c_str());
    EXPECT_EQ(pair->unitLabel()->text(), "A [           A]");
    EXPECT_EQ(child(("MaxCurrent" + std::to_string(b)).c_str())->isVisibleTo(info),
              pair->isVisibleTo(info));
  }
  EXPECT_EQ(child<TLabelPair>("ActFrequency1")->unitLabel()->text(), "Hz");
  EXPECT_EQ(child<TLabelPair>("NomRegulatorLevel")->unitLabel()->text(), "P            %");

  // The values arrive as the laser answers and are shown as the console formats them (at most
  // 25 times a second, so the labels may follow the console a moment later).
  auto shownAsFormatted = [&] {
    for (int b = 1; b <= 4; ++b) {
      if (!display().layout.nomCurrent[b]) continue;
      const std::string label = text(("NomCurrent" + std::to_string(b)).c_str()).toStdString();
      if (display().nomCurrent[b] == "ERROR" || label != display().nomCurrent[b]) return false;
    }
    return true;
  };
  EXPECT_TRUE(until(shownAsFormatted));

  // Current entry labels.
  Strings labels;
  for (int b = 1; b <= 4; ++b) {
    const std::string n = std::to_string(b);
    QWidget* panel = child("CurrentPanel");
    if (child(("lblCurrent" + n).c_str())->isVisibleTo(panel)) {
      labels.push_back(text(("lblCurrent" + n).c_str()).toStdString());
      EXPECT_TRUE(child(("Current" + n).c_str())->isVisibleTo(panel));
    }
  }
  EXPECT_EQ(labels, k.currentLabels);
  EXPECT_EQ(child("ProtectionLimitsPanel")->isVisibleTo(child("LaserInfoPanel")),
            k.protectionPanel);

  // Aligned and tidy: nothing sticks out of its panel or overlaps another control.
  expectTidy(info, "information panel");
  for (const char* panel :
       {"CurrentPanel", "TriggerPanel", "FrequencyPanel", "SystemPanel", "RegulatorPanel"}) {
    expectTidy(child(panel), panel);
  }
  if (k.protectionPanel) expectTidy(child("ProtectionLimitsPanel"), "protection panel");
  EXPECT_EQ(frame_->size(), QSize(679, 196));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FrameKinds,
    testing::Values(
        KindCase{"gen3-2branch",
                 "SN1234",
                 {"Current", "Trigger", "Frequency", "System", "Advanced"},
                 {"NomCurrent1", "NomCurrent2", "ActFrequency1", "TriggerMode1", "TriggerMode2"},
                 {"Current1", "Current2"},
                 false},
        KindCase{"gen3-picker",
                 "SN2210",
                 {"Current", "Trigger", "Frequency", "Regulator", "System", "Advanced"},
                 {"NomCurrent1", "ActFrequency1", "ActFrequency2", "TriggerMode1",
                  "NomRegulatorLevel", "InfoInternal", "InfoPulsePicker"},
                 {"Current"},
                 true},
        KindCase{"gen3-single",
                 "SN 877",
                 {"Current", "Trigger", "Frequency", "System", "Advanced"},
                 {"NomCurrent2", "ActFrequency1", "TriggerMode1"},
                 {"Current"},
                 false},
        KindCase{"gen3-4branch",
                 "SN3057",
                 {"Current", "Trigger", "Frequency", "System", "Advanced"},
                 {"NomCurrent1", "NomCurrent2", "NomCurrent3", "NomCurrent4", "ActFrequency1",
                  "TriggerMode1", "TriggerMode2"},
                 {"1", "2", "3", "4"},
                 false},
        KindCase{"gen2", "SN 412", {"System", "Advanced"}, {}, {}, false},
        KindCase{"gen2-2freq", "SN 415", {"System", "Advanced"}, {}, {}, false},
        KindCase{"nohead", "SN   0 (PS1301)", {"System", "Advanced"}, {}, {}, false},
        KindCase{"gen3-warmup",
                 "SN1450",
                 {"Current", "Trigger", "Frequency", "System", "Advanced"},
                 {"NomCurrent1", "NomCurrent2", "ActFrequency1", "TriggerMode1", "TriggerMode2"},
                 {"Current1", "Current2"},
                 false}),
    [](const testing::TestParamInfo<KindCase>& i) {
      std::string n = i.param.profile;
      for (char& c : n) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return n;
    });

// --- Status pictures -------------------------------------------------------------------------

struct StatusCase {
  const char* name;
  const char* profile;
  std::function<void(qv::sim::Simulator&, TQVLaserControlFrame&)> make;
  int symbol;
  int caption;
  const char* laserOn;
  bool badge;
};

void PrintTo(const StatusCase& c, std::ostream* os) {
  *os << c.name;
}

class FrameStatus : public FrameTest, public testing::WithParamInterface<StatusCase> {};

TEST_P(FrameStatus, PicturesFollowTheState) {
  const StatusCase& c = GetParam();
  startSim(c.profile);
  connect();
  c.make(*sim_, *frame_);
  auto* symbol = child<TImageEx>("LaserWarnSymbol");
  auto* caption = child<TImageEx>("LaserStatusDesc");
  auto* badge = child<TImageEx>("IconLaserWarning");
  EXPECT_TRUE(until([&] {
    return symbol->imageIndex() == c.symbol && caption->imageIndex() == c.caption &&
           text("LaserOn") == c.laserOn && badge->isVisible() == c.badge;
  })) << "symbol "
      << symbol->imageIndex() << ", caption " << caption->imageIndex() << ", "
      << text("LaserOn").toStdString() << ", badge " << badge->isVisible();
  EXPECT_EQ(
      symbol->toolTip().toStdString(), display().status.symbolHint == "" ? "" : [&] {
        std::string s = display().status.symbolHint;
        for (size_t p; (p = s.find("\r\n")) != std::string::npos;) s.replace(p, 2, "\n");
        return s;
      }());
}

INSTANTIATE_TEST_SUITE_P(
    States, FrameStatus,
    testing::Values(
        StatusCase{"Idle", "gen3-2branch", [](qv::sim::Simulator&, TQVLaserControlFrame&) {}, 0, -1,
                   "Laser On", false},
        StatusCase{"LaserOn", "gen3-2branch",
                   [](qv::sim::Simulator& s, TQVLaserControlFrame&) { s.control("laser on"); }, 1,
                   0, "Laser On", false},
        StatusCase{"Error", "gen3-2branch",
                   [](qv::sim::Simulator& s, TQVLaserControlFrame&) { s.setErrors({80}); }, 2, -1,
                   "Laser On", false},
        StatusCase{"Warning", "gen3-2branch",
                   [](qv::sim::Simulator& s, TQVLaserControlFrame&) { s.setWarnings({86}); }, 0, -1,
                   "Laser On", true},
        // The Laser On button of a cold laser starts the warm-up.
        StatusCase{"WarmingUp", "gen3-warmup",
                   [](qv::sim::Simulator&, TQVLaserControlFrame& f) { f.LaserOnButton()->click(); },
                   1, 1, "Warm Up", false},
        StatusCase{"WarmedUp", "gen3-warmup",
                   [](qv::sim::Simulator& s, TQVLaserControlFrame&) { s.control("warmup done"); },
                   1, 2, "Laser On", false}),
    [](const testing::TestParamInfo<StatusCase>& i) { return std::string(i.param.name); });

TEST_F(FrameTest, ErrorListInTheSymbolsHintAndAfterDisconnection) {
  startSim("gen3-2branch");
  connect();
  sim_->setErrors({80, 9999});
  auto* symbol = child<TImageEx>("LaserWarnSymbol");
  ASSERT_TRUE(until([&] { return symbol->imageIndex() == 2; }));
  EXPECT_TRUE(symbol->toolTip().startsWith("Laser error list\n-----------------\n[80]  "));
  EXPECT_TRUE(symbol->toolTip().endsWith("\n[9999] ")) << symbol->toolTip().toStdString();

  // A click on the symbol shows the list in a box.
  QString title, boxText;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  auto capture = [&](QMessageBox& box) {
    title = box.windowTitle();
    boxText = box.text();
    icon = box.icon();
    box.button(QMessageBox::Ok)->click();
  };
  {
    DialogAnswer<QMessageBox> answer(capture);
    QTest::mouseClick(symbol, Qt::LeftButton);
    ASSERT_TRUE(answer.answered());
  }
  EXPECT_EQ(title, "Laser Error");
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_EQ(boxText, symbol->toolTip());
  // The badge's box shows its list, also an empty one.
  {
    DialogAnswer<QMessageBox> answer(capture);
    console().IconLaserWarningClick();
    ASSERT_TRUE(answer.answered());
  }
  EXPECT_EQ(title, "Laser Warning");
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_EQ(boxText, "");

  frame_->ConnectLaserClick();
  ASSERT_TRUE(until([&] { return disconnected_ == 1 && !frame_->Animating(); }));
  EXPECT_EQ(symbol->imageIndex(), 1) << "display " << display().status.symbol;
  EXPECT_EQ(child<TImageEx>("LaserStatusDesc")->imageIndex(), -1);
  EXPECT_FALSE(child("IconLaserWarning")->isVisible());
  EXPECT_EQ(text("LaserOn"), "Laser On");
}

// The operator's own attempt on a port with nothing behind it: the box says so.
TEST_F(FrameTest, PortThatCannotBeOpenedIsReportedToTheOperator) {
  QString title, boxText;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  DialogAnswer<QMessageBox> answer([&](QMessageBox& box) {
    title = box.windowTitle();
    boxText = box.text();
    icon = box.icon();
    box.button(QMessageBox::Ok)->click();
  });
  frame_->ConnectLaserClick();
  ASSERT_TRUE(until([&] { return answer.answered(); }, 5000));
  EXPECT_EQ(title, "Error");
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_TRUE(
      boxText.startsWith("Cannot open port: COM6. \n\nPlease check:\n1) if the port "
                         "number is correct, \n2) if another program is using this port."))
      << boxText.toStdString();
  EXPECT_TRUE(child("DisconnectedPanel")->isVisible());
}

// --- The cover -------------------------------------------------------------------------------

TEST_F(FrameTest, CoverSlidesAwayAndBack) {
  QWidget* cover = child("DisconnectedPanel");
  EXPECT_EQ(cover->geometry(), QRect(0, 22, 679, 173));  // one pixel above the bottom edge
  EXPECT_EQ(child("ConnectLaser2")->property("text").toString(), "Laser Disconnected");
  startSim("gen3-2branch");
  // A click anywhere on the cover connects.
  QTest::mouseClick(child("ConnectLaser2"), Qt::LeftButton, {}, QPoint(40, 150));
  ASSERT_TRUE(until([&] { return connected_ == 1 && !frame_->Animating(); }));
  EXPECT_EQ(cover->height(), 0);
  EXPECT_FALSE(cover->isVisible());
  frame_->ConnectLaserClick();
  ASSERT_TRUE(until([&] { return disconnected_ == 1 && !frame_->Animating(); }));
  EXPECT_TRUE(cover->isVisible());
  EXPECT_EQ(cover->geometry(), QRect(0, 22, 679, 173));
  EXPECT_EQ(text("lblSN"), "TESSARIX");
}

// --- The terminal ----------------------------------------------------------------------------

// The colour of the log's text at the start of the first occurrence of `what`.
QColor colourOf(QTextEdit* log, const QString& what) {
  const int at = log->toPlainText().indexOf(what);
  if (at < 0) return {};
  QTextCursor c(log->document());
  c.setPosition(at + 1);
  return c.charFormat().foreground().color();
}

TEST_F(FrameTest, TerminalLogShowsSentRedAndReceivedBlue) {
  startSim("gen3-2branch");
  connect();
  frame_->SelectTab("Advanced");
  QWidget* panel = frame_->AdvancedPanel();
  ASSERT_TRUE(until([&] { return !frame_->Animating(); }));
  EXPECT_TRUE(panel->isVisible());
  EXPECT_EQ(panel->geometry(), QRect(0, 22, 424 + 169 - 7, 174));
  EXPECT_EQ(frame_->LaserOnButton()->geometry().left(), 424 + 169);
  EXPECT_EQ(frame_->LaserOnButton()->width(), 112 - 60);
  EXPECT_FALSE(child("LaserWarnSymbol")->isVisible());

  // Typed letters become lower case; Enter sends, empties the line and remembers it.
  auto* cmd = child<QLineEdit>("CmdBox");
  EXPECT_TRUE(cmd->hasFocus());
  QTest::keyClicks(cmd, "R01");
  EXPECT_EQ(cmd->text(), "r01");
  QTest::keyClick(cmd, Qt::Key_Return);
  EXPECT_EQ(cmd->text(), "");
  auto* log = child<QTextEdit>("ReceiveBuffer");
  ASSERT_TRUE(until([&] { return log->toPlainText().contains("S/N"); }))
      << log->toPlainText().toStdString();
  EXPECT_TRUE(log->toPlainText().startsWith("r01\t")) << log->toPlainText().toStdString();
  EXPECT_EQ(colourOf(log, "r01"), QColor(255, 0, 0));
  EXPECT_EQ(colourOf(log, "S/N"), QColor(0, 0, 255));
  EXPECT_TRUE(log->isReadOnly());
  EXPECT_EQ(log->tabStopDistance(),
            QFontMetricsF(log->font()).horizontalAdvance(QStringLiteral("1234567890123")));
  auto* history = child<QListWidget>("CmdHistory");
  ASSERT_EQ(history->count(), 1);
  EXPECT_EQ(history->item(0)->text(), "r01");

  // A second command starts a new line after the answer; the document holds what the log holds.
  console().SendCommandLine("r60");
  ASSERT_TRUE(until([&] { return log->toPlainText().contains("LASER_O"); }));
  EXPECT_EQ(colourOf(log, "r60"), QColor(255, 0, 0));
  const QTextBlock second = log->document()->findBlock(log->toPlainText().indexOf("r60"));
  EXPECT_TRUE(second.text().startsWith("r60\t")) << second.text().toStdString();
  EXPECT_EQ(static_cast<size_t>(log->document()->characterCount() - 1),
            console().TerminalLog().Length());

  // The history: a click copies the entry into an empty command line.
  QTest::mouseClick(history->viewport(), Qt::LeftButton, {},
                    history->visualItemRect(history->item(0)).center());
  EXPECT_EQ(cmd->text(), "r01");

  frame_->CloseAdvancedPanelClick();
  ASSERT_TRUE(until([&] { return !frame_->Animating(); }));
  EXPECT_FALSE(panel->isVisible());
  EXPECT_EQ(frame_->LaserOnButton()->geometry().left(), 424);
  EXPECT_EQ(frame_->LaserOnButton()->width(), 112);
  EXPECT_TRUE(child("LaserWarnSymbol")->isVisible());
}

TEST_F(FrameTest, PasswordIsAskedMaskedWithCtrlAndSentAsTheLaserExpects) {
  startSim("gen3-2branch");
  connect();
  QString shownText;
  DialogAnswer<TPasswordDialog> answer([&](TPasswordDialog& d) {
    EXPECT_EQ(d.windowTitle(), "Service");
    EXPECT_EQ(d.findChild<QLabel*>("Prompt")->text(), "Please input the service password");
    EXPECT_EQ(d.edit()->maxLength(), 255);
    EXPECT_TRUE(d.okButton()->isDefault());
    QTest::keyClicks(d.edit(), "ab,1");
    shownText = d.edit()->displayText();
    d.okButton()->click();
  });
  // The Ctrl key is down when the tab is chosen.
  QWidget* tabs = frame_->TabSet1();
  const int advanced = frame_->TabSet1()->count() - 1;
  QTest::mouseClick(tabs, Qt::LeftButton, Qt::ControlModifier,
                    frame_->TabSet1()->tabRect(advanced).center());
  ASSERT_TRUE(answer.answered());
  EXPECT_EQ(shownText, "****");
  ASSERT_TRUE(received("w01 ab.1", 1));
  // Neither echoed nor remembered.
  EXPECT_FALSE(child<QTextEdit>("ReceiveBuffer")->toPlainText().contains("w01"));
  EXPECT_EQ(child<QListWidget>("CmdHistory")->count(), 0);
}

TEST_F(FrameTest, FrequencyFieldKeepsItsSuffixLast) {
  startSim("gen3-2branch");
  connect();
  frame_->SelectTab("Frequency");
  auto* field = child<QLineEdit>("Frequency1");
  field->clear();
  console().MutableDisplay().frequencyField[1].clear();
  field->setFocus();
  QTest::keyClicks(field, "20m");
  EXPECT_EQ(field->text(), "20M");
  EXPECT_EQ(field->cursorPosition(), 2);
  QTest::keyClicks(field, "5kx");
  EXPECT_EQ(field->text(), "205k");
  QTest::keyClick(field, Qt::Key_Return);
  ASSERT_TRUE(received("w73 205000.00,w71 205000.00", 1))
      << ::testing::PrintToString(sim_->received());
}

// --- The information panel -------------------------------------------------------------------

// Sends a press, moves and a release to w, dx pixels in `steps` moves.
void drag(QWidget* w, QPoint from, int dx, int steps, int msPerStep) {
  auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, at, w->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  };
  send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
  for (int i = 1; i <= steps; ++i) {
    qv::runEventLoopUntil([] { return false; }, msPerStep);
    send(QEvent::MouseMove, from + QPoint(dx * i / steps, 0), Qt::NoButton, Qt::LeftButton);
  }
  send(QEvent::MouseButtonRelease, from + QPoint(dx, 0), Qt::LeftButton, Qt::NoButton);
}

TEST_F(FrameTest, ReadOutsSlideToTheLimitsAndClickOnlyWithoutDrag) {
  startSim("gen3-picker");
  connect();
  QWidget* regular = child("RegularLaserInfoPanel");
  QWidget* limits = child("ProtectionLimitsPanel");
  ASSERT_TRUE(limits->isVisibleTo(child("LaserInfoPanel")));
  ASSERT_TRUE(until([&] { return !text("fPulseRange1").isEmpty(); }));
  EXPECT_EQ(text("fPulseRange1"), "100.00kHz - 487.80kHz");

  // A slow drag over 300 pixels to the left snaps to the limits panel; the press on a read-out
  // was a drag, so its tab is not chosen.
  frame_->SelectTab("System");
  QWidget* current = child("NomCurrent1");
  drag(current, QPoint(5, 5), -300, 10, 60);
  ASSERT_TRUE(until([&] { return !frame_->Animating(); }));
  EXPECT_EQ(regular->x(), -417);
  EXPECT_EQ(limits->x(), 0);
  EXPECT_EQ(display().selectedTab, "System");

  // A quick flick to the right returns; then a plain click on the current selects its tab and
  // focuses its field.
  drag(limits, QPoint(50, 50), 60, 2, 5);
  ASSERT_TRUE(until([&] { return !frame_->Animating(); }));
  EXPECT_EQ(regular->x(), 0);
  QTest::mouseClick(current, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(display().selectedTab, "Current");
  EXPECT_TRUE(child("Current1")->hasFocus());
}

// --- Tags and names for the main window --------------------------------------------------------

TEST_F(FrameTest, ControlsCarryTheirTags) {
  const std::pair<const char*, uint32_t> tags[] = {{"Current1", 1},
                                                   {"OkCurrent4", 4},
                                                   {"Frequency1", 0xF0000001u},
                                                   {"Frequency2", 0xF0000002u},
                                                   {"CmdBox", 0xF0000000u},
                                                   {"PowerRegulator", 1},
                                                   {"ExternalTrigger1", 257},
                                                   {"InternalTrigger1", 0},
                                                   {"CWMode1", 258},
                                                   {"HVOn1", 263},
                                                   {"ExternalTrigger2", 513},
                                                   {"CWMode2", 514},
                                                   {"LaserOn", 1},
                                                   {"LaserOff", 0},
                                                   {"ActivateRegulator", 1},
                                                   {"DeactivateRegulator", 0}};
  for (const auto& [name, tag] : tags) {
    EXPECT_EQ(static_cast<uint32_t>(child(name)->property("qvTag").toInt()), tag) << name;
  }
  EXPECT_EQ(frame_->InternalTrigger(2)->objectName(), "InternalTrigger2");
  EXPECT_EQ(frame_->CloseAdvancedPanelButton()->objectName(), "CloseAdvancedPanel");
  EXPECT_EQ(child("ConnectLaser")->toolTip(), "Connect/disconnect Laser");
  EXPECT_EQ(child("ChangeOptions")->toolTip(), "Options");
  EXPECT_EQ(child("TerminalOnly")->toolTip(), "Enter Advanced Panel directly");
  EXPECT_EQ(text("ScalableLabel4"), "Quorvane Laser Control ");
}

// --- Recording -------------------------------------------------------------------------------

TEST_F(FrameTest, RecordingLampBlinksInStepWithOtherBlinkingControls) {
  qv::test::TempDir dir;
  startSim("gen3-2branch");
  connect();
  const QString file = QString::fromStdString(dir.file("rec.qlp"));
  DialogAnswer<QFileDialog> answer([&](QFileDialog& d) {
    EXPECT_EQ(d.defaultSuffix(), "qlp");
    EXPECT_EQ(d.nameFilters(), QStringList({"QVLaser Parameters(*.qlp)", "Any file(*.*)"}));
    EXPECT_EQ(d.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_TRUE(d.selectedFiles().value(0).endsWith("_LT.qlp"));
    d.selectFile(file);
    static_cast<QDialog&>(d).accept();
  });
  auto* lamp = child<TStatusIndicator>("RecordingIndicator");
  EXPECT_FALSE(lamp->isVisible());
  child<QAbstractButton>("RecordParam")->click();
  ASSERT_TRUE(until([&] { return console().RecordingState() == 2; }));
  EXPECT_TRUE(lamp->isVisible());
  EXPECT_TRUE(lamp->blinking());

  TStatusIndicator other(frame_.get());
  other.setImages(lamp->images());
  other.blink(0, 2);
  // From the first tick on both show the same picture at every tick.
  ASSERT_TRUE(until([&] { return other.imageIndex() == 0 || other.imageIndex() == 2; }, 3000));
  int flips = 0, last = other.imageIndex();
  ASSERT_TRUE(until(
      [&] {
        EXPECT_EQ(lamp->imageIndex(), other.imageIndex());
        if (other.imageIndex() != last) {
          last = other.imageIndex();
          ++flips;
        }
        return flips >= 3;
      },
      5000));
  other.stopBlinking();

  DialogAnswer<QMessageBox> yes([](QMessageBox& box) {
    EXPECT_EQ(box.windowTitle(), "Confirm");
    box.button(QMessageBox::Yes)->click();
  });
  child<QAbstractButton>("RecordParam")->click();
  ASSERT_TRUE(until([&] { return console().RecordingState() == 0; }));
  EXPECT_FALSE(lamp->isVisible());
  EXPECT_FALSE(lamp->blinking());
}

// A save dialog left open for three seconds while the laser goes on answering: no time-out, no
// disconnection, and the recording starts once it is confirmed.
TEST_F(FrameTest, SaveDialogHeldOpenDoesNotStallTheLaser) {
  qv::test::TempDir dir;
  startSim("gen3-2branch");
  connect();
  const QString file = QString::fromStdString(dir.file("held.qlp"));
  DialogAnswer<QFileDialog> answer(
      [&](QFileDialog& d) {
        d.selectFile(file);
        static_cast<QDialog&>(d).accept();
      },
      3000);
  child<QAbstractButton>("RecordParam")->click();
  ASSERT_TRUE(until([&] { return console().RecordingState() == 2; }, 20000));
  EXPECT_TRUE(answer.answered());
  EXPECT_EQ(timeouts_, 0);
  EXPECT_EQ(disconnected_, 0);
  EXPECT_TRUE(console().Laser().Connected());
  // The laser goes on being read.
  const size_t before = sim_->received().size();
  EXPECT_TRUE(until([&] { return sim_->received().size() > before + 10; }, 5000));
  console().StopRecording();
  ASSERT_TRUE(until([&] { return console().RecordingState() == 0; }));
}

// The Advanced tab without Ctrl opens the terminal at once; the history's double click sends its
// entry again, and Ctrl+Alt+V sends the clipboard's commands without touching the line.
TEST_F(FrameTest, HistoryDoubleClickAndClipboardCommands) {
  startSim("gen3-2branch");
  connect();
  DialogAnswer<TPasswordDialog> none([](TPasswordDialog& d) { d.reject(); });
  QTest::mouseClick(frame_->TabSet1(), Qt::LeftButton, {},
                    frame_->TabSet1()->tabRect(frame_->TabSet1()->count() - 1).center());
  EXPECT_TRUE(frame_->AdvancedPanel()->isVisible());
  EXPECT_FALSE(none.seen());
  auto* cmd = child<QLineEdit>("CmdBox");
  auto* history = child<QListWidget>("CmdHistory");
  const int r60 = sim_->countReceived("r60");
  QTest::keyClicks(cmd, "r01 | r60");
  QTest::keyClick(cmd, Qt::Key_Return);
  ASSERT_EQ(history->count(), 1);
  EXPECT_EQ(history->item(0)->text(), "r01|r60");
  ASSERT_TRUE(received("r60", r60 + 1));

  // A double click: the first click copies the entry, the double click sends it and empties
  // the line again.
  const QPoint at = history->visualItemRect(history->item(0)).center();
  QTest::mouseClick(history->viewport(), Qt::LeftButton, {}, at);
  EXPECT_EQ(cmd->text(), "r01|r60");
  QTest::mouseDClick(history->viewport(), Qt::LeftButton, {}, at);
  EXPECT_EQ(cmd->text(), "");
  ASSERT_TRUE(received("r60", r60 + 2));
  // With text in the line a click copies nothing.
  QTest::keyClicks(cmd, "r02");
  QTest::mouseClick(history->viewport(), Qt::LeftButton, {}, at);
  EXPECT_EQ(cmd->text(), "r02");

  QGuiApplication::clipboard()->setText("R01|R60");
  QTest::keyClick(cmd, Qt::Key_V, Qt::ControlModifier | Qt::AltModifier);
  ASSERT_TRUE(received("r60", r60 + 3)) << ::testing::PrintToString(sim_->received());
  EXPECT_EQ(cmd->text(), "r02");
  EXPECT_EQ(history->count(), 1);  // the same commands, compared without case
}

TEST_F(FrameTest, ValuesInTheirFacesAndColours) {
  startSim("gen3-picker");
  connect();
  const QString values = qv::consoleFamily("Verdana");
  const QString titles = qv::consoleFamily("Tahoma");
  for (const char* name : {"NomCurrent1", "ActFrequency1", "TriggerMode1", "NomRegulatorLevel"}) {
    QWidget* w = child(name);
    EXPECT_EQ(w->font().family(), values) << name;
    EXPECT_EQ(w->palette().color(QPalette::WindowText), QColor(0, 0, 255)) << name;
  }
  EXPECT_EQ(child("MaxCurrent1")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(child("lblLaser1")->font().family(), titles);
  EXPECT_EQ(child("InfoInternal")->font().family(), titles);
  // The regulator's level turns silver while the regulator is off.
  child<QAbstractButton>("DeactivateRegulator")->click();
  ASSERT_TRUE(until([&] {
    return child("NomRegulatorLevel")->palette().color(QPalette::WindowText) ==
           QColor(192, 192, 192);
  }));
  EXPECT_EQ(
      child<TLabelPair>("NomRegulatorLevel")->unitLabel()->palette().color(QPalette::WindowText),
      QColor(192, 192, 192));
  // Each tab panel has its own pale colour, and the selected tab takes it.
  std::set<QRgb> colours;
  for (const char* panel : {"CurrentPanel", "TriggerPanel", "FrequencyPanel", "SystemPanel",
                            "RegulatorPanel", "AdvancedPanel"}) {
    const QColor c = child(panel)->palette().color(QPalette::Window);
    EXPECT_GT(c.lightness(), 220) << panel;
    colours.insert(c.rgb());
  }
  EXPECT_EQ(colours.size(), 6u);
  frame_->SelectTab("Trigger");
  EXPECT_TRUE(child("TriggerPanel")->isVisible());
  EXPECT_FALSE(child("CurrentPanel")->isVisible());
  EXPECT_TRUE(frame_->TabSet1()->styleSheet().contains(
      child("TriggerPanel")->palette().color(QPalette::Window).name()));
}

TEST_F(FrameTest, EntriesSendWhatTheFieldsHold) {
  startSim("gen3-2branch");
  connect();
  auto* current = child<QLineEdit>("Current2");
  current->setFocus();
  QTest::keyClicks(current, "12.5");
  QTest::keyClick(current, Qt::Key_Return);
  ASSERT_TRUE(received("w62 12.50", 1));
  frame_->SelectTab("Trigger");
  frame_->ExternalTrigger(2)->click();
  frame_->LaserOffButton()->click();
  ASSERT_TRUE(received("w60 0", 1));
  EXPECT_TRUE(received("r60", 1));  // the status, read after 200 ms
  EXPECT_EQ(child<TImageEx>("LaserWarnSymbol")->imageIndex(), 0);
}

TEST(PasswordDialog, StartsSelectedAndSizedInDialogUnits) {
  TPasswordDialog d("Service", "Please input the service password", "abc");
  EXPECT_EQ(d.edit()->selectedText(), "abc");
  EXPECT_EQ(d.edit()->echoMode(), QLineEdit::Password);
  EXPECT_EQ(d.edit()->displayText(), "***");
  const QFontMetrics fm(d.font());
  const int x = fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52;
  EXPECT_EQ(d.width(), 180 * x / 4);
  EXPECT_EQ(d.edit()->width(), 164 * x / 4);
  EXPECT_EQ(d.okButton()->x(), 38 * x / 4);
  EXPECT_EQ(d.cancelButton()->x(), 92 * x / 4);
  EXPECT_EQ(d.okButton()->y(), d.edit()->geometry().bottom() + 1 + 15);
  EXPECT_EQ(d.height(), d.okButton()->geometry().bottom() + 1 + 13);
  QTimer::singleShot(0, &d, [&] { d.cancelButton()->click(); });
  EXPECT_EQ(d.exec(), QDialog::Rejected);
}

TEST(QtConsoleTimer, TicksWhileEnabled) {
  qv::QtConsoleTimer timer;
  int ticks = 0;
  timer.onTimer = [&] { ++ticks; };
  EXPECT_FALSE(timer.enabled());
  timer.setInterval(10);
  EXPECT_EQ(timer.interval(), 10);
  timer.setEnabled(true);
  EXPECT_TRUE(qv::runEventLoopUntil([&] { return ticks >= 3; }, 5000));
  timer.setEnabled(false);
  const int stopped = ticks;
  qv::runEventLoopUntil([] { return false; }, 50);
  EXPECT_EQ(ticks, stopped);
}

}  // namespace
