// The plot of a trend store, shared by the live trend window and the recording viewer: one line
// per series against local time, one value axis per unit, a click on a legend entry hides or
// shows its series, a drag across the plot zooms into that span (a double click or the right
// button goes back), and a cursor line that lists the values at the time under the mouse.
// It draws what the store holds and hands every choice back to the store.
#pragma once

#include <QChartView>
#include <map>
#include <string>
#include <vector>

#include "console/TrendStore.h"

class QChart;
class QDateTimeAxis;
class QGraphicsLineItem;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;
class QLineSeries;
class QRubberBand;
class QValueAxis;

class TrendPlot : public QChartView {
  Q_OBJECT
 public:
  explicit TrendPlot(qv::TrendStore& store, QWidget* parent = nullptr);

  // Redraws when the store changed since the last call (or always with force).
  void refresh(bool force = false);
  // The time (Unix ms) under a horizontal position of the view; the cursor at a position.
  qint64 timeAt(double viewX) const;
  void showCursorAt(double viewX);
  QString cursorText() const;
  // Lines and axes as drawn, for tests.
  const std::vector<QLineSeries*>& lines() const { return lines_; }
  QDateTimeAxis* timeAxis() const { return timeAxis_; }
  std::vector<QValueAxis*> valueAxes() const;

 signals:
  void zoomChanged();

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void ensureLines();
  void layoutAxes();
  void hideCursor();

  qv::TrendStore& store_;
  QChart* chart_ = nullptr;                  // owned by the view
  QDateTimeAxis* timeAxis_ = nullptr;        // owned by the chart
  std::map<std::string, QValueAxis*> axes_;  // by unit; owned by the chart
  std::vector<std::string> axisOrder_;       // the units the axes stand in, as laid out
  std::vector<QLineSeries*> lines_;          // by series index; owned by the chart
  uint64_t shownRevision_ = ~uint64_t{0};
  QGraphicsLineItem* cursorLine_ = nullptr;  // owned by the scene
  QGraphicsRectItem* cursorBox_ = nullptr;
  QGraphicsSimpleTextItem* cursorLabel_ = nullptr;
  QRubberBand* band_ = nullptr;  // child of the view
  QPoint pressAt_;
  bool dragging_ = false;
};
