#pragma once

#include <QWidget>

// The camera test window. It is created once at start-up and only shown and hidden
// afterwards; Tag tells the rest of the window whether a test is on screen.
class TLivecamForm : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 897;
  static constexpr int kClientHeight = 550;

  explicit TLivecamForm(QWidget* parent = nullptr);

  int GetTag() const { return FTag; }
  void SetTag(int tag) { FTag = tag; }

  QWidget* CameraPanel = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void FormShow();
  void FormClose();

  int FTag = 0;
};
