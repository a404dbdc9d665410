#include "ui/ListBox.h"

#include <QKeyEvent>

TListBox::TListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setUniformItemSizes(false);
  connect(this, &QListWidget::itemSelectionChanged, this, &TListBox::SyncIndex);
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
  const QList<QListWidgetItem*> selected = selectedItems();
  return selected.isEmpty() ? -1 : row(selected.first());
}

bool TListBox::SetItemIndex(int index) {
  if (index < -1 || index >= count()) return false;
  if (index == -1) {
    clearSelection();
  } else {
    setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
  }
  SyncIndex();
  return true;
}

QString TListBox::ItemText(int index) const {
  const QListWidgetItem* entry = item(index);
  return entry ? entry->text() : QString();
}

QString TListBox::SelectedText() const {
  return ItemText(GetItemIndex());
}

void TListBox::Clear() {
  clear();
  // Clearing the model emits no selection signal, so the change is detected here.
  SyncIndex();
}

void TListBox::AddItem(const QString& text, const QPixmap& icon, int itemHeight,
                       int fontPixelSize) {
  auto* entry = new QListWidgetItem(QIcon(icon), text);  // owned by the list
  entry->setSizeHint(QSize(0, itemHeight));
  QFont itemFont = font();
  itemFont.setPixelSize(fontPixelSize);
  entry->setFont(itemFont);
  entry->setForeground(Qt::white);
  addItem(entry);
  SyncIndex();
}

void TListBox::SetHeight(int height) {
  FHeight = height;
  setFixedHeight(std::max(height, 0));
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

void TListBox::SyncIndex() {
  const int index = GetItemIndex();
  if (index == FLastIndex) return;
  FLastIndex = index;
  if (FUpdateCount == 0) emit Change();
}
