// Building the main window's control tree: the left column, the property area with its
// seventeen rows, the status strip and the hidden store of pictures and timers.
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedLayout>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/Artwork.h"
#include "ui/ListBox.h"
#include "ui/MessagePanelLayout.h"
#include "ui/PaintBox.h"
#include "ui/Palette.h"
#include "ui/Rectangle.h"
#include "ui/Unit1.h"
#include "widgets/AutoCheckBox.h"
#include "widgets/ButtonImage.h"
#include "widgets/CachedDropShadowEffect.h"
#include "widgets/FittingLabel.h"
#include "widgets/Image.h"
#include "widgets/MonochromeEffect.h"
#include "widgets/OneLineLabel.h"
#include "widgets/TrackBar.h"
#include "widgets/WrappingCaption.h"

namespace {

template <typename Control, typename... Args>
Control* Make(QWidget* parent, const char* name, Args&&... args) {
  auto* control = new Control(std::forward<Args>(args)..., parent);
  control->setObjectName(QLatin1String(name));
  return control;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int pixelSize, bool bold,
                  QColor colour) {
  auto* label = Make<QLabel>(parent, name, text);
  Artwork::SetFontPixelSize(label, pixelSize, bold);
  Artwork::SetTextColour(label, colour);
  return label;
}

QVBoxLayout* Column(QWidget* owner, QMargins margins = {}) {
  auto* layout = new QVBoxLayout(owner);
  layout->setContentsMargins(margins);
  layout->setSpacing(0);
  return layout;
}

QHBoxLayout* Row(QWidget* owner, QMargins margins = {}) {
  auto* layout = new QHBoxLayout(owner);
  layout->setContentsMargins(margins);
  layout->setSpacing(0);
  return layout;
}

// The lists sit on the dark window: clear background, white text, the selection in the
// scheme's middle colour. A palette does it without the cost of a style sheet per list.
void DressList(TListBox* list) {
  QPalette colours = list->palette();
  for (const QPalette::ColorGroup group :
       {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    colours.setColor(group, QPalette::Base, Qt::transparent);
    colours.setColor(group, QPalette::Text, Qt::white);
    colours.setColor(group, QPalette::Highlight, Palette::kMid);
    colours.setColor(group, QPalette::HighlightedText, Qt::white);
    colours.setColor(group, QPalette::Window, Palette::kDark);
    colours.setColor(group, QPalette::Button, Palette::kMid);
  }
  list->setPalette(colours);
  list->viewport()->setAutoFillBackground(false);
}

}  // namespace

void TFormMain::CreateControls() {
  CreatePalette();
  CreateHiddenFunctions();

  auto* window = Column(this);
  // The window sheds columns when it gets narrow instead of refusing a smaller width.
  window->setSizeConstraint(QLayout::SetNoConstraint);
  auto* upper = new QHBoxLayout;
  upper->setContentsMargins(0, 0, 0, 0);
  upper->setSpacing(0);
  upper->addWidget(CreateLeftColumn());
  upper->addWidget(CreatePropertyArea(), 1);
  window->addLayout(upper, 1);
  window->addWidget(CreateMessagePanel());

  CreateTimers();
}

QPlainTextEdit* TFormMain::TraceMemo() {
  if (!Memo1) {
    Memo1 = Make<QPlainTextEdit>(this, "Memo1");
    Memo1->setWindowFlags(Qt::Tool);
    Memo1->setWindowTitle(QStringLiteral("Trace"));
    Memo1->setReadOnly(true);
    Memo1->resize(520, 420);
    Memo1->hide();
  }
  return Memo1;
}

void TFormMain::CreatePalette() {
  const auto holder = [this](const char* name, QColor colour) {
    auto* swatch = Make<TRectangle>(this, name, colour);
    swatch->setFixedSize(50, 50);
    swatch->hide();
    return swatch;
  };
  ColorDarkest = holder("ColorDarkest", Palette::kDarkest);
  ColorDark = holder("ColorDark", Palette::kDark);
  ColorMid = holder("ColorMid", Palette::kMid);
  ColorBright = holder("ColorBright", Palette::kBright);
}

void TFormMain::CreateHiddenFunctions() {
  Hiddenfunctions = Make<QWidget>(this, "Hiddenfunctions");
  Hiddenfunctions->hide();
  struct Picture {
    TImage** member;
    const char* name;
    const char* folder;  // below :/artwork/
    QSize size;
  };
  const Picture pictures[] = {
      {&open, "open", "buttons/", {35, 28}},
      {&opendown, "opendown", "buttons/", {35, 28}},
      {&save, "save", "buttons/", {51, 51}},
      {&savedown, "savedown", "buttons/", {51, 51}},
      {&xImage, "x", "buttons/", {31, 31}},
      {&xdown, "xdown", "buttons/", {31, 31}},
      {&factory, "factory", "buttons/", {31, 31}},
      {&factorydown, "factorydown", "buttons/", {31, 31}},
      {&Webcam, "Webcam", "", {40, 40}},
      {&herz, "herz", "", {18, 18}},
      {&res_ega, "res_ega", "", {28, 28}},
      {&res_vga, "res_vga", "", {28, 28}},
      {&res_pal, "res_pal", "", {28, 28}},
      {&res_720, "res_720", "", {28, 28}},
      {&res_1080, "res_1080", "", {28, 28}},
  };
  for (const Picture& picture : pictures) {
    auto* image = Make<TImage>(Hiddenfunctions, picture.name);
    image->resize(picture.size);
    image->SetBitmap(
        Artwork::Render(QStringLiteral(":/artwork/%1%2.svg")
                            .arg(QLatin1String(picture.folder), QLatin1String(picture.name)),
                        picture.size));
    *picture.member = image;
  }
  PaintBox = Make<TPaintBox>(Hiddenfunctions, "PaintBox");
  PaintBox->resize(269, 161);
}

QWidget* TFormMain::CreateLeftColumn() {
  LayoutListe = Make<QWidget>(this, "LayoutListe");
  LayoutListe->setFixedWidth(260);
  auto* column = Column(LayoutListe, {5, 0, 5, 0});

  auto* logoArea = new QWidget(LayoutListe);
  logoArea->setFixedHeight(80);
  auto* logoRow = Row(logoArea);
  LogoImage = Make<TImage>(logoArea, "LogoImage");
  LogoImage->setFixedSize(212, 80);
  LogoImage->SetBitmap(Artwork::Render(QStringLiteral(":/artwork/logo.svg"), {212, 80}));
  LogoImage->setCursor(Qt::PointingHandCursor);
  LogoImage->setToolTip(QStringLiteral("Look for cameras again"));
  logoRow->addWidget(LogoImage, 0, Qt::AlignCenter);
  column->addSpacing(5);
  column->addWidget(logoArea);

  KeepSynced = Make<QCheckBox>(LayoutListe, "KeepSynced", QStringLiteral("Keep synchronized"));
  KeepSynced->setChecked(true);
  KeepSynced->hide();
  column->addWidget(KeepSynced);

  column->addSpacing(10);
  column->addWidget(CreateButtonRow());

  ComboBoxCamera = Make<TListBox>(LayoutListe, "ComboBoxCamera");
  DressList(ComboBoxCamera);
  ComboBoxCamera->setIconSize({36, 36});
  column->addSpacing(10);
  column->addWidget(ComboBoxCamera);

  LayoutFrequency = Make<QWidget>(LayoutListe, "LayoutFrequency");
  auto* frequency = Column(LayoutFrequency);
  powerfrequencylabel = MakeLabel(LayoutFrequency, "powerfrequencylabel",
                                  QStringLiteral("Power frequency"), 14, true, Qt::white);
  ComboBoxFrequency = Make<TListBox>(LayoutFrequency, "ComboBoxFrequency");
  DressList(ComboBoxFrequency);
  ComboBoxFrequency->setIconSize({16, 16});
  ComboBoxFrequency->SetHeight(2 * 20 + 2);
  frequency->addWidget(powerfrequencylabel);
  frequency->addSpacing(2);
  auto* frequencyIndent = new QHBoxLayout;
  frequencyIndent->setContentsMargins(13, 0, 13, 0);
  frequencyIndent->addWidget(ComboBoxFrequency);
  frequency->addLayout(frequencyIndent);
  column->addSpacing(10);
  column->addWidget(LayoutFrequency);
  column->addSpacing(20);

  LayoutButtonTestCam = CreateCameraTestArea();
  column->addWidget(LayoutButtonTestCam);

  ComboBoxFormat = Make<TListBox>(LayoutListe, "ComboBoxFormat");
  DressList(ComboBoxFormat);
  ComboBoxFormat->setIconSize({28, 28});
  ComboBoxFormat->hide();
  auto* formatIndent = new QHBoxLayout;
  formatIndent->setContentsMargins(5, 20, 5, 15);
  formatIndent->addWidget(ComboBoxFormat);
  column->addLayout(formatIndent);
  column->addStretch(1);
  return LayoutListe;
}

QWidget* TFormMain::CreateButtonRow() {
  LayoutButtons = Make<QWidget>(LayoutListe, "LayoutButtons");
  LayoutButtons->setFixedHeight(75);
  auto* row = Row(LayoutButtons);
  struct ButtonSpec {
    TButtonImage** button;
    const char* name;
    QLabel** caption;
    const char* captionName;
    const char* text;
    TImage* up;
    TImage* down;
  };
  const ButtonSpec specs[] = {
      {&ButtonRead, "ButtonRead", &Label2, "Label2", "Load", open, opendown},
      {&ButtonWrite, "ButtonWrite", &Label1, "Label1", "Save", save, savedown},
      {&ButtonWindows, "ButtonWindows", &Label3, "Label3", "System Dialog", xImage, xdown},
      {&ButtonDefaultValues, "ButtonDefaultValues", &Defaults, "Defaults", "Factory default",
       factory, factorydown},
  };
  for (const ButtonSpec& spec : specs) {
    auto* cell = new QWidget(LayoutButtons);
    auto* stack = Column(cell);
    auto* button = Make<TButtonImage>(cell, spec.name);
    button->setFixedSize(37, 33);
    button->SetImageUp(spec.up);
    button->SetImageDown(spec.down);
    button->SetBitmap(spec.up->Bitmap());
    button->setCursor(Qt::PointingHandCursor);
    auto* shadow = new TCachedDropShadowEffect(button);
    shadow->setColor(QColor(255, 255, 255, 153));
    shadow->setOffset(2.1, 2.1);
    shadow->setBlurRadius(3);
    button->setGraphicsEffect(shadow);
    auto* caption = Make<TWrappingCaption>(cell, spec.captionName, QLatin1String(spec.text));
    Artwork::SetFontPixelSize(caption, 14, false);
    Artwork::SetTextColour(caption, Qt::white);
    caption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    caption->setWordWrap(true);
    stack->addWidget(button, 0, Qt::AlignHCenter | Qt::AlignTop);
    stack->addSpacing(4);
    stack->addWidget(caption);
    stack->addStretch(1);
    row->addWidget(cell, 1);
    *spec.button = button;
    *spec.caption = caption;
  }
  return LayoutButtons;
}

QWidget* TFormMain::CreateCameraTestArea() {
  auto* area = Make<QWidget>(LayoutListe, "LayoutButtonTestCam");
  area->setFixedHeight(143);
  area->hide();
  auto* column = Column(area, {0, 0, 0, 0});
  cameratestlabel =
      MakeLabel(area, "cameratestlabel", QStringLiteral("Click camera to test with resolution:"),
                14, false, Palette::kBright);
  cameratestlabel->setWordWrap(true);
  column->addWidget(cameratestlabel);

  auto* icon = new QWidget(area);
  icon->setFixedSize(100, 80);
  Image1 = Make<TImage>(icon, "Image1");
  Image1->setGeometry(0, 0, 100, 80);
  Image1->SetBitmap(Artwork::Render(QStringLiteral(":/artwork/cameratest.svg"), {100, 80}));
  Image1->setAttribute(Qt::WA_TransparentForMouseEvents);
  ButtonTestCam = Make<TImage>(icon, "ButtonTestCam");
  ButtonTestCam->setGeometry(0, 0, 100, 80);
  ButtonTestCam->SetBitmap(Image1->Bitmap());
  CameraOff = Make<TImage>(icon, "CameraOff");
  CameraOff->setGeometry(38, 27, 24, 26);
  CameraOff->SetBitmap(Artwork::Render(QStringLiteral(":/artwork/cameraoff.svg"), {24, 26}));
  CameraOff->setAttribute(Qt::WA_TransparentForMouseEvents);

  const auto glow = [](QWidget* owner, const char* name, qreal radius, bool enabled) {
    auto* effect = new TCachedDropShadowEffect(owner);
    effect->setObjectName(QLatin1String(name));
    effect->setOffset(0, 0);
    effect->setBlurRadius(radius);
    effect->setEnabled(enabled);
    owner->setGraphicsEffect(effect);
    return effect;
  };
  // One effect per widget: the outer glows sit on the icon and its frame, the inner glow on
  // the picture under it.
  CameraCouldStartGlow = glow(ButtonTestCam, "CameraCouldStartGlow", 14, true);
  CameraIconGlow = glow(icon, "CameraIconGlow", 14, false);
  CameraIconInnerGlow = glow(Image1, "CameraIconInnerGlow", 8, false);
  column->addWidget(icon, 0, Qt::AlignHCenter);
  return area;
}

QWidget* TFormMain::CreatePropertyArea() {
  LayoutMid = Make<QWidget>(this, "LayoutMid");
  auto* stack = new QStackedLayout(LayoutMid);
  MasterColor = Make<TRectangle>(LayoutMid, "MasterColor", QColor(Qt::white));
  stack->addWidget(MasterColor);

  auto* area = Column(MasterColor);
  LayoutMaster = Make<QWidget>(MasterColor, "LayoutMaster");
  auto* rows = Column(LayoutMaster, {15, 15, 15, 15});
  // Set before the rows exist, so that it costs one palette: the row texts are black while
  // enabled and grey while disabled, and the track bars fill their travelled part in the
  // bright colour of the scheme.
  Artwork::SetTextColours(LayoutMaster, Palette::kActiveText, Palette::kDisabledText);
  QPalette rowColours = LayoutMaster->palette();
  rowColours.setColor(QPalette::Highlight, ColorBright->GetFill());
  LayoutMaster->setPalette(rowColours);

  for (std::size_t i = 0; i < kPropertyCount; ++i) {
    Rows[i].Row = &kPropertyRows[i];
    CreatePropertyRow(Rows[i], kPropertyRows[i]);
  }
  std::array<const TPropertyRowControls*, kPropertyCount> onScreen{};
  for (const TPropertyRowControls& controls : Rows) {
    onScreen[static_cast<std::size_t>(controls.Row->Position - 1)] = &controls;
  }
  for (const TPropertyRowControls* controls : onScreen) {
    if (std::string_view(controls->Row->Name) != "Zoom") rows->addSpacing(3);
    rows->addWidget(controls->Layout);
  }

  MonochromeEffect = new TMonochromeEffect(LayoutMaster);
  MonochromeEffect->setObjectName(QStringLiteral("MonochromeEffect"));
  MonochromeEffect->setEnabled(false);
  LayoutMaster->setGraphicsEffect(MonochromeEffect);
  area->addWidget(LayoutMaster);
  area->addStretch(1);

  BackButton = Make<QPushButton>(MasterColor, "BackButton", QStringLiteral("Back to full"));
  BackButton->setFixedHeight(23);
  Artwork::SetFontPixelSize(BackButton, 14, true);
  // Dressed when it is first shown (DressBackButton): most windows never get narrow enough.
  BackButton->hide();
  auto* backRow = new QHBoxLayout;
  backRow->setContentsMargins(20, 0, 20, 5);
  backRow->addWidget(BackButton);
  area->addLayout(backRow);
  return LayoutMid;
}

void TFormMain::DressBackButton() {
  Artwork::SetStyleSheetOnce(
      BackButton,
      QStringLiteral(
          "QPushButton { color: white; background: #424280; border: none; border-radius: 3px; }"
          "QPushButton:pressed { background: #242451; }"));
}

void TFormMain::CreatePropertyRow(TPropertyRowControls& controls, const TPropertyRow& row) {
  const QString name = QLatin1String(row.Name);
  const auto named = [&name](QObject* object, const QString& pattern) {
    object->setObjectName(pattern.arg(name));
  };
  controls.Layout = new QWidget(LayoutMaster);
  named(controls.Layout, QStringLiteral("Layout%1"));
  controls.Layout->setFixedHeight(35);
  auto* line = Row(controls.Layout);

  controls.Icon = new TImage(controls.Layout);
  named(controls.Icon, QStringLiteral("Image%1"));
  controls.Icon->setFixedSize(35, 35);
  controls.Icon->SetBitmap(
      Artwork::Render(QStringLiteral(":/artwork/rows/%1.svg").arg(name), {35, 35}));
  line->addWidget(controls.Icon);

  controls.Label = new TOneLineLabel(QString::fromUtf8(row.Caption), controls.Layout);
  named(controls.Label, QStringLiteral("Label%1"));
  controls.Label->setFixedWidth(121);
  controls.Label->setContentsMargins(5, 0, 0, 0);
  line->addWidget(controls.Label);

  controls.TrackBar = new TTrackBar(controls.Layout);
  named(controls.TrackBar, QStringLiteral("TrackBar%1"));
  controls.TrackBar->SetScale(1.3);
  controls.TrackBar->setMinimumWidth(0);
  controls.TrackBar->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  line->addWidget(controls.TrackBar, 1);

  controls.ValueColumn = new QWidget(controls.Layout);
  controls.ValueColumn->setObjectName(QLatin1String(row.ValueColumn));
  controls.ValueColumn->setFixedWidth(40);
  auto* valueBox = Row(controls.ValueColumn);
  // The column is narrower than the widest device values (-2147483648): those are drawn
  // smaller rather than cut.
  controls.LabelValue = new TFittingLabel(controls.ValueColumn);
  named(controls.LabelValue, QStringLiteral("Label%1Value"));
  controls.LabelValue->setAlignment(Qt::AlignCenter);
  valueBox->addWidget(controls.LabelValue);
  line->addWidget(controls.ValueColumn);

  controls.CheckBox = new TAutoCheckBox(QStringLiteral("Auto"), controls.Layout);
  named(controls.CheckBox, QStringLiteral("CheckBox%1"));
  controls.CheckBox->setFixedWidth(65);
  line->addWidget(controls.CheckBox);

  controls.Monochrome = new TMonochromeEffect(controls.Layout);
  named(controls.Monochrome, QStringLiteral("Layout%1Monochrome"));
  controls.Layout->setGraphicsEffect(controls.Monochrome);

  InitTrackBar(controls.Monochrome, controls.Layout, controls.Label, controls.TrackBar,
               controls.CheckBox, controls.LabelValue);
}

QWidget* TFormMain::CreateMessagePanel() {
  MessagePanel = Make<QWidget>(this, "MessagePanel");
  MessagePanel->setFixedHeight(24);
  auto* stack = new QStackedLayout(MessagePanel);
  StatusPanelColor = Make<TRectangle>(MessagePanel, "StatusPanelColor", Palette::kDark);
  stack->addWidget(StatusPanelColor);
  StatusLabel = MakeLabel(StatusPanelColor, "StatusLabel", QString(), 14, true, Qt::white);
  MessageLabel = MakeLabel(StatusPanelColor, "MessageLabel", QString(), 14, true, Qt::white);
  MessageLabel->setAlignment(Qt::AlignCenter);
  SupportLabel = MakeLabel(StatusPanelColor, "SupportLabel", QString(), 14, true, Qt::white);
  SupportLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  new TMessagePanelLayout(StatusPanelColor, StatusLabel, MessageLabel, SupportLabel);
  return MessagePanel;
}

void TFormMain::CreateTimers() {
  const auto timer = [this](const char* name) {
    auto* made = new QTimer(this);
    made->setObjectName(QLatin1String(name));
    return made;
  };
  RefreshTimer = timer("RefreshTimer");
  RefreshTimer->setInterval(5000);
  MessageTimer = timer("MessageTimer");
  MessageTimer->setSingleShot(false);
  CameraTimer = timer("CameraTimer");
  CameraGlowTimer = timer("CameraGlowTimer");
}
