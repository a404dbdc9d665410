#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "camera/FCamera.h"
#include "settings/CameraSettingsFile.h"
#include "ui/FocusHandOver.h"
#include "ui/PropertyRows.h"
#include "ui/WidgetControl.h"

class QCheckBox;
class QFileDialog;
class TMonochromeEffect;
class QGraphicsDropShadowEffect;
class QLabel;
class QPainter;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class TButtonImage;
class TImage;
class TListBox;
class TLivecamForm;
class TMessageForm;
class TPaintBox;
class TRectangle;
class TSingleInstance;
class TTrackBar;

// The controls of one property row (see PropertyRows.h); each is named after the row's
// property: Layout<P>, Label<P>, TrackBar<P>, Label<P>Value, CheckBox<P>, Layout<P>Monochrome.
struct TPropertyRowControls {
  const TPropertyRow* Row = nullptr;
  QWidget* Layout = nullptr;
  TImage* Icon = nullptr;
  QLabel* Label = nullptr;
  TTrackBar* TrackBar = nullptr;
  QWidget* ValueColumn = nullptr;
  QLabel* LabelValue = nullptr;
  QCheckBox* CheckBox = nullptr;
  TMonochromeEffect* Monochrome = nullptr;
};

// The main window of the settings tool: the camera list, the seventeen property rows and
// the status strip. Every control is a member under its own name, which is also its Qt
// object name.
class TFormMain : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kFixedHeight = 740;
  static constexpr int kBackToFullWidth = 734;

  // arguments: the command-line arguments after the program name ("trace" first turns the
  // trace on). Runs the single-instance test and FormCreate.
  explicit TFormMain(const QStringList& arguments, QWidget* parent = nullptr);
  ~TFormMain() override;

  // The message and test windows are created after the main window; until they are
  // attached, the operations that need them do without.
  void AttachWindows(TMessageForm* messageForm, TLivecamForm* livecamForm);
  TMessageForm* GetMessageForm() const;
  TLivecamForm* GetLivecamForm() const;

  // --- Start-up, geometry, single instance ----------------------------------------------------
  bool IsSelfAlreadyRunning() const;
  void readini();
  void writeini();
  // The geometry file's full path.
  static QString GeometryFilePath();

  // --- Rows and selection ---------------------------------------------------------------------
  void SetTrackBar(TMonochromeEffect* TrackbarMonoChrome, QWidget* TrackbarLayout,
                   QLabel* TrackbarLabel, QLabel* TrackbarLabelValue, TTrackBar* TrackBar,
                   QCheckBox* CheckBoxAuto, LONG Position, const TFRange& Range, bool Auto);
  void validatefrequency();

  // --- Messages and trace ---------------------------------------------------------------------
  bool MessageDlgSimple(const QString& AMessage);
  bool ShowMessageSimple(const QString& AMessage);
  void ShowPanelMessage(const QString& text);
  void LogMe(const QString& MyMessage);

  // The window's background colour.
  QColor GetFill() const { return FFill; }
  void SetFill(QColor fill);

  // --- Window-level state ---------------------------------------------------------------------
  bool GetTraceMode() const { return TraceMode; }
  bool GetSettingTrackBars() const { return SettingTrackBars; }
  int GetSupportStatus() const { return SupportStatus; }
  const QString& GetSelectedFormatText() const { return SelectedFormatText; }
  int GetLastResolutionIndex() const { return LastResolutionIndex; }
  TFCamera& GetCamera() { return *FCamera; }
  const std::array<TPropertyRowControls, kPropertyCount>& GetRows() const { return Rows; }

  // --- Handlers (also called directly by other operations of the window) ---------------------
  void ComboBoxCameraChange();
  void ComboBoxFormatChange();
  void ComboBoxFrequencyClick();
  void TrackBarChange(TTrackBar* Sender);
  void CheckBoxChange(QCheckBox* Sender);
  void FormResize();
  void BackButtonClick();
  void MessageTimerTimer();
  void RefreshDevices();
  void ButtonWriteClick();
  void ButtonReadClick();
  void ButtonDefaultValuesClick();
  void ButtonWindowsClick();

  // --- Refresh timer --------------------------------------------------------------------------
  void RefreshTimerTimer();
  void FormFocusChanged();
  void SetTheControl(QWidget* MyControl);
  QWidget* GetLastFocussedControl() const { return LastFocussedControl; }

  // --- Camera test ----------------------------------------------------------------------------
  // Opens the selected camera at the selected format and shows its live picture in the test
  // window; a camera that cannot be opened is reported and the test returns to idle.
  void StartDevice();
  void StopDevice();
  void CameraTimerTimer();
  void CameraGlowTimerTimer();
  // The component's frame event, on the platform's streaming thread: it only hands the frame
  // notice to the user-interface thread.
  void FCameraImageAvailable(TFCamera& Sender, double SampleTime);
  void InvalidatePaintBox();
  void PaintBoxPaint(QPainter& Canvas);
  void ButtonTestCamClick();
  void Image1Click();
  void ButtonTestCamMouseEnter();
  void ButtonTestCamMouseLeave();
  void ComboBoxFormatDblClick();

  // --- Controls -------------------------------------------------------------------------------
  QWidget* LayoutListe = nullptr;
  TImage* LogoImage = nullptr;
  QCheckBox* KeepSynced = nullptr;
  QWidget* LayoutButtons = nullptr;
  TButtonImage* ButtonRead = nullptr;
  TButtonImage* ButtonWrite = nullptr;
  TButtonImage* ButtonWindows = nullptr;
  TButtonImage* ButtonDefaultValues = nullptr;
  QLabel* Label2 = nullptr;    // "Load"
  QLabel* Label1 = nullptr;    // "Save"
  QLabel* Label3 = nullptr;    // "System Dialog"
  QLabel* Defaults = nullptr;  // "Factory default"
  TListBox* ComboBoxCamera = nullptr;
  QWidget* LayoutFrequency = nullptr;
  QLabel* powerfrequencylabel = nullptr;
  TListBox* ComboBoxFrequency = nullptr;
  QWidget* LayoutButtonTestCam = nullptr;
  TImage* ButtonTestCam = nullptr;
  TImage* Image1 = nullptr;
  TImage* CameraOff = nullptr;
  QLabel* cameratestlabel = nullptr;
  QGraphicsDropShadowEffect* CameraCouldStartGlow = nullptr;
  QGraphicsDropShadowEffect* CameraIconGlow = nullptr;
  QGraphicsDropShadowEffect* CameraIconInnerGlow = nullptr;
  TListBox* ComboBoxFormat = nullptr;

  QWidget* LayoutMid = nullptr;
  TRectangle* MasterColor = nullptr;
  QWidget* LayoutMaster = nullptr;
  TMonochromeEffect* MonochromeEffect = nullptr;
  QPushButton* BackButton = nullptr;

  QWidget* MessagePanel = nullptr;
  TRectangle* StatusPanelColor = nullptr;
  QLabel* StatusLabel = nullptr;
  QLabel* MessageLabel = nullptr;
  QLabel* SupportLabel = nullptr;

  // The trace log window, made only in trace mode: a text editor costs a good part of a
  // start-up, and without trace nothing is ever written to it.
  QPlainTextEdit* Memo1 = nullptr;

  TRectangle* ColorDarkest = nullptr;
  TRectangle* ColorDark = nullptr;
  TRectangle* ColorMid = nullptr;
  TRectangle* ColorBright = nullptr;
  QWidget* Hiddenfunctions = nullptr;
  TImage* open = nullptr;
  TImage* opendown = nullptr;
  TImage* save = nullptr;
  TImage* savedown = nullptr;
  TImage* xImage = nullptr;  // named "x"; the member name would hide QWidget::x()
  TImage* xdown = nullptr;
  TImage* factory = nullptr;
  TImage* factorydown = nullptr;
  TImage* Webcam = nullptr;
  TImage* herz = nullptr;
  TImage* res_ega = nullptr;
  TImage* res_vga = nullptr;
  TImage* res_pal = nullptr;
  TImage* res_720 = nullptr;
  TImage* res_1080 = nullptr;
  // Moved into the test window by the first test; that window owns it from then on.
  QPointer<TPaintBox> PaintBox;

  QTimer* RefreshTimer = nullptr;
  QTimer* MessageTimer = nullptr;
  QTimer* CameraTimer = nullptr;
  QTimer* CameraGlowTimer = nullptr;

  TSingleInstance* SingleInstance1 = nullptr;

  // Made on first use, then kept for the whole run.
  QFileDialog* OpenDialog1 = nullptr;
  QFileDialog* SaveDialog1 = nullptr;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Construction of the control tree, by region.
  void CreateControls();
  void CreatePalette();
  void CreateHiddenFunctions();
  QWidget* CreateLeftColumn();
  QWidget* CreateButtonRow();
  QWidget* CreateCameraTestArea();
  QWidget* CreatePropertyArea();
  void DressBackButton();
  void CreatePropertyRow(TPropertyRowControls& controls, const TPropertyRow& row);
  QWidget* CreateMessagePanel();
  void CreateTimers();
  QPlainTextEdit* TraceMemo();
  void ConnectHandlers();
  void ConnectActionHandlers();
  void ConnectCameraTestHandlers();
  // A click on the camera icon: hides a visible test window, else starts a test.
  void CameraIconClick(const QString& hideTrace);
  // The frame notice on the user-interface thread.
  void ImageAvailableOnUiThread();

  void FormCreate();
  void ApplyPalette();
  bool FormCloseQuery();

  void InitTrackBar(TMonochromeEffect* TrackbarMonoChrome, QWidget* TrackbarLayout,
                    QLabel* TrackbarLabel, TTrackBar* TrackBar, QCheckBox* CheckBoxAuto,
                    QLabel* TrackbarLabelValue);
  void SetTrackBars();
  void SetSupportStatus();
  void SetFormats();
  void SetFrequencies();
  // Selects LastResolutionIndex in the format list, or the first format when that fails.
  void RestoreFormatSelection();
  void SetActionButtonsEnabled(bool enabled);
  void SetCameraTestCaption();
  void ShowConfigurable(bool configurable);
  bool RunMessageForm(const QString& caption, const QString& text, bool question);
  QPixmap FormatIcon(std::int64_t height) const;
  TPropertyRowControls* FindRow(const QObject* control);
  // The settings file's view of the rows and the power-frequency list.
  TCameraSettings ShownSettings() const;
  void ApplySettings(const TCameraSettings& settings);
  void ShowSettingsFileDone();

  // The application's default error display around a handler that lets errors through.
  template <typename Handler>
  void Guarded(Handler&& handler);

  // Set while a frame notice waits in the event queue, so that frames arriving faster than the
  // window handles them queue one notice, not one each. Declared before the component, whose
  // streaming thread sets it until the component is gone.
  std::atomic<bool> FImageAvailablePending{false};
  // The window as the camera component's owner; it outlives the component.
  std::unique_ptr<TWidgetControl> FOwnerControl;
  std::unique_ptr<TFCamera> FCamera;
  QPointer<TMessageForm> MessageForm;
  QPointer<TLivecamForm> LivecamForm;
  std::array<TPropertyRowControls, kPropertyCount> Rows{};
  QStringList FArguments;

  bool TraceMode = false;
  bool SettingTrackBars = false;
  int SupportStatus = 0;
  QString SelectedFormatText;
  int LastResolutionIndex = 0;
  QPointer<QWidget> LastFocussedControl;
  QColor FFill = Qt::white;
  // Destroyed before the controls, so that no focus change is pending when they go.
  std::unique_ptr<TFocusHandOver> FFocusHandOver = std::make_unique<TFocusHandOver>();
};

#include "ui/ErrorDisplay.h"

template <typename Handler>
void TFormMain::Guarded(Handler&& handler) {
  RunGuarded(this, std::forward<Handler>(handler));
}
