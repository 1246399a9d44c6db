#include "ui/ExtensionWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "ui/ProtocolText.h"

namespace qv {

namespace {

// The font an extension file gives a control: each part only where the file names it.
void applyFont(QWidget* w, const TCustomizedControl& d) {
  QFont f = w->font();
  if (!d.FontName.empty()) f.setFamily(fromProtocolText(d.FontName));
  if (d.FontSize > 0) f.setPointSize(d.FontSize);  // 0 and below: the size stays the default
  if (d.FontStyle != 0) {
    f.setBold(d.FontStyle & fsBold);
    f.setItalic(d.FontStyle & fsItalic);
    f.setUnderline(d.FontStyle & fsUnderline);
    f.setStrikeOut(d.FontStyle & fsStrikeOut);
  }
  w->setFont(f);
}

QMargins frameOf(const QWidget& w) {
  const QRect f = w.frameGeometry(), g = w.geometry();
  return {g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom()};
}

}  // namespace

WindowRect outerBounds(const QWidget& window) {
  const QRect f = window.frameGeometry();
  return {f.x(), f.y(), f.width(), f.height()};
}

ExtensionToolWindow::ExtensionToolWindow(TExtensionTab& tab, QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), tab_(tab) {
  setObjectName(QStringLiteral("ExtensionWindow"));
  setProperty("extensionFile", QString::fromStdString(tab.FileName));
  const TCustomizedWindow& state = *tab.Window;
  for (const TCustomizedWindow::Item& item : state.Buttons) {
    auto* button = new QPushButton(fromProtocolText(item.Caption), this);
    button->setObjectName(QStringLiteral("Button%1").arg(item.Tag + 1));
    button->setGeometry(item.Left, item.Top, item.Width, item.Height);
    applyFont(button, tab.Buttons[static_cast<std::size_t>(item.Tag)]);
    connect(button, &QPushButton::clicked, this,
            [this, tag = item.Tag] { tab_.HandleButtonClick(tag); });
  }
  for (std::size_t i = 0; i < state.Labels.size(); ++i) {
    const TCustomizedWindow::Item& item = state.Labels[i];
    auto* label = new QLabel(this);
    label->setObjectName(QStringLiteral("Label%1").arg(item.Tag + 1));
    // Replies are shown as the laser sends them, never read as markup.
    label->setTextFormat(Qt::PlainText);
    applyFont(label, tab.Labels[static_cast<std::size_t>(item.Tag)]);
    label->move(item.Left, item.Top);
    label->setText(fromProtocolText(item.Caption));
    label->adjustSize();
    if (tab.DisplayLabel == i) display_ = label;
  }
  showCaption();
}

void ExtensionToolWindow::applyGeometry() {
  const TCustomizedWindow* state = tab_.Window.get();
  if (!state) return;
  // The file gives the outer size; the client area is what the frame leaves of it.
  frame_ = frameOf(*this);
  resize(std::max(1, state->Width - frame_.left() - frame_.right()),
         std::max(1, state->Height - frame_.top() - frame_.bottom()));
  if (state->Docked) move(state->Left, state->Top);  // the frame's top left corner
}

void ExtensionToolWindow::showCaption() {
  if (tab_.Window) setWindowTitle(fromProtocolText(tab_.Window->Caption));
}

void ExtensionToolWindow::showDisplayLabel() {
  if (!display_) return;
  const QString text = fromProtocolText(tab_.DisplayLabelText());
  if (display_->text() == text) return;
  display_->setText(text);
  display_->adjustSize();
}

bool ExtensionToolWindow::event(QEvent* e) {
  const bool handled = QWidget::event(e);
  switch (e->type()) {
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::Resize:
      // The window system tells the frame only once the window is up.
      if (frameOf(*this) != frame_) applyGeometry();
      break;
    default:
      break;
  }
  return handled;
}

void ExtensionToolWindow::closeEvent(QCloseEvent* e) {
  // The window stays until the laser is disconnected.
  e->ignore();
}

ExtensionWindows::ExtensionWindows(ExtensionManager& manager, QWidget* mainWindow)
    : manager_(manager), main_(mainWindow) {
  manager_.OnOpened = [this](TExtensionTab& tab) { opened(tab); };
  manager_.OnClosed = [this](TExtensionTab& tab) { closed(tab); };
  manager_.OnMoved = [this](TExtensionTab& tab) {
    if (ExtensionToolWindow* w = window(tab)) w->applyGeometry();
  };
  manager_.OnCaptionChange = [this](TExtensionTab& tab) {
    if (ExtensionToolWindow* w = window(tab)) w->showCaption();
  };
  manager_.OnLabelChange = [this](TExtensionTab& tab) {
    if (ExtensionToolWindow* w = window(tab)) w->showDisplayLabel();
  };
  if (mainWindow) {
    manager_.setMainWindowBounds(
        [main = main_] { return main ? outerBounds(*main) : WindowRect{}; });
    mainWindow->installEventFilter(this);
  }
  for (TExtensionTab* tab : manager_.tabs())
    if (tab->IsOpen()) opened(*tab);
}

ExtensionWindows::~ExtensionWindows() {
  manager_.OnOpened = manager_.OnClosed = manager_.OnMoved = nullptr;
  manager_.OnCaptionChange = manager_.OnLabelChange = nullptr;
  for (auto& entry : windows_) delete entry.second.data();
  for (QPointer<ExtensionToolWindow>& w : closing_) delete w.data();
}

void ExtensionWindows::placeWindows() {
  manager_.placeWindows();
}

ExtensionToolWindow* ExtensionWindows::window(const TExtensionTab& tab) const {
  const auto it = windows_.find(&tab);
  return it == windows_.end() ? nullptr : it->second.data();
}

bool ExtensionWindows::eventFilter(QObject* watched, QEvent* e) {
  if (watched == main_ && (e->type() == QEvent::Move || e->type() == QEvent::Resize))
    placeWindows();
  return QObject::eventFilter(watched, e);
}

void ExtensionWindows::opened(TExtensionTab& tab) {
  if (!tab.Window) return;
  closed(tab);
  auto* w = new ExtensionToolWindow(tab, main_);
  windows_[&tab] = w;
  w->applyGeometry();
  w->show();
}

void ExtensionWindows::closed(TExtensionTab& tab) {
  const auto it = windows_.find(&tab);
  if (it == windows_.end()) return;
  // Closing may come from inside a handler of the window's own widgets: delete it afterwards.
  if (ExtensionToolWindow* w = it->second.data()) {
    w->hide();
    w->deleteLater();
    closing_.erase(std::remove(closing_.begin(), closing_.end(), nullptr), closing_.end());
    closing_.emplace_back(w);
  }
  windows_.erase(it);
}

}  // namespace qv
