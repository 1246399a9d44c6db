// The recording viewer: a window that shows a recording file (.qlp) whole: its header, every
// recorded quantity over time in the trend plot, and export as the wide CSV, the long CSV and
// JSON, the same forms as qvlaser-cli export writes. A cut or damaged file shows what could be
// read and says where reading stopped.
#pragma once

#include <QWidget>
#include <limits>

#include "console/TrendStore.h"
#include "recording/ParamFileReader.h"

class QLabel;
class QFormLayout;
class TrendPlot;

class RecordingViewer : public QWidget {
  Q_OBJECT
 public:
  explicit RecordingViewer(QWidget* parent = nullptr);

  // Reads the file and shows it; false when not even its header could be read (the window then
  // says why). A file that stops early still shows what it held and returns true.
  bool Open(const QString& path);
  const qv::ParamFileContents& Contents() const { return contents_; }
  qv::TrendStore& Store() { return store_; }
  TrendPlot& Plot() { return *plot_; }
  // The header rows as shown ("laser serial" ... "read"), and the status line.
  QString HeaderText() const;
  QString StatusText() const;

  enum class ExportForm { WideCsv, LongCsv, Json };
  bool Export(const QString& path, ExportForm form) const;

 private:
  void exportClick(ExportForm form);

  qv::ParamFileContents contents_;
  qv::TrendStore store_{std::numeric_limits<size_t>::max()};  // a file is shown unthinned
  QString path_;
  QFormLayout* header_ = nullptr;
  QLabel* status_ = nullptr;
  TrendPlot* plot_ = nullptr;
};
