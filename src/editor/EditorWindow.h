#pragma once
// Form5: the record editor, schedule entries on the left half, alarm timers on the right.

#include <QDialog>
#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <initializer_list>

#include "app/AppContext.h"
#include "app/MainViews.h"
#include "editor/EditorInput.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

// Which typed characters a field lets through.
enum class TypedKeys {
  Any,                // every character
  Digits,             // "0"-"9" and Backspace
  DigitsNoBackspace,  // "0"-"9" only
};

// The editor's keyboard filter for one typed character: code is the character (8 Backspace,
// 13 Enter), currentLength the whole text of the field, limit 0 for none. Returns the code
// that goes on, 0 when the key is dropped; Enter always comes back as 0 (the field moves the
// focus instead).
int filterTypedKey(int code, qsizetype currentLength, int limit, TypedKeys keys);

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

  void createScheduleHalf();
  void createTimerHalf();
  void createBottomRow();
  void setTabOrderAndKeys();
  void placeBesideMainWindow();
  void fillYearLists();
  void setTimerDefaultsFromToday();
  void showPicture(const QImage& picture);
  void showEmptyPictureFrame();

  int selectedKind() const;  // -1 when no kind button is selected
  void clearKinds();
  void updateKindFields();  // the Option1 click
  QWidget* fieldAfterTitle() const;

  QString fieldText(QObject* field) const;
  void setWeekday(const QString& weekday);
  void setContentText(const QString& text);
  void trimContentToLimit();

  // The buttons.
  void addScheduleClicked();
  void deleteScheduleClicked();
  void updateScheduleClicked();
  void resetSchedule();
  void addTimerClicked();
  void deleteTimerClicked();
  void updateTimerClicked();
  void resetTimer();
  void choosePicture();

  // Shows what an operation reports and copies its shared values; true when it is done.
  bool takeResult(const EditorResult& result);
  void refresh(std::initializer_list<void (MainViews::*)()> views);

  AppContext& context_;
  MainViews& views_;
  bool settingContent_ = false;
  QHash<QObject*, KeyRule> keyRules_;

  QLabel* scheduleHeading_ = nullptr;  // Label1
  QComboBox* scheduleYear_ = nullptr;  // Combo1
  QComboBox* scheduleMonth_ = nullptr;
  QComboBox* scheduleDay_ = nullptr;
  QLineEdit* subject_ = nullptr;        // Text1
  QPlainTextEdit* content_ = nullptr;   // Text2
  QCheckBox* done_ = nullptr;           // Check1
  QCheckBox* deleteNext_ = nullptr;     // Check2
  QPushButton* addSchedule_ = nullptr;  // Command1
  QPushButton* deleteSchedule_ = nullptr;
  QPushButton* updateSchedule_ = nullptr;
  QPushButton* resetSchedule_ = nullptr;

  QLabel* timerHeading_ = nullptr;  // Label2
  QLineEdit* title_ = nullptr;      // Text3
  QGroupBox* kindFrame_ = nullptr;  // Frame1
  std::array<QRadioButton*, 3> kinds_{};
  QComboBox* timerYear_ = nullptr;  // Combo4
  QComboBox* timerMonth_ = nullptr;
  QComboBox* timerDay_ = nullptr;
  QComboBox* weekday_ = nullptr;  // Combo7
  QComboBox* hour_ = nullptr;     // Combo8
  QComboBox* minute_ = nullptr;   // Combo9
  QLabel* yearLabel_ = nullptr;   // Label7
  QLabel* monthLabel_ = nullptr;
  QLabel* dayLabel_ = nullptr;
  QLabel* weekdayLabel_ = nullptr;         // Label10
  QPushButton* pictureButton_ = nullptr;   // Command10
  QLabel* picture_ = nullptr;              // Image1
  std::array<QFrame*, 4> pictureFrame_{};  // Line1-Line4
  QPushButton* addTimer_ = nullptr;        // Command6
  QPushButton* deleteTimer_ = nullptr;
  QPushButton* updateTimer_ = nullptr;
  QPushButton* resetTimer_ = nullptr;

  QPushButton* close_ = nullptr;  // Command5
};
