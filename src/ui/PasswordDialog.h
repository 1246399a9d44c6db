// The masked password prompt: a modal dialog centred on the screen with a word-wrapped prompt,
// one edit that shows each typed character as "*" (at most 255), and OK (default) and Cancel.
// Its sizes follow the font's average character width and height in dialog units.
#pragma once

#include <QDialog>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

class TPasswordDialog : public QDialog {
  Q_OBJECT
 public:
  TPasswordDialog(const QString& caption, const QString& prompt, const QString& text,
                  QWidget* parent = nullptr);

  QLineEdit* edit() const { return edit_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }

  // Runs the dialog; the edited text after OK, nothing after Cancel or closing.
  static std::optional<QString> query(const QString& caption, const QString& prompt,
                                      const QString& text, QWidget* parent = nullptr);

 private:
  QLabel* prompt_;
  QLineEdit* edit_;
  QPushButton* ok_;
  QPushButton* cancel_;
};
