#include "ui/TrendWindow.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <fstream>

#include "console/QVLaserControl.h"
#include "ui/TrendPlot.h"

const std::vector<std::pair<const char*, qint64>>& TrendWindow::Spans() {
  static const std::vector<std::pair<const char*, qint64>> spans = {
      {"1 min", 60'000},         {"5 min", 5 * 60'000}, {"10 min", 10 * 60'000},
      {"30 min", 30 * 60'000},   {"1 h", 3'600'000},    {"6 h", 6 * 3'600'000LL},
      {"24 h", 24 * 3'600'000LL}};
  return spans;
}

TrendWindow::TrendWindow(TQVLaserControl& console, QWidget* parent)
    : QWidget(parent, Qt::Tool), console_(console) {
  setObjectName(QStringLiteral("TrendWindow"));
  setWindowTitle(tr("Live trends - Quorvane Laser Control"));
  resize(820, 460);

  span_ = new QComboBox(this);
  span_->setObjectName(QStringLiteral("TrendSpan"));
  for (const auto& [text, ms] : Spans()) span_->addItem(QString::fromLatin1(text), ms);
  pause_ = new QPushButton(tr("Pause"), this);
  pause_->setObjectName(QStringLiteral("TrendPause"));
  pause_->setCheckable(true);
  whole_ = new QPushButton(tr("Whole span"), this);
  whole_->setObjectName(QStringLiteral("TrendWholeSpan"));
  whole_->setToolTip(tr("Back from a zoom (also a double click or the right button on the plot)"));
  auto* png = new QPushButton(tr("Save PNG..."), this);
  png->setObjectName(QStringLiteral("TrendSavePng"));
  auto* csv = new QPushButton(tr("Save CSV..."), this);
  csv->setObjectName(QStringLiteral("TrendSaveCsv"));
  plot_ = new TrendPlot(store_, this);
  plot_->setToolTip(tr("Drag across the plot to zoom; click a legend entry to hide or show it"));

  auto* bar = new QHBoxLayout;
  bar->addWidget(new QLabel(tr("Span:"), this));
  bar->addWidget(span_);
  bar->addWidget(pause_);
  bar->addWidget(whole_);
  bar->addStretch(1);
  bar->addWidget(png);
  bar->addWidget(csv);
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(6, 6, 6, 6);
  v->addLayout(bar);
  v->addWidget(plot_, 1);

  connect(span_, &QComboBox::activated, this,
          [this](int i) { SetSpan(span_->itemData(i).toLongLong()); });
  connect(pause_, &QPushButton::toggled, this, [this](bool on) { SetPaused(on); });
  connect(whole_, &QPushButton::clicked, this, [this] {
    store_.clearZoom();
    plot_->refresh();
    showControls();
  });
  connect(plot_, &TrendPlot::zoomChanged, this, [this] { showControls(); });
  connect(png, &QPushButton::clicked, this, [this] { savePngClick(); });
  connect(csv, &QPushButton::clicked, this, [this] { saveCsvClick(); });

  redraw_ = new QTimer(this);
  redraw_->setInterval(1000);
  connect(redraw_, &QTimer::timeout, this, [this] { plot_->refresh(); });

  console_.OnTrendSample = [this](const qv::TrendSample& s) { store_.add(s); };
  showControls();
}

TrendWindow::~TrendWindow() {
  console_.OnTrendSample = nullptr;
}

void TrendWindow::SetSpan(qint64 ms) {
  store_.setWindowMs(ms);
  store_.clearZoom();
  plot_->refresh();
  showControls();
}

void TrendWindow::SetPaused(bool paused) {
  store_.setPaused(paused);
  plot_->refresh();
  showControls();
}

void TrendWindow::showControls() {
  const int i = span_->findData(QVariant::fromValue<qint64>(store_.windowMs()));
  if (i >= 0 && i != span_->currentIndex()) span_->setCurrentIndex(i);
  if (pause_->isChecked() != store_.paused()) pause_->setChecked(store_.paused());
  whole_->setEnabled(store_.zoomed());
}

void TrendWindow::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  plot_->refresh(true);
  redraw_->start();
}

void TrendWindow::hideEvent(QHideEvent* e) {
  redraw_->stop();
  QWidget::hideEvent(e);
}

bool TrendWindow::SavePng(const QString& path) {
  plot_->refresh(true);
  // The chart lays new legend entries and axes out when its layout request comes round; the
  // picture is taken after that, without running anything else that is queued.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  return plot_->grab().save(path, "PNG");
}

bool TrendWindow::SaveCsv(const QString& path) {
  std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
  if (!out) return false;
  store_.writeCsv(out);
  return bool(out);
}

void TrendWindow::savePngClick() {
  const QString path = QFileDialog::getSaveFileName(
      this, tr("Save the plot"), QStringLiteral("trends.png"), tr("PNG picture (*.png)"));
  if (!path.isEmpty() && !SavePng(path))
    QMessageBox::critical(this, tr("Error"), tr("Cannot write %1").arg(path));
}

void TrendWindow::saveCsvClick() {
  const QString path = QFileDialog::getSaveFileName(
      this, tr("Save the values"), QStringLiteral("trends.csv"), tr("CSV table (*.csv)"));
  if (!path.isEmpty() && !SaveCsv(path))
    QMessageBox::critical(this, tr("Error"), tr("Cannot write %1").arg(path));
}
