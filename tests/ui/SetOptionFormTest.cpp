// The options dialog on a console: its controls, OK with good and bad port texts, Cancel, the
// detection check box, edits reported through KeysChanged, and the port list probed off the
// main thread.
#include "ui/SetOptionForm.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>

#include "console/QVLaserControl.h"
#include "engine/Simulator.h"
#include "shell/KeyFilter.h"
#include "support/TempDir.h"
#include "ui/MainThreadBridge.h"
#include "ui/ShortCutKeys.h"

namespace {

class OptionDialogTest : public ::testing::Test {
 protected:
  qv::test::PortsDir ports;
  TQVLaserControl console{std::make_unique<qv::LoopTimer>()};
  qv::OptionDialog dialog;

  void SetUp() override {
    console.SetAutoDetect(std::make_unique<TLaserCtrlAutomation>());
    TOptions& o = console.Options();
    o.Port = 2;
    o.DetectEnabled = false;
    o.DetectInterval = 50;
    o.HotKeys = {16460, 16457, 16453, 16471, 16462, 16467, 16432};
    console.Laser().SetPort(2);
  }
  void TearDown() override {
    if (console.Laser().Connected()) {
      console.ConnectLaserClick();
      qv::runEventLoopUntil([&] { return !console.Laser().Connected(); }, 5000);
    }
  }

  template <class T>
  T* control(const char* name) {
    T* w = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_TRUE(w) << name;
    return w;
  }
  QComboBox* port() { return control<QComboBox>("LaserPort"); }
  QTabWidget* tabs() { return control<QTabWidget>("PageControl1"); }
  void click(const char* button) { control<QPushButton>(button)->click(); }

  // Runs the console's options operation; whileOpen acts on the shown dialog and closes it.
  // Returns whether AfterChangeOption is due.
  bool edit(const std::function<void()>& whileOpen) {
    QTimer::singleShot(0, &dialog, [&] {
      whileOpen();
      if (dialog.isVisible()) {
        ADD_FAILURE() << "the dialog was left open";
        dialog.reject();
      }
    });
    return dialog.editOptions(console);
  }
};

// Closes the port error box as soon as it is shown and keeps what it said.
struct ErrorBoxCatcher {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int seen = 0;
  QTimer timer;

  explicit ErrorBoxCatcher(QWidget& dialog) {
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [this, &dialog] {
      auto* box = dialog.findChild<QMessageBox*>(QStringLiteral("UnknownPortBox"));
      if (!box || !box->isVisible()) return;
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      ++seen;
      box->accept();
    });
    timer.start();
  }
};

TEST_F(OptionDialogTest, ControlsAsDesigned) {
  ASSERT_EQ(tabs()->count(), 4);
  EXPECT_EQ(tabs()->tabText(0), "General");
  EXPECT_EQ(tabs()->tabText(1), "Hot keys");
  EXPECT_EQ(tabs()->tabText(2), "Preset currents");
  EXPECT_EQ(tabs()->tabText(3), "About");
  EXPECT_TRUE(control<QPushButton>("BitBtn1")->isDefault());
  QStringList groups;
  for (auto* g : dialog.findChildren<QGroupBox*>()) groups << g->title();
  EXPECT_EQ(groups, (QStringList{" Laser ", " Automation "}));
  QStringList labels;
  for (auto* l : dialog.findChildren<QLabel*>()) labels << l->text();
  for (const char* text :
       {"Laser port", "Port marked with * in drop-down list is the one this program is using.",
        "ms after disconnected", "Connect / disconnect Laser", "Internal Trigger",
        "External Trigger", "CW mode", "Laser ON", "Laser OFF", "Set current to 0", "Ctrl+1",
        "Ctrl+5", "Ctrl+9",
        "Nominal current of ALL branches will be set to the specified or maximum value allowed "
        "when "
        "the hot key is pressed. If you don't want to use the shortcut, please leave the field "
        "blank.",
        "Quorvane Laser Control", "Ver."})
    EXPECT_TRUE(labels.contains(QString::fromLatin1(text))) << text;
  EXPECT_EQ(control<QCheckBox>("AutoDetect")->text(), "Detect Laser connection for every");
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$"))
                  .match(control<QLabel>("FileVersion")->text())
                  .hasMatch());
  EXPECT_FALSE(control<QLabel>("Image1")->pixmap().isNull());

  QSpinBox* detect = control<QSpinBox>("DetectTime");
  EXPECT_EQ(detect->minimum(), 50);
  EXPECT_EQ(detect->maximum(), 32767);
  EXPECT_EQ(detect->singleStep(), 500);
  EXPECT_FALSE(detect->isGroupSeparatorShown());
  // The update fields exist for the record but are never shown.
  dialog.show();
  EXPECT_FALSE(control<QCheckBox>("AutoUpdate")->isVisible());
  EXPECT_FALSE(control<QSpinBox>("UpdateTime")->isVisible());
  dialog.hide();

  // What the main window's key filter reads: numeric preset fields, a free-text port field.
  for (int n = 1; n <= 9; ++n) {
    auto* edit = control<QLineEdit>(qPrintable(QStringLiteral("Current%1").arg(n)));
    EXPECT_EQ(edit->property(qv::kTagProperty).toInt(), 0);
  }
  EXPECT_EQ(std::uint32_t(port()->property(qv::kTagProperty).toInt()), qv::kFreeTextTagMask);
  EXPECT_EQ(std::uint32_t(port()->lineEdit()->property(qv::kTagProperty).toInt()),
            qv::kFreeTextTagMask);
  for (QLineEdit* edit : dialog.findChildren<QLineEdit*>())
    EXPECT_TRUE(edit->property(qv::kTagProperty).isValid()) << qPrintable(edit->objectName());
}

// Pictures of the tabs for a person to look at (QV_SNAPSHOT_DIR=folder).
TEST_F(OptionDialogTest, Snapshots) {
  const char* dir = std::getenv("QV_SNAPSHOT_DIR");
  if (!dir) GTEST_SKIP() << "QV_SNAPSHOT_DIR not set";
  console.Options().PresetCurrents[1] = "12.5";
  console.Options().PresetCurrents[5] = "20";
  console.Options().DetectEnabled = true;
  qv::sim::Simulator laser("gen2");
  ASSERT_TRUE(laser.start(3, ports.path())) << laser.lastError();
  ports.linkDangling(4);
  edit([&] {
    for (int i = 0; i < tabs()->count(); ++i) {
      tabs()->setCurrentIndex(i);
      QCoreApplication::processEvents();
      dialog.grab().save(
          QStringLiteral("%1/options-%2.png").arg(QString::fromLocal8Bit(dir)).arg(i));
    }
    tabs()->setCurrentIndex(0);
    port()->showPopup();
    dialog.grab().save(QStringLiteral("%1/options-probing.png").arg(QString::fromLocal8Bit(dir)));
    qv::runEventLoopUntil([&] { return !dialog.probing(); }, 15000);
    port()->view()->window()->grab().save(
        QStringLiteral("%1/options-list.png").arg(QString::fromLocal8Bit(dir)));
    port()->hidePopup();
    click("BitBtn2");
  });
}

TEST_F(OptionDialogTest, OkTakesAValidPortText) {
  for (bool enterKey : {false, true}) {
    console.Options().Port = 2;
    EXPECT_TRUE(edit([&] {
      EXPECT_EQ(port()->currentText(), "COM2");
      port()->setEditText(enterKey ? QStringLiteral("com13") : QStringLiteral("  com12 "));
      if (enterKey)
        QTest::keyClick(port()->lineEdit(), Qt::Key_Return);  // OK is the default button
      else
        click("BitBtn1");
    }));
    const int expected = enterKey ? 13 : 12;
    EXPECT_EQ(console.Options().Port, expected);
    EXPECT_EQ(console.Laser().Port(), expected);  // the console tried the new port at once
  }
}

TEST_F(OptionDialogTest, OkRefusesABadPortTextAndStaysOnGeneral) {
  for (const char* text : {"COM0", "COM257", "COMx", "5", ""}) {
    ErrorBoxCatcher box(dialog);
    bool stayedOpen = false;
    EXPECT_FALSE(edit([&] {
      tabs()->setCurrentIndex(2);
      control<QLineEdit>("Current4")->setFocus();
      port()->setEditText(QString::fromLatin1(text));
      click("BitBtn1");
      stayedOpen = dialog.isVisible();
      EXPECT_EQ(tabs()->currentIndex(), 0) << text;
      QWidget* focus = dialog.focusWidget();
      EXPECT_TRUE(focus == port() || focus == port()->lineEdit()) << text;
      click("BitBtn2");
    }));
    EXPECT_TRUE(stayedOpen) << text;
    EXPECT_EQ(box.seen, 1) << text;
    EXPECT_EQ(box.title, "Unknown Port");
    EXPECT_EQ(box.text, "Please check the Laser port again!\n(Valid port: COM1 ~ COM256)");
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(console.Options().Port, 2) << text;
  }
}

TEST_F(OptionDialogTest, DetectionCheckBoxEnablesItsField) {
  EXPECT_TRUE(edit([&] {
    auto* check = control<QCheckBox>("AutoDetect");
    auto* field = control<QSpinBox>("DetectTime");
    EXPECT_FALSE(check->isChecked());
    EXPECT_FALSE(field->isEnabled());
    check->click();
    EXPECT_TRUE(field->isEnabled());
    field->setValue(550);
    check->click();
    EXPECT_FALSE(field->isEnabled());
    check->click();
    click("BitBtn1");
  }));
  EXPECT_TRUE(console.Options().DetectEnabled);
  EXPECT_EQ(console.Options().DetectInterval, 550);
  EXPECT_TRUE(console.AutoDetect()->Active());
  EXPECT_EQ(console.AutoDetect()->Interval(), 550);
}

TEST_F(OptionDialogTest, EditsOfKeysAndPresetsAreReported) {
  enum class Edit { Nothing, Preset, HotKey };
  enum class Close { Ok, Cancel, Esc, Window };
  const struct {
    const char* what;
    Edit edit;
    Close close;
    bool due, applied;
  } cases[] = {
      {"untouched OK", Edit::Nothing, Close::Ok, false, false},
      {"preset, OK", Edit::Preset, Close::Ok, true, true},
      {"hot key, OK", Edit::HotKey, Close::Ok, true, true},
      {"preset, Cancel", Edit::Preset, Close::Cancel, false, false},
      {"hot key, Esc", Edit::HotKey, Close::Esc, false, false},
      {"preset, window closed", Edit::Preset, Close::Window, true, false},
  };
  for (const auto& c : cases) {
    console.Options().PresetCurrents[3].clear();
    console.Options().HotKeys[hkSetInternal] = 16457;
    const TOptions before = console.Options();
    const bool due = edit([&] {
      if (c.edit == Edit::Preset)
        QTest::keyClicks(control<QLineEdit>("Current3"), QStringLiteral("12.5"));
      if (c.edit == Edit::HotKey)
        QTest::keyClick(control<QWidget>("InternalTrigKey"), Qt::Key_Q, Qt::ControlModifier);
      switch (c.close) {
        case Close::Ok:
          click("BitBtn1");
          break;
        case Close::Cancel:
          click("BitBtn2");
          break;
        case Close::Esc:
          QTest::keyClick(&dialog, Qt::Key_Escape);
          break;
        case Close::Window:
          dialog.close();
          break;
      }
    });
    EXPECT_EQ(due, c.due) << c.what;
    EXPECT_EQ(console.Options() != before, c.applied) << c.what;
    if (c.applied && c.edit == Edit::Preset) {
      EXPECT_EQ(console.Options().PresetCurrents[3], "12.5");
    }
    if (c.applied && c.edit == Edit::HotKey) {
      EXPECT_EQ(console.Options().HotKeys[hkSetInternal], 0x4051);
    }
  }
}

// Opens the port list and counts timer ticks of the main thread until the probe has answered.
struct ProbeWatch {
  int ticksWhileProbing = 0;
  bool searchingShown = false;
  QStringList items;

  void run(qv::OptionDialog& dialog, QComboBox* port) {
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      if (dialog.probing()) ++ticksWhileProbing;
    });
    ticker.start();
    const int before = dialog.probesFinished();
    port->showPopup();
    // The opening returned at once: the probe runs on.
    searchingShown =
        dialog.probing() && port->count() == 1 && port->itemText(0) == qv::kSearchingText;
    EXPECT_TRUE(dialog.findChild<QProgressBar*>(QStringLiteral("ProbeProgress"))->isVisible());
    EXPECT_TRUE(qv::runEventLoopUntil([&] { return dialog.probesFinished() > before; }, 15000));
    EXPECT_FALSE(dialog.findChild<QProgressBar*>(QStringLiteral("ProbeProgress"))->isVisible());
    for (int i = 0; i < port->count(); ++i) items << port->itemText(i);
  }
};

TEST_F(OptionDialogTest, PortListIsProbedWithoutBlockingTheWindow) {
  qv::sim::Simulator laser("gen2");  // serial number 412
  ASSERT_TRUE(laser.start(3, ports.path())) << laser.lastError();
  qv::sim::Config quiet;
  quiet.faults.silent = true;
  qv::sim::Simulator silent(quiet);
  ASSERT_TRUE(silent.start(7, ports.path())) << silent.lastError();
  ports.linkDangling(4);

  ProbeWatch first;
  EXPECT_FALSE(edit([&] {
    first.run(dialog, port());
    port()->hidePopup();
    click("BitBtn2");
  }));
  EXPECT_TRUE(first.searchingShown);
  EXPECT_GT(first.ticksWhileProbing, 0);
  EXPECT_EQ(first.items, (QStringList{"COM3 - SN0412", "COM4 - Not exists", "COM7"}));

  // Connected through COM3: that port is marked, not probed; a chosen item is cut to its name.
  console.Laser().SetPort(3);
  console.Options().Port = 3;
  int connected = 0;
  console.OnLaserConnected = [&](TObject*) { ++connected; };
  console.ConnectLaserClick();
  ASSERT_TRUE(qv::runEventLoopUntil([&] { return connected == 1; }, 10000));
  ProbeWatch second;
  EXPECT_FALSE(edit([&] {
    second.run(dialog, port());
    ASSERT_EQ(port()->itemText(0), "COM3 - SN0412 *");
    QTest::keyClick(port()->view(), Qt::Key_Down);
    QTest::keyClick(port()->view(), Qt::Key_Return);
    EXPECT_TRUE(qv::runEventLoopUntil(
        [&] {
          return port()->currentText() == "COM3" && port()->lineEdit()->selectedText() == "COM3";
        },
        5000))
        << qPrintable(port()->currentText());
    click("BitBtn1");
  }));
  EXPECT_EQ(second.items, (QStringList{"COM3 - SN0412 *", "COM4 - Not exists", "COM7"}));
  EXPECT_EQ(console.Options().Port, 3);
  EXPECT_TRUE(console.Laser().Connected());
}

// Closing the program while the list is being probed: the dialog waits for the probe, and its
// late answer goes nowhere.
TEST_F(OptionDialogTest, DestroyedWhileProbing) {
  qv::sim::Config quiet;
  quiet.faults.silent = true;
  qv::sim::Simulator silent(quiet);
  ASSERT_TRUE(silent.start(7, ports.path())) << silent.lastError();
  auto probing = std::make_unique<qv::OptionDialog>();
  probing->show();
  probing->findChild<QComboBox*>(QStringLiteral("LaserPort"))->showPopup();
  EXPECT_TRUE(probing->probing());
  probing.reset();
  qv::runEventLoopUntil([] { return false; }, 100);
}

}  // namespace
