#include "ui/RecordingViewer.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <fstream>

#include "recording/ParamExport.h"
#include "ui/TrendPlot.h"

namespace {

QString fromUtf8(const std::string& s) {
  return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

}  // namespace

RecordingViewer::RecordingViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("RecordingViewer"));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(900, 560);
  store_.setKeepEverything(true);

  auto* headerBox = new QWidget(this);
  header_ = new QFormLayout(headerBox);
  header_->setContentsMargins(0, 0, 0, 0);
  header_->setHorizontalSpacing(10);
  header_->setVerticalSpacing(2);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("RecordingStatus"));
  status_->setWordWrap(true);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* buttons = new QVBoxLayout;
  const struct {
    const char* name;
    const char* text;
    ExportForm form;
  } kExports[] = {{"ExportWideCsv", "Export CSV (one column each)...", ExportForm::WideCsv},
                  {"ExportLongCsv", "Export CSV (one line per sample)...", ExportForm::LongCsv},
                  {"ExportJson", "Export JSON...", ExportForm::Json}};
  for (const auto& e : kExports) {
    auto* b = new QPushButton(tr(e.text), this);
    b->setObjectName(QString::fromLatin1(e.name));
    const ExportForm form = e.form;
    connect(b, &QPushButton::clicked, this, [this, form] { exportClick(form); });
    buttons->addWidget(b);
  }
  buttons->addStretch(1);

  auto* top = new QHBoxLayout;
  top->addWidget(headerBox, 1);
  top->addLayout(buttons);
  plot_ = new TrendPlot(store_, this);
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(8, 8, 8, 8);
  v->addLayout(top);
  v->addWidget(status_);
  v->addWidget(plot_, 1);
  setWindowTitle(tr("Recording - Quorvane Laser Control"));
}

bool RecordingViewer::Open(const QString& path) {
  path_ = path;
  contents_ = qv::readParamFile(path.toStdString());
  store_.clear();
  store_.clearZoom();
  qv::addRecordedSamples(store_, contents_.samples);
  while (header_->rowCount() > 0) header_->removeRow(0);
  header_->addRow(tr("file"), new QLabel(QFileInfo(path).fileName(), this));
  for (const auto& [name, value] : qv::recordingSummary(contents_)) {
    if (name == "read") continue;  // the status line below says it
    auto* label = new QLabel(fromUtf8(value), this);
    label->setObjectName(QStringLiteral("Header_") + fromUtf8(name).replace(' ', '_'));
    header_->addRow(fromUtf8(name), label);
  }
  const bool complete = contents_.opened && contents_.error.empty();
  status_->setText(StatusText());
  status_->setStyleSheet(complete ? QString() : QStringLiteral("color: rgb(192, 0, 0);"));
  setWindowTitle(QFileInfo(path).fileName() + tr(" - Quorvane Laser Control"));
  plot_->refresh(true);
  return contents_.opened;
}

QString RecordingViewer::HeaderText() const {
  QStringList lines;
  for (int r = 0; r < header_->rowCount(); ++r) {
    auto* name = qobject_cast<QLabel*>(header_->itemAt(r, QFormLayout::LabelRole)->widget());
    auto* value = qobject_cast<QLabel*>(header_->itemAt(r, QFormLayout::FieldRole)->widget());
    if (name && value) lines << name->text() + QStringLiteral(": ") + value->text();
  }
  return lines.join(QLatin1Char('\n'));
}

QString RecordingViewer::StatusText() const {
  for (const auto& [name, value] : qv::recordingSummary(contents_))
    if (name == "read") return tr("read: ") + fromUtf8(value);
  return {};
}

bool RecordingViewer::Export(const QString& path, ExportForm form) const {
  if (!contents_.opened) return false;
  std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
  if (!out) return false;
  switch (form) {
    case ExportForm::WideCsv:
      qv::writeWideCsv(out, qv::makeWideTable(contents_.samples));
      break;
    case ExportForm::LongCsv:
      qv::writeLongCsv(out, contents_);
      break;
    case ExportForm::Json:
      // As qvlaser-cli --json export prints it.
      out << qv::paramFileJson(contents_).dump(-1, ' ', false,
                                               nlohmann::ordered_json::error_handler_t::replace)
          << "\n";
      break;
  }
  out.flush();
  return bool(out);
}

void RecordingViewer::exportClick(ExportForm form) {
  const QFileInfo source(path_);
  const bool json = form == ExportForm::Json;
  const QString proposed = source.path() + QLatin1Char('/') + source.completeBaseName() +
                           (json ? QStringLiteral(".json") : QStringLiteral(".csv"));
  const QString path =
      QFileDialog::getSaveFileName(this, tr("Export the recording"), proposed,
                                   json ? tr("JSON document (*.json)") : tr("CSV table (*.csv)"));
  if (!path.isEmpty() && !Export(path, form))
    QMessageBox::critical(this, tr("Error"), tr("Cannot write %1").arg(path));
}
