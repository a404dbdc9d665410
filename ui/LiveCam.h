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

  // Places the window in the middle of the screen at its present size; each test opens at
  // the size of its video, so each is placed anew. Until the window system has framed this
  // window once, its frame is taken to be as wide as that of framedLike.
  void CentreOnScreen(const QWidget* framedLike = nullptr);

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
