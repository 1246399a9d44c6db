#include "ui/QVLaserControlFrame.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <QToolButton>

#include "console/ConsoleTexts.h"
#include "platform/Clock.h"
#include "ui/MainThreadBridge.h"
#include "ui/PasswordDialog.h"
#include "ui/ProtocolText.h"
#include "ui/QVLaserControlFrameShown.h"
#include "ui/QtConsoleTimer.h"
#include "widgets/AutoScaleControl.h"
#include "widgets/GraphicsEx.h"

namespace {

// The console's texts use the line break "\r\n"; Qt's boxes break at "\n".
QString boxText(const std::string& text) {
  QString s = qv::fromUtf8(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

int tagOf(const QObject* w) {
  return w ? w->property("qvTag").toInt() : 0;
}

// Ctrl+Alt+V without Shift.
bool isClipboardSend(const QKeyEvent* e) {
  const Qt::KeyboardModifiers m = e->modifiers();
  return e->key() == Qt::Key_V && (m & Qt::ControlModifier) && (m & Qt::AltModifier) &&
         !(m & Qt::ShiftModifier);
}

bool ctrlDown() {
  return QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier;
}

}  // namespace

TQVLaserControlFrame::TQVLaserControlFrame(QWidget* parent)
    : QWidget(parent), shown_(std::make_unique<Shown>()), slider_(417, qv::counterFrequency()) {
  console_ = std::make_unique<TQVLaserControl>(std::make_unique<qv::QtConsoleTimer>(), this);
  buildForm();
  connectControls();

  animationTimer_.setInterval(10);
  connect(&animationTimer_, &QTimer::timeout, this, [this] { animationStep(); });
  readOutTimer_.setSingleShot(true);
  connect(&readOutTimer_, &QTimer::timeout, this, [this] { showReadOuts(false); });
  glideTimer_.setInterval(2);
  connect(&glideTimer_, &QTimer::timeout, this, [this] { glideStep(); });

  console_->TerminalLog().OnEdit = [this](const qv::LogEdit& edit) { applyLogEdit(edit); };
  console_->OnDisplayChanged = [this](TQVLaserControl&) { refresh(); };
  refresh();
}

TQVLaserControlFrame::~TQVLaserControlFrame() {
  animationTimer_.stop();
  glideTimer_.stop();
  readOutTimer_.stop();
  // The console closes the port and runs what the workers still hand over; nothing of that
  // reaches the controls any more.
  console_->OnDisplayChanged = nullptr;
  console_->TerminalLog().OnEdit = nullptr;
  console_->SetView(nullptr);
  console_.reset();
}

void TQVLaserControlFrame::connectControls() {
  TQVLaserControl& c = *console_;
  connect(connectLaser_, &QToolButton::clicked, this, [this] { ConnectLaserClick(); });
  connect(connectLaser2_, &QPushButton::clicked, this, [this] { ConnectLaserClick(); });
  connect(terminalOnly_, &QToolButton::clicked, this, [&c] { c.TerminalOnlyClick(); });
  connect(changeOptions_, &QToolButton::clicked, this, [&c] { c.ChangeOptionsClick(); });

  for (int b = 1; b <= 4; ++b) {
    TScalableEdit* field = currentField_[b];
    auto apply = [this, b, field] {
      console_->MutableDisplay().currentField[b] = qv::toUtf8(field->text());
      console_->ApplyCurrent(b);
    };
    connect(okCurrent_[b], &QPushButton::clicked, this, apply);
    connect(field, &QLineEdit::returnPressed, this, apply);
    connect(field, &QLineEdit::textEdited, this, [this, b](const QString& text) {
      console_->MutableDisplay().currentField[b] = qv::toUtf8(text);
    });
  }
  for (int b = 1; b <= 2; ++b) {
    TScalableEdit* field = frequencyField_[b];
    field->installEventFilter(this);
    connect(field, &QLineEdit::textEdited, this, [this, b](const QString& text) {
      console_->MutableDisplay().frequencyField[b] = qv::toUtf8(text);
    });
    connect(okFrequency_[b], &QPushButton::clicked, this, [this, b] {
      console_->ApplyFrequency(static_cast<uint32_t>(tagOf(frequencyField_[b])));
    });
  }
  for (QPushButton* b : {externalTrigger_[1], internalTrigger_[1], cwMode_[1], hvOn1_,
                         externalTrigger_[2], internalTrigger_[2], cwMode_[2]}) {
    connect(b, &QPushButton::clicked, this, [this, b] { TriggerClick(b); });
  }

  auto regulator = [this] {
    console_->MutableDisplay().powerRegulatorField = qv::toUtf8(powerRegulator_->text());
    console_->SetRegulatorLevel(qv::toUtf8(powerRegulator_->text()));
  };
  connect(powerRegulator_, &QLineEdit::returnPressed, this, regulator);
  connect(powerRegulator_, &QLineEdit::textEdited, this, [this](const QString& text) {
    console_->MutableDisplay().powerRegulatorField = qv::toUtf8(text);
  });
  auto button = [this](const char* name) {
    return static_cast<QAbstractButton*>(controls_.at(name));
  };
  connect(button("OkPowerRegulator"), &QAbstractButton::clicked, this, regulator);
  for (const char* name : {"ActivateRegulator", "DeactivateRegulator"}) {
    QAbstractButton* b = button(name);
    connect(b, &QAbstractButton::clicked, this, [&c, b] { c.ActivateRegulatorClick(tagOf(b)); });
  }
  connect(button("ClearError"), &QAbstractButton::clicked, this, [&c] { c.ClearErrorClick(); });
  connect(button("Reset"), &QAbstractButton::clicked, this, [&c] { c.ResetClick(); });
  connect(button("SaveSettings"), &QAbstractButton::clicked, this, [&c] { c.SaveSettingsClick(); });
  connect(button("RecordParam"), &QAbstractButton::clicked, this, [&c] { c.RecordParamClick(); });
  connect(button("ShowTrends"), &QAbstractButton::clicked, this,
          [this] { emit TrendsRequested(); });
  connect(button("OpenRecording"), &QAbstractButton::clicked, this,
          [this] { emit OpenRecordingRequested(); });

  connect(laserOn_, &QPushButton::clicked, this, [this] { LaserOnClick(laserOn_); });
  connect(laserOff_, &QPushButton::clicked, this,
          [this] { console_->LaserOffClick(tagOf(laserOff_)); });
  connect(laserWarnSymbol_, &TImageEx::clicked, this, [&c] { c.LaserWarnSymbolClick(); });
  connect(laserStatusDesc_, &TImageEx::clicked, this, [&c] { c.LaserWarnSymbolClick(); });
  connect(iconLaserWarning_, &TImageEx::clicked, this, [&c] { c.IconLaserWarningClick(); });

  connect(tabSet_, &QTabBar::currentChanged, this, [this](int index) { tabChosen(index); });

  // Terminal.
  cmdBox_->installEventFilter(this);
  connect(cmdBox_, &QLineEdit::textEdited, this, [this](const QString& text) {
    console_->MutableDisplay().cmdBox = qv::toProtocolText(text);
  });
  connect(button("SendCmd"), &QAbstractButton::clicked, this, [this] {
    console_->MutableDisplay().cmdBox = qv::toProtocolText(cmdBox_->text());
    console_->SendCmdClick();
  });
  connect(cmdHistory_, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { historyClicked(cmdHistory_->row(item)); });
  connect(cmdHistory_, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { historyDoubleClicked(cmdHistory_->row(item)); });
  cmdHistory_->viewport()->installEventFilter(this);
  connect(button("ClearRcvBuffer"), &QAbstractButton::clicked, this,
          [&c] { c.ClearRcvBufferClick(); });
  connect(closeAdvancedPanel_, &QToolButton::clicked, this, [this] { CloseAdvancedPanelClick(); });
  // The log's switches live in its context menu, so the terminal keeps its designed layout.
  logTimestamps_ = new QAction(tr("Time on each line"), this);
  logTimestamps_->setObjectName(QStringLiteral("LogTimestamps"));
  logTimestamps_->setCheckable(true);
  connect(logTimestamps_, &QAction::toggled, this,
          [this](bool on) { console_->TerminalLog().SetTimestamps(on); });
  logHexView_ = new QAction(tr("Received bytes in hex"), this);
  logHexView_->setObjectName(QStringLiteral("LogHexView"));
  logHexView_->setCheckable(true);
  connect(logHexView_, &QAction::toggled, this,
          [this](bool on) { console_->TerminalLog().SetHexView(on); });
  saveLog_ = new QAction(tr("Save log as text..."), this);
  saveLog_->setObjectName(QStringLiteral("SaveLog"));
  connect(saveLog_, &QAction::triggered, this, [this] { saveLogClick(); });
  receiveBuffer_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(receiveBuffer_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { logMenu(at); });

  // The information panel's gesture and the read-outs' clicks: every control on both panels.
  laserInfoPanel_->installEventFilter(this);
  for (QWidget* w : laserInfoPanel_->findChildren<QWidget*>()) w->installEventFilter(this);
}

// --- Handlers -----------------------------------------------------------------------------------

void TQVLaserControlFrame::ConnectLaserClick() {
  console_->ConnectLaserClick();
}

void TQVLaserControlFrame::TriggerClick(QAbstractButton* sender) {
  console_->TriggerClick(tagOf(sender));
}

void TQVLaserControlFrame::LaserOnClick(QAbstractButton* sender) {
  console_->LaserOnClick(tagOf(sender));
}

void TQVLaserControlFrame::CloseAdvancedPanelClick() {
  console_->CloseAdvancedPanelClick();
}

bool TQVLaserControlFrame::SelectTab(const QString& caption) {
  return console_->SelectTab(qv::toUtf8(caption), ctrlDown());
}

void TQVLaserControlFrame::tabChosen(int index) {
  if (index < 0) return;
  console_->TabSet1Change(qv::toUtf8(tabSet_->tabText(index)), ctrlDown());
}

void TQVLaserControlFrame::focusField(const std::string& name) {
  if (name.empty()) return;
  const auto it = controls_.find(name);
  if (it == controls_.end()) return;
  QWidget* w = it->second;
  if (w->isVisible() && w->isEnabled()) w->setFocus();
}

void TQVLaserControlFrame::focusFirstOf(QWidget* panel) {
  if (!window()->isVisible()) return;
  for (QWidget* w = panel->nextInFocusChain(); w && w != panel; w = w->nextInFocusChain()) {
    if (!panel->isAncestorOf(w)) continue;
    if ((w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled()) {
      w->setFocus(Qt::TabFocusReason);
      return;
    }
  }
}

void TQVLaserControlFrame::historyClicked(int row) {
  if (historyDoubleClicked_) {
    historyDoubleClicked_ = false;
    return;
  }
  const std::string before = console_->Display().cmdBox;
  console_->CmdHistoryClick(row);
  if (console_->Display().cmdBox != before) {
    cmdBox_->setCursorPosition(static_cast<int>(cmdBox_->text().size()));
    cmdBox_->setFocus();
  }
}

void TQVLaserControlFrame::historyDoubleClicked(int row) {
  historyDoubleClicked_ = true;
  console_->MutableDisplay().cmdBox = qv::toProtocolText(cmdBox_->text());
  console_->CmdHistoryDblClick(row);
}

// --- Keys -------------------------------------------------------------------------------------

bool TQVLaserControlFrame::frequencyKey(QLineEdit* field, int branch, QKeyEvent* e) {
  // Editing keys and the clipboard's short-cuts go to the edit as they are.
  if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  char key = 0;
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      key = '\r';
      break;
    default: {
      const QString text = e->text();
      if (text.isEmpty()) return false;
      const char16_t ch = text.at(0).unicode();
      if (ch < 32 || ch == 127) return false;  // backspace, tab and the like
      key = ch < 127 ? static_cast<char>(ch) : '\x7f';
    }
  }
  TEditField f;
  f.text = qv::toUtf8(field->text());
  if (field->hasSelectedText()) {
    f.selStart = static_cast<size_t>(field->selectionStart());
    f.selLength = static_cast<size_t>(field->selectedText().size());
  } else {
    f.selStart = static_cast<size_t>(field->cursorPosition());
  }
  const TKeyOutcome outcome = FrequencyKeyPress(f, key);
  const QString text = qv::fromUtf8(f.text);
  if (text != field->text()) field->setText(text);
  if (f.selLength > 0) {
    field->setSelection(static_cast<int>(f.selStart), static_cast<int>(f.selLength));
  } else {
    field->setCursorPosition(static_cast<int>(f.selStart));
  }
  console_->MutableDisplay().frequencyField[branch] = f.text;
  if (outcome.apply) console_->ApplyFrequency(static_cast<uint32_t>(tagOf(field)));
  return true;
}

void TQVLaserControlFrame::cmdBoxKeyUp(QKeyEvent* e) {
  if (e->isAutoRepeat()) return;
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    console_->MutableDisplay().cmdBox = qv::toProtocolText(cmdBox_->text());
    console_->SendCmdClick();
    return;
  }
  if (isClipboardSend(e)) {
    console_->SendCommandLine(qv::toProtocolText(QGuiApplication::clipboard()->text()));
  }
}

// --- The information panel's gesture and the read-outs' clicks -------------------------------

void TQVLaserControlFrame::readOutPressed(QWidget* w, QMouseEvent* e) {
  pressedReadOut_ = w;
  if (slider_.Press(e->button() == Qt::LeftButton, qRound(e->globalPosition().x()),
                    qv::counterNow())) {
    glideTimer_.stop();
    console_->SetClickNotDrag(slider_.ClickNotDrag());
  }
}

void TQVLaserControlFrame::readOutMoved(QMouseEvent* e) {
  if (!slider_.Dragging()) return;
  if (slider_.Move(qRound(e->globalPosition().x()))) placeInfoPanels();
  console_->SetClickNotDrag(slider_.ClickNotDrag());
}

void TQVLaserControlFrame::readOutReleased(QWidget* w, QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  // The click comes first, as a control's click does before its mouse-up.
  if (pressedReadOut_ == w && w->rect().contains(e->position().toPoint())) readOutClicked(w);
  pressedReadOut_ = nullptr;
  slider_.Release(true, qRound(e->globalPosition().x()), qv::counterNow());
  if (slider_.Gliding()) glideTimer_.start();
}

void TQVLaserControlFrame::readOutClicked(QWidget* w) {
  // A unit label acts for its pair.
  for (int b = 1; b <= 4; ++b) {
    if (w == nomCurrent_[b] || w == nomCurrent_[b]->unitLabel() || w == maxCurrent_[b]) {
      focusField(console_->NomCurrentClick(b));
      return;
    }
  }
  for (int b = 1; b <= 2; ++b) {
    if (w == actFrequency_[b] || w == actFrequency_[b]->unitLabel()) {
      focusField(console_->ActFrequencyClick(b));
      return;
    }
    if (w == triggerMode_[b]) {
      console_->TriggerModeClick();
      return;
    }
  }
  if (w == infoInternal_ || w == infoPulsePicker_) {
    focusField(console_->ActFrequencyClick(tagOf(w)));
  } else if (w == nomRegulatorLevel_ || w == nomRegulatorLevel_->unitLabel()) {
    focusField(console_->NomRegulatorLevelClick());
  }
}

void TQVLaserControlFrame::glideStep() {
  if (!slider_.GlideStep()) {
    glideTimer_.stop();
    return;
  }
  placeInfoPanels();
  if (!slider_.Gliding()) glideTimer_.stop();
}

void TQVLaserControlFrame::placeInfoPanels() {
  const int d = slider_.Offset();
  regularPanel_->move(-d, 0);
  protectionPanel_->move(slider_.Width() - d, 0);
}

bool TQVLaserControlFrame::eventFilter(QObject* watched, QEvent* event) {
  auto* w = qobject_cast<QWidget*>(watched);
  if (!w) return QWidget::eventFilter(watched, event);
  const QEvent::Type type = event->type();
  if (w == laserInfoPanel_ || laserInfoPanel_->isAncestorOf(w)) {
    switch (type) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
        readOutPressed(w, static_cast<QMouseEvent*>(event));
        return true;
      case QEvent::MouseMove:
        readOutMoved(static_cast<QMouseEvent*>(event));
        return true;
      case QEvent::MouseButtonRelease:
        readOutReleased(w, static_cast<QMouseEvent*>(event));
        return true;
      default:
        break;
    }
    return false;
  }
  if (type == QEvent::KeyPress) {
    for (int b = 1; b <= 2; ++b) {
      if (w == frequencyField_[b])
        return frequencyKey(frequencyField_[b], b, static_cast<QKeyEvent*>(event));
    }
  }
  if (w == cmdBox_ && type == QEvent::KeyRelease) cmdBoxKeyUp(static_cast<QKeyEvent*>(event));
  // Ctrl+Alt+V sends the clipboard when it is released; the line itself does not change.
  if (w == cmdBox_ && type == QEvent::KeyPress && isClipboardSend(static_cast<QKeyEvent*>(event))) {
    return true;
  }
  // A new press ends what a double click left to skip.
  if (w == cmdHistory_->viewport() && type == QEvent::MouseButtonPress) {
    historyDoubleClicked_ = false;
  }
  return QWidget::eventFilter(watched, event);
}

// --- Questions of the console ---------------------------------------------------------------

void TQVLaserControlFrame::ShowMessage(const std::string& title, const std::string& text,
                                       MessageKind kind) {
  const QMessageBox::Icon icon = kind == MessageKind::Error     ? QMessageBox::Critical
                                 : kind == MessageKind::Warning ? QMessageBox::Warning
                                                                : QMessageBox::Information;
  QMessageBox box(icon, qv::fromUtf8(title), boxText(text), QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("ConsoleMessage"));
  box.exec();
}

void TQVLaserControlFrame::ShowConversionError(const std::string& text) {
  // The application's own error box: titled with the application's title.
  QString title = QGuiApplication::applicationDisplayName();
  if (title.isEmpty()) title = QString::fromLatin1(kProductName);
  QMessageBox box(QMessageBox::Critical, title, boxText(text), QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("ConversionError"));
  box.exec();
}

bool TQVLaserControlFrame::ConfirmStopRecording(const std::string& question) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), boxText(question),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setObjectName(QStringLiteral("ConfirmStopRecording"));
  return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> TQVLaserControlFrame::AskRecordingFile(const std::string& proposedName) {
  QFileDialog dialog(this, QStringLiteral("Save As"));
  dialog.setObjectName(QStringLiteral("SaveDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QStringLiteral("qlp"));
  dialog.setNameFilters(
      {QStringLiteral("QVLaser Parameters(*.qlp)"), QStringLiteral("Any file(*.*)")});
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  dialog.setSizeGripEnabled(true);
  dialog.selectFile(qv::fromUtf8(proposedName));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return QFile::encodeName(files.first()).toStdString();
}

std::optional<std::string> TQVLaserControlFrame::PasswordQuery(const std::string& caption,
                                                               const std::string& prompt) {
  const auto text =
      TPasswordDialog::query(qv::fromUtf8(caption), qv::fromUtf8(prompt), QString(), this);
  if (!text) return std::nullopt;
  return qv::toProtocolText(*text);
}

bool TQVLaserControlFrame::EditOptions(TQVLaserControl& console) {
  return OnEditOptions ? OnEditOptions(console) : false;
}

void TQVLaserControlFrame::Pause(int ms) {
  qv::pauseMainThread(ms);
}

bool TQVLaserControlFrame::Animating() const {
  return animationTimer_.isActive() || glideTimer_.isActive();
}

void TQVLaserControlFrame::logMenu(const QPoint& at) {
  QMenu* menu = receiveBuffer_->createStandardContextMenu(at);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->addSeparator();
  menu->addAction(logTimestamps_);
  menu->addAction(logHexView_);
  menu->addAction(saveLog_);
  menu->popup(receiveBuffer_->viewport()->mapToGlobal(at));
}

bool TQVLaserControlFrame::SaveTerminalLog(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  // The log holds the laser's single-byte texts; the file is UTF-8 with the log's "\r\n".
  const QByteArray text = qv::fromProtocolText(console_->TerminalLog().Text()).toUtf8();
  return file.write(text) == text.size() && file.flush();
}

void TQVLaserControlFrame::saveLogClick() {
  const QString path = QFileDialog::getSaveFileName(this, tr("Save the terminal log"),
                                                    QStringLiteral("terminal.txt"),
                                                    tr("Text (*.txt);;Any file (*)"));
  if (!path.isEmpty() && !SaveTerminalLog(path))
    QMessageBox::critical(this, tr("Error"), tr("Cannot write %1").arg(path));
}
