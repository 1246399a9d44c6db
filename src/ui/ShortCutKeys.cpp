#include "ui/ShortCutKeys.h"

#include <QKeyEvent>
#include <vector>

namespace qv {

namespace {

// One virtual key and the Qt key that stands for it.
struct KeyRow {
  std::uint8_t vk;
  int key;
  bool keypad;  // the key of the numeric keypad (Qt's KeypadModifier)
};

const std::vector<KeyRow>& keyTable() {
  static const std::vector<KeyRow> rows = [] {
    std::vector<KeyRow> r = {
        {0x08, Qt::Key_Backspace, false}, {0x09, Qt::Key_Tab, false},
        {0x0D, Qt::Key_Return, false},    {0x1B, Qt::Key_Escape, false},
        {0x20, Qt::Key_Space, false},     {0x21, Qt::Key_PageUp, false},
        {0x22, Qt::Key_PageDown, false},  {0x23, Qt::Key_End, false},
        {0x24, Qt::Key_Home, false},      {0x25, Qt::Key_Left, false},
        {0x26, Qt::Key_Up, false},        {0x27, Qt::Key_Right, false},
        {0x28, Qt::Key_Down, false},      {0x2D, Qt::Key_Insert, false},
        {0x2E, Qt::Key_Delete, false},
    };
    for (int i = 0; i < 10; ++i) r.push_back({std::uint8_t(0x30 + i), Qt::Key_0 + i, false});
    for (int i = 0; i < 26; ++i) r.push_back({std::uint8_t(0x41 + i), Qt::Key_A + i, false});
    for (int i = 0; i < 10; ++i) r.push_back({std::uint8_t(0x60 + i), Qt::Key_0 + i, true});
    r.push_back({0x6A, Qt::Key_Asterisk, true});
    r.push_back({0x6B, Qt::Key_Plus, true});
    r.push_back({0x6D, Qt::Key_Minus, true});
    r.push_back({0x6E, Qt::Key_Period, true});
    r.push_back({0x6F, Qt::Key_Slash, true});
    for (int i = 0; i < 24; ++i) r.push_back({std::uint8_t(0x70 + i), Qt::Key_F1 + i, false});
    return r;
  }();
  return rows;
}

std::optional<std::uint8_t> virtualKeyOf(int key, bool keypad) {
  for (const KeyRow& row : keyTable())
    if (row.key == key && row.keypad == keypad) return row.vk;
  if (key == Qt::Key_Enter) return 0x0D;  // the keypad's Enter is the same key as Return
  if (key == Qt::Key_Backtab) return 0x09;
  if (keypad) {
    // Keypads whose decimal key gives a comma; with Num Lock off the keypad's navigation keys
    // are the navigation keys themselves.
    if (key == Qt::Key_Comma) return 0x6E;
    for (const KeyRow& row : keyTable())
      if (row.key == key && !row.keypad && row.vk >= 0x21 && row.vk <= 0x2E) return row.vk;
  }
  return std::nullopt;
}

bool isModifierKey(int key) {
  switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
      return true;
    default:
      return false;
  }
}

// The digit or letter at a key's position (XKB key codes of the PC keyboard, which Linux
// desktops report as the native scan code), for keys the layout gives no Latin character.
std::optional<std::uint8_t> virtualKeyAtPosition(quint32 code) {
  static const char kDigits[] = "1234567890";  // codes 10..19
  static const char kTop[] = "QWERTYUIOP";     // 24..33
  static const char kMiddle[] = "ASDFGHJKL";   // 38..46
  static const char kBottom[] = "ZXCVBNM";     // 52..58
  if (code >= 10 && code <= 19) return std::uint8_t(kDigits[code - 10]);
  if (code >= 24 && code <= 33) return std::uint8_t(kTop[code - 24]);
  if (code >= 38 && code <= 46) return std::uint8_t(kMiddle[code - 38]);
  if (code >= 52 && code <= 58) return std::uint8_t(kBottom[code - 52]);
  return std::nullopt;
}

std::optional<TShortCut> modifierBits(Qt::KeyboardModifiers mods) {
  if (mods & ~(Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::KeypadModifier))
    return std::nullopt;  // Meta has no short-cut bit
  TShortCut bits = 0;
  if (mods & Qt::ShiftModifier) bits |= scShift;
  if (mods & Qt::ControlModifier) bits |= scCtrl;
  if (mods & Qt::AltModifier) bits |= scAlt;
  return bits;
}

}  // namespace

std::optional<QKeyCombination> qtKeyOf(TShortCut sc) {
  if (sc == scNone || (sc & 0x1F00)) return std::nullopt;
  const std::uint8_t vk = ShortCutKey(sc);
  for (const KeyRow& row : keyTable()) {
    if (row.vk != vk) continue;
    Qt::KeyboardModifiers mods;
    if (sc & scShift) mods |= Qt::ShiftModifier;
    if (sc & scCtrl) mods |= Qt::ControlModifier;
    if (sc & scAlt) mods |= Qt::AltModifier;
    if (row.keypad) mods |= Qt::KeypadModifier;
    return QKeyCombination(mods, Qt::Key(row.key));
  }
  return std::nullopt;
}

QKeySequence keySequenceOf(TShortCut sc) {
  const auto key = qtKeyOf(sc);
  return key ? QKeySequence(*key) : QKeySequence();
}

QString shortCutText(TShortCut sc) {
  return keySequenceOf(sc).toString(QKeySequence::NativeText);
}

std::optional<TShortCut> shortCutOf(QKeyCombination key) {
  const auto bits = modifierBits(key.keyboardModifiers());
  if (!bits) return std::nullopt;
  const auto vk = virtualKeyOf(key.key(), key.keyboardModifiers() & Qt::KeypadModifier);
  if (!vk) return std::nullopt;
  TShortCut sc = ShortCut(*vk, *bits);
  if (key.key() == Qt::Key_Backtab) sc |= scShift;
  return sc;
}

std::optional<TShortCut> shortCutOf(const QKeySequence& sequence) {
  if (sequence.isEmpty()) return scNone;
  if (sequence.count() != 1) return std::nullopt;
  return shortCutOf(sequence[0]);
}

std::optional<TShortCut> shortCutOf(const QKeyEvent& event) {
  const int key = event.key();
  if (isModifierKey(key)) return std::nullopt;
  if (const auto sc = shortCutOf(event.keyCombination())) return sc;
  const auto bits = modifierBits(event.modifiers());
  if (!bits || (event.modifiers() & Qt::KeypadModifier)) return std::nullopt;
  if (const auto vk = virtualKeyAtPosition(event.nativeScanCode())) return ShortCut(*vk, *bits);
  return std::nullopt;
}

TShortCut recordedShortCut(TShortCut pressed) {
  if (pressed & (scCtrl | scAlt)) return pressed;
  const std::uint8_t vk = ShortCutKey(pressed);
  const bool typing = vk == 0x20 || (vk >= 0x30 && vk <= 0x39) || (vk >= 0x41 && vk <= 0x5A) ||
                      (vk >= 0x60 && vk <= 0x6F);
  return typing ? static_cast<TShortCut>(pressed | scAlt) : pressed;
}

HotKeyEdit::HotKeyEdit(QWidget* parent) : QLineEdit(parent) {
  setClearButtonEnabled(true);
  setPlaceholderText(tr("None"));
  setContextMenuPolicy(Qt::NoContextMenu);
  setAcceptDrops(false);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  // The only edit the field lets through is its clear button.
  connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (text.isEmpty()) record(scNone);
  });
}

void HotKeyEdit::setShortCut(TShortCut value) {
  value_ = value;
  showValue();
}

bool HotKeyEdit::passesToDialog(const QKeyEvent& e) {
  const auto mods = e.modifiers() & ~Qt::KeypadModifier;
  switch (e.key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return (mods & ~Qt::ShiftModifier) == Qt::NoModifier;
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return mods == Qt::NoModifier;
    default:
      return false;
  }
}

bool HotKeyEdit::event(QEvent* e) {
  // Every key but the dialog's own comes to the field, even one that is a short-cut elsewhere.
  if (e->type() == QEvent::ShortcutOverride && !passesToDialog(*static_cast<QKeyEvent*>(e))) {
    e->accept();
    return true;
  }
  return QLineEdit::event(e);
}

void HotKeyEdit::keyPressEvent(QKeyEvent* e) {
  if (passesToDialog(*e)) {
    e->ignore();
    return;
  }
  e->accept();
  const auto mods = e->modifiers() & ~Qt::KeypadModifier;
  if (isModifierKey(e->key())) {
    // The modifiers held so far, as the field will show them with a key: "Ctrl+".
    QString text =
        QKeySequence(QKeyCombination(mods, Qt::Key_A)).toString(QKeySequence::NativeText);
    text.chop(1);
    showText(text);
    return;
  }
  if (mods == Qt::NoModifier && (e->key() == Qt::Key_Backspace || e->key() == Qt::Key_Delete)) {
    record(scNone);
    return;
  }
  if (const auto sc = shortCutOf(*e))
    record(recordedShortCut(*sc));
  else
    showValue();
}

void HotKeyEdit::keyReleaseEvent(QKeyEvent* e) {
  e->accept();
  showValue();
}

void HotKeyEdit::focusOutEvent(QFocusEvent* e) {
  showValue();
  QLineEdit::focusOutEvent(e);
}

void HotKeyEdit::record(TShortCut value) {
  const bool changed = value != value_;
  value_ = value;
  showValue();
  if (changed) emit shortCutChanged(value);
}

void HotKeyEdit::showValue() {
  showText(shortCutText(value_));
}

void HotKeyEdit::showText(const QString& text) {
  if (this->text() != text) setText(text);
}

}  // namespace qv
