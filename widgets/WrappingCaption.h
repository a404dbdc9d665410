#pragma once

#include <QFont>
#include <QHash>
#include <QLabel>
#include <QMargins>

// A caption that wraps within its cell (the window's button captions). Layouts ask a
// wrapping label for its size and its height at the same few widths again and again while the
// window is built, shown and laid out, and the label lays its text out anew for every answer;
// the answers are kept until anything they depend on changes.
class TWrappingCaption : public QLabel {
 public:
  using QLabel::QLabel;

  int heightForWidth(int width) const override;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void changeEvent(QEvent* event) override;

 private:
  struct TMeasure {
    QString Text;
    QFont Font;
    Qt::Alignment Alignment;
    bool WordWrap = false;
    QMargins Margins;
    int Margin = 0;
    int Indent = 0;
    bool operator==(const TMeasure&) const = default;
  };
  void Revalidate() const;
  void Forget() const;

  mutable TMeasure FMeasure;
  mutable QHash<int, int> FHeights;
  mutable QSize FSizeHint;
  mutable QSize FMinimumSizeHint;
};
