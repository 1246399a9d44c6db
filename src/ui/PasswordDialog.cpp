#include "ui/PasswordDialog.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace {

// The average character width (of the 52 letters, rounded down) and the character height, the
// base of dialog units: 4 horizontal and 8 vertical units per character.
QSize averageCharSize(const QFont& font) {
  const QFontMetrics fm(font);
  const int width =
      fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
      52;
  return {std::max(width, 1), std::max(fm.height(), 1)};
}

int unitsX(int units, const QSize& base) {
  return units * base.width() / 4;
}
int unitsY(int units, const QSize& base) {
  return units * base.height() / 8;
}

}  // namespace

TPasswordDialog::TPasswordDialog(const QString& caption, const QString& prompt, const QString& text,
                                 QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("PasswordQuery"));
  setWindowTitle(caption);
  setModal(true);
  const QSize base = averageCharSize(font());

  prompt_ = new QLabel(prompt, this);
  prompt_->setObjectName(QStringLiteral("Prompt"));
  prompt_->setWordWrap(true);
  const int left = unitsX(8, base);
  const int promptWidth = unitsX(164, base);
  const int promptHeight = prompt_->heightForWidth(promptWidth);
  prompt_->setGeometry(left, unitsY(8, base), promptWidth, std::max(promptHeight, base.height()));

  edit_ = new QLineEdit(this);
  edit_->setObjectName(QStringLiteral("Edit"));
  edit_->setEchoMode(QLineEdit::Password);
  // Each typed character shows as "*".
  edit_->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
  edit_->setMaxLength(255);
  edit_->setText(text);
  edit_->selectAll();
  const int editTop = prompt_->geometry().bottom() + 1 + 5;
  edit_->setGeometry(left, editTop, unitsX(164, base), edit_->sizeHint().height());

  const int buttonTop = edit_->geometry().bottom() + 1 + 15;
  const int buttonWidth = unitsX(50, base);
  const int buttonHeight = unitsY(14, base);
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setObjectName(QStringLiteral("OK"));
  ok_->setDefault(true);
  ok_->setGeometry(unitsX(38, base), buttonTop, buttonWidth, buttonHeight);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("Cancel"));
  cancel_->setGeometry(unitsX(92, base), buttonTop, buttonWidth, buttonHeight);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  setFixedSize(unitsX(180, base), buttonTop + buttonHeight + 13);
  // Centred on the screen.
  if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  edit_->setFocus();
}

std::optional<QString> TPasswordDialog::query(const QString& caption, const QString& prompt,
                                              const QString& text, QWidget* parent) {
  TPasswordDialog dialog(caption, prompt, text, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.edit()->text();
}
