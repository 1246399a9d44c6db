// The live trend window: a tool window of the main window that plots every number the
// console's polling reads (TQVLaserControl::OnTrendSample) over a rolling span of 1 min to 24 h,
// with pause, zoom, the value cursor, and saving as PNG and CSV. It keeps collecting while it is
// hidden, so reopening shows the curves so far; it redraws only while shown, once a second at
// most (a curve over minutes needs no more, and the console's own time stays its own).
#pragma once

#include <QWidget>

#include "console/TrendStore.h"

class QComboBox;
class QPushButton;
class QTimer;
class TQVLaserControl;
class TrendPlot;

class TrendWindow : public QWidget {
  Q_OBJECT
 public:
  // Hooks the console's trend samples (and unhooks them when it goes).
  TrendWindow(TQVLaserControl& console, QWidget* parent);
  ~TrendWindow() override;
  TrendWindow(const TrendWindow&) = delete;
  TrendWindow& operator=(const TrendWindow&) = delete;

  qv::TrendStore& Store() { return store_; }
  TrendPlot& Plot() { return *plot_; }
  // The spans the operator can choose, in ms; the choice is the store's window.
  static const std::vector<std::pair<const char*, qint64>>& Spans();
  void SetSpan(qint64 ms);
  void SetPaused(bool paused);
  bool SavePng(const QString& path);
  bool SaveCsv(const QString& path);

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  void savePngClick();
  void saveCsvClick();
  void showControls();

  TQVLaserControl& console_;
  qv::TrendStore store_;
  TrendPlot* plot_ = nullptr;
  QComboBox* span_ = nullptr;
  QPushButton* pause_ = nullptr;
  QPushButton* whole_ = nullptr;
  QTimer* redraw_ = nullptr;
};
