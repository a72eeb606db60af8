#pragma once
// The main window's month grid: 31 day cells, each a day-number label (Label1(i)) beside a
// list of the day's holiday and subjects (List1(i)). Days 1-15 stand in the left column,
// 16-31 in the right one.

#include <QDate>
#include <QObject>
#include <array>

#include "store/Status.h"
#include "ui/AppContext.h"

class QKeyEvent;
class QLabel;
class QListWidget;
class QWidget;
class GlyphHeightRows;
struct DayCell;
struct MonthGrid;

class MonthGridPanel : public QObject {
  Q_OBJECT

 public:
  static constexpr int kDayCells = 31;

  // The cells are placed on `client`, the main window's client area, at the design's places.
  // The month-length table (MonthDays(1) to MonthDays(12)) is filled first, as the load does.
  MonthGridPanel(AppContext& context, QWidget* client, QObject* parent);

  // The grid's half of ShowDateHeading: the selected month's cells (which are shown, their
  // captions, their names for screen readers) and colours; February's length of the year goes
  // to MonthDays(2).
  void showMonthLayout();
  // RefreshMonthView: the month again, with every entry's subject from the file. A file that
  // cannot be read leaves the cells without subjects and says why.
  Status loadMonth();
  // PaintMonthCalendar: the colours of the grid's cells.
  void paint(const MonthGrid& grid);
  // The selected day's cell is the grid's one stop of the Tab key, and has the focus while the
  // grid has it.
  void markSelectedDay();

 signals:
  // The day of a cell was clicked or chosen with the arrow keys, Home or End (0-based).
  void daySelected(int cellIndex);
  // Enter on the selected day: a new entry for it.
  void newEntryRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createCell(int index, QWidget* client, GlyphHeightRows* rows);
  // One cell as the model has it: shown or not, its caption and names.
  void labelCell(int index, const DayCell& cell, const QDate& today);
  void paintCell(int index, const DayCell& cell);
  // The arrows, Home and End move the selected day, Enter opens a new entry on it.
  bool keyPressed(const QKeyEvent& key);
  void showFocusFrame(int index, bool shown);

  AppContext& context_;
  std::array<QLabel*, kDayCells> labels_{};
  std::array<QListWidget*, kDayCells> lists_{};
};
