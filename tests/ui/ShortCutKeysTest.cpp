#include "ui/ShortCutKeys.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

namespace {

using qv::qtKeyOf;
using qv::shortCutOf;

constexpr Qt::KeyboardModifiers kNone = Qt::NoModifier;
constexpr Qt::KeyboardModifier kKeypad = Qt::KeypadModifier;

// The stored value and the Qt key that stand for each other.
TEST(ShortCutKeys, TableBothWays) {
  const struct {
    TShortCut stored;
    QKeyCombination key;
  } rows[] = {
      {16460, Qt::CTRL | Qt::Key_L},  // the settings file's Ctrl+L
      {16432, Qt::CTRL | Qt::Key_0},
      {32856, Qt::ALT | Qt::Key_X},
      {49228, Qt::CTRL | Qt::ALT | Qt::Key_L},
      {0x6041, Qt::CTRL | Qt::SHIFT | Qt::Key_A},
      {0x2039, Qt::SHIFT | Qt::Key_9},
      {0x5A, QKeyCombination(kNone, Qt::Key_Z)},
      {112, QKeyCombination(kNone, Qt::Key_F1)},
      {0x2074, Qt::SHIFT | Qt::Key_F5},
      {0x87, QKeyCombination(kNone, Qt::Key_F24)},
      {0x25, QKeyCombination(kNone, Qt::Key_Left)},
      {0x26, QKeyCombination(kNone, Qt::Key_Up)},
      {0x27, QKeyCombination(kNone, Qt::Key_Right)},
      {0x4028, Qt::CTRL | Qt::Key_Down},
      {0x24, QKeyCombination(kNone, Qt::Key_Home)},
      {0x23, QKeyCombination(kNone, Qt::Key_End)},
      {0x21, QKeyCombination(kNone, Qt::Key_PageUp)},
      {0x22, QKeyCombination(kNone, Qt::Key_PageDown)},
      {0x2D, QKeyCombination(kNone, Qt::Key_Insert)},
      {0x802E, Qt::ALT | Qt::Key_Delete},
      {0x1B, QKeyCombination(kNone, Qt::Key_Escape)},
      {0x400D, Qt::CTRL | Qt::Key_Return},
      {0x20, QKeyCombination(kNone, Qt::Key_Space)},
      {0x09, QKeyCombination(kNone, Qt::Key_Tab)},
      {0x8008, Qt::ALT | Qt::Key_Backspace},
      {0x60, kKeypad | Qt::Key_0},
      {0x4069, QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_9)},
      {0x6A, kKeypad | Qt::Key_Asterisk},
      {0x6B, kKeypad | Qt::Key_Plus},
      {0x6D, kKeypad | Qt::Key_Minus},
      {0x6E, kKeypad | Qt::Key_Period},
      {0x6F, kKeypad | Qt::Key_Slash},
  };
  for (const auto& row : rows) {
    const auto key = qtKeyOf(row.stored);
    ASSERT_TRUE(key) << row.stored;
    EXPECT_EQ(*key, row.key) << row.stored;
    EXPECT_EQ(shortCutOf(row.key), row.stored) << row.stored;
    EXPECT_EQ(shortCutOf(QKeySequence(row.key)), row.stored) << row.stored;
    EXPECT_FALSE(qv::shortCutText(row.stored).isEmpty()) << row.stored;
  }
  EXPECT_EQ(qv::shortCutText(16460), QStringLiteral("Ctrl+L"));
}

TEST(ShortCutKeys, ValuesWithoutAQtKeyAreShownEmpty) {
  // None; Ctrl with the key ";" of a US keyboard (not in the table); modifiers without a key;
  // the keypad separator; a bit that no short-cut uses.
  for (TShortCut stored :
       {TShortCut(0), TShortCut(0x40BA), TShortCut(0x4000), TShortCut(0x6C), TShortCut(0x4141)}) {
    EXPECT_FALSE(qtKeyOf(stored)) << stored;
    EXPECT_TRUE(qv::keySequenceOf(stored).isEmpty()) << stored;
    EXPECT_TRUE(qv::shortCutText(stored).isEmpty()) << stored;
  }
}

TEST(ShortCutKeys, QtKeysThatOnlyMapOneWay) {
  const struct {
    QKeyCombination key;
    std::optional<TShortCut> stored;
  } rows[] = {
      {kKeypad | Qt::Key_Enter, 0x0D},        // the keypad's Enter is Return
      {Qt::SHIFT | Qt::Key_Backtab, 0x2009},  // Shift+Tab
      {kKeypad | Qt::Key_Comma, 0x6E},        // a keypad decimal key that gives a comma
      {kKeypad | Qt::Key_Home, 0x24},         // keypad 7 with Num Lock off
      {Qt::META | Qt::Key_L, std::nullopt},   // no short-cut bit for Meta
      {Qt::SHIFT | Qt::Key_Exclam, std::nullopt},
      {QKeyCombination(kNone, Qt::Key_Semicolon), std::nullopt},
  };
  for (const auto& row : rows) EXPECT_EQ(shortCutOf(row.key), row.stored) << row.key.toCombined();
  EXPECT_EQ(shortCutOf(QKeySequence()), TShortCut(0));
  EXPECT_FALSE(shortCutOf(QKeySequence(Qt::CTRL | Qt::Key_K, Qt::CTRL | Qt::Key_L)));
}

TEST(ShortCutKeys, KeyEventsAsTheKeyPreviewSeesThem) {
  const struct {
    int key;
    Qt::KeyboardModifiers mods;
    quint32 scanCode;
    std::optional<TShortCut> stored;
  } rows[] = {
      {Qt::Key_L, Qt::ControlModifier, 46, 16460},
      {Qt::Key_3, Qt::ControlModifier, 12, 16435},  // the preset Ctrl+3
      {Qt::Key_Control, Qt::ControlModifier, 37, std::nullopt},
      {Qt::Key_Shift, Qt::ShiftModifier, 50, std::nullopt},
      // Shift+1 gives "!" on the layout; the key is the digit 1 by its position.
      {Qt::Key_Exclam, Qt::ControlModifier | Qt::ShiftModifier, 10, 0x6031},
      // A Cyrillic layout: the letter on the key of L.
      {0x0414, Qt::ControlModifier, 46, 16460},
      {0x0414, Qt::ControlModifier, 0, std::nullopt},
      {Qt::Key_5, Qt::KeypadModifier, 84, 0x65},
  };
  for (const auto& row : rows) {
    QKeyEvent e(QEvent::KeyPress, row.key, row.mods, row.scanCode, 0, 0);
    EXPECT_EQ(shortCutOf(e), row.stored) << row.key;
  }
}

TEST(ShortCutKeys, RecordedShortCutsKeepTypingKeysFree) {
  const struct {
    TShortCut pressed, recorded;
  } rows[] = {
      {0x4C, 0x804C},    // L alone becomes Alt+L
      {0x204C, 0xA04C},  // Shift+L
      {0x20, 0x8020},    // Space
      {0x61, 0x8061},    // keypad 1
      {0x6B, 0x806B},    // keypad +
      {16460, 16460},    // Ctrl+L
      {0x804C, 0x804C},  // Alt+L
      {112, 112},        // F1
      {0x2E, 0x2E},      // Delete (with modifiers only; the field clears on it alone)
      {0x2074, 0x2074},  // Shift+F5
  };
  for (const auto& row : rows)
    EXPECT_EQ(qv::recordedShortCut(row.pressed), row.recorded) << row.pressed;
}

TEST(HotKeyEdit, RecordsOneKeyWithItsModifiers) {
  qv::HotKeyEdit edit;
  QSignalSpy changed(&edit, &qv::HotKeyEdit::shortCutChanged);
  edit.setShortCut(16457);
  EXPECT_EQ(edit.text(), QStringLiteral("Ctrl+I"));
  EXPECT_EQ(changed.count(), 0);

  QTest::keyClick(&edit, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(edit.shortCut(), 0x4051);
  EXPECT_EQ(edit.text(), QStringLiteral("Ctrl+Q"));
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed.at(0).at(0).value<TShortCut>(), 0x4051);

  QTest::keyClick(&edit, Qt::Key_N);  // a typing key gets Alt
  EXPECT_EQ(edit.shortCut(), 0x804E);

  QTest::keyClick(&edit, Qt::Key_Backspace);
  EXPECT_EQ(edit.shortCut(), 0);
  EXPECT_TRUE(edit.text().isEmpty());
  EXPECT_EQ(changed.count(), 3);

  // A stored value without a Qt key is kept, shown empty, until another key is recorded.
  edit.setShortCut(0x40BA);
  EXPECT_TRUE(edit.text().isEmpty());
  EXPECT_EQ(edit.shortCut(), 0x40BA);
  QTest::keyClick(&edit, Qt::Key_F7, Qt::ShiftModifier);
  EXPECT_EQ(edit.shortCut(), 0x2076);
}

TEST(HotKeyEdit, LeavesTheDialogItsKeys) {
  qv::HotKeyEdit edit;
  edit.setShortCut(16460);
  for (int key : {int(Qt::Key_Escape), int(Qt::Key_Return), int(Qt::Key_Enter)}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(&edit, &press);
    EXPECT_FALSE(press.isAccepted()) << key;
  }
  QKeyEvent ctrlEsc(QEvent::KeyPress, Qt::Key_Escape, Qt::ControlModifier);
  QCoreApplication::sendEvent(&edit, &ctrlEsc);
  EXPECT_TRUE(ctrlEsc.isAccepted());
  EXPECT_EQ(edit.shortCut(), 0x401B);
}

}  // namespace
