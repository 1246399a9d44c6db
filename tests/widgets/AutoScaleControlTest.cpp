#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QPointer>
#include <memory>

#include "widgets/AutoScaleControl.h"
#include "widgets/ConsoleFont.h"

namespace {

// A shown window: controls shown in it get their bounds changes at once, as in the console.
struct Window {
  Window() {
    widget.resize(600, 400);
    widget.show();
  }
  QWidget widget;
};

template <class W>
W& shown(W& widget) {
  widget.show();
  return widget;
}

// What a plain QLabel with this text and font asks for: the way the label draws it.
QSize labelExtent(const QString& text, const QFont& font, bool wordWrap = false, int width = 0) {
  QLabel probe(text);
  probe.setFont(font);
  probe.setWordWrap(wordWrap);
  if (wordWrap) return {width, probe.heightForWidth(width)};
  return probe.sizeHint();
}

QFont sized(QFont f, int size) {
  f.setPointSize(size);
  return f;
}

bool fits(const QSize& extent, const QSize& box) {
  return extent.width() <= box.width() && extent.height() <= box.height();
}

TEST(ScalableLabel, FitsTheLargestFontAndScalesWithItsSize) {
  Window w;
  TScalableLabel label(&w.widget);
  shown(label).setFont(qv::consoleFont("Verdana", 8));
  label.setGeometry(10, 10, 60, 18);
  label.setCaption("External");
  const int small = label.font().pointSize();
  EXPECT_TRUE(fits(labelExtent("External", label.font()), QSize(60, 18)));
  EXPECT_FALSE(fits(labelExtent("External", sized(label.font(), small + 1)), QSize(60, 18)))
      << "size " << small << " is not the largest that fits";

  label.resize(120, 36);
  const int large = label.font().pointSize();
  EXPECT_TRUE(fits(labelExtent("External", label.font()), QSize(120, 36)));
  EXPECT_GE(large, 2 * small - 2);
  EXPECT_LE(large, 2 * small + 2);
}

TEST(ScalableLabel, AnEmptyCaptionIsMeasuredAsABlank) {
  Window w;
  TScalableLabel blank(" ", &w.widget);
  shown(blank).setGeometry(0, 0, 60, 18);
  TScalableLabel empty(&w.widget);
  shown(empty).setGeometry(0, 30, 60, 18);
  empty.setCaption("");
  empty.fitFont();
  EXPECT_GE(empty.font().pointSize(), 1);
  EXPECT_EQ(empty.font().pointSize(), blank.font().pointSize());
}

TEST(ScalableLabel, WithoutAutoScalableACaptionChangeKeepsTheFontButAResizeRefits) {
  Window w;
  TScalableLabel label(&w.widget);
  shown(label).setGeometry(0, 0, 60, 18);
  label.setCaption("External");
  const int fitted = label.font().pointSize();

  label.setCaption("Internal trigger");  // longer: an auto-scalable label shrinks
  EXPECT_LT(label.font().pointSize(), fitted);
  label.setCaption("External");
  EXPECT_EQ(label.font().pointSize(), fitted);

  label.setAutoScalable(false);
  label.setCaption("Internal trigger");
  EXPECT_EQ(label.font().pointSize(), fitted);
  label.resize(61, 18);
  EXPECT_LT(label.font().pointSize(), fitted) << "a resize refits whatever autoScalable says";
}

TEST(ScalableLabel, AmpersandsAreMeasuredAsTheLabelShowsThem) {
  Window w;
  QLineEdit buddy(&w.widget);
  const auto fitted = [&](const QString& caption, bool withBuddy) {
    TScalableLabel label(&w.widget);
    if (withBuddy) label.setBuddy(&buddy);
    shown(label).setGeometry(0, 0, 80, 30);
    label.setCaption(caption);
    label.fitFont();
    return label.font().pointSize();
  };
  // With a buddy "&E" is an accelerator mark and "&&" one '&'; without one every '&' shows.
  EXPECT_EQ(fitted("&External", true), fitted("External", false));
  EXPECT_EQ(fitted("A&&B", true), fitted("A&B", false));
  EXPECT_EQ(fitted("&External", false), fitted("XExternal", false));
  EXPECT_EQ(fitted("&", true), fitted(" ", false)) << "a lone mark is measured as a blank";
}

TEST(ScalableLabel, AWrappingLabelFitsOnSeveralLines) {
  Window w;
  TScalableLabel oneLine(&w.widget);
  shown(oneLine).setGeometry(0, 0, 90, 60);
  oneLine.setCaption("Laser Disconnected");
  TScalableLabel wrapped(&w.widget);
  wrapped.setWordWrap(true);
  shown(wrapped).setGeometry(0, 0, 90, 60);
  wrapped.setCaption("Laser Disconnected");
  EXPECT_GT(wrapped.font().pointSize(), oneLine.font().pointSize());
  EXPECT_LE(labelExtent("Laser Disconnected", wrapped.font(), true, 90).height(), 60);
}

TEST(ScalableLabel, WithoutAParentNothingIsFitted) {
  TScalableLabel label;
  label.setFont(qv::consoleFont("Verdana", 13));
  label.resize(300, 100);
  label.setCaption("External");
  EXPECT_EQ(label.font().pointSize(), 13);
}

TEST(ScalableEdit, FitsTheFontToTheHeightLessTheBorderAllowance) {
  Window w;
  TScalableEdit edit(&w.widget);
  shown(edit).setGeometry(0, 0, 80, 30);
  const int s = edit.font().pointSize();
  const int available = 30 - TScalableEdit::kFramedAllowance;
  EXPECT_LE(QFontMetrics(edit.font(), &edit).height(), available);
  EXPECT_GT(QFontMetrics(sized(edit.font(), s + 1), &edit).height(), available);

  edit.resize(200, 30);  // a width change alone keeps the font
  EXPECT_EQ(edit.font().pointSize(), s);

  edit.setFrame(false);
  edit.resize(200, 31);
  EXPECT_LE(QFontMetrics(edit.font(), &edit).height(), 31 - TScalableEdit::kFlatAllowance);
  EXPECT_GE(edit.font().pointSize(), s);
}

TEST(ScalableEdit, BelowTheBorderAllowanceTheFontEndsAtSizeOne) {
  Window w;
  TScalableEdit edit(&w.widget);
  shown(edit);
  for (int height : {20, 7, 3}) {
    edit.resize(80, height);
    EXPECT_GE(edit.font().pointSize(), 1) << height;
  }
  EXPECT_EQ(edit.font().pointSize(), 1);
}

TEST(ScalableRichEdit, ScalesTheDefaultTextSizeByTheSmallerRatio) {
  Window w;
  TScalableRichEdit edit(&w.widget);
  edit.setFont(qv::consoleFont("Tahoma", 10));
  edit.setGeometry(0, 0, 400, 100);
  EXPECT_EQ(edit.referenceWidth(), -1) << "not sized before it is shown";
  shown(edit);
  EXPECT_EQ(edit.referenceWidth(), 400);
  EXPECT_EQ(edit.referenceHeight(), 100);
  EXPECT_EQ(edit.referenceSize(), 10);

  edit.resize(200, 100);
  EXPECT_EQ(edit.defaultTextSize(), 5);
  edit.resize(400, 300);
  EXPECT_EQ(edit.defaultTextSize(), 10);
  edit.resize(800, 250);
  EXPECT_EQ(edit.defaultTextSize(), 20);
  EXPECT_EQ(edit.referenceSize(), 10) << "a rescale is not a new reference";

  edit.resize(0, 250);  // no size to scale to
  EXPECT_EQ(edit.defaultTextSize(), 20);
  edit.resize(4, 100);  // scaled to almost nothing: still a size
  EXPECT_EQ(edit.defaultTextSize(), 1);

  edit.resize(400, 100);
  edit.setFont(qv::consoleFont("Tahoma", 12));  // a font given from outside is the new reference
  EXPECT_EQ(edit.referenceSize(), 12);
  edit.resize(200, 100);
  EXPECT_EQ(edit.defaultTextSize(), 6);
}

TEST(LabelPair, PlacesItsUnitBesideItself) {
  Window w;
  TLabelPair pair(&w.widget);
  shown(pair);
  TScalableLabel* unit = pair.unitLabel();
  ASSERT_NE(unit, nullptr);
  EXPECT_EQ(unit->objectName(), "Unit");
  EXPECT_EQ(unit->parentWidget(), &w.widget);
  EXPECT_EQ(pair.space(), 0);
  EXPECT_EQ(pair.unitAlignment(), uaBottom);

  unit->resize(24, 13);
  pair.setGeometry(61, 40, 55, 18);
  EXPECT_EQ(unit->pos(), QPoint(116, 45));
  pair.setSpace(2);
  EXPECT_EQ(unit->pos(), QPoint(118, 45));
  EXPECT_EQ(pair.totalWidth(), 57 + 24);

  pair.setUnitAlignment(uaMiddle);
  EXPECT_EQ(unit->y(), 42);
  pair.setUnitAlignment(uaTop);
  EXPECT_EQ(unit->y(), 40);
  pair.setUnitAlignment(uaBottom);
  EXPECT_EQ(unit->y(), 45);

  pair.move(10, 100);
  EXPECT_EQ(unit->pos(), QPoint(67, 105));
  EXPECT_EQ(unit->size(), QSize(24, 13)) << "the unit keeps its own size";
}

TEST(LabelPair, TheUnitFollowsVisibilityEnabledStateParentAndLife) {
  Window w;
  QWidget other(&w.widget);
  shown(other).setGeometry(0, 200, 300, 100);
  auto pair = std::make_unique<TLabelPair>(&w.widget);
  pair->show();
  QPointer<TScalableLabel> unit = pair->unitLabel();
  pair->setGeometry(10, 10, 50, 18);

  EXPECT_TRUE(unit->isVisible());
  pair->hide();
  EXPECT_FALSE(unit->isVisible());
  pair->show();
  EXPECT_TRUE(unit->isVisible());
  pair->setEnabled(false);
  EXPECT_FALSE(unit->isEnabled());
  pair->setEnabled(true);
  EXPECT_TRUE(unit->isEnabled());

  pair->setParent(&other);
  EXPECT_EQ(unit->parentWidget(), &other);
  pair->setGeometry(5, 5, 50, 18);
  pair->show();
  EXPECT_TRUE(unit->isVisible());
  EXPECT_EQ(unit->x(), 55);

  pair.reset();
  EXPECT_TRUE(unit.isNull());
}

TEST(ConsoleFont, FallsBackToDejaVuSans) {
  const QFont missing = qv::consoleFont("No Such Face Anywhere", 9);
  EXPECT_EQ(missing.family(), qv::kFallbackFace);
  EXPECT_EQ(missing.pointSize(), 9);
  const QFont verdana = qv::consoleFont("Verdana", 11, QFont::Bold);
  EXPECT_TRUE(verdana.family() == "Verdana" || verdana.family() == qv::kFallbackFace);
  EXPECT_EQ(verdana.weight(), QFont::Bold);
}

}  // namespace
