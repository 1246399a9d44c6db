#include "ui/TrendPlot.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QRubberBand>
#include <QValueAxis>
#include <algorithm>

namespace {

QString fromUtf8(const std::string& s) {
  return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

}  // namespace

TrendPlot::TrendPlot(qv::TrendStore& store, QWidget* parent) : QChartView(parent), store_(store) {
  setObjectName(QStringLiteral("TrendPlot"));
  chart_ = new QChart;
  chart_->setAnimationOptions(QChart::NoAnimation);
  chart_->legend()->setAlignment(Qt::AlignBottom);
  chart_->setMargins(QMargins(4, 4, 4, 4));
  setChart(chart_);  // the view owns the chart from here on
  setRenderHint(QPainter::Antialiasing);
  setRubberBand(QChartView::NoRubberBand);
  setMouseTracking(true);
  timeAxis_ = new QDateTimeAxis;
  timeAxis_->setTitleText(tr("local time"));
  timeAxis_->setTickCount(6);
  chart_->addAxis(timeAxis_, Qt::AlignBottom);

  cursorLine_ = new QGraphicsLineItem(chart_);
  cursorLine_->setPen(QPen(QColor(80, 80, 80), 1, Qt::DashLine));
  cursorLine_->setZValue(10);
  cursorBox_ = new QGraphicsRectItem(chart_);
  cursorBox_->setBrush(QColor(255, 255, 225, 230));
  cursorBox_->setPen(QPen(QColor(120, 120, 120)));
  cursorBox_->setZValue(11);
  cursorLabel_ = new QGraphicsSimpleTextItem(chart_);
  cursorLabel_->setZValue(12);
  hideCursor();
  band_ = new QRubberBand(QRubberBand::Rectangle, this);
}

std::vector<QValueAxis*> TrendPlot::valueAxes() const {
  std::vector<QValueAxis*> out;
  for (const std::string& u : axisOrder_) out.push_back(axes_.at(u));
  return out;
}

void TrendPlot::ensureLines() {
  const auto& series = store_.series();
  while (lines_.size() < series.size()) {
    const size_t index = lines_.size();
    auto* line = new QLineSeries;
    line->setName(fromUtf8(series[index].label));
    chart_->addSeries(line);
    line->attachAxis(timeAxis_);
    lines_.push_back(line);
    for (QLegendMarker* m : chart_->legend()->markers(line)) {
      connect(m, &QLegendMarker::clicked, this, [this, index] {
        store_.setVisible(index, !store_.series()[index].visible);
        refresh();
      });
    }
  }
}

void TrendPlot::layoutAxes() {
  const std::vector<std::string> units = store_.visibleUnits();
  if (units == axisOrder_) return;
  // The axes are laid out again only when the set of shown units changes: left, right, left ...
  for (auto& [unit, axis] : axes_) {
    if (axis->orientation() == Qt::Vertical && chart_->axes(Qt::Vertical).contains(axis))
      chart_->removeAxis(axis);
  }
  for (size_t i = 0; i < units.size(); ++i) {
    QValueAxis*& axis = axes_[units[i]];
    if (!axis) {
      axis = new QValueAxis(this);
      axis->setTitleText(units[i].empty() ? tr("number") : fromUtf8(units[i]));
      axis->setLabelFormat(QStringLiteral("%.6g"));
      axis->setTickCount(5);
    }
    chart_->addAxis(axis, i % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
  }
  for (size_t i = 0; i < lines_.size(); ++i) {
    const std::string& unit = store_.series()[i].quantity.unit;
    for (QAbstractAxis* a : lines_[i]->attachedAxes())
      if (a != timeAxis_) lines_[i]->detachAxis(a);
    if (std::find(units.begin(), units.end(), unit) != units.end())
      lines_[i]->attachAxis(axes_[unit]);
  }
  axisOrder_ = units;
}

void TrendPlot::refresh(bool force) {
  if (!force && store_.revision() == shownRevision_) return;
  shownRevision_ = store_.revision();
  ensureLines();
  layoutAxes();
  const qv::TrendStore::Span span = store_.span();
  const int64_t now = QDateTime::currentMSecsSinceEpoch();
  const int64_t to = span.empty ? now : span.to;
  const int64_t from = span.empty ? now - store_.windowMs() : span.from;
  timeAxis_->setFormat(to - from > 2 * 3'600'000LL ? QStringLiteral("HH:mm")
                                                   : QStringLiteral("HH:mm:ss"));
  timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));
  // About two points per pixel of width are all a line can show.
  const size_t budget = size_t(std::max(200, 2 * int(chart_->plotArea().width())));
  const auto& series = store_.series();
  for (size_t i = 0; i < lines_.size(); ++i) {
    QList<QPointF> points;
    if (series[i].visible) {
      for (const qv::TrendPoint& p : store_.pointsToDraw(i, from, to, budget))
        points.append(QPointF(double(p.time), p.value));
    }
    lines_[i]->replace(points);
    // A hidden series keeps its legend entry, greyed, so a click brings it back.
    for (QLegendMarker* m : chart_->legend()->markers(lines_[i]))
      m->setLabelBrush(series[i].visible ? palette().text() : QBrush(Qt::gray));
  }
  for (const std::string& unit : axisOrder_) {
    const auto [lo, hi] = store_.valueRange(unit, from, to);
    axes_[unit]->setRange(lo, hi);
    // Round ticks (25.0, 25.1, ...) read better than the exact range's fifths.
    axes_[unit]->applyNiceNumbers();
  }
}

qint64 TrendPlot::timeAt(double viewX) const {
  const QRectF area = chart_->plotArea();
  const QPointF scenePos = mapToScene(QPoint(int(viewX), 0));
  const QPointF chartPos = chart_->mapFromScene(scenePos);
  const double f = area.width() > 0 ? (chartPos.x() - area.left()) / area.width() : 0;
  const qint64 a = timeAxis_->min().toMSecsSinceEpoch();
  const qint64 b = timeAxis_->max().toMSecsSinceEpoch();
  return a + qint64(std::clamp(f, 0.0, 1.0) * double(b - a));
}

void TrendPlot::showCursorAt(double viewX) {
  const QRectF area = chart_->plotArea();
  const QPointF chartPos = chart_->mapFromScene(mapToScene(QPoint(int(viewX), 0)));
  if (store_.series().empty() || chartPos.x() < area.left() || chartPos.x() > area.right()) {
    hideCursor();
    return;
  }
  cursorLine_->setLine(chartPos.x(), area.top(), chartPos.x(), area.bottom());
  cursorLabel_->setText(fromUtf8(store_.cursorText(timeAt(viewX))));
  const QRectF text = cursorLabel_->boundingRect();
  double x = chartPos.x() + 8;
  if (x + text.width() + 6 > area.right()) x = chartPos.x() - text.width() - 14;  // flip left
  cursorLabel_->setPos(x + 3, area.top() + 4);
  cursorBox_->setRect(x, area.top() + 2, text.width() + 6, text.height() + 4);
  for (QGraphicsItem* item :
       {static_cast<QGraphicsItem*>(cursorLine_), static_cast<QGraphicsItem*>(cursorBox_),
        static_cast<QGraphicsItem*>(cursorLabel_)})
    item->show();
}

QString TrendPlot::cursorText() const {
  return cursorLabel_->isVisible() ? cursorLabel_->text() : QString();
}

void TrendPlot::hideCursor() {
  cursorLine_->hide();
  cursorBox_->hide();
  cursorLabel_->hide();
}

void TrendPlot::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::RightButton) {
    store_.clearZoom();
    refresh();
    emit zoomChanged();
    return;
  }
  if (e->button() == Qt::LeftButton &&
      chart_->plotArea().contains(chart_->mapFromScene(mapToScene(e->position().toPoint())))) {
    pressAt_ = e->position().toPoint();
    dragging_ = true;
    band_->setGeometry(QRect(pressAt_, QSize()));
    band_->show();
    return;
  }
  QChartView::mousePressEvent(e);  // the legend's markers
}

void TrendPlot::mouseMoveEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  if (dragging_) {
    const QRectF area = chart_->plotArea();
    const QPoint top = mapFromScene(chart_->mapToScene(area.topLeft()));
    const QPoint bottom = mapFromScene(chart_->mapToScene(area.bottomRight()));
    band_->setGeometry(QRect(QPoint(std::min(pressAt_.x(), p.x()), top.y()),
                             QPoint(std::max(pressAt_.x(), p.x()), bottom.y())));
  }
  showCursorAt(p.x());
  QChartView::mouseMoveEvent(e);
}

void TrendPlot::mouseReleaseEvent(QMouseEvent* e) {
  if (dragging_ && e->button() == Qt::LeftButton) {
    dragging_ = false;
    band_->hide();
    const int x = e->position().toPoint().x();
    if (std::abs(x - pressAt_.x()) > 4) {
      store_.setZoom(timeAt(pressAt_.x()), timeAt(x));
      refresh();
      emit zoomChanged();
    }
    return;
  }
  QChartView::mouseReleaseEvent(e);
}

void TrendPlot::mouseDoubleClickEvent(QMouseEvent* e) {
  store_.clearZoom();
  refresh();
  emit zoomChanged();
  e->accept();
}

void TrendPlot::leaveEvent(QEvent* e) {
  hideCursor();
  QChartView::leaveEvent(e);
}

void TrendPlot::resizeEvent(QResizeEvent* e) {
  QChartView::resizeEvent(e);
  hideCursor();
  refresh(true);
}
