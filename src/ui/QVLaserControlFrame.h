// The operator console's window part: the panel of 679 by 196 pixels that fills the main
// window. It owns the console (TQVLaserControl) and answers its questions with Qt's dialogs; it
// draws what the console publishes (Display(), the terminal log's edits) and forwards every
// click, key and typed text to the console's operations. It decides nothing about the laser.
//
// Every control carries its designed name as objectName (findChild<...>("Current1")), and
// controls with a tag carry it as the dynamic property "qvTag" (an int; the free-text fields
// Frequency1, Frequency2 and CmdBox carry the bit patterns $F0000001, $F0000002, $F0000000).
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/InfoPanelSlider.h"
#include "console/PanelGeometry.h"
#include "console/QVLaserControl.h"

class QAbstractButton;
class QAction;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QMouseEvent;
class QPushButton;
class QTabBar;
class QToolButton;
class TImageEx;
class TImageList;
class TLabelPair;
class TScalableEdit;
class TScalableLabel;
class TScalableRichEdit;
class TStatusIndicator;

class TQVLaserControlFrame : public QWidget, public TQVLaserControlView {
  Q_OBJECT
 public:
  static constexpr int kWidth = 679;
  static constexpr int kHeight = 196;
  static constexpr int kHeaderHeight = 22;

  explicit TQVLaserControlFrame(QWidget* parent = nullptr);
  ~TQVLaserControlFrame() override;
  TQVLaserControlFrame(const TQVLaserControlFrame&) = delete;
  TQVLaserControlFrame& operator=(const TQVLaserControlFrame&) = delete;

  TQVLaserControl& Console() { return *console_; }
  const TQVLaserControl& Console() const { return *console_; }

  // The options dialog (the console's ChangeOptionsClick asks for it): true when the operator
  // changed something. Without it the options button fires BeforeChangeOption and nothing else.
  std::function<bool(TQVLaserControl& console)> OnEditOptions;

  // --- Controls the main window's actions press ---------------------------------------------
  QToolButton* ConnectLaserButton() const { return connectLaser_; }
  QPushButton* ExternalTrigger(int branch) const { return externalTrigger_[branch]; }
  QPushButton* InternalTrigger(int branch) const { return internalTrigger_[branch]; }
  QPushButton* CWMode(int branch) const { return cwMode_[branch]; }
  QPushButton* HVOn1() const { return hvOn1_; }
  QPushButton* LaserOnButton() const { return laserOn_; }
  QPushButton* LaserOffButton() const { return laserOff_; }
  QWidget* AdvancedPanel() const { return tabPanels_[kAdvanced]; }
  QToolButton* CloseAdvancedPanelButton() const { return closeAdvancedPanel_; }
  QTabBar* TabSet1() const { return tabSet_; }

  // --- Handlers the actions call with the control as sender --------------------------------
  void ConnectLaserClick();
  void TriggerClick(QAbstractButton* sender);
  void LaserOnClick(QAbstractButton* sender);
  void CloseAdvancedPanelClick();
  // Selects the tab with this caption as a click on it would (the Ctrl key as it is now).
  bool SelectTab(const QString& caption);

  // --- Questions of the console ---------------------------------------------------------------
  void ShowMessage(const std::string& title, const std::string& text, MessageKind kind) override;
  void ShowConversionError(const std::string& text) override;
  std::optional<std::string> AskRecordingFile(const std::string& proposedName) override;
  bool ConfirmStopRecording(const std::string& question) override;
  std::optional<std::string> PasswordQuery(const std::string& caption,
                                           const std::string& prompt) override;
  bool EditOptions(TQVLaserControl& console) override;
  void Pause(int ms) override;

  // True while the cover, the terminal or the information panel is still moving.
  bool Animating() const;

  // The terminal log's own switches (its context menu): a time on each line, received bytes in
  // hex; and the log saved as UTF-8 text. Save returns false when the file cannot be written.
  QAction* LogTimestampsAction() const { return logTimestamps_; }
  QAction* LogHexViewAction() const { return logHexView_; }
  bool SaveTerminalLog(const QString& path);

 signals:
  // The System tab's "Trends" and "Open Rec." buttons: the main window opens the windows.
  void TrendsRequested();
  void OpenRecordingRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum TabPanel { kCurrent, kTrigger, kFrequency, kSystem, kRegulator, kAdvanced, kTabPanels };

  // Building the controls (QVLaserControlFrameForm.cpp).
  void buildForm();
  void buildHeader();
  void buildInfoPanel();
  void buildProtectionPanel();
  void buildTabPanels();
  void buildCurrentPanel(QWidget* panel);
  void buildTriggerPanel(QWidget* panel);
  void buildFrequencyPanel(QWidget* panel);
  void buildRegulatorPanel(QWidget* panel);
  void buildSystemPanel(QWidget* panel);
  void buildAdvancedPanel(QWidget* panel);
  void buildStatusControls();
  void buildCover();
  void connectControls();
  // Registers a control under its name with its designed rectangle.
  template <class W>
  W* make(const char* name, QWidget* parent, const TRect& rect);
  TScalableLabel* makeValue(const char* name, QWidget* parent, const TRect& rect);
  TLabelPair* makePair(const char* name, QWidget* parent, const TRect& rect, const QString& value,
                       const QString& unit, int unitWidth, int space);
  QPushButton* makeButton(const char* name, QWidget* parent, const TRect& rect,
                          const QString& caption, int tag);
  static void setTag(QWidget* w, uint32_t tag);

  // Showing what the console publishes (QVLaserControlFrameShow.cpp).
  void refresh();
  void refreshOnce();
  // The read-outs' values, shown at most every kReadOutPeriodMs while answers flood in.
  bool readOutsDiffer(const TConsoleDisplay& d) const;
  void scheduleReadOuts(bool now);
  void showReadOuts(bool first);
  void showLayout(const TPanelLayout& layout);
  void showTab(const std::string& caption);
  void showStatus(const TStatusDisplay& status);
  void showProtection(const TConsoleDisplay& d);
  void showHistory();
  void showEntryFields(const TConsoleDisplay& d);
  void applyLogEdit(const qv::LogEdit& edit);
  void slideCover(bool show);
  void slideAdvanced(bool open, bool animated);
  void animationStep();
  void placeInfoPanels();
  void glideStep();
  TPanelMeasures measures() const;
  // Laser On and Laser Off keep their caption whole at their width.
  void fitCaption(QPushButton* button);

  // Operator input.
  void readOutPressed(QWidget* w, QMouseEvent* e);
  void readOutMoved(QMouseEvent* e);
  void readOutReleased(QWidget* w, QMouseEvent* e);
  void readOutClicked(QWidget* w);
  bool frequencyKey(QLineEdit* field, int branch, QKeyEvent* e);
  void cmdBoxKeyUp(QKeyEvent* e);
  void focusField(const std::string& name);
  void focusFirstOf(QWidget* panel);
  void tabChosen(int index);
  void historyClicked(int row);
  void historyDoubleClicked(int row);

  std::unique_ptr<TQVLaserControl> console_;

  // Image lists, owned by this widget.
  TImageList* warnImages_ = nullptr;
  TImageList* statusDescImages_ = nullptr;
  TImageList* ledImages_ = nullptr;
  TImageList* badgeImage_ = nullptr;

  // Every named control and its designed rectangle.
  std::map<std::string, QWidget*> controls_;
  TRects designed_;

  // Header and cover.
  TScalableLabel* lblSN_ = nullptr;
  QToolButton* terminalOnly_ = nullptr;
  QToolButton* changeOptions_ = nullptr;
  QToolButton* connectLaser_ = nullptr;
  QWidget* cover_ = nullptr;
  QPushButton* connectLaser2_ = nullptr;
  // Information panel.
  QWidget* laserInfoPanel_ = nullptr;
  QWidget* regularPanel_ = nullptr;
  QWidget* protectionPanel_ = nullptr;
  std::array<QWidget*, 5> rowPanels_{};
  QWidget* commonPanel_ = nullptr;
  std::array<TLabelPair*, 5> nomCurrent_{};
  std::array<TScalableLabel*, 5> maxCurrent_{};
  std::array<TLabelPair*, 3> actFrequency_{};
  std::array<TScalableLabel*, 3> triggerMode_{};
  TLabelPair* nomRegulatorLevel_ = nullptr;
  TScalableLabel* infoInternal_ = nullptr;
  TScalableLabel* infoPulsePicker_ = nullptr;
  std::array<TScalableLabel*, 4> pulseRange_{};
  std::array<std::array<TLabelPair*, 4>, 4> currentLimit_{};  // [column b][row k]
  std::array<QLabel*, 4> lblI_{};
  // Tab panels and their controls.
  std::array<QWidget*, kTabPanels> tabPanels_{};
  QTabBar* tabSet_ = nullptr;
  std::array<QLabel*, 5> lblCurrent_{};
  std::array<TScalableEdit*, 5> currentField_{};
  std::array<QPushButton*, 5> okCurrent_{};
  std::array<QPushButton*, 3> externalTrigger_{};
  std::array<QPushButton*, 3> internalTrigger_{};
  std::array<QPushButton*, 3> cwMode_{};
  QPushButton* hvOn1_ = nullptr;
  std::array<QLabel*, 3> lblTrigger_{};
  QWidget* triggerDivider_ = nullptr;
  std::array<TScalableEdit*, 3> frequencyField_{};
  std::array<QLabel*, 3> lblFrequency_{};
  QLabel* lblInternalGate_ = nullptr;
  QLabel* lblPulsePicker_ = nullptr;
  std::array<QLabel*, 3> lblHz_{};
  std::array<QPushButton*, 3> okFrequency_{};
  TScalableEdit* powerRegulator_ = nullptr;
  // Terminal.
  TScalableEdit* cmdBox_ = nullptr;
  QListWidget* cmdHistory_ = nullptr;
  TScalableRichEdit* receiveBuffer_ = nullptr;
  QAction* logTimestamps_ = nullptr;  // owned by this frame
  QAction* logHexView_ = nullptr;
  QAction* saveLog_ = nullptr;
  void logMenu(const QPoint& at);
  void saveLogClick();
  QToolButton* closeAdvancedPanel_ = nullptr;
  // Laser On / Off and the status display.
  QPushButton* laserOn_ = nullptr;
  QPushButton* laserOff_ = nullptr;
  TImageEx* laserWarnSymbol_ = nullptr;
  TImageEx* laserStatusDesc_ = nullptr;
  TImageEx* iconLaserWarning_ = nullptr;
  TStatusIndicator* recordingIndicator_ = nullptr;
  int laserOnLeft_ = 0;  // the designed left edge and width of Laser On and Laser Off
  int laserOnWidth_ = 0;

  // What was shown last, so that only changes reach the controls.
  struct Shown;
  std::unique_ptr<Shown> shown_;
  bool refreshing_ = false;
  bool refreshAgain_ = false;
  static constexpr int kReadOutPeriodMs = 40;  // 25 times a second
  QTimer readOutTimer_;
  QElapsedTimer readOutClock_;

  // Animations: the cover's height and the terminal's width move in steps every 10 ms.
  struct Slide {
    QWidget* widget = nullptr;
    bool height = true;  // the height moves, else the width
    std::vector<int> steps;
    size_t next = 0;
    std::function<void()> done;
  };
  void startSlide(Slide& slide, int target, std::function<void()> done);
  void stepSlide(Slide& slide);
  Slide coverSlide_;
  Slide advancedSlide_;
  QTimer animationTimer_;

  // The information panel's gesture and its glide (every 2 ms).
  TInfoPanelSlider slider_;
  QTimer glideTimer_;
  QPointer<QWidget> pressedReadOut_;
  // The clicked() that follows a double click in the history list is not a click of its own.
  bool historyDoubleClicked_ = false;
};
