#include "ui/ListBox.h"

#include <QKeyEvent>
#include <algorithm>

#include "widgets/Look.h"

bool TListBox::TItem::operator==(const TItem& other) const {
  // Copies of one picture share its cache key; the lists take their icons from the window's
  // pictures, so an unchanged icon compares equal without comparing pixels.
  return Text == other.Text && Icon.cacheKey() == other.Icon.cacheKey() && Height == other.Height &&
         FontPixelSize == other.FontPixelSize;
}

TListBox::TListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setUniformItemSizes(false);
  connect(this, &QListWidget::itemSelectionChanged, this, &TListBox::TakeShownSelection);
  connect(this, &QListWidget::itemClicked, this, [this] { emit Click(); });
}

void TListBox::BeginUpdate() {
  ++FUpdateCount;
}

void TListBox::EndUpdate() {
  if (FUpdateCount > 0) --FUpdateCount;
  // What changed inside the batch is taken as it stands, without an event.
  if (FUpdateCount == 0) FLastIndex = GetItemIndex();
}

int TListBox::GetItemIndex() const {
  return FIndex;
}

bool TListBox::SetItemIndex(int index) {
  if (index < -1 || index >= Count()) return false;
  FIndex = index;
  ShowLater();
  AnnounceIndex();
  return true;
}

QString TListBox::ItemText(int index) const {
  return index >= 0 && index < Count() ? FItems[static_cast<std::size_t>(index)].Text : QString();
}

QString TListBox::SelectedText() const {
  return ItemText(GetItemIndex());
}

void TListBox::Clear() {
  FItems.clear();
  FIndex = -1;
  ShowLater();
  AnnounceIndex();
}

void TListBox::AddItem(const QString& text, const QPixmap& icon, int itemHeight,
                       int fontPixelSize) {
  FItems.push_back({text, icon, itemHeight, fontPixelSize});
  ShowLater();
}

void TListBox::SetHeight(int height) {
  FHeight = height;
  ShowLater();
}

void TListBox::keyPressEvent(QKeyEvent* event) {
  const int before = GetItemIndex();
  QListWidget::keyPressEvent(event);
  if (GetItemIndex() != before) emit Click();
}

QItemSelectionModel::SelectionFlags TListBox::selectionCommand(const QModelIndex& index,
                                                               const QEvent* event) const {
  const QItemSelectionModel::SelectionFlags command = QListWidget::selectionCommand(index, event);
  // Ctrl with a click or Space deselects the selected item, and a click beside the items
  // clears: the window would go on showing a camera that is no longer chosen.
  const bool leavesNone = command.testFlag(QItemSelectionModel::Deselect) ||
                          command.testFlag(QItemSelectionModel::Toggle) ||
                          (!index.isValid() && command.testFlag(QItemSelectionModel::Clear));
  if (leavesNone && GetItemIndex() >= 0) return QItemSelectionModel::NoUpdate;
  return command;
}

void TListBox::AnnounceIndex() {
  if (FIndex == FLastIndex) return;
  FLastIndex = FIndex;
  if (FUpdateCount == 0) emit Change();
}

void TListBox::TakeShownSelection() {
  if (FShowing) return;
  const QList<QListWidgetItem*> selected = selectedItems();
  FIndex = selected.isEmpty() ? -1 : row(selected.first());
  AnnounceIndex();
}

void TListBox::ShowLater() {
  Look::Show(this, Look::TAspect::Items, [this] { ShowItems(); });
}

void TListBox::ShowItems() {
  FShowing = true;
  const std::size_t kept = std::min(FShownItems.size(), FItems.size());
  for (std::size_t i = 0; i < kept; ++i) {
    if (!(FShownItems[i] == FItems[i])) Dress(*item(static_cast<int>(i)), FItems[i]);
  }
  while (count() > Count()) delete takeItem(count() - 1);
  for (std::size_t i = kept; i < FItems.size(); ++i) {
    auto* entry = new QListWidgetItem;
    Dress(*entry, FItems[i]);
    addItem(entry);  // owned by the list
  }
  FShownItems = FItems;

  const QList<QListWidgetItem*> selected = selectedItems();
  const int shownIndex = selected.isEmpty() ? -1 : row(selected.first());
  if (shownIndex != FIndex) {
    if (FIndex < 0) {
      clearSelection();
    } else {
      setCurrentRow(FIndex, QItemSelectionModel::ClearAndSelect);
    }
  }
  const int height = std::max(FHeight, 0);
  if (minimumHeight() != height || maximumHeight() != height) setFixedHeight(height);
  FShowing = false;
}

void TListBox::Dress(QListWidgetItem& entry, const TItem& item) const {
  entry.setText(item.Text);
  entry.setIcon(QIcon(item.Icon));
  entry.setSizeHint(QSize(0, item.Height));
  QFont itemFont = font();
  itemFont.setPixelSize(item.FontPixelSize);
  entry.setFont(itemFont);
  entry.setForeground(Qt::white);
}
