// The operator's main window against the virtual laser in this process: its frame and caption,
// the settings file at start and close, the hot keys pressed on the real window (checked at the
// laser), the numeric key filter on the console's edits, the guarded actions, the options dialog
// as the window uses it, and the extension windows beside it.
#include "ui/QVLaserControlMain.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

#include "console/QVLaserControl.h"
#include "engine/Simulator.h"
#include "platform/IniStore.h"
#include "support/TempDir.h"
#include "ui/ExtensionWindow.h"
#include "ui/MainThreadBridge.h"
#include "ui/PasswordDialog.h"
#include "ui/QVLaserControlFrame.h"
#include "ui/SetOptionForm.h"
#include "ui/ShortCutKeys.h"

namespace {

using qv::ActionId;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Sets an environment variable for one test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Runs `act` on the first visible top-level widget of type D once it is shown.
template <class D>
class WhenShown {
 public:
  explicit WhenShown(std::function<void(D&)> act) : act_(std::move(act)) {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start();
  }
  bool done() const { return done_; }

 private:
  void poll() {
    if (done_) return;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* d = qobject_cast<D*>(w);
      if (!d || !d->isVisible()) continue;
      done_ = true;
      timer_.stop();
      act_(*d);
      return;
    }
  }
  std::function<void(D&)> act_;
  QTimer timer_;
  bool done_ = false;
};

class MainWindowTest : public ::testing::Test {
 protected:
  static constexpr int kPort = 6;

  void SetUp() override {
    // Closing a window here is not the end of the test program.
    QGuiApplication::setQuitOnLastWindowClosed(false);
  }
  void TearDown() override {
    window.reset();
    sims.clear();
    QGuiApplication::setQuitOnLastWindowClosed(true);
  }

  // The program's folder holds the settings file and the extension files.
  std::string iniPath() const { return folder.file("QVLaserControlv4.ini"); }
  void writeIni(const std::string& text) { writeFile(iniPath(), text); }
  qv::IniStore savedIni() const {
    qv::IniStore ini;
    EXPECT_TRUE(ini.load(iniPath())) << iniPath();
    return ini;
  }

  qv::sim::Simulator& startSim(const std::string& profile, int port = kPort) {
    auto sim = std::make_unique<qv::sim::Simulator>(profile);
    EXPECT_TRUE(sim->start(port, ports.path())) << sim->lastError();
    sims.push_back(std::move(sim));
    return *sims.back();
  }
  qv::sim::Simulator& sim() { return *sims.front(); }

  void open(std::vector<std::string> args = {"-PORT:6"}) {
    window = std::make_unique<TQVLaserControlMainFrm>(std::move(args), folder.path());
    window->SetErrorStream(&err);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
  // Closes the window as its close button would and takes it apart.
  void closeWindow() {
    window->close();
    window.reset();
  }

  static bool until(const std::function<bool()>& done, int ms = 10000) {
    return qv::runEventLoopUntil(done, ms);
  }
  // Lets the event loop run for a while (nothing more is expected to happen).
  static void settle(int ms = 300) {
    until([] { return false; }, ms);
  }

  TQVLaserControl& console() { return window->Console(); }
  TQVLaserControlFrame& frame() { return window->Frame(); }
  template <class T = QWidget>
  T* control(const char* name) {
    T* w = frame().findChild<T*>(QString::fromLatin1(name));
    EXPECT_TRUE(w) << name;
    return w;
  }
  bool connected() { return console().Laser().Connected() && !console().Laser().Detecting(); }
  // Waits until the laser is identified and the console shows it.
  void waitConnected() {
    ASSERT_TRUE(until([&] { return connected() && !frame().Animating(); })) << "no identification";
    ASSERT_TRUE(until([&] { return window->windowTitle().startsWith("SN"); }));
  }
  // Connects with the connect key (automatic detection off in the file).
  void connectByKey() {
    press(Qt::Key_L, Qt::ControlModifier);
    waitConnected();
  }
  // A key pressed and released on the window, as the window system delivers it: short-cut
  // override first, then the key to the focused control.
  void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(window->windowHandle(), key, mods);
  }
  int received(const std::string& selector) { return sim().countReceived(selector); }
  bool receivedAtLeast(const std::string& selector, int count = 1) {
    return until([&] { return received(selector) >= count; }, 5000);
  }

  qv::test::PortsDir ports;
  qv::test::TempDir folder;
  qv::test::TempDir config;
  ScopedEnv xdg{"XDG_CONFIG_HOME", config.path()};
  std::vector<std::unique_ptr<qv::sim::Simulator>> sims;
  std::unique_ptr<TQVLaserControlMainFrm> window;
  std::ostringstream err;
};

// --- The window and the settings file ------------------------------------------------------

TEST_F(MainWindowTest, FixedWindowFilledByTheConsoleWithItsCaptionActionsAndFirstSettings) {
  open({});
  EXPECT_EQ(window->size(), QSize(679, 196));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());  // no user resize
  EXPECT_EQ(frame().geometry(), QRect(0, 0, 679, 196));
  const Qt::WindowFlags flags = window->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowTitleHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(window->windowIcon().isNull());
  EXPECT_EQ(window->frameGeometry().topLeft(), QPoint(0, 0));
  EXPECT_EQ(window->windowTitle(), "TESSARIX - Quorvane Laser Control");
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Quorvane Laser Control");

  // Every action of the table, with its key; the laser's actions wait for a laser.
  EXPECT_EQ(window->Action(ActionId::ConnectLaser)->shortcut(), QKeySequence("Ctrl+L"));
  EXPECT_EQ(window->Action(ActionId::FileExit1)->shortcut(), QKeySequence("Alt+X"));
  EXPECT_EQ(window->Action(ActionId::SetCurrent9)->shortcut(), QKeySequence("Ctrl+9"));
  EXPECT_EQ(window->Action(ActionId::About)->shortcut(), QKeySequence("F1"));
  EXPECT_TRUE(window->Action(ActionId::MinimizeToTray)->shortcut().isEmpty());
  EXPECT_EQ(window->Action(ActionId::SetCW)->objectName(), "SetCW");
  EXPECT_TRUE(window->Action(ActionId::ShowAdvanced)->isCheckable());
  EXPECT_FALSE(window->Action(ActionId::ShowAdvanced)->isEnabled());
  EXPECT_FALSE(window->Action(ActionId::SetLaserOn)->isEnabled());
  EXPECT_TRUE(window->Action(ActionId::ConnectLaser)->isEnabled());

  // A first start writes the file when it closes, without a window position at 0,0.
  EXPECT_FALSE(std::ifstream(iniPath()).good());
  closeWindow();
  const qv::IniStore ini = savedIni();
  EXPECT_EQ(ini.sections(),
            (std::vector<std::string>{"Laser", "Automation", "HotKeys", "PresetCurrents"}));
  EXPECT_EQ(ini.readString("Laser", "Port", ""), "1");
  EXPECT_EQ(ini.readString("HotKeys", "SetInternal", ""), "16457");
  EXPECT_TRUE(err.str().empty()) << err.str();
}

TEST_F(MainWindowTest, PositionFromTheCommandLineAndTheMovedWindowWrittenBackWithUnknownKeys) {
  writeIni(
      "; by hand\n[Laser]\nPort=3\nExtra=kept\n[WindowPosition]\nLeft=10\nTop=20\n"
      "[Automation]\nAutoDetect=0\n[HotKeys]\nSetCW=16570\n[Custom]\nA=1\n");
  open({"-LEFT:120", "/top:90", "-PORT:x5"});
  EXPECT_TRUE(until([&] { return window->frameGeometry().topLeft() == QPoint(120, 90); }))
      << window->frameGeometry().x() << "," << window->frameGeometry().y();
  EXPECT_EQ(console().Laser().Port(), 3);  // an unusable -PORT leaves the file's port
  // Ctrl+; (a key without a Qt key here) leaves CW mode without a key; the value stays.
  EXPECT_TRUE(window->Action(ActionId::SetCW)->shortcut().isEmpty());
  EXPECT_EQ(console().Options().HotKeys[hkSetCW], 16570);

  window->move(200, 150);
  ASSERT_TRUE(until([&] { return window->frameGeometry().topLeft() == QPoint(200, 150); }));
  closeWindow();
  const qv::IniStore ini = savedIni();
  EXPECT_EQ(ini.readString("WindowPosition", "Left", ""), "200");
  EXPECT_EQ(ini.readString("WindowPosition", "Top", ""), "150");
  EXPECT_EQ(ini.readString("Laser", "Extra", ""), "kept");
  EXPECT_EQ(ini.readString("Custom", "A", ""), "1");
  EXPECT_EQ(ini.readString("HotKeys", "SetCW", ""), "16570");
  EXPECT_EQ(ini.readString("Automation", "AutoDetect", ""), "0");
  EXPECT_NE(readFile(iniPath()).find("; by hand"), std::string::npos);
}

TEST_F(MainWindowTest, SettingsThatCannotBeSavedAreSaidInOneLineAndTheWindowStillCloses) {
  // Neither the program's folder nor the fallback folder can be made: a file is in the way.
  writeFile(folder.file("blocker"), "a file, not a folder");
  ScopedEnv blocked{"XDG_CONFIG_HOME", folder.file("blocker") + "/config"};
  window = std::make_unique<TQVLaserControlMainFrm>(std::vector<std::string>{},
                                                    folder.file("blocker") + "/program");
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  // The message goes to the program's standard error.
  std::ostringstream captured;
  std::streambuf* old = std::cerr.rdbuf(captured.rdbuf());
  window->close();
  std::cerr.rdbuf(old);
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(window->ShutDownDone());
  const std::string said = captured.str();
  EXPECT_NE(said.find("settings could not be saved"), std::string::npos) << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  window.reset();
}

// --- Hot keys against the laser --------------------------------------------------------------

TEST_F(MainWindowTest, HotKeysSwitchTriggerModesAndSetPresetCurrentsOnceEach) {
  writeIni("[Automation]\nAutoDetect=0\n[PresetCurrents]\n3= 12.5 \n4=12,5\n5=99\n");
  startSim("gen3-2branch");  // two branches, maximum current 35 A each
  open();
  connectByKey();
  ASSERT_TRUE(until([&] { return console().Laser().MaxCurrent(2) == 35.0; }));
  EXPECT_TRUE(window->Action(ActionId::SetLaserOn)->isEnabled());
  EXPECT_TRUE(window->Action(ActionId::ShowAdvanced)->isEnabled());
  int triggered = 0;
  QObject::connect(window->Action(ActionId::SetExternal), &QAction::triggered,
                   [&] { ++triggered; });

  struct Sent {
    std::string command;
    int times;  // for one press of the key
  };
  struct KeyCase {
    const char* what;
    Qt::Key key;
    std::vector<Sent> sent;
  };
  const KeyCase cases[] = {
      {"Ctrl+E: external trigger on both branches", Qt::Key_E, {{"w71 1", 1}, {"w72 1", 1}}},
      {"Ctrl+W: CW on both branches", Qt::Key_W, {{"w71 2", 1}, {"w72 2", 1}}},
      // Internal trigger is one setting of the whole laser; both buttons say so.
      {"Ctrl+I: internal trigger, pressed on both branches", Qt::Key_I, {{"w70 1", 2}}},
      {"Ctrl+3: the preset, blanks trimmed", Qt::Key_3, {{"w61 12.50", 1}, {"w62 12.50", 1}}},
      {"Ctrl+5: a preset above the maximum", Qt::Key_5, {{"w61 35.00", 1}, {"w62 35.00", 1}}},
      {"Ctrl+0: every shown branch to zero", Qt::Key_0, {{"w61 0.00", 1}, {"w62 0.00", 1}}},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.what);
    sim().clearReceived();
    press(c.key, Qt::ControlModifier);
    for (const Sent& s : c.sent) EXPECT_TRUE(receivedAtLeast(s.command, s.times)) << s.command;
    settle(200);
    for (const Sent& s : c.sent) EXPECT_EQ(received(s.command), s.times) << s.command;
  }
  EXPECT_EQ(triggered, 0);  // the keys ran through the key preview, not the action objects

  // A preset with a comma does nothing, and says nothing.
  sim().clearReceived();
  press(Qt::Key_4, Qt::ControlModifier);
  settle(300);
  EXPECT_EQ(received("w61") + received("w62"), 0);

  // The key is the window's also while an edit has the focus (Ctrl+E is "end of line" there).
  QLineEdit* field = control<QLineEdit>("Current1");
  field->setFocus();
  ASSERT_TRUE(until([&] { return field->hasFocus(); }));
  QTest::keyClicks(field, "12");
  field->setCursorPosition(0);
  sim().clearReceived();
  press(Qt::Key_E, Qt::ControlModifier);
  EXPECT_TRUE(receivedAtLeast("w71 1"));
  EXPECT_EQ(field->cursorPosition(), 0);

  // An action object triggered by other means runs its action too.
  sim().clearReceived();
  window->Action(ActionId::SetCW)->trigger();
  EXPECT_TRUE(receivedAtLeast("w72 2"));
}

TEST_F(MainWindowTest, HotKeyChangedInTheOptionsDialogIsAppliedAtOnceAndSaved) {
  writeIni("[Automation]\nAutoDetect=0\n");
  startSim("gen3-2branch");
  open();
  connectByKey();

  // The operator records Ctrl+Q in the internal-trigger field and presses OK.
  WhenShown<qv::OptionDialog> edit([](qv::OptionDialog& d) {
    auto* field = d.findChild<qv::HotKeyEdit*>(QStringLiteral("InternalTrigKey"));
    ASSERT_TRUE(field);
    QTest::keyClick(field, Qt::Key_Q, Qt::ControlModifier);
    d.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
  });
  control<QToolButton>("ChangeOptions")->click();
  ASSERT_TRUE(edit.done());
  EXPECT_EQ(console().Options().HotKeys[hkSetInternal], 16465);

  sim().clearReceived();
  press(Qt::Key_Q, Qt::ControlModifier);
  EXPECT_TRUE(receivedAtLeast("w70 1", 2));  // both internal-trigger buttons
  settle(200);
  sim().clearReceived();
  press(Qt::Key_I, Qt::ControlModifier);
  settle(300);
  EXPECT_EQ(received("w70"), 0);
  EXPECT_TRUE(until(
      [&] { return window->Action(ActionId::SetInternal)->shortcut() == QKeySequence("Ctrl+Q"); }));

  closeWindow();
  EXPECT_EQ(savedIni().readString("HotKeys", "SetInternal", ""), "16465");
}

TEST_F(MainWindowTest, GuardedActionsWaitForTheLaserAndIgnoreTheirKeysWhileDetecting) {
  writeIni("[Automation]\nAutoDetect=0\n[PresetCurrents]\n1=10\n");
  qv::sim::Config slow;
  slow.profile = "gen3-2branch";
  slow.faults.latencyMs = 40;  // long enough a detection to press keys into
  sims.push_back(std::make_unique<qv::sim::Simulator>(slow));
  ASSERT_TRUE(sim().start(kPort, ports.path())) << sim().lastError();
  open();

  // Disconnected: the laser's keys do nothing; the connect key is always there.
  press(Qt::Key_N, Qt::ControlModifier);
  press(Qt::Key_1, Qt::ControlModifier);
  EXPECT_FALSE(console().Laser().Connected());
  press(Qt::Key_L, Qt::ControlModifier);
  ASSERT_TRUE(until([&] { return console().Laser().Detecting(); }));
  settle(20);
  EXPECT_FALSE(window->Action(ActionId::SetLaserOn)->isEnabled());
  EXPECT_FALSE(window->Action(ActionId::SetCurrent1)->isEnabled());
  press(Qt::Key_N, Qt::ControlModifier);
  press(Qt::Key_1, Qt::ControlModifier);
  press(Qt::Key_D, Qt::ControlModifier);
  waitConnected();
  settle(300);
  EXPECT_EQ(received("w60"), 0);
  EXPECT_EQ(received("w61"), 0);
  EXPECT_FALSE(console().Display().advancedOpen);
  EXPECT_TRUE(window->Action(ActionId::SetLaserOn)->isEnabled());

  // Connected: Ctrl+N switches the laser on.
  press(Qt::Key_N, Qt::ControlModifier);
  EXPECT_TRUE(receivedAtLeast("w60 1"));
}

TEST_F(MainWindowTest, CtrlDOpensTheTerminalWithThePasswordPromptAndClosesIt) {
  writeIni("[Automation]\nAutoDetect=0\n");
  startSim("gen3-2branch");
  open();
  connectByKey();
  std::string caption;
  WhenShown<TPasswordDialog> password([&](TPasswordDialog& d) {
    caption = d.windowTitle().toStdString();
    d.edit()->setText(QStringLiteral("se,cret"));
    d.okButton()->click();
  });
  press(Qt::Key_D, Qt::ControlModifier);  // Ctrl is held, as for a Ctrl+click on the tab
  EXPECT_TRUE(password.done());
  EXPECT_EQ(caption, "Service");
  EXPECT_TRUE(receivedAtLeast("w01 se.cret"));
  ASSERT_TRUE(until([&] { return console().Display().advancedOpen && !frame().Animating(); }));
  EXPECT_TRUE(until([&] { return window->Action(ActionId::ShowAdvanced)->isChecked(); }));
  press(Qt::Key_D, Qt::ControlModifier);
  EXPECT_TRUE(until([&] { return !console().Display().advancedOpen && !frame().Animating(); }));
}

TEST_F(MainWindowTest, AltXClosesTheWindowThroughTheNormalShutdown) {
  open({"-PORT:9"});
  window->move(40, 30);
  ASSERT_TRUE(until([&] { return window->frameGeometry().topLeft() == QPoint(40, 30); }));
  press(Qt::Key_X, Qt::AltModifier);
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(window->ShutDownDone());
  const qv::IniStore ini = savedIni();
  EXPECT_EQ(ini.readString("Laser", "Port", ""), "9");
  EXPECT_EQ(ini.readString("WindowPosition", "Left", ""), "40");
}

// --- The numeric key filter ------------------------------------------------------------------

TEST_F(MainWindowTest, NumericKeyFilterOnTheConsoleEditsByTheirTag) {
  writeIni("[Automation]\nAutoDetect=0\n");
  startSim("gen3-2branch");
  open();
  connectByKey();
  struct TypeCase {
    const char* field;
    const char* start;
    const char* typed;
    const char* result;
  };
  const TypeCase cases[] = {
      {"Current1", "", ",", "."},  // a comma becomes the decimal point
      {"Current1", "", "1,5", "1.5"},
      {"Current1", "1.5", ".", "1.5"},  // a second point is swallowed
      {"Current1", "1.5", ",", "1.5"},
      {"Current2", "", "-7a b+", "7"},  // minus sign, letters, blanks, plus: swallowed
      {"Current2", "", "12.75", "12.75"},
      {"CmdBox", "", "r01,-x", "r01,-x"},  // the terminal's line is free text
  };
  QTabBar* tabs = frame().TabSet1();
  for (const TypeCase& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " <- " + c.typed);
    const bool terminal = std::string(c.field) == "CmdBox";
    if (terminal && !console().Display().advancedOpen) {
      for (int i = 0; i < tabs->count(); ++i)
        if (tabs->tabText(i) == "Advanced") tabs->setCurrentIndex(i);
      ASSERT_TRUE(until([&] { return console().Display().advancedOpen && !frame().Animating(); }));
    }
    auto* field = control<QLineEdit>(c.field);
    field->setText(QString::fromLatin1(c.start));
    field->setFocus();
    ASSERT_TRUE(until([&] { return field->hasFocus(); }));
    field->end(false);
    QTest::keyClicks(field, QString::fromLatin1(c.typed));
    EXPECT_EQ(field->text().toStdString(), c.result);
  }

  // Text an input method composes is typed too.
  auto* field = control<QLineEdit>("Current1");
  field->clear();
  field->setFocus();
  ASSERT_TRUE(until([&] { return field->hasFocus(); }));
  QInputMethodEvent composed;
  composed.setCommitString(QStringLiteral("1,\u00e95"));
  QCoreApplication::sendEvent(field, &composed);
  EXPECT_EQ(field->text(), "1.5");
}

TEST_F(MainWindowTest, FrequencyFieldsKeepTheirOwnTypingRule) {
  writeIni("[Automation]\nAutoDetect=0\n");
  startSim("gen3-2branch");
  open();
  connectByKey();
  QTabBar* tabs = frame().TabSet1();
  for (int i = 0; i < tabs->count(); ++i)
    if (tabs->tabText(i) == "Frequency") tabs->setCurrentIndex(i);
  auto* field = control<QLineEdit>("Frequency1");
  ASSERT_TRUE(until([&] { return field->isVisible(); }));
  field->setFocus();
  ASSERT_TRUE(until([&] { return field->hasFocus(); }));
  field->clear();
  // The field's own typing rule, not the numeric filter: the suffix stays, the comma is its own.
  QTest::keyClicks(field, "2,5kx");
  EXPECT_EQ(field->text(), "2.5k");
}

// --- The options dialog as the window uses it -----------------------------------------------

TEST_F(MainWindowTest,
       OptionsOkWithAnotherPortConnectsThereAndDetectionChangesWaitForDisconnection) {
  writeIni("[Automation]\nAutoDetect=1\nDetectInterval=50\n");
  startSim("gen3-2branch");  // serial 1234 on COM6
  startSim("gen2", 8);       // serial 412 on COM8
  open();
  waitConnected();  // found by automatic detection
  EXPECT_EQ(window->windowTitle(), "SN1234 - Quorvane Laser Control");
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), "SN1234 - Quorvane Laser Control");

  // Another port, and detection switched off, while connected.
  WhenShown<qv::OptionDialog> change([](qv::OptionDialog& d) {
    auto* port = d.findChild<QComboBox*>(QStringLiteral("LaserPort"));
    port->setEditText(QStringLiteral(" com8 "));
    d.findChild<QCheckBox*>(QStringLiteral("AutoDetect"))->setChecked(false);
    d.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
  });
  control<QToolButton>("ChangeOptions")->click();
  ASSERT_TRUE(change.done());
  EXPECT_EQ(console().Laser().Port(), 8);
  ASSERT_TRUE(until([&] { return window->windowTitle() == "SN 412 - Quorvane Laser Control"; }))
      << window->windowTitle().toStdString();
  // Only stored while a laser is connected.
  EXPECT_FALSE(console().Options().DetectEnabled);
  EXPECT_TRUE(console().AutoDetect()->Active());

  // Disconnected: a new interval reaches the automation object at once; the switch, stored as
  // off already, waits for a change of its own.
  press(Qt::Key_L, Qt::ControlModifier);
  ASSERT_TRUE(until([&] { return !console().Laser().Connected(); }));
  EXPECT_EQ(window->windowTitle(), "TESSARIX - Quorvane Laser Control");
  WhenShown<qv::OptionDialog> interval([](qv::OptionDialog& d) {
    EXPECT_FALSE(d.findChild<QCheckBox*>(QStringLiteral("AutoDetect"))->isChecked());
    d.findChild<QSpinBox*>(QStringLiteral("DetectTime"))->setValue(1500);
    d.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
  });
  control<QToolButton>("ChangeOptions")->click();
  ASSERT_TRUE(interval.done());
  EXPECT_EQ(console().AutoDetect()->Interval(), 1500);
  EXPECT_TRUE(console().AutoDetect()->Active());

  closeWindow();
  const qv::IniStore ini = savedIni();
  EXPECT_EQ(ini.readString("Laser", "Port", ""), "8");
  EXPECT_EQ(ini.readString("Automation", "AutoDetect", ""), "0");
  EXPECT_EQ(ini.readString("Automation", "DetectInterval", ""), "1500");
}

// --- Extension windows -----------------------------------------------------------------------

TEST_F(MainWindowTest, ExtensionWindowDocksBesideTheMainWindowAndClosesAtDisconnection) {
  writeIni("[Automation]\nAutoDetect=0\n");
  writeFile(folder.file("ps.ext"),
            "[Extension]\nSN=412\nName=PS $1\nCaptionCommand=Command1\nOnStart=R01\n"
            "NewCommands=1\nPosition=Right\nWidth=220\nHeight=120\nSpaceX=5\nSpaceY=10\n"
            "Buttons=1\n[Command1]\nCommandText=R01\nPattern=S/N: (\\d+)\n"
            "[Button1]\nLeft=8\nTop=8\nWidth=90\nHeight=28\nName=Flow\nCommand=r91\n");
  writeFile(folder.file("other.ext"), "[Extension]\nSN=999\nName=Other\n");
  startSim("gen2");  // serial 412
  open({"-PORT:6", "-LEFT:100", "-TOP:50"});
  ASSERT_EQ(window->Shell().StartUp().extensionFiles.size(), 2u);
  connectByKey();
  TExtensionTab* tab = nullptr;
  for (TExtensionTab* t : window->Shell().Extensions().tabs())
    if (t->FileName == "ps.ext") tab = t;
  ASSERT_TRUE(tab);
  qv::ExtensionToolWindow* w = nullptr;
  ASSERT_TRUE(until([&] {
    w = window->ExtensionWindows().window(*tab);
    return w && w->isVisible();
  }));
  EXPECT_EQ(w->parentWidget(), window.get());
  const QRect main = window->frameGeometry();
  EXPECT_TRUE(until([&] {
    return w->frameGeometry() == QRect(main.right() + 1 + 5, main.top() + 10, 220, 120);
  })) << w->frameGeometry().x()
      << "," << w->frameGeometry().y();
  EXPECT_TRUE(until([&] { return w->windowTitle() == "PS 412"; }))
      << w->windowTitle().toStdString();

  // It follows the main window.
  window->move(30, 20);
  EXPECT_TRUE(until([&] {
    return w->frameGeometry().topLeft() == QPoint(window->frameGeometry().right() + 1 + 5, 30);
  }));
  sim().clearReceived();
  QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
  EXPECT_TRUE(receivedAtLeast("r91"));

  QPointer<qv::ExtensionToolWindow> gone = w;
  press(Qt::Key_L, Qt::ControlModifier);
  EXPECT_TRUE(until([&] { return gone.isNull(); }));
  EXPECT_EQ(window->windowTitle(), "TESSARIX - Quorvane Laser Control");
}

}  // namespace
