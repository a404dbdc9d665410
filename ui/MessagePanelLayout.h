#pragma once

#include <QLayout>
#include <QList>

class QLabel;

// The row of the bottom strip: the status text at the left (68 wide), the support text at the
// right (385 wide, its text ending at the right edge) and the message filling the middle with
// its text centred, within 5 units of margin at either side. On a strip too narrow for that
// the side labels give up their empty room, the support label first, so that every text
// stays whole as long as the three fit side by side.
class TMessagePanelLayout : public QLayout {
 public:
  static constexpr int kMargin = 5;
  static constexpr int kStatusWidth = 68;
  static constexpr int kSupportWidth = 385;

  TMessagePanelLayout(QWidget* parent, QLabel* status, QLabel* message, QLabel* support);
  ~TMessagePanelLayout() override;

  struct TWidths {
    int Status = 0;
    int Message = 0;
    int Support = 0;
  };
  // The widths of the three labels on a strip of this width whose texts need these widths.
  static TWidths Share(int stripWidth, const TWidths& needed);

  void setGeometry(const QRect& rect) override;
  QSize sizeHint() const override;
  QSize minimumSize() const override;
  void addItem(QLayoutItem* item) override;
  QLayoutItem* itemAt(int index) const override;
  QLayoutItem* takeAt(int index) override;
  int count() const override;

 private:
  QList<QLayoutItem*> FItems;  // status, message, support
};
