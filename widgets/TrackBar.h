#pragma once

#include <QWidget>

#include "settings/TrackBarRule.h"

// A horizontal track bar over real numbers. Every setter applies ApplyTrackBarRule, so the
// value always sits in range and on the step grid (or at one of the ends).
class TTrackBar : public QWidget {
  Q_OBJECT

 public:
  explicit TTrackBar(QWidget* parent = nullptr);

  double Min() const { return FState.min; }
  double Max() const { return FState.max; }
  double Frequency() const { return FState.step; }  // the step
  double Value() const { return FState.value; }
  double Scale() const { return FScale; }

  // Non-finite arguments are ignored: they would break the rule's comparisons.
  void SetMin(double min);
  void SetMax(double max);
  void SetFrequency(double step);
  void SetValue(double value);
  // Draws the bar at a multiple of its normal size.
  void SetScale(double scale);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  // Only when the value really changed, whoever changed it.
  void Change();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Apply(TrackBarState wanted);
  // Repaints when what the bar draws differs from what it last asked to draw.
  void ShowState();
  double KeyStep() const;
  double ThumbRadius() const;
  double GrooveLeft() const;
  double GrooveRight() const;
  double PositionOf(double value) const;
  double ValueAt(double x) const;

  TrackBarState FState;
  TrackBarState FShown;  // the state of the last repaint asked for
  double FScale = 1.0;
  bool FDragging = false;
  double FDragOffset = 0;  // pointer distance from the thumb centre when the drag began
};
