#include "ui/QVLaserControlMainProgram.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "ui/QVLaserControlFrame.h"
#include "ui/QVLaserControlMain.h"

namespace qv {

namespace {

// The signal handler's end of a socket pair; the main loop reads the other end.
int signalFd[2] = {-1, -1};

void onTerminationSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(signalFd[0], &byte, 1);
}

QString environment(const char* name) {
  return qEnvironmentVariable(name);
}

}  // namespace

void traceStartup(const char* name) {
  const char* path = std::getenv("QV_STARTUP_TRACE");
  if (!path || !*path) return;
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count();
  if (std::FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, "%s %lld\n", name, static_cast<long long>(ns));
    std::fclose(f);
  }
}

ProgramHooks::ProgramHooks(TQVLaserControlMainFrm& window) : window_(window) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalFd) == 0) {
    for (int fd : signalFd) ::fcntl(fd, F_SETFL, O_NONBLOCK);
    signals_ = new QSocketNotifier(signalFd[1], QSocketNotifier::Read, this);
    connect(signals_, &QSocketNotifier::activated, this, [this] { terminationSignal(); });
    struct sigaction sa {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(sig, &sa, nullptr);
  }
  if (!environment("QV_STARTUP_TRACE").isEmpty()) window.Frame().installEventFilter(this);
  picture_ = environment("QV_WINDOW_PICTURE");
  connect(&window, &QWidget::windowTitleChanged, this,
          [this](const QString& title) { titleChanged(title); });
}

ProgramHooks::~ProgramHooks() {
  if (signalFd[0] < 0) return;
  struct sigaction sa {};
  sa.sa_handler = SIG_DFL;
  sigemptyset(&sa.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(sig, &sa, nullptr);
  ::close(signalFd[0]);
  ::close(signalFd[1]);
  signalFd[0] = signalFd[1] = -1;
}

bool ProgramHooks::eventFilter(QObject* watched, QEvent* event) {
  if (!traceShown_ && event->type() == QEvent::Paint) {
    traceShown_ = true;
    watched->removeEventFilter(this);
    // After this paint has reached the screen.
    QTimer::singleShot(0, this, [] { traceStartup("shown"); });
  }
  return false;
}

void ProgramHooks::terminationSignal() {
  char buf[16];
  while (::read(signalFd[1], buf, sizeof buf) > 0) {
  }
  // An open dialog first (it answers as Cancel would), then the window, which saves the settings.
  for (int i = 0; i < 16; ++i) {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == &window_ || !modal->close()) break;
  }
  window_.close();
}

void ProgramHooks::titleChanged(const QString& title) {
  if (identified_ || !title.startsWith(QStringLiteral("SN"))) return;
  identified_ = true;
  traceStartup("identified");
  if (picture_.isEmpty()) return;
  bool ok = false;
  int delay = environment("QV_WINDOW_PICTURE_DELAY_MS").toInt(&ok);
  if (!ok || delay < 0) delay = 1500;
  QTimer::singleShot(delay, this, [this] { takePicture(); });
}

void ProgramHooks::takePicture() {
  if (window_.Frame().Animating()) {
    QTimer::singleShot(50, this, [this] { takePicture(); });
    return;
  }
  if (!window_.grab().save(picture_, "PNG"))
    std::fprintf(stderr, "QVLaserControlv4: the picture could not be saved to %s\n",
                 picture_.toLocal8Bit().constData());
  window_.close();
}

}  // namespace qv
