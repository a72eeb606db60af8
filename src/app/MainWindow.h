#pragma once
// Form2: the main window, a frame around three panels (the day list, the month grid and the
// timer list): the menus and the toolbar with their commands, the clock, the display modes.

#include <QMainWindow>
#include <array>

#include "app/CommandTable.h"
#include "app/DataFileCommands.h"
#include "calendar/KoyomiPrefetch.h"
#include "ui/AppContext.h"
#include "ui/MainViews.h"

class AlarmController;
class SyncController;
class DayListPanel;
class MonthGridPanel;
class TimerListPanel;
class QAction;
class QLabel;
class QTimer;
class QToolBar;
class Status;
enum class DateMove;

class MainWindow : public QMainWindow, public MainViews {
  Q_OBJECT

 public:
  static constexpr int kToolbarButtons = 18;

  // The window's load: layout, list columns, month lengths, the 31 day cells, then the views.
  // A data file that cannot be read is reported by finishRefresh(), which the window that
  // creates this one calls when it is done (it may have more to say about the same file).
  explicit MainWindow(AppContext& context);

  // The view procedures. Each reads the shared state and the data file and repaints its part.
  void ShowDateHeading() override;
  void ShowDayHoliday() override;
  void LoadDaySchedules() override;
  void RefreshMonthView() override;
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
  // 表示 → 六曜を表示 / 旧暦と和暦を表示 / 二十四節気・雑節を表示 (koyomi::MarkKind): shows
  // or hides that kind of mark as its item is checked, and keeps the choice for the next run.
  void showMarks(int kind);
  void newDataFileCommand();
  void openDataFileCommand();
  void selectDay(int cellIndex);
  void newScheduleEntry();               // toolbar button 4, Ctrl+N
  void startExternalProgram(int which);  // toolbar buttons 16-18: editor, browser, paint
  void openDayListRow(int row);          // a click on a row of ListView1
  void openTimerListRow(int row);        // a click on a row of ListView2

  // A failure noted by the views but not yet shown is dropped, for a caller that reports the
  // same cause in its own words.
  void clearPendingFailure() { pendingFailure_.clear(); }

  AlarmController* alarms() const { return alarms_; }
  // When the data file in use is synced with its CalDAV calendar.
  SyncController* syncController() const { return sync_; }

  // The state of the new and open dialogs; its first use of a run selects today.
  FileDialogState& fileDialog() { return fileDialogs_.state(); }

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

 private:
  QList<Command> commandTable();

  void createMenus();
  void createToolbar();
  void createPanels();
  void createClock();
  void showClockText(const QString& text);
  void applyClientHeight(int windowHeightTwips);
  void clampSelectedDay();
  // The refresh sequences without the report at their end.
  void loadDateViews();  // heading, holiday, day list, month grid
  void loadViews();      // the same, then the timer list
  void noteFailure(const Status& status);
  void reportFailure();

  AppContext& context_;
  MainFileDialogs fileDialogs_;
  // Every command of the menus and the toolbar, in the menus' order.
  const QList<Command> commands_;
  QWidget* client_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  DayListPanel* dayPanel_ = nullptr;
  MonthGridPanel* gridPanel_ = nullptr;
  TimerListPanel* timerPanel_ = nullptr;
  QLabel* clock_ = nullptr;  // Label3
  std::array<QAction*, 3> displayModes_{};
  QAction* startAtLogin_ = nullptr;
  std::array<QAction*, 3> markItems_{};
  KoyomiPrefetch marksAhead_;
  QTimer* clockTimer_ = nullptr;  // Timer1
  AlarmController* alarms_ = nullptr;
  SyncController* sync_ = nullptr;
  QString pendingFailure_;
};
