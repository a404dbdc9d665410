#pragma once

#include <QListWidget>
#include <QPixmap>
#include <vector>

// The list used for cameras, formats and power frequencies. It adds what the window's
// selection rule needs on top of QListWidget:
//  - the selected index is the selected row (the keyboard's current row without a
//    selection does not count), -1 when nothing is selected;
//  - Change() fires when that index really changes, by the user or by code, except
//    while a batch update of the items is open;
//  - Click() fires only for the user's own choices (mouse click or keyboard);
//  - the user can choose another item but not none: once an item is selected, no click or key
//    leaves the list without a selection (code still can, with SetItemIndex(-1));
//  - the items and the selected index that code sees are the list's own; the rows on screen
//    follow them through Look (widgets/Look.h), row by row where they differ, so a list filled
//    again with the items it shows is not rebuilt, and within a batch only where the list
//    ends up is shown.
class TListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit TListBox(QWidget* parent = nullptr);

  void BeginUpdate();
  void EndUpdate();

  int Count() const { return static_cast<int>(FItems.size()); }
  int GetItemIndex() const;
  // Selects the row (or nothing for -1); false when the row does not exist.
  bool SetItemIndex(int index);
  QString ItemText(int index) const;
  // The selected item's text, empty when nothing is selected.
  QString SelectedText() const;

  void Clear();
  void AddItem(const QString& text, const QPixmap& icon, int itemHeight, int fontPixelSize);

  // The list's height in the window's units; the window's sizing rules work on it.
  int GetHeight() const { return FHeight; }
  void SetHeight(int height);

 signals:
  void Change();
  void Click();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event) const override;

 private:
  struct TItem {
    QString Text;
    QPixmap Icon;
    int Height = 0;
    int FontPixelSize = 0;
    bool operator==(const TItem& other) const;
  };

  // Fires Change when the selected index differs from the last one announced.
  void AnnounceIndex();
  // The user chose in the rows on screen.
  void TakeShownSelection();
  void ShowLater();
  void ShowItems();
  void Dress(QListWidgetItem& entry, const TItem& item) const;

  std::vector<TItem> FItems;
  std::vector<TItem> FShownItems;
  int FIndex = -1;
  int FUpdateCount = 0;
  int FLastIndex = -1;
  int FHeight = 0;
  bool FShowing = false;  // the rows on screen are being brought in line
};

// Opens a batch update for the lifetime of the guard, so that it is closed however the
// code that fills the list ends.
class TListBoxUpdate {
 public:
  explicit TListBoxUpdate(TListBox& list) : FList(list) { FList.BeginUpdate(); }
  ~TListBoxUpdate() { FList.EndUpdate(); }
  TListBoxUpdate(const TListBoxUpdate&) = delete;
  TListBoxUpdate& operator=(const TListBoxUpdate&) = delete;

 private:
  TListBox& FList;
};
