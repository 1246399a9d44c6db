#include "ui/SetOptionForm.h"

#include <pthread.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <functional>

#include "console/QVLaserControl.h"
#include "link/QVUtils.h"
#include "shell/KeyFilter.h"
#include "ui/ProtocolText.h"
#include "ui/ShortCutKeys.h"
#include "widgets/ConsoleImages.h"

#ifndef QV_VERSION_TEXT
#define QV_VERSION_TEXT ""
#endif
#ifndef QV_DOC_FROM_BIN
#define QV_DOC_FROM_BIN ""
#endif
#ifndef QV_SOURCE_DOC
#define QV_SOURCE_DOC ""
#endif

namespace qv {

// The editable port field: opening and closing its list are the dialog's LaserPortDropDown and
// LaserPortCloseUp. While the dialog re-shows an open list (to fit new items) nothing is reported.
class LaserPortBox : public QComboBox {
 public:
  using QComboBox::QComboBox;

  std::function<void()> onDropDown, onCloseUp;

  void showPopup() override {
    if (!quiet_ && onDropDown) onDropDown();
    QComboBox::showPopup();
  }
  void hidePopup() override {
    QComboBox::hidePopup();
    if (!quiet_ && onCloseUp) onCloseUp();
  }
  bool popupShown() const { return view() && view()->isVisible(); }
  // Closes and opens the list again so that it takes the size of its new items.
  void refitPopup() {
    if (!popupShown()) return;
    quiet_ = true;
    QComboBox::hidePopup();
    QComboBox::showPopup();
    quiet_ = false;
  }

 private:
  bool quiet_ = false;
};

namespace {

constexpr const char* kProductName = "Quorvane Laser Control";

QString boxText(const char* text) {
  // The core's texts break lines with CR LF; Qt's labels with LF.
  return fromUtf8(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// A note on an orange band.
QLabel* noteBand(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setAutoFillBackground(true);
  label->setMargin(6);
  QPalette p = label->palette();
  p.setColor(QPalette::Window, QColor(0xFF, 0xC8, 0x7C));
  p.setColor(QPalette::WindowText, QColor(0x30, 0x20, 0x00));
  label->setPalette(p);
  return label;
}

void setTag(QWidget* w, std::uint32_t tag) {
  w->setProperty(kTagProperty, static_cast<int>(tag));
  // Composite fields: the tag also on the edit inside, whichever of the two has the focus.
  if (!qobject_cast<QLineEdit*>(w))
    if (auto* edit = w->findChild<QLineEdit*>())
      edit->setProperty(kTagProperty, static_cast<int>(tag));
}

QSpinBox* intervalField(const char* name, int minimum, QWidget* parent) {
  auto* spin = new QSpinBox(parent);
  spin->setObjectName(QString::fromLatin1(name));
  spin->setRange(minimum, 32767);
  spin->setSingleStep(500);
  spin->setValue(500);
  spin->setGroupSeparatorShown(false);
  spin->setAlignment(Qt::AlignRight);
  setTag(spin, kIntegerOnlyTagBit);
  return spin;
}

QPixmap applicationPicture(int size) {
  return applicationIcon().pixmap(size, size);
}

// The documentation the About tab links to: the installed copy beside the program, else the
// one of the source tree the program was built from.
QUrl documentationUrl() {
  const QString installed = QDir(QCoreApplication::applicationDirPath())
                                .absoluteFilePath(QStringLiteral(QV_DOC_FROM_BIN));
  if (QFileInfo(installed).isFile()) return QUrl::fromLocalFile(installed);
  return QUrl::fromLocalFile(QStringLiteral(QV_SOURCE_DOC));
}

}  // namespace

OptionDialog::OptionDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("OptionFrm"));
  setWindowTitle(tr("Options"));

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("PageControl1"));
  tabs_->addTab(makeGeneralTab(), tr("General"));
  tabs_->addTab(makeHotKeysTab(), tr("Hot keys"));
  tabs_->addTab(makePresetsTab(), tr("Preset currents"));
  tabs_->addTab(makeAboutTab(), tr("About"));
  connect(tabs_, &QTabWidget::currentChanged, this,
          [this](int index) { form_.ActiveTab = static_cast<TOptionFrm::TTab>(index); });

  auto* buttons = new QDialogButtonBox(this);
  ok_ = buttons->addButton(QDialogButtonBox::Ok);
  cancel_ = buttons->addButton(QDialogButtonBox::Cancel);
  ok_->setObjectName(QStringLiteral("BitBtn1"));
  cancel_->setObjectName(QStringLiteral("BitBtn2"));
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &OptionDialog::BitBtn1Click);
  connect(cancel_, &QPushButton::clicked, this, &OptionDialog::BitBtn2Click);

  // While the ports are probed: a busy bar beside the buttons.
  busy_ = new QProgressBar(this);
  busy_->setObjectName(QStringLiteral("ProbeProgress"));
  busy_->setRange(0, 0);
  busy_->setTextVisible(false);
  busy_->setFixedWidth(90);
  busy_->setToolTip(tr(kSearchingText));
  busy_->hide();
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(busy_, 0, Qt::AlignVCenter);
  bottom->addStretch(1);
  bottom->addWidget(buttons);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addLayout(bottom);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  probeWatch_ = new QTimer(this);
  probeWatch_->setInterval(20);
  connect(probeWatch_, &QTimer::timeout, this, [this] {
    if (!probeDone_.isSet()) return;
    probeWatch_->stop();
    joinProbe();
    probeFinished(std::move(probeItems_));
  });
  timer1_ = new QTimer(this);
  timer1_->setObjectName(QStringLiteral("Timer1"));
  timer1_->setSingleShot(true);
  timer1_->setInterval(10);
  connect(timer1_, &QTimer::timeout, this, &OptionDialog::DelayedCheckSerialPort);

  form_.KeysChanged = false;
  showForm();
}

OptionDialog::~OptionDialog() {
  // The base class still hides the dialog (and an open list) and deletes the controls after
  // this object's own members are gone: nothing of that may reach the handlers any more.
  laserPort_->onDropDown = nullptr;
  laserPort_->onCloseUp = nullptr;
  for (QObject* child : findChildren<QObject*>()) disconnect(child, nullptr, this, nullptr);
  probeWatch_->stop();
  joinProbe();
}

QWidget* OptionDialog::makeGeneralTab() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("GeneralTab"));

  auto* laser = new QGroupBox(tr(" Laser "), page);
  laserPort_ = new LaserPortBox(laser);
  laserPort_->setObjectName(QStringLiteral("LaserPort"));
  laserPort_->setEditable(true);
  laserPort_->setInsertPolicy(QComboBox::NoInsert);
  laserPort_->setMinimumContentsLength(18);
  laserPort_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  laserPort_->setCompleter(nullptr);
  setTag(laserPort_, kFreeTextTagMask);
  laserPort_->onDropDown = [this] { LaserPortDropDown(); };
  laserPort_->onCloseUp = [this] { LaserPortCloseUp(); };
  connect(laserPort_, &QComboBox::editTextChanged, this,
          [this](const QString& text) { form_.LaserPortText = toUtf8(text); });
  connect(laserPort_, &QComboBox::activated, this,
          [this] { timer1_->start(); });  // LaserPortSelect
  auto* portLabel = new QLabel(tr("Laser port"), laser);
  portLabel->setBuddy(laserPort_);
  auto* laserGrid = new QGridLayout(laser);
  laserGrid->addWidget(portLabel, 0, 0);
  laserGrid->addWidget(laserPort_, 0, 1);
  laserGrid->setColumnStretch(1, 1);
  laserGrid->addWidget(
      noteBand(tr("Port marked with * in drop-down list is the one this program is using."), laser),
      1, 0, 1, 2);

  auto* automation = new QGroupBox(tr(" Automation "), page);
  autoDetect_ = new QCheckBox(tr("Detect Laser connection for every"), automation);
  autoDetect_->setObjectName(QStringLiteral("AutoDetect"));
  detectTime_ = intervalField("DetectTime", 50, automation);
  connect(autoDetect_, &QCheckBox::toggled, this, [this](bool checked) {
    form_.AutoDetectClick(checked);
    detectTime_->setEnabled(form_.DetectTimeEnabled);
  });
  connect(detectTime_, &QSpinBox::valueChanged, this,
          [this](int value) { form_.DetectUpDownPosition = value; });
  // Kept for the settings record, never shown.
  autoUpdate_ = new QCheckBox(tr("Update laser parameters automatically for every"), automation);
  autoUpdate_->setObjectName(QStringLiteral("AutoUpdate"));
  updateTime_ = intervalField("UpdateTime", 500, automation);
  connect(autoUpdate_, &QCheckBox::toggled, this, [this](bool checked) {
    form_.AutoUpdateClick(checked);
    updateTime_->setEnabled(form_.UpdateTimeEnabled);
  });
  connect(updateTime_, &QSpinBox::valueChanged, this,
          [this](int value) { form_.UpdateUpDownPosition = value; });
  auto* updateMs = new QLabel(tr("ms"), automation);
  autoUpdate_->hide();
  updateTime_->hide();
  updateMs->hide();

  auto* autoGrid = new QGridLayout(automation);
  autoGrid->addWidget(autoDetect_, 0, 0);
  autoGrid->addWidget(detectTime_, 0, 1);
  autoGrid->addWidget(new QLabel(tr("ms after disconnected"), automation), 0, 2);
  autoGrid->addWidget(autoUpdate_, 1, 0);
  autoGrid->addWidget(updateTime_, 1, 1);
  autoGrid->addWidget(updateMs, 1, 2);
  autoGrid->setColumnStretch(3, 1);

  auto* v = new QVBoxLayout(page);
  v->addWidget(laser);
  v->addWidget(automation);
  v->addStretch(1);
  return page;
}

QWidget* OptionDialog::makeHotKeysTab() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("HotKeysTab"));
  struct Field {
    const char* name;
    const char* label;
  };
  static const Field kFields[kHotKeyCount] = {{"ConnectKey", "Connect / disconnect Laser"},
                                              {"InternalTrigKey", "Internal Trigger"},
                                              {"ExternalTrigKey", "External Trigger"},
                                              {"CWKey", "CW mode"},
                                              {"LaserOnKey", "Laser ON"},
                                              {"LaserOffKey", "Laser OFF"},
                                              {"SetCurrent0Key", "Set current to 0"},
                                              {"TrendsKey", "Live trends"}};
  auto* form = new QFormLayout(page);
  form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  for (int i = 0; i < kHotKeyCount; ++i) {
    auto* edit = new HotKeyEdit(page);
    edit->setObjectName(QString::fromLatin1(kFields[i].name));
    edit->setMinimumWidth(180);
    setTag(edit, kFreeTextTagMask);
    connect(edit, &HotKeyEdit::shortCutChanged, this, [this, i](TShortCut value) {
      form_.HotKeyFields[static_cast<std::size_t>(i)] = value;
      form_.PreCurrentChange();
    });
    hotKeys_[static_cast<std::size_t>(i)] = edit;
    form->addRow(tr(kFields[i].label), edit);
  }
  return page;
}

QWidget* OptionDialog::makePresetsTab() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("PresetCurrentsTab"));
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(8);
  for (int n = 1; n <= 9; ++n) {
    const int column = (n - 1) / 3, row = (n - 1) % 3;
    auto* edit = new QLineEdit(page);
    edit->setObjectName(QStringLiteral("Current%1").arg(n));
    edit->setMaximumWidth(90);
    setTag(edit, 0);  // numeric: the main window's key filter keeps it to a number
    connect(edit, &QLineEdit::textChanged, this, [this, n](const QString& text) {
      form_.CurrentFields[static_cast<std::size_t>(n)] = toUtf8(text);
      form_.PreCurrentChange();
    });
    currents_[static_cast<std::size_t>(n)] = edit;
    auto* label = new QLabel(QStringLiteral("Ctrl+%1").arg(n), page);
    label->setBuddy(edit);
    grid->addWidget(label, row, column * 3, Qt::AlignRight);
    grid->addWidget(edit, row, column * 3 + 1);
    if (column < 2) grid->setColumnMinimumWidth(column * 3 + 2, 16);
  }
  auto* v = new QVBoxLayout(page);
  v->addLayout(grid);
  v->addSpacing(6);
  v->addWidget(
      noteBand(tr("Nominal current of ALL branches will be set to the specified or maximum "
                  "value allowed when the hot key is pressed. If you don't want to use the "
                  "shortcut, please leave the field blank."),
               page));
  v->addStretch(1);
  return page;
}

QWidget* OptionDialog::makeAboutTab() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("AboutTab"));
  auto* image = new QLabel(page);
  image->setObjectName(QStringLiteral("Image1"));
  image->setPixmap(applicationPicture(64));
  image->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  auto* product = new QLabel(QString::fromLatin1(kProductName), page);
  product->setObjectName(QStringLiteral("ProductName"));
  QFont big = product->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.4);
  product->setFont(big);
  auto* version = new QLabel(QStringLiteral(QV_VERSION_TEXT), page);
  version->setObjectName(QStringLiteral("FileVersion"));
  version->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* versionRow = new QHBoxLayout;
  versionRow->addWidget(new QLabel(tr("Ver."), page));
  versionRow->addWidget(version);
  versionRow->addStretch(1);

  auto* maker = new QLabel(tr("Quorvane laser console team\n"
                              "Operator console for diode-pumped solid-state lasers\n"
                              "Questions and service: see the documentation"),
                           page);
  maker->setObjectName(QStringLiteral("MakerBlock"));
  maker->setTextFormat(Qt::PlainText);
  const QUrl doc = documentationUrl();
  auto* link = new QLabel(page);
  link->setObjectName(QStringLiteral("MakerLink"));
  link->setTextFormat(Qt::RichText);
  link->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                    .arg(doc.toString(QUrl::FullyEncoded), tr("Documentation")));
  link->setToolTip(doc.toLocalFile());
  link->setOpenExternalLinks(true);
  link->setTextInteractionFlags(Qt::TextBrowserInteraction);

  auto* text = new QVBoxLayout;
  text->addWidget(product);
  text->addLayout(versionRow);
  text->addSpacing(12);
  text->addWidget(maker);
  text->addWidget(link);
  text->addStretch(1);
  auto* h = new QHBoxLayout(page);
  h->addWidget(image);
  h->addSpacing(12);
  h->addLayout(text, 1);
  return page;
}

bool OptionDialog::Execute(TLaser* laser) {
  form_.CurrentLaser = laser;
  showForm();
  const bool ok = exec() == QDialog::Accepted;
  // Nothing outside a showing refers to the laser.
  form_.CurrentLaser = nullptr;
  return ok;
}

bool OptionDialog::editOptions(TQVLaserControl& console) {
  return EditOptions(console, form_,
                     [this, &console](TOptionFrm&) { return Execute(&console.Laser()); });
}

void OptionDialog::showForm() {
  {
    const QSignalBlocker b(laserPort_);
    laserPort_->setEditText(fromUtf8(form_.LaserPortText));
  }
  {
    const QSignalBlocker b1(autoDetect_), b2(detectTime_), b3(autoUpdate_), b4(updateTime_);
    autoDetect_->setChecked(form_.AutoDetectChecked);
    detectTime_->setEnabled(form_.DetectTimeEnabled);
    detectTime_->setValue(form_.DetectUpDownPosition);
    autoUpdate_->setChecked(form_.AutoUpdateChecked);
    updateTime_->setEnabled(form_.UpdateTimeEnabled);
    updateTime_->setValue(form_.UpdateUpDownPosition);
  }
  for (std::size_t i = 0; i < hotKeys_.size(); ++i) {
    const QSignalBlocker b(hotKeys_[i]);
    hotKeys_[i]->setShortCut(form_.HotKeyFields[i]);
  }
  for (std::size_t n = 1; n <= 9; ++n) {
    const QSignalBlocker b(currents_[n]);
    currents_[n]->setText(fromUtf8(form_.CurrentFields[n]));
  }
  showActiveTab();
}

void OptionDialog::showActiveTab() {
  const QSignalBlocker b(tabs_);
  tabs_->setCurrentIndex(static_cast<int>(form_.ActiveTab));
}

void OptionDialog::showPortItems() {
  // Filling the list of an editable field would put its first item into the text.
  const QString text = laserPort_->currentText();
  const QSignalBlocker b(laserPort_);
  laserPort_->clear();
  if (probeRunning_) {
    laserPort_->addItem(tr(kSearchingText));
    if (auto* model = qobject_cast<QStandardItemModel*>(laserPort_->model()))
      model->item(0)->setFlags(Qt::NoItemFlags);
  } else {
    for (const TSerialPortItem& item : form_.LaserPortItems)
      laserPort_->addItem(fromProtocolText(item.Text),
                          item.Number ? QVariant(*item.Number) : QVariant());
  }
  laserPort_->setCurrentIndex(-1);
  laserPort_->setEditText(text);
}

void OptionDialog::keyPressEvent(QKeyEvent* e) {
  // Esc is the Cancel button; closing the window otherwise keeps what was edited.
  if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
    cancel_->click();
    return;
  }
  QDialog::keyPressEvent(e);
}

void OptionDialog::BitBtn1Click() {
  if (form_.BitBtn1Click()) {
    accept();
    return;
  }
  QMessageBox box(QMessageBox::Critical, fromUtf8(kUnknownPortTitle), boxText(kUnknownPortText),
                  QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("UnknownPortBox"));
  box.exec();
  showActiveTab();
  if (form_.LaserPortFocused) {
    form_.LaserPortFocused = false;
    laserPort_->setFocus(Qt::OtherFocusReason);
  }
}

void OptionDialog::BitBtn2Click() {
  form_.BitBtn2Click();
  reject();
}

void OptionDialog::LaserPortDropDown() {
  if (probeRunning_) {
    probeAgain_ = true;
    return;
  }
  startProbe();
}

void OptionDialog::LaserPortCloseUp() {
  timer1_->start();
}

void OptionDialog::DelayedCheckSerialPort() {
  timer1_->stop();
  form_.LaserPortText = toUtf8(laserPort_->currentText());
  form_.DelayedCheckSerialPort();
  {
    const QSignalBlocker b(laserPort_);
    laserPort_->setEditText(fromUtf8(form_.LaserPortText));
  }
  if (form_.LaserPortSelectAll) {
    form_.LaserPortSelectAll = false;
    laserPort_->lineEdit()->selectAll();
  }
}

void OptionDialog::startProbe() {
  joinProbe();
  // Read on the main thread, where the laser lives; the probe thread gets plain texts.
  const auto [port, mark] = form_.PortInUse();
  probeDone_.reset();
  probeRunning_ = true;
  probeItems_.clear();
  probe_ = std::thread([this, port = port, mark = mark] {
    pthread_setname_np(pthread_self(), "qv-port-probe");
    ListSerialPorts(probeItems_, port, mark);
    probeDone_.set();
  });
  probeWatch_->start();
  busy_->show();
  showPortItems();
  laserPort_->refitPopup();
}

void OptionDialog::probeFinished(TSerialPortItems items) {
  joinProbe();
  probeRunning_ = false;
  if (probeAgain_) {
    // Opened again meanwhile: that opening gets a probe of its own.
    probeAgain_ = false;
    startProbe();
    return;
  }
  ++probesFinished_;
  busy_->hide();
  form_.LaserPortItems = std::move(items);
  showPortItems();
  laserPort_->refitPopup();
}

void OptionDialog::joinProbe() {
  if (!probe_.joinable()) return;
  // The probe thread never waits for the main thread, but hand-overs of the laser keep running.
  (void)WaitKeepingSynchronize(probeDone_, kInfinite);
  probe_.join();
}

}  // namespace qv
