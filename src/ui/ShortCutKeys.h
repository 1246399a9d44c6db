// Short-cut values (the settings file's Windows-style words: virtual key in the low byte, 0x2000
// Shift, 0x4000 Ctrl, 0x8000 Alt) to and from Qt keys, and the hot-key field of the options
// dialog that records one key with its modifiers as such a value.
#pragma once

#include <QKeyCombination>
#include <QKeySequence>
#include <QLineEdit>
#include <optional>

#include "settings/Options.h"

class QKeyEvent;

namespace qv {

// The Qt key that stands for a short-cut value. Nothing for 0 and for a value whose virtual key
// has no Qt key here: such a value stays what it is in the settings file, it is only not shown.
std::optional<QKeyCombination> qtKeyOf(TShortCut sc);
// The same as a key sequence of one chord; empty when there is no Qt key.
QKeySequence keySequenceOf(TShortCut sc);
// The text a field shows for a value ("Ctrl+L"); empty for 0 and for a value without a Qt key.
QString shortCutText(TShortCut sc);

// The short-cut value of a Qt key; nothing when no virtual key stands for it or a modifier
// without a short-cut bit (Meta) is held.
std::optional<TShortCut> shortCutOf(QKeyCombination key);
// One chord only: an empty sequence is 0 (no short-cut), more than one chord is nothing.
std::optional<TShortCut> shortCutOf(const QKeySequence& sequence);
// A key pressed, as the main window's key preview looks it up. Nothing for a modifier pressed on
// its own and for keys without a virtual key. Digits and letters that the layout does not give
// as Latin characters (a shifted digit, a Cyrillic letter) are taken by their position on the
// keyboard, as the virtual keys are.
std::optional<TShortCut> shortCutOf(const QKeyEvent& event);

// What a hot-key field records for a key pressed: a key that types a character (letter, digit,
// space, keypad) pressed without Ctrl or Alt gets Alt added, so that no short-cut takes keys the
// operator types into the console's fields.
TShortCut recordedShortCut(TShortCut pressed);

// A hot-key field: a key pressed with its modifiers becomes the field's short-cut value; while
// only modifiers are held they are shown. Backspace or Delete alone and the clear button empty it
// (value 0). Tab, Esc and Enter alone keep their meaning in the dialog (focus, Cancel, OK).
// A value without a Qt key is kept and shown as empty until another key is recorded.
class HotKeyEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit HotKeyEdit(QWidget* parent = nullptr);

  TShortCut shortCut() const { return value_; }
  // Shows a value; no shortCutChanged.
  void setShortCut(TShortCut value);

 signals:
  // The operator recorded or cleared a key.
  void shortCutChanged(TShortCut value);

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  // Keys that keep their meaning in the dialog when pressed without modifiers.
  static bool passesToDialog(const QKeyEvent& e);
  void record(TShortCut value);
  void showValue();
  void showText(const QString& text);

  TShortCut value_ = scNone;
};

}  // namespace qv
