#pragma once
// Form2: the main window with the day list, the month grid and the timer list.

#include <QMainWindow>
#include <QPointer>
#include <array>

#include "ui/AppContext.h"
#include "ui/MainViews.h"

class AlarmController;
class StartupWindow;
struct FileDialogState;
class QAction;
class QKeyEvent;
class QLabel;
class QListWidget;
class QRadioButton;
class QTimer;
class QToolBar;
class QTreeWidget;
struct DayListRow;
struct MonthGrid;
enum class DateMove;

class MainWindow : public QMainWindow, public MainViews {
  Q_OBJECT

 public:
  static constexpr int kDayCells = 31;
  static constexpr int kToolbarButtons = 18;

  // The window's load: layout, list columns, month lengths, the 31 day cells, then the views.
  // A data file that cannot be read is reported by finishRefresh(), which the window that
  // creates this one calls when it is done (it may have more to say about the same file).
  explicit MainWindow(AppContext& context);
  ~MainWindow() override;

  // The view procedures. Each reads the shared state and the data file and repaints its part.
  void ShowDateHeading() override;
  void ShowDayHoliday() override;
  void LoadDaySchedules() override;
  void AddScheduleRow(const DayListRow& row);
  void RefreshMonthView() override;
  void PaintMonthCalendar(const MonthGrid& grid);
  void LoadTimerList() override;
  void finishRefresh() override { reportFailure(); }
  QRect mainWindowGeometry() const override { return frameGeometry(); }

  // The refresh sequences; each reports a failure to read the data file once, at its end.
  void refreshAllViews();   // the load order: heading, holiday, day list, month, timers
  void refreshDateViews();  // after a change of date: heading, holiday, day list, month
  void refreshDayList();    // after a change of day inside the month or of the filter

  // Commands.
  void toolbarButtonClicked(int position);  // 1-based; separators do nothing
  void moveSelectedDate(DateMove move);
  void openDateDialog();
  void openSearchWindow();
  void setDisplayMode(int mode);  // 0 コンパクト, 1 標準, 2 フル
  void newDataFileCommand();
  void openDataFileCommand();
  void selectDay(int cellIndex);
  void newScheduleEntry();               // toolbar button 4, Ctrl+N
  void startExternalProgram(int which);  // toolbar buttons 16-18: editor, browser, paint
  void openDayListRow(int row);          // a click on a row of ListView1
  void openTimerListRow(int row);        // a click on a row of ListView2
  void filterChanged();

  // A failure noted by the views but not yet shown is dropped, for a caller that reports the
  // same cause in its own words.
  void clearPendingFailure() { pendingFailure_.clear(); }

  AlarmController* alarms() const { return alarms_; }

  // The file dialogs belong to the start-up window. After the hand-over it is gone; the first
  // dialog of the run loads it again, hidden, and that load sets the selected date to today.
  FileDialogState& fileDialog();
  StartupWindow* dialogHost() const;

  // Which filter button is selected: 0 まだ, 1 終了したもの, 2 全部.
  int dayFilter() const;

  // ファイル → ログイン時に起動する: writes an autostart entry that starts this program with the
  // data file in use, or removes it. A failure is shown and the check mark stays as it was.
  void setStartAtLogin(bool start);
  // Checks the item when an autostart entry exists for the data file in use.
  void updateStartAtLoginCheck();

 signals:
  // The timer list has been read again from the data file.
  void timerListLoaded();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createMenus();
  void createToolbar();
  void createControls();
  void createDayCells();
  // The selected day's cell is the grid's one stop of the Tab key, and has the focus while the
  // grid has it.
  void markSelectedDayCell();
  // The keys of the day list and the timer list (Enter and Space open a row) and of the grid
  // (the arrows, Home and End move the selected day, Enter opens a new entry on it).
  bool listKeyPressed(const QKeyEvent& key);
  bool dayCellKeyPressed(const QKeyEvent& key);
  void showClockText(const QString& text);
  void keepTicksOnTheSecond();
  void applyClientHeight(int windowHeightTwips);
  void fitTimerColumns();  // every column inside the list, at its texts' widths where they fit
  void clampSelectedDay();
  // The refresh sequences without the report at their end.
  void loadDateViews();  // heading, holiday, day list, month grid
  void loadViews();      // the same, then the timer list
  void noteFailure(const QString& message);
  void reportFailure();

  AppContext& context_;
  QWidget* client_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  std::array<QAction*, kToolbarButtons + 1> toolbarActions_{};  // 1-based
  std::array<QRadioButton*, 3> filterButtons_{};
  QLabel* heading_ = nullptr;  // Label2
  QLabel* clock_ = nullptr;    // Label3
  QTreeWidget* dayList_ = nullptr;
  QTreeWidget* timerList_ = nullptr;
  std::array<QLabel*, kDayCells> dayLabels_{};
  std::array<QListWidget*, kDayCells> dayLists_{};
  std::array<QAction*, 3> displayModes_{};
  QAction* startAtLogin_ = nullptr;
  QTimer* clockTimer_ = nullptr;  // Timer1
  AlarmController* alarms_ = nullptr;
  QString pendingFailure_;
  QPointer<StartupWindow> dialogHost_;
};
