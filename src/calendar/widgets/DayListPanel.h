#pragma once
// The main window's day list: the heading of the selected date (Label2), the three filter
// buttons and the list of the day's holiday and entries (ListView1).

#include <QObject>
#include <QStringList>
#include <array>

#include "store/Status.h"
#include "ui/AppContext.h"

class QLabel;
class QRadioButton;
class QTreeWidget;
class QWidget;
struct DayListRow;

class DayListPanel : public QObject {
  Q_OBJECT

 public:
  // The controls are placed on `client`, the main window's client area, at the design's places.
  DayListPanel(AppContext& context, QWidget* client, QObject* parent);

  // Writes the selected date into the heading.
  void showHeading();
  // ShowDayHoliday: empties the list, colours the heading for the day, adds the holiday row.
  void showHoliday();
  // LoadDaySchedules without the grid: the heading, then the day's entries that pass the
  // filter. A file that cannot be read adds no rows and says why.
  Status loadEntries();
  void addRow(const DayListRow& row);
  // フル: the list reaches down over the month grid and the timer list; else it ends above them.
  void setFull(bool full);

  // Which filter button is selected: 0 まだ, 1 終了したもの, 2 全部.
  int filter() const;
  QString heading() const;
  QStringList row(int row) const;
  QTreeWidget* list() const { return list_; }

 signals:
  // Another filter button has been checked, however (a click, an arrow key, a screen reader).
  void filterChanged();
  // A row was clicked, or Enter or Space was pressed on it.
  void rowOpened(int row);

 private:
  AppContext& context_;
  std::array<QRadioButton*, 3> filterButtons_{};
  QLabel* heading_ = nullptr;  // Label2
  QTreeWidget* list_ = nullptr;
};
