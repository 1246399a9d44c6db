// qvlaser-snapshots DIR: starts the virtual laser in this process for every kind of laser it
// knows, lets the console frame identify it, and writes pictures of the frame in its states into
// DIR as <kind>-<state>.png (offscreen). For people to look at; nothing compares them.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/Simulator.h"
#include "settings/Options.h"
#include "ui/MainThreadBridge.h"
#include "ui/QVLaserControlFrame.h"
#include "widgets/GraphicsEx.h"

namespace {

constexpr int kPort = 7;

class Snapshots {
 public:
  Snapshots(const QString& dir, const std::string& portsDir) : dir_(dir), portsDir_(portsDir) {}

  bool run(const std::string& profile) {
    qv::sim::Simulator sim(profile);
    if (!sim.start(kPort, portsDir_)) {
      std::fprintf(stderr, "%s: %s\n", profile.c_str(), sim.lastError().c_str());
      return false;
    }
    auto frame = std::make_unique<TQVLaserControlFrame>();
    TQVLaserControl& console = frame->Console();
    console.SetAutoDetect(std::make_unique<TLaserCtrlAutomation>());
    console.Laser().SetPort(kPort);
    bool connected = false;
    console.OnLaserConnected = [&](TObject*) { connected = true; };
    frame->show();
    settle(*frame, 100);
    save(*frame, profile, "disconnected");

    frame->ConnectLaserClick();
    if (!qv::runEventLoopUntil([&] { return connected && !frame->Animating(); }, 20000)) {
      std::fprintf(stderr, "%s: no identification\n", profile.c_str());
      return false;
    }
    settle(*frame, 1500);  // the first answers of the background reads
    save(*frame, profile, "connected");

    const TConsoleDisplay& d = console.Display();
    if (d.protectionPanelVisible) {
      dragInfoPanel(*frame, -300);
      save(*frame, profile, "protection");
      dragInfoPanel(*frame, 300);
    }

    if (console.Laser().WarmUpRequired()) {
      // A cold laser: Laser On starts the warm-up; then it counts as warmed up.
      frame->LaserOnButton()->click();
      qv::runEventLoopUntil([&] { return d.status.caption == 1; }, 5000);
      settle(*frame, 300);
      save(*frame, profile, "warming-up");
      sim.control("warmup done");
      qv::runEventLoopUntil([&] { return d.status.caption == 2; }, 5000);
      settle(*frame, 300);
      save(*frame, profile, "warmed-up");
    }

    sim.control("laser on");
    qv::runEventLoopUntil([&] { return d.status.caption == 0; }, 5000);
    settle(*frame, 300);
    save(*frame, profile, "laser-on");
    sim.control("laser off");

    sim.setWarnings({86});
    qv::runEventLoopUntil([&] { return d.status.badgeVisible; }, 5000);
    settle(*frame, 300);
    save(*frame, profile, "warning");
    sim.setWarnings({});

    sim.setErrors({80, 1042});
    qv::runEventLoopUntil([&] { return d.status.symbol == 2; }, 5000);
    settle(*frame, 300);
    save(*frame, profile, "error");
    sim.setErrors({});
    qv::runEventLoopUntil([&] { return d.status.symbol != 2; }, 5000);

    record(*frame, profile);

    frame->SelectTab(QStringLiteral("Advanced"));
    qv::runEventLoopUntil([&] { return !frame->Animating(); }, 5000);
    console.SendCommandLine("r01|r60|r02");
    // The answer to the last command is in the log (after the commands still queued).
    qv::runEventLoopUntil(
        [&] { return console.TerminalLog().Text().find("S/N LASER") != std::string::npos; }, 10000);
    settle(*frame, 400);
    save(*frame, profile, "advanced");
    frame->CloseAdvancedPanelClick();
    qv::runEventLoopUntil([&] { return !frame->Animating(); }, 5000);

    for (const std::string& tab : d.layout.tabs) {
      if (tab == "Advanced") continue;
      frame->SelectTab(QString::fromStdString(tab));
      settle(*frame, 50);
      save(*frame, profile, "tab-" + tab);
    }

    frame->ConnectLaserClick();
    qv::runEventLoopUntil([&] { return d.coverShown && !frame->Animating(); }, 5000);
    settle(*frame, 100);
    save(*frame, profile, "disconnected-again");
    frame.reset();
    sim.stop();
    saveSheet(profile);
    return true;
  }

 private:
  static void settle(QWidget&, int ms) {
    qv::runEventLoopUntil([] { return false; }, ms);
  }

  void save(QWidget& frame, const std::string& profile, const std::string& state) {
    const QString file =
        dir_ + QStringLiteral("/%1-%2.png")
                   .arg(QString::fromStdString(profile), QString::fromStdString(state));
    const QImage picture = frame.grab().toImage();
    sheet_.push_back(picture);
    if (!picture.save(file))
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    else
      std::printf("%s\n", qPrintable(file));
  }

  // All pictures of one kind of laser one below the other, 4 pixels apart: <kind>-all.png.
  void saveSheet(const std::string& profile) {
    int height = 0, width = 0;
    for (const QImage& i : sheet_) {
      height += i.height() + 4;
      width = std::max(width, i.width());
    }
    QImage all(width, height, QImage::Format_RGB32);
    all.fill(Qt::darkGray);
    QPainter p(&all);
    int y = 0;
    for (const QImage& i : sheet_) {
      p.drawImage(0, y, i);
      y += i.height() + 4;
    }
    p.end();
    all.save(dir_ + QStringLiteral("/%1-all.png").arg(QString::fromStdString(profile)));
    sheet_.clear();
  }

  // A slow drag of the information panel by dx pixels and a release: the panel snaps.
  static void dragInfoPanel(TQVLaserControlFrame& frame, int dx) {
    QWidget* panel = frame.findChild<QWidget*>(QStringLiteral("RegularLaserInfoPanel"));
    if (dx > 0) panel = frame.findChild<QWidget*>(QStringLiteral("ProtectionLimitsPanel"));
    const QPoint start(200, 50);
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
      QMouseEvent e(type, at, panel->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
      QApplication::sendEvent(panel, &e);
    };
    send(QEvent::MouseButtonPress, start, Qt::LeftButton);
    for (int i = 1; i <= 10; ++i) {
      settle(frame, 60);
      send(QEvent::MouseMove, start + QPoint(dx * i / 10, 0), Qt::LeftButton);
    }
    send(QEvent::MouseButtonRelease, start + QPoint(dx, 0), Qt::NoButton);
    qv::runEventLoopUntil([&] { return !frame.Animating(); }, 5000);
    settle(frame, 50);
  }

  // Param Rec.: the save dialog is answered with a file in the pictures' folder.
  void record(TQVLaserControlFrame& frame, const std::string& profile) {
    TQVLaserControl& console = frame.Console();
    const QString file =
        dir_ + QStringLiteral("/%1-recording.qlp").arg(QString::fromStdString(profile));
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog && dialog->isVisible()) {
          dialog->selectFile(file);
          static_cast<QDialog*>(dialog)->accept();
        }
      }
    });
    answer.start();
    console.RecordParamClick();
    qv::runEventLoopUntil([&] { return console.RecordingState() == 2; }, 10000);
    answer.stop();
    if (console.RecordingState() != 2) return;
    settle(frame, 500);
    save(frame, profile, "recording");
    console.StopRecording();
    qv::runEventLoopUntil([&] { return console.RecordingState() == 0; }, 10000);
    QFile::remove(file);
  }

  QString dir_;
  std::string portsDir_;
  std::vector<QImage> sheet_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qvlaser-snapshots DIR\n");
    return 1;
  }
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // A private ports folder: the virtual lasers are the only ports the console sees.
  QByteArray ports = QDir::tempPath().toLocal8Bit() + "/qvlaser-snapshots-XXXXXX";
  if (!mkdtemp(ports.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  setenv("QVLASER_PORTS_DIR", ports.constData(), 1);
  setenv("QVLASER_PORTS_ONLY", "1", 1);

  QApplication app(argc, argv);
  qv::MainThreadBridge bridge;
  const QString dir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(dir);
  Snapshots snapshots(dir, ports.toStdString());
  int failures = 0;
  for (const std::string& profile : qv::sim::Simulator::profiles()) {
    if (!snapshots.run(profile)) ++failures;
  }
  releaseBlinkingTimer();
  QDir(QString::fromLocal8Bit(ports)).removeRecursively();
  return failures == 0 ? 0 : 2;
}
