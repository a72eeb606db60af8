#pragma once
// The record editor's left half: a schedule entry's date, subject, content and flags, and the
// buttons 追加, 削除, 更新 and 項目の初期化 at the left of the bottom row.

#include <QObject>
#include <QString>
#include <QStringList>

#include "editor/EditorInput.h"
#include "editor/widgets/EditorFields.h"

class QCheckBox;
class QComboBox;
class QDate;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

class ScheduleHalf : public QObject {
  Q_OBJECT

 public:
  // Makes the fields on the editor, the coloured panel behind them first.
  explicit ScheduleHalf(QWidget* editor);
  // The four buttons, made after both halves' fields so they stand in the bottom row's order.
  void createButtons();

  ScheduleInput input() const;

  void setDate(const QString& year, const QString& month, const QString& day);
  void setDateEnabled(bool enabled);
  // Subject, content and the two check boxes, shown as given.
  void setFields(const QString& subject, const QString& content, bool done, bool deleteNext);
  // 項目の初期化: empty fields and today's date, ready for a new entry.
  void reset(const QDate& today);

  QLabel* heading = nullptr;          // Label1
  QComboBox* year = nullptr;          // Combo1
  QComboBox* month = nullptr;         // Combo2
  QComboBox* day = nullptr;           // Combo3
  QLineEdit* subject = nullptr;       // Text1
  QPlainTextEdit* content = nullptr;  // Text2
  QCheckBox* done = nullptr;          // Check1
  QCheckBox* deleteNext = nullptr;    // Check2
  HalfButtons buttons;                // Command1-Command4

 private:
  void setContentText(const QString& text);
  void trimContentToLimit();

  QWidget* editor_;
  bool settingContent_ = false;
};
