#pragma once
// Form5: the record editor, schedule entries on the left half, alarm timers on the right.

#include <QDialog>
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <initializer_list>

#include "editor/EditorInput.h"
#include "ui/AppContext.h"
#include "ui/MainViews.h"

class QPushButton;
class ScheduleHalf;
class TimerHalf;

class EditorWindow : public QDialog {
  Q_OBJECT

 public:
  EditorWindow(AppContext& context, MainViews& views, QWidget* parent = nullptr);

  // Timer fields to now, the year lists (each year once), no picture, the place beside the
  // main window.
  void FillEditorCombos();
  // Keeps the fields as they stand in the shared EditorSnapshot.
  void PrepareEditor();

  // Empty for a new entry on the date the heading ("yyyy/mm/dd(aaa)の予定") shows.
  void prepareNewEntry(const QString& headingText);
  // A day-list row: subject, content, "終了"/"まだ", "削除"/"残る"; its date is the heading's.
  void openScheduleRow(const QString& headingText, const QStringList& columns);
  // A timer-list row: title, kind text, when, "hh:nn", picture. A picture that cannot be
  // loaded is reported and left out, so the timer can still be changed or deleted. Returns
  // whether to show the editor.
  bool openTimerRow(const QStringList& columns);

  // The fields as the operations read them.
  ScheduleInput scheduleInput() const;
  TimerInput timerInput() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct KeyRule {
    int limit = 0;
    TypedKeys keys = TypedKeys::Any;
    std::function<QWidget*()> next;  // where Enter moves the focus
  };

  void createBottomRow();
  void setTabOrderAndKeys();
  void placeBesideMainWindow();
  void fillYearLists();
  void setDateFieldsToToday();
  QString fieldText(QObject* field) const;

  // The buttons.
  void addScheduleClicked();
  void deleteScheduleClicked();
  void updateScheduleClicked();
  void resetSchedule();
  void addTimerClicked();
  void deleteTimerClicked();
  void updateTimerClicked();
  void resetTimer();

  // Shows what an operation reports and copies its shared values; true when it is done.
  bool takeResult(const EditorResult& result);
  void refresh(std::initializer_list<void (MainViews::*)()> procedures);

  AppContext& context_;
  MainViews& views_;
  QHash<QObject*, KeyRule> keyRules_;
  ScheduleHalf* schedule_ = nullptr;
  TimerHalf* timer_ = nullptr;
  QPushButton* close_ = nullptr;  // Command5
};
