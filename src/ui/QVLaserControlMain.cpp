#include "ui/QVLaserControlMain.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>
#include <iostream>

#include "console/QVLaserControl.h"
#include "shell/CommandLine.h"
#include "shell/KeyFilter.h"
#include "ui/ExtensionWindow.h"
#include "ui/ProtocolText.h"
#include "ui/QVLaserControlFrame.h"
#include "ui/RecordingViewer.h"
#include "ui/SetOptionForm.h"
#include "ui/ShortCutKeys.h"
#include "ui/TrendWindow.h"
#include "widgets/ConsoleImages.h"

namespace {

// A single-line, multi-line or rich edit: the controls the numeric key filter looks after.
bool isEdit(const QWidget* w) {
  return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QTextEdit*>(w) ||
         qobject_cast<const QPlainTextEdit*>(w);
}

QString editText(const QWidget* w) {
  if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
  if (auto* e = qobject_cast<const QTextEdit*>(w)) return e->toPlainText();
  if (auto* e = qobject_cast<const QPlainTextEdit*>(w)) return e->toPlainText();
  return {};
}

// The characters a key types into an edit, as Qt's edits decide it: printable text that comes
// without Ctrl (Ctrl and Ctrl+Shift type nothing; AltGr, which is Ctrl+Alt on some keyboards,
// does). Empty for every key that only edits or moves (Backspace, Enter, Delete, arrows, the
// clipboard's and undo's short-cuts): those reach the edit unfiltered.
std::u32string typedCharacters(const QKeyEvent& key) {
  const QString text = key.text();
  if (text.isEmpty()) return {};
  const Qt::KeyboardModifiers mods = key.modifiers() & ~Qt::KeypadModifier;
  if (mods == Qt::ControlModifier || mods == (Qt::ControlModifier | Qt::ShiftModifier)) return {};
  const QList<uint> points = text.toUcs4();
  std::u32string out;
  for (uint c : points) {
    const QChar::Category cat = QChar::category(static_cast<char32_t>(c));
    if (!QChar::isPrint(static_cast<char32_t>(c)) && cat != QChar::Other_Format &&
        cat != QChar::Other_PrivateUse)
      return {};
    out.push_back(static_cast<char32_t>(c));
  }
  return out;
}

Qt::Key keyOfCharacter(char32_t c) {
  if (c == U'.') return Qt::Key_Period;
  if (c >= U'0' && c <= U'9') return static_cast<Qt::Key>(Qt::Key_0 + (c - U'0'));
  return Qt::Key_unknown;
}

}  // namespace

TQVLaserControlMainFrm::TQVLaserControlMainFrm(std::vector<std::string> args,
                                               std::string programFolder, std::string settingsBase)
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("QVLaserControlMainFrm"));
  // Every number shown or typed uses "." (the console formats its own; Qt's number widgets
  // follow the default locale).
  QLocale::setDefault(QLocale::c());
  setWindowIcon(qv::applicationIcon());

  frame_ = new TQVLaserControlFrame(this);
  setCentralWidget(frame_);
  // No user resize and no maximize: the console's layout is pixel-exact.
  setFixedSize(TQVLaserControlFrame::kWidth, TQVLaserControlFrame::kHeight);

  const std::vector<std::string> recordings = qv::recordingFileArguments(args);
  shell_ = std::make_unique<TQVLaserControlMain>(frame_->Console(), std::move(args),
                                                 std::move(programFolder), std::move(settingsBase));
  TQVLaserControlMain& shell = *shell_;
  shell.OnCaptionChange = [this] { showCaption(); };
  shell.MoveWindow = [this](int left, int top) { move(left, top); };
  shell.CloseWindow = [this] { close(); };
  shell.WindowBounds = [this] { return qv::outerBounds(*this); };
  shell.ControlKeyDown = [] {
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
  };
  extensionWindows_ = std::make_unique<qv::ExtensionWindows>(shell.Extensions(), this);

  shell.Create();

  buildActions();
  updateActions();
  // The enabling rule is re-evaluated whenever the event loop has nothing left to do.
  if (QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance(thread()))
    idle_ = connect(d, &QAbstractEventDispatcher::aboutToBlock, this, [this] { updateActions(); });

  shell.ShowTrends = [this] { ShowTrends(); };
  connect(frame_, &TQVLaserControlFrame::TrendsRequested, this, [this] { ShowTrends(); });
  connect(frame_, &TQVLaserControlFrame::OpenRecordingRequested, this,
          [this] { OpenRecordingClick(); });
  setAcceptDrops(true);
  // Recordings named on the command line open once the window is up.
  for (const std::string& file : recordings) {
    const QString path = QString::fromStdString(file);
    QTimer::singleShot(0, this, [this, path] { OpenRecording(path); });
  }

  options_ = new qv::OptionDialog(this);
  frame_->OnEditOptions = [this](TQVLaserControl& console) {
    return options_->editOptions(console);
  };

  qApp->installEventFilter(this);
}

TQVLaserControlMainFrm::~TQVLaserControlMainFrm() {
  qApp->removeEventFilter(this);
  disconnect(idle_);
  shutDown();
  // The trend window hangs on the console's trend samples: it goes before the console does.
  delete trends_;
  trends_ = nullptr;
  shell_->ShowTrends = nullptr;
  frame_->OnEditOptions = nullptr;
  delete options_;
  options_ = nullptr;
  extensionWindows_.reset();
  shell_->Extensions().setMainWindowBounds({});
  shell_.reset();
  // The console goes last: it closes the port and runs what the laser's threads still hand over.
  delete frame_;
  frame_ = nullptr;
}

void TQVLaserControlMainFrm::ShowTrends() {
  if (!trends_) {
    trends_ = new TrendWindow(Console(), this);
    // Beside the console, below it when the screen has room there.
    trends_->move(frameGeometry().left(), frameGeometry().bottom() + 8);
  }
  trends_->show();
  trends_->raise();
  trends_->activateWindow();
}

RecordingViewer* TQVLaserControlMainFrm::OpenRecording(const QString& path) {
  auto* viewer = new RecordingViewer(this);
  viewer->Open(path);  // a file that cannot be read says so in its own window
  viewer->show();
  viewer->raise();
  return viewer;
}

void TQVLaserControlMainFrm::OpenRecordingClick() {
  const QString path =
      QFileDialog::getOpenFileName(this, tr("Open a recording"), QString(),
                                   QStringLiteral("QVLaser Parameters(*.qlp);;Any file(*)"));
  if (!path.isEmpty()) OpenRecording(path);
}

void TQVLaserControlMainFrm::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TQVLaserControlMainFrm::dropEvent(QDropEvent* event) {
  bool any = false;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (!url.isLocalFile()) continue;
    OpenRecording(url.toLocalFile());
    any = true;
  }
  if (any) event->acceptProposedAction();
}

TQVLaserControl& TQVLaserControlMainFrm::Console() const {
  return frame_->Console();
}

QAction* TQVLaserControlMainFrm::Action(qv::ActionId id) const {
  return actions_.at(static_cast<std::size_t>(id));
}

void TQVLaserControlMainFrm::buildActions() {
  for (const qv::ActionInfo& info : qv::actionTable()) {
    auto* action = new QAction(QString::fromLatin1(info.name), this);
    action->setObjectName(QString::fromLatin1(info.name));
    action->setShortcutContext(Qt::WindowShortcut);
    action->setCheckable(info.id == qv::ActionId::ShowAdvanced);
    // The key preview runs the keys; this is for everything else that triggers an action.
    const qv::ActionId id = info.id;
    connect(action, &QAction::triggered, this, [this, id] { shell_->ExecuteAction(id); });
    addAction(action);
    actions_.push_back(action);
  }
  shownShortCuts_.assign(actions_.size(), scNone);
}

void TQVLaserControlMainFrm::updateActions() {
  if (!shell_) return;
  shell_->UpdateLaserAction();
  const qv::ShellActions& state = shell_->Actions();
  const std::vector<qv::ActionInfo>& table = qv::actionTable();
  for (std::size_t i = 0; i < actions_.size(); ++i) {
    QAction* action = actions_[i];
    const bool enabled = state.enabled(table[i].id);
    if (action->isEnabled() != enabled) action->setEnabled(enabled);
    // A value without a Qt key leaves the action without one; the value itself stays in the
    // options (and so in the settings file).
    const TShortCut sc = state.shortCut(table[i].id);
    if (shownShortCuts_[i] != sc) {
      shownShortCuts_[i] = sc;
      action->setShortcut(qv::keySequenceOf(sc));
    }
  }
  QAction* advanced = Action(qv::ActionId::ShowAdvanced);
  const bool open = Console().Display().advancedOpen;
  if (advanced->isChecked() != open) advanced->setChecked(open);
}

void TQVLaserControlMainFrm::showCaption() {
  setWindowTitle(qv::fromUtf8(shell_->Caption()));
  QGuiApplication::setApplicationDisplayName(qv::fromUtf8(shell_->ApplicationTitle()));
}

bool TQVLaserControlMainFrm::eventFilter(QObject* watched, QEvent* event) {
  // Only this window's own controls (not the dialogs', not the extension windows'). The
  // receiver is looked at before the event: events that other threads post (the laser's
  // hand-overs to the main thread) go to objects that are not widgets of this window, and are
  // not touched here.
  auto* w = qobject_cast<QWidget*>(watched);
  if (!w || w->window() != this || !shell_) return false;
  switch (event->type()) {
    case QEvent::KeyPress:
      return previewKey(*static_cast<QKeyEvent*>(event), false);
    case QEvent::ShortcutOverride:
      return previewKey(*static_cast<QKeyEvent*>(event), true);
    case QEvent::InputMethod:
      return filterComposedText(*w, *static_cast<QInputMethodEvent*>(event));
    default:
      return false;
  }
}

bool TQVLaserControlMainFrm::previewKey(QKeyEvent& key, bool shortcutOverride) {
  if (const auto sc = qv::shortCutOf(key); sc && shell_->Actions().actionForShortCut(*sc)) {
    // A key an action owns: claimed before Qt's short-cut map and before the focused control,
    // so that it runs once, here, on its key press.
    key.accept();
    if (!shortcutOverride) shell_->HandleShortCut(*sc);
    return true;
  }
  return shortcutOverride ? false : filterTypedKey(key);
}

std::optional<std::u32string> TQVLaserControlMainFrm::filterCharacters(
    QWidget* edit, const std::u32string& typed) const {
  const std::int32_t tag = edit->property(qv::kTagProperty).toInt();
  std::string text = qv::toUtf8(editText(edit));
  std::u32string passed;
  bool changed = false;
  for (char32_t c : typed) {
    const std::optional<char32_t> out = qv::filterNumericKey(tag, text, c);
    if (!out || *out != c) changed = true;
    if (!out) continue;
    passed.push_back(*out);
    if (*out == U'.') text.push_back('.');
  }
  if (!changed) return std::nullopt;
  return passed;
}

QWidget* TQVLaserControlMainFrm::focusedEdit() const {
  QWidget* focus = QApplication::focusWidget();
  return focus && focus->window() == this && isEdit(focus) ? focus : nullptr;
}

bool TQVLaserControlMainFrm::filterTypedKey(QKeyEvent& key) {
  QWidget* focus = focusedEdit();
  if (!focus) return false;
  const std::u32string typed = typedCharacters(key);
  if (typed.empty()) return false;
  const std::optional<std::u32string> filtered = filterCharacters(focus, typed);
  if (!filtered) return false;
  const std::u32string& passed = *filtered;
  // Swallowed, or replaced: the edit gets the characters the filter gave instead.
  if (!passed.empty()) {
    QKeyEvent replacement(QEvent::KeyPress,
                          passed.size() == 1 ? keyOfCharacter(passed[0]) : Qt::Key_unknown,
                          key.modifiers(), QString::fromUcs4(passed.data(), passed.size()),
                          key.isAutoRepeat(), static_cast<quint16>(passed.size()));
    QCoreApplication::sendEvent(focus, &replacement);
  }
  return true;
}

bool TQVLaserControlMainFrm::filterComposedText(QWidget& receiver, QInputMethodEvent& e) {
  // Text composed by an input method (dead keys, compose sequences) is typed as well.
  QWidget* focus = focusedEdit();
  if (focus != &receiver || e.commitString().isEmpty()) return false;
  const QList<uint> points = e.commitString().toUcs4();
  const std::u32string typed(points.begin(), points.end());
  const std::optional<std::u32string> filtered = filterCharacters(focus, typed);
  if (!filtered) return false;
  QInputMethodEvent replacement(e.preeditString(), e.attributes());
  replacement.setCommitString(QString::fromUcs4(filtered->data(), filtered->size()),
                              e.replacementStart(), e.replacementLength());
  QCoreApplication::sendEvent(focus, &replacement);
  return true;
}

void TQVLaserControlMainFrm::closeEvent(QCloseEvent* event) {
  shutDown();
  event->accept();
}

void TQVLaserControlMainFrm::shutDown() {
  if (shutDown_) return;
  shutDown_ = true;
  const QPoint at = frameGeometry().topLeft();
  shell_->Destroy(at.x(), at.y(), err_ ? *err_ : std::cerr);
}
