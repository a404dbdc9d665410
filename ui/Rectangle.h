#pragma once

#include <QColor>
#include <QWidget>

// A plain filled rectangle: panel backgrounds, button backgrounds and the palette's
// colour holders, whose fill colours the window reads back at start-up.
class TRectangle : public QWidget {
  Q_OBJECT

 public:
  explicit TRectangle(QColor fill = Qt::transparent, QWidget* parent = nullptr);

  QColor GetFill() const { return FFill; }
  void SetFill(QColor fill);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor FFill;
};
