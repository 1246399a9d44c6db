// Extension tool windows beside a stand-in main window, on a console connected to the simulator.
#include "ui/ExtensionWindow.h"

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "console/QVLaserControl.h"
#include "engine/Simulator.h"
#include "support/TempDir.h"
#include "ui/MainThreadBridge.h"

namespace {

class ExtensionWindowTest : public ::testing::Test {
 protected:
  qv::test::PortsDir ports;
  qv::test::TempDir folder;
  std::unique_ptr<qv::sim::Simulator> sim;
  TQVLaserControl console{std::make_unique<qv::LoopTimer>()};
  qv::ExtensionManager manager{console};
  QWidget main;  // stands in for the main window
  std::unique_ptr<qv::ExtensionWindows> windows;
  int connected = 0, disconnected = 0;

  void SetUp() override {
    console.SetAutoDetect(std::make_unique<TLaserCtrlAutomation>());
    console.OnLaserConnected = [this](TObject*) { ++connected; };
    console.OnLaserDisconnected = [this](TObject*) { ++disconnected; };
    main.setWindowTitle(QStringLiteral("main"));
    main.show();
    // Outer frame at 100,50, 600 wide (the frame's own width whatever the platform draws).
    main.resize(600 - frameExtra(main).width(), 200 - frameExtra(main).height());
    main.move(100, 50);
    ASSERT_TRUE(qv::runEventLoopUntil(
        [&] { return main.frameGeometry() == QRect(100, 50, 600, 200); }, 5000))
        << qPrintable(rectText(main.frameGeometry()));
    windows = std::make_unique<qv::ExtensionWindows>(manager, &main);
  }
  void TearDown() override {
    if (console.Laser().Connected()) {
      console.ConnectLaserClick();
      run([&] { return !console.Laser().Connected(); });
    }
    windows.reset();
  }

  static QSize frameExtra(const QWidget& w) {
    return w.frameGeometry().size() - w.geometry().size();
  }
  static QString rectText(const QRect& r) {
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
  }
  bool run(const std::function<bool()>& done, int ms = 10000) {
    return qv::runEventLoopUntil(done, ms);
  }
  void write(const std::string& name, const std::string& text) {
    std::ofstream(folder.file(name), std::ios::binary) << text;
  }
  void connectTo(const std::string& profile) {
    sim = std::make_unique<qv::sim::Simulator>(profile);
    ASSERT_TRUE(sim->start(5, ports.path())) << sim->lastError();
    console.Laser().SetPort(5);
    const int before = connected;
    console.ConnectLaserClick();
    ASSERT_TRUE(run([&] { return connected == before + 1; }));
  }
  TExtensionTab* tab(const std::string& file) {
    for (TExtensionTab* t : manager.tabs())
      if (t->FileName == file) return t;
    return nullptr;
  }
  int received(const std::string& text) const {
    const auto all = sim->received();
    return static_cast<int>(std::count(all.begin(), all.end(), text));
  }
};

// Serial 412 (the simulator's generation-2 laser): the caption and the display label show the
// reply to a custom command the catalogue does not know ("R01"); the label text comes with a
// Windows-1252 degree sign.
const char* kWindowFile =
    "[Extension]\nSN=412\nName=PS $1\nCaptionCommand=Command1\nOnStart=R01\nNewCommands=1\n"
    "Position=Right\nWidth=220\nHeight=120\nSpaceX=5\nSpaceY=10\nButtons=2\nLabels=2\n"
    "[Command1]\nCommandText=R01\nPattern=S/N: (\\d+)\n"
    "[Button1]\nLeft=8\nTop=8\nWidth=90\nHeight=28\nName=Both\nCommand= R01 | r60 \n"
    "Font.Name=DejaVu Sans\nFont.Size=11\nFont.Bold=1\n"
    "[Button2]\nLeft=110\nTop=8\n"
    "[Label1]\nLeft=8\nTop=50\nType=QVCOMMAND\nName=<$1> <b>\n"
    "[Label2]\nLeft=8\nTop=80\nName=Temp \xB0"
    "C\nFont.Italic=1\n";

TEST_F(ExtensionWindowTest, OpensDockedBesideTheMainWindowCaptionsAndCloses) {
  write("a.ext", kWindowFile);
  write("other.ext", "[Extension]\nSN=1234\n");
  manager.loadFolder(folder.path());
  connectTo("gen2");
  TExtensionTab* a = tab("a.ext");
  ASSERT_TRUE(a && a->IsOpen());
  EXPECT_FALSE(windows->window(*tab("other.ext")));
  qv::ExtensionToolWindow* w = windows->window(*a);
  ASSERT_TRUE(w);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->parentWidget(), &main);
  EXPECT_TRUE(w->windowFlags() & Qt::Tool);
  EXPECT_TRUE(w->windowFlags() & Qt::WindowTitleHint);
  EXPECT_FALSE(w->windowFlags() & Qt::WindowCloseButtonHint);
  // RIGHT with SpaceX 5 and SpaceY 10 beside 100,50 and 600 wide; the outer size as the file says.
  EXPECT_TRUE(run([&] { return w->frameGeometry() == QRect(705, 60, 220, 120); }))
      << qPrintable(rectText(w->frameGeometry()));

  // Caption and display label follow the reply to the start-up command.
  EXPECT_TRUE(run([&] { return w->windowTitle() == "PS 412"; })) << qPrintable(w->windowTitle());
  ASSERT_TRUE(w->displayLabel());
  EXPECT_TRUE(run([&] { return w->displayLabel()->text() == "<412> <b>"; }));
  EXPECT_EQ(w->displayLabel()->textFormat(), Qt::PlainText);
  EXPECT_EQ(w->displayLabel()->pos(), QPoint(8, 50));
  EXPECT_GE(w->displayLabel()->width(), w->displayLabel()->sizeHint().width());
  auto* plain = w->findChild<QLabel*>(QStringLiteral("Label2"));
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->text(), QStringLiteral("Temp \u00B0C"));
  EXPECT_TRUE(plain->font().italic());

  // Buttons: bounds, captions and fonts from the file; a click sends the command list.
  auto* both = w->findChild<QPushButton*>(QStringLiteral("Button1"));
  auto* second = w->findChild<QPushButton*>(QStringLiteral("Button2"));
  ASSERT_TRUE(both && second);
  EXPECT_EQ(both->geometry(), QRect(8, 8, 90, 28));
  EXPECT_EQ(both->text(), "Both");
  EXPECT_EQ(both->font().family(), "DejaVu Sans");
  EXPECT_EQ(both->font().pointSize(), 11);
  EXPECT_TRUE(both->font().bold());
  EXPECT_EQ(second->geometry(), QRect(110, 8, 50, 30));
  EXPECT_EQ(second->text(), "Button2");
  sim->clearReceived();
  QTest::mouseClick(both, Qt::LeftButton);
  EXPECT_TRUE(run([&] { return received("R01") >= 1 && received("r60") >= 1; }));

  // The operator cannot close it.
  QCloseEvent close;
  QCoreApplication::sendEvent(w, &close);
  EXPECT_FALSE(close.isAccepted());
  EXPECT_TRUE(w->isVisible());

  // It follows the main window when that moves and when it is resized.
  main.move(40, 30);
  EXPECT_TRUE(run([&] { return w->frameGeometry().topLeft() == QPoint(645, 40); }))
      << qPrintable(rectText(w->frameGeometry()));
  main.resize(main.width() + 100, main.height());
  EXPECT_TRUE(run([&] { return w->frameGeometry().topLeft() == QPoint(745, 40); }))
      << qPrintable(rectText(w->frameGeometry()));

  if (const char* dir = std::getenv("QV_SNAPSHOT_DIR"))
    w->grab().save(QStringLiteral("%1/extension-window.png").arg(QString::fromLocal8Bit(dir)));

  // Disconnection closes it; the next connection of a listed laser opens it again.
  QPointer<qv::ExtensionToolWindow> gone = w;
  console.ConnectLaserClick();
  ASSERT_TRUE(run([&] { return disconnected == 1; }));
  EXPECT_FALSE(windows->window(*a));
  EXPECT_TRUE(run([&] { return gone.isNull(); }));
  connectTo("gen2");
  w = windows->window(*a);
  ASSERT_TRUE(w);
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(run([&] { return w->frameGeometry() == QRect(745, 40, 220, 120); }))
      << qPrintable(rectText(w->frameGeometry()));
  EXPECT_TRUE(run([&] { return w->windowTitle() == "PS 412"; }));
}

TEST_F(ExtensionWindowTest, UndockedWindowIsLeftWhereTheWindowSystemPutsIt) {
  write("free.ext", "[Extension]\nSN=412\nName=Free\nPosition=middle\nWidth=150\nHeight=90\n");
  manager.loadFolder(folder.path());
  connectTo("gen2");
  qv::ExtensionToolWindow* w = windows->window(*tab("free.ext"));
  ASSERT_TRUE(w);
  EXPECT_EQ(w->windowTitle(), "Free");
  EXPECT_TRUE(run([&] { return w->frameGeometry().size() == QSize(150, 90); }));
  const QPoint at = w->frameGeometry().topLeft();
  main.move(300, 200);
  run([] { return false; }, 100);
  EXPECT_EQ(w->frameGeometry().topLeft(), at);
}

}  // namespace
