// Start-up, geometry file, camera list and closing of the main window.
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGraphicsDropShadowEffect>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/os/ProfileFile.h"
#include "ui/ApplicationTitle.h"
#include "ui/Artwork.h"
#include "ui/FileDialogs.h"
#include "ui/ListBox.h"
#include "ui/ListTexts.h"
#include "ui/LiveCam.h"
#include "ui/MessageUnit.h"
#include "ui/PaintBox.h"
#include "ui/Rectangle.h"
#include "ui/Unit1.h"
#include "ui/singleinstance.h"
#include "widgets/ButtonImage.h"
#include "widgets/Image.h"
#include "widgets/Look.h"
#include "widgets/MonochromeEffect.h"
#include "widgets/TrackBar.h"

namespace {

constexpr char kGeometrySection[] = "KorvaneCamSettingsTool-Settings";
constexpr char kGeometryFile[] = "KorvaneCamSettingsTool.ini";

// X11 keeps window positions in 16 bits and sizes in 16 bits too: a stored number outside that
// range would wrap around (a top of 100000 lands at -31072, where the rule for negative
// positions never sees it) or overflow the window's rectangle arithmetic. Such a number is
// taken as the nearest one the window system can hold.
int WindowSystemRange(int stored) {
  return std::clamp(stored, -32768, 32767);
}

// A Wayland compositor places every window itself and tells no program where: there the
// position can neither be restored nor read, and the one stored in the file is kept as it is.
bool WindowPositionKnown() {
  return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// The folder is created on every start, even when the file is never written; a folder
// that cannot be created only means the defaults are used.
korvane::os::ProfileFile OpenGeometryFile(const QString& path) {
  const std::filesystem::path file(path.toStdString());
  std::error_code ignored;
  std::filesystem::create_directories(file.parent_path(), ignored);
  return korvane::os::ProfileFile(file);
}

}  // namespace

TFormMain::TFormMain(const QStringList& arguments, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      FArguments(arguments) {
  setObjectName(QStringLiteral("FormMain"));
  setAttribute(Qt::WA_QuitOnClose);
  QFont windowFont(QStringLiteral("Carlito"));
  windowFont.setPixelSize(14);
  setFont(windowFont);
  setFixedHeight(kFixedHeight);
  setMinimumWidth(120);

  // Building the window sets every row to its empty state and then fills it from the first
  // camera; the window is not on screen yet, so each control takes only its final state. An
  // error of that first read comes up in a message box within the batch: nothing of this
  // window is on screen to show the difference.
  const Look::TBatch builtAtOnce;
  CreateControls();
  FOwnerControl = std::make_unique<TWidgetControl>(this);
  FCamera = std::make_unique<TFCamera>(FOwnerControl.get());
  // The window's own setting: a fully transparent border around the picture.
  FCamera->SetBorderColor(0);
  FCamera->SetOnImageAvailable(TFImageAvailableEvent::Of<&TFormMain::FCameraImageAvailable>(*this));
  SingleInstance1 = new TSingleInstance(this);
  ConnectHandlers();
  Guarded([this] { FormCreate(); });
}

TFormMain::~TFormMain() {
  // The controls are deleted after this window's own parts are gone; none of their
  // signals may reach a handler then.
  for (QObject* child : findChildren<QObject*>()) child->blockSignals(true);
  // The paint box lives on in the test window once a test has moved it there.
  if (TPaintBox* const paintBox = PaintBox.data()) paintBox->blockSignals(true);
}

void TFormMain::AttachWindows(TMessageForm* messageForm, TLivecamForm* livecamForm) {
  MessageForm = messageForm;
  LivecamForm = livecamForm;
}

TMessageForm* TFormMain::GetMessageForm() const {
  return MessageForm;
}

TLivecamForm* TFormMain::GetLivecamForm() const {
  return LivecamForm;
}

bool TFormMain::IsSelfAlreadyRunning() const {
  return TSingleInstance::IsSelfAlreadyRunning();
}

void TFormMain::ConnectHandlers() {
  connect(ComboBoxCamera, &TListBox::Change, this,
          [this] { Guarded([this] { ComboBoxCameraChange(); }); });
  connect(ComboBoxFormat, &TListBox::Change, this,
          [this] { Guarded([this] { ComboBoxFormatChange(); }); });
  connect(ComboBoxFrequency, &TListBox::Click, this,
          [this] { Guarded([this] { ComboBoxFrequencyClick(); }); });
  for (TPropertyRowControls& controls : Rows) {
    TTrackBar* trackBar = controls.TrackBar;
    connect(trackBar, &TTrackBar::Change, this,
            [this, trackBar] { Guarded([this, trackBar] { TrackBarChange(trackBar); }); });
    QCheckBox* checkBox = controls.CheckBox;
    connect(checkBox, &QCheckBox::toggled, this,
            [this, checkBox] { Guarded([this, checkBox] { CheckBoxChange(checkBox); }); });
  }
  connect(BackButton, &QPushButton::clicked, this,
          [this] { Guarded([this] { BackButtonClick(); }); });
  connect(LogoImage, &TImage::clicked, this, [this] { Guarded([this] { RefreshDevices(); }); });
  connect(MessageTimer, &QTimer::timeout, this,
          [this] { Guarded([this] { MessageTimerTimer(); }); });
  ConnectActionHandlers();
  ConnectCameraTestHandlers();
}

void TFormMain::FormCreate() {
  TraceMode = false;
  if (Memo1) {
    Memo1->clear();
    Memo1->hide();
  }
  if (!FArguments.isEmpty() && FArguments.first() == QLatin1String("trace")) {
    TraceMode = true;
    TraceMemo();
    // The trace log is a window of its own: it comes up with the main window (showEvent),
    // so that a copy that quits at once shows nothing.
    if (isVisible()) Memo1->show();
  }
  SetFrequencies();
  LastResolutionIndex = 0;
  ApplyPalette();
  SelectedFormatText.clear();
  Hiddenfunctions->hide();
  RefreshDevices();
  // The title is not made the application's display name: Qt would append that to the title
  // of every other window on screen ("Confirm — Korvane Cam Settings Tool V1.7").
  setWindowTitle(kApplicationTitle);
  readini();
  setWindowTitle(kApplicationTitle);
  StatusLabel->setText(QStringLiteral(" "));
}

void TFormMain::ApplyPalette() {
  SetFill(ColorDarkest->GetFill());
  StatusPanelColor->SetFill(ColorDark->GetFill());
  MasterColor->SetFill(QColor(0xFF, 0xFF, 0xFF));
  Artwork::SetTextColour(cameratestlabel, ColorBright->GetFill());
  Artwork::SetTextColour(powerfrequencylabel, ColorBright->GetFill());
  CameraCouldStartGlow->setColor(ColorMid->GetFill());
  CameraIconGlow->setColor(ColorBright->GetFill());
  CameraIconInnerGlow->setColor(ColorBright->GetFill());
  for (QLabel* caption : {Label1, Label2, Label3, Defaults}) {
    Artwork::SetTextColour(caption, QColor(0xFF, 0xFF, 0xFF));
  }
}

QString TFormMain::GeometryFilePath() {
  return FileDialogs::SettingsFolderPath() + QLatin1Char('/') + QLatin1String(kGeometryFile);
}

void TFormMain::readini() {
  {
    const korvane::os::ProfileFile file = OpenGeometryFile(GeometryFilePath());
    const auto read = [&file](const char* key, int fallback) {
      return WindowSystemRange(file.ReadInteger(kGeometrySection, key, fallback));
    };
    if (WindowPositionKnown()) {
      move(x(), read("Top", 0));
      move(read("Left", 0), y());
    }
    resize(read("width", 670), height());
    resize(width(), read("Height", kFixedHeight));
    // Only a negative position is corrected; one beyond the screen's right or bottom stays.
    if (y() < 0) move(x(), 0);
    if (x() < 0) move(0, y());
  }
  FormResize();
}

void TFormMain::writeini() {
  korvane::os::ProfileFile file = OpenGeometryFile(GeometryFilePath());
  file.WriteInteger(kGeometrySection, "Height", height());
  if (WindowPositionKnown()) {
    file.WriteInteger(kGeometrySection, "Top", y());
    file.WriteInteger(kGeometrySection, "Left", x());
  }
  file.WriteInteger(kGeometrySection, "width", width());
}

void TFormMain::RefreshDevices() {
  {
    const TListBoxUpdate batch(*ComboBoxCamera);
    const int previousIndex = ComboBoxCamera->GetItemIndex();
    const QString previousName = ComboBoxCamera->SelectedText();
    const TFVideoCaptureDevices devices = FCamera->GetDevices();
    ComboBoxCamera->Clear();
    ComboBoxCamera->SetHeight(0);
    for (const TFVideoCaptureDevice& device : devices) {
      ComboBoxCamera->AddItem(QString::fromStdString(device.Name), Webcam->Bitmap(),
                              ListTexts::kCameraItemHeight, ListTexts::kCameraItemFontSize);
      ComboBoxCamera->SetHeight(ListTexts::GrownCameraListHeight(ComboBoxCamera->GetHeight()));
    }
    ComboBoxCamera->SetHeight(ComboBoxCamera->GetHeight() + 2);
    if (previousIndex >= 0) {
      for (int i = 0; i < ComboBoxCamera->Count(); ++i) {
        if (ComboBoxCamera->ItemText(i) == previousName) {
          ComboBoxCamera->SetItemIndex(i);
          break;
        }
      }
    }
  }
  if (ComboBoxCamera->Count() >= 2) ComboBoxCamera->SetItemIndex(0);
  SetFormats();
  SetTrackBars();
  SetActionButtonsEnabled(!FCamera->GetDeviceName().empty());
  if (ComboBoxFormat->Count() > 0) RestoreFormatSelection();
}

void TFormMain::SetActionButtonsEnabled(bool enabled) {
  for (TButtonImage* button : {ButtonDefaultValues, ButtonWindows, ButtonWrite, ButtonRead}) {
    Look::SetEnabled(button, enabled);
  }
}

bool TFormMain::FormCloseQuery() {
  return true;
}

// The background is painted here rather than set as a palette: a window palette would be
// handed down to every control of the window.
void TFormMain::SetFill(QColor fill) {
  FFill = fill;
  update();
}

void TFormMain::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), FFill);
}

void TFormMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (TraceMode && !Memo1->isVisible()) {
    Memo1->move(frameGeometry().right() + 8, y());
    Memo1->show();
  }
}

void TFormMain::closeEvent(QCloseEvent* event) {
  if (!FormCloseQuery()) {
    event->ignore();
    return;
  }
  Guarded([this] { writeini(); });
  if (Memo1) Memo1->close();
  event->accept();
}
