// The options dialog: the widgets over the shell's TOptionFrm, which holds the fields and makes
// every decision (loading, storing, the port check, the trimming of a chosen list item). Created
// once and reused; each showing starts from the console's live record (editOptions).
#pragma once

#include <QDialog>
#include <array>
#include <memory>
#include <thread>

#include "platform/Event.h"
#include "shell/SetOption.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QSpinBox;
class QTabWidget;
class QTimer;
class QPushButton;
class TLaser;
class TQVLaserControl;

namespace qv {

class HotKeyEdit;
class LaserPortBox;

// The "qvTag" property the main window's numeric key filter reads from the focused edit.
constexpr const char* kTagProperty = "qvTag";

// The item shown in the port list while the ports are probed.
constexpr const char* kSearchingText = "Searching for lasers...";

class OptionDialog : public QDialog {
  Q_OBJECT

 public:
  explicit OptionDialog(QWidget* parent = nullptr);
  // Waits for a probe still running (hand-overs keep running meanwhile).
  ~OptionDialog() override;

  TOptionFrm& form() { return form_; }

  // Shows the dialog modally for the laser (or none); true for OK.
  bool Execute(TLaser* laser);
  // The console's options operation with this dialog: true when AfterChangeOption is due.
  bool editOptions(TQVLaserControl& console);

  // The port list is being probed.
  bool probing() const { return probeRunning_; }
  // Probes whose result the list shows so far (each opening of the list asks for one).
  int probesFinished() const { return probesFinished_; }

 protected:
  void keyPressEvent(QKeyEvent* e) override;

 private:
  QWidget* makeGeneralTab();
  QWidget* makeHotKeysTab();
  QWidget* makePresetsTab();
  QWidget* makeAboutTab();

  // The form's fields into the widgets (without echoing as edits).
  void showForm();
  void showPortItems();
  void showActiveTab();

  void BitBtn1Click();
  void BitBtn2Click();
  void LaserPortDropDown();
  void LaserPortCloseUp();
  void DelayedCheckSerialPort();
  void startProbe();
  void probeFinished(TSerialPortItems items);
  void joinProbe();

  TOptionFrm form_;

  QTabWidget* tabs_ = nullptr;
  LaserPortBox* laserPort_ = nullptr;
  QProgressBar* busy_ = nullptr;
  QCheckBox* autoDetect_ = nullptr;
  QSpinBox* detectTime_ = nullptr;
  QCheckBox* autoUpdate_ = nullptr;
  QSpinBox* updateTime_ = nullptr;
  std::array<HotKeyEdit*, kHotKeyCount> hotKeys_{};
  std::array<QLineEdit*, 10> currents_{};  // [1]..[9]
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QTimer* timer1_ = nullptr;  // the 10 ms between choosing an item and trimming it

  // The probe of the port list runs on its own thread (one at a time). The main thread looks for
  // its end on a short timer and takes the result after joining the thread, so nothing crosses
  // between the threads but the items the join hands over.
  std::thread probe_;
  Event probeDone_;              // set by the probe thread as its last step
  TSerialPortItems probeItems_;  // written by the probe thread, read after the join
  QTimer* probeWatch_ = nullptr;
  bool probeRunning_ = false;
  bool probeAgain_ = false;  // the list was opened again while a probe ran
  int probesFinished_ = 0;
};

}  // namespace qv
