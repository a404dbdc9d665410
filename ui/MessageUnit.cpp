#include "ui/MessageUnit.h"

#include <QLabel>
#include <QPushButton>

#include "ui/Artwork.h"
#include "ui/Rectangle.h"

namespace {

constexpr QColor kBackground = QColor(0x61, 0x5F, 0xAD);
constexpr QColor kButtonBackground = QColor(0x42, 0x42, 0x80);
constexpr QRect kButton1Rect{180, 182, 80, 30};
constexpr QRect kButton2Rect{291, 182, 80, 30};

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, QRect where) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QLatin1String(name));
  button->setGeometry(where);
  button->setAutoDefault(true);
  QFont bold = button->font();
  bold.setBold(true);
  button->setFont(bold);
  return button;
}

}  // namespace

TMessageForm::TMessageForm(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName(QStringLiteral("MessageForm"));
  setModal(true);
  setFixedSize(kClientWidth, kClientHeight);
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, kBackground);
  setPalette(colours);

  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  // Centred across the window, kept 50 units clear of the bottom for the buttons.
  Label1->setGeometry((kClientWidth - 350) / 2, (kClientHeight - 50 - 150) / 2, 350, 150);
  Label1->setAlignment(Qt::AlignCenter);
  Label1->setWordWrap(true);
  QFont textFont = Label1->font();
  textFont.setPixelSize(16);
  Label1->setFont(textFont);

  Rectangle1 = new TRectangle(kButtonBackground, this);
  Rectangle1->setObjectName(QStringLiteral("Rectangle1"));
  Rectangle1->setGeometry(kButton1Rect);
  Rectangle2 = new TRectangle(kButtonBackground, this);
  Rectangle2->setObjectName(QStringLiteral("Rectangle2"));
  Rectangle2->setGeometry(kButton2Rect);

  Button1 = MakeButton(this, "Button1", QStringLiteral("Yes"), kButton1Rect);
  Button2 = MakeButton(this, "Button2", QStringLiteral("No"), kButton2Rect);
  Button2->setDefault(true);

  connect(Button1, &QPushButton::clicked, this, [this] {
    Button1Click();
    done(kResultButton1);
  });
  connect(Button2, &QPushButton::clicked, this, [this] {
    Button2Click();
    done(kResultButton2);
  });
}

void TMessageForm::setVisible(bool visible) {
  if (visible) Dress();
  QDialog::setVisible(visible);
}

void TMessageForm::Dress() {
  // The program starts without this window on screen, and many runs never show it.
  Artwork::SetStyleSheetOnce(Label1, QStringLiteral("color: white;"));
  for (QPushButton* button : {Button1, Button2}) {
    Artwork::SetStyleSheetOnce(
        button,
        QStringLiteral(
            "QPushButton { color: white; background: transparent; border: 1px solid #9d9bdc;"
            " border-radius: 4px; }"
            "QPushButton:focus { border: 2px solid white; }"
            "QPushButton:pressed { background: #242451; }"));
  }
}
