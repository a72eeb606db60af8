#pragma once
// The record editor's right half: a timer's title, kind, date or weekday, time and picture, and
// the buttons 追加, 削除, 更新 and 項目の初期化 at the right of the bottom row.

#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <array>

#include "editor/EditorInput.h"
#include "editor/widgets/EditorFields.h"
#include "ui/AppContext.h"

class QComboBox;
class QDateTime;
class QFrame;
class QGroupBox;
class QImage;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

class TimerHalf : public QObject {
  Q_OBJECT

 public:
  // Makes the fields on the editor, the coloured panel behind them first.
  TimerHalf(QWidget* editor, AppContext& context);
  // The four buttons, made after both halves' fields so they stand in the bottom row's order.
  void createButtons();

  // The picture is the shared TimerImageFile.
  TimerInput input() const;

  // Date, weekday and time of the given moment; no picture.
  void showMoment(const QDateTime& now);
  // A timer-list row: title, kind text, when, "hh:nn". The title cannot be changed (it is how
  // the timer is found again). The picture is not touched.
  void showRow(const QStringList& columns);
  void setWeekday(const QString& weekday);
  // The title emptied and open for typing, ready for a new timer.
  void clearTitle();

  // The picture of the timer being edited, or the empty frame where it goes.
  void showPicture(const QImage& picture);
  // The picture box in device pixels, the size to load a picture at.
  QSize pictureSize() const;
  void showEmptyPictureFrame();
  void hidePicture();
  // 画像の選択: the open dialog, then the picture shown and kept in TimerImageFile.
  void choosePicture();

  // Where Enter in the title goes: the first field the selected kind shows.
  QWidget* fieldAfterTitle() const;
  int selectedKind() const;  // -1 when no kind button is selected

  QLabel* heading = nullptr;             // Label2
  QLineEdit* title = nullptr;            // Text3
  QGroupBox* kindFrame = nullptr;        // Frame1
  std::array<QRadioButton*, 3> kinds{};  // Option1(0)-(2)
  QComboBox* year = nullptr;             // Combo4
  QComboBox* month = nullptr;            // Combo5
  QComboBox* day = nullptr;              // Combo6
  QComboBox* weekday = nullptr;          // Combo7
  QComboBox* hour = nullptr;             // Combo8
  QComboBox* minute = nullptr;           // Combo9
  QPushButton* pictureButton = nullptr;  // Command10
  HalfButtons buttons;                   // Command6-Command9

 private:
  void createKindButtons();
  void createPicture();
  void clearKinds();
  void updateKindFields();  // the Option1 click

  QWidget* editor_;
  AppContext& context_;
  QLabel* yearLabel_ = nullptr;  // Label7
  QLabel* monthLabel_ = nullptr;
  QLabel* dayLabel_ = nullptr;
  QLabel* weekdayLabel_ = nullptr;         // Label10
  QLabel* picture_ = nullptr;              // Image1
  std::array<QFrame*, 4> pictureFrame_{};  // Line1-Line4
};
