#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class TRectangle;

// The small modal message window of the settings tool: a yes/no question or an
// information text with one button. Created once and reused; hidden between uses.
class TMessageForm : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 439;
  static constexpr int kClientHeight = 240;
  static constexpr int kResultButton1 = 1;
  static constexpr int kResultButton2 = 2;

  explicit TMessageForm(QWidget* parent = nullptr);

  QLabel* Label1 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  TRectangle* Rectangle1 = nullptr;
  TRectangle* Rectangle2 = nullptr;

  void setVisible(bool visible) override;

 public slots:
  // The buttons end the modal run through their results alone.
  void Button1Click() {}
  void Button2Click() {}

 private:
  // Gives the label and the buttons their look before the window is first shown.
  void Dress();
};
