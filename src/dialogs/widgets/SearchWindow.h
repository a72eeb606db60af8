#pragma once
// Form6: the search window that lists schedule entries by subject, content or finished state
// and opens a found entry in the record editor.

#include <QDialog>
#include <array>

#include "ui/AppContext.h"
#include "ui/MainViews.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

class SearchWindow : public QDialog {
  Q_OBJECT

 public:
  SearchWindow(AppContext& context, MainViews& views, QWidget* parent = nullptr);

  // "検索開始": empties the list, then lists the entries that match.
  void startSearch();

  // The index of the option button that is on (0 to 3), -1 when none is.
  int searchKind() const;

  // Opens a result row in the record editor over this window and waits until it closes.
  void openResultRow(const QTreeWidgetItem* item);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Returns how far the controls below the search kinds had to move down.
  int createSearchControls();
  void createResultList(int moveDown);
  void kindChanged();

  AppContext& context_;
  MainViews& views_;
  QLineEdit* searchText_ = nullptr;  // Text1
  std::array<QRadioButton*, 4> kinds_{};
  QPushButton* start_ = nullptr;    // Command1
  QPushButton* close_ = nullptr;    // Command2
  QTreeWidget* results_ = nullptr;  // ListView1
  QLabel* found_ = nullptr;         // Label2: how many were found
};
