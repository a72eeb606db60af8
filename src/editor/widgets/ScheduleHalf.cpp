#include "editor/widgets/ScheduleHalf.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

#include "editor/widgets/EditorFields.h"
#include "ui/UiSupport.h"

ScheduleHalf::ScheduleHalf(QWidget* editor) : QObject(editor), editor_(editor) {
  heading = new PanelHeading(QStringLiteral("予定の編集"), kScheduleColour, editor);
  heading->setObjectName(QStringLiteral("Label1"));
  heading->setGeometry(twipsRect(0, 0, 5400, 2985));

  // The caption labels the three boxes together; no box takes its name from it (a screen reader
  // would call the year box 「予定の日付」).
  makeLabel(editor, "Label3", QStringLiteral("日付"), 100, 840, QStringLiteral("予定の日付"));
  year = digitCombo(editor, "Combo1", twipsRect(680, 800, 975, 360), {},
                    QStringLiteral("予定の年（西暦４桁）"), QStringLiteral("予定の年"));
  makeLabel(editor, "Label4", QStringLiteral("年"), 1680, 840, QStringLiteral("予定の年"));
  month = digitCombo(editor, "Combo2", twipsRect(2040, 800, 855, 360), numberItems(1, 12),
                     QStringLiteral("予定の月"), QStringLiteral("予定の月"));
  makeLabel(editor, "Label5", QStringLiteral("月"), 2920, 840, QStringLiteral("予定の月"));
  day = digitCombo(editor, "Combo3", twipsRect(3280, 800, 855, 360), numberItems(1, 31),
                   QStringLiteral("予定の日"), QStringLiteral("予定の日"));
  makeLabel(editor, "Label11", QStringLiteral("日"), 4160, 840, QStringLiteral("予定の日"));

  QLabel* subjectLabel =
      makeLabel(editor, "Label12", QStringLiteral("件名"), 100, 1320, QStringLiteral("予定の件名"));
  subject = new QLineEdit(editor);
  subject->setObjectName(QStringLiteral("Text1"));
  subject->setGeometry(twipsRect(680, 1200, 4575, 420));
  limitTyping(subject, kSubjectLimit);
  subject->setToolTip(QStringLiteral("予定の件名（２０文字まで）"));
  setAccessible(subject, QStringLiteral("予定の件名"));
  subjectLabel->setBuddy(subject);

  QLabel* contentLabel =
      makeLabel(editor, "Label13", QStringLiteral("内容"), 100, 1800, QStringLiteral("予定の内容"));
  content = new QPlainTextEdit(editor);
  content->setObjectName(QStringLiteral("Text2"));
  content->setGeometry(twipsRect(680, 1680, 4620, 855));
  content->setTabChangesFocus(true);
  connect(content, &QPlainTextEdit::textChanged, this, &ScheduleHalf::trimContentToLimit);
  content->setToolTip(QStringLiteral("予定の内容（５０文字まで）"));
  setAccessible(content, QStringLiteral("予定の内容"));
  contentLabel->setBuddy(content);

  auto check = [editor](const char* name, const QString& caption, QRect rect, const QString& tip,
                        const QString& accessibleName) {
    auto* box = new QCheckBox(caption, editor);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(rect);
    box->setFont(japaneseFont(12, true));
    paintBackground(box, kScheduleColour);
    box->setToolTip(tip);
    setAccessible(box, accessibleName);
    return box;
  };
  done = check("Check1", QStringLiteral("終了"), twipsRect(720, 2640, 975, 300),
               QStringLiteral("済んだ予定に印を付けます"), QStringLiteral("予定の終了"));
  deleteNext =
      check("Check2", QStringLiteral("次回から削除します"), twipsRect(1800, 2640, 2535, 300),
            QStringLiteral("済んだ予定を、次にデータを開いたときに削除します"),
            QStringLiteral("予定を次回から削除します"));
}

void ScheduleHalf::createButtons() {
  buttons =
      makeHalfButtons(editor_, 1, 0, QStringLiteral("予定"),
                      {QStringLiteral("予定を追加します"), QStringLiteral("この予定を削除します"),
                       QStringLiteral("この予定を書き換えます"),
                       QStringLiteral("予定の項目を空にして、新しい予定にします")});
}

ScheduleInput ScheduleHalf::input() const {
  return ScheduleInput{year->currentText(),    month->currentText(),   day->currentText(),
                       subject->text(),        content->toPlainText(), done->isChecked(),
                       deleteNext->isChecked()};
}

void ScheduleHalf::setDate(const QString& yearText, const QString& monthText,
                           const QString& dayText) {
  year->setEditText(yearText);
  month->setEditText(monthText);
  day->setEditText(dayText);
}

void ScheduleHalf::setDateEnabled(bool enabled) {
  for (QComboBox* box : {year, month, day}) box->setEnabled(enabled);
}

void ScheduleHalf::setFields(const QString& subjectText, const QString& contentText, bool isDone,
                             bool isDeleteNext) {
  subject->setText(subjectText);
  setContentText(contentText);
  done->setChecked(isDone);
  deleteNext->setChecked(isDeleteNext);
}

void ScheduleHalf::reset(const QDate& today) {
  setFields(QString(), QString(), false, false);
  subject->setEnabled(true);
  content->setEnabled(true);
  buttons.enable(true, false, false);
  setDate(QString::number(today.year()), editorinput::twoDigits(today.month()),
          editorinput::twoDigits(today.day()));
  setDateEnabled(true);
}

void ScheduleHalf::setContentText(const QString& text) {
  // A stored content is shown whole, even past the limit, so that it still matches the file.
  settingContent_ = true;
  content->setPlainText(text);
  settingContent_ = false;
}

void ScheduleHalf::trimContentToLimit() {
  if (settingContent_) return;
  const qsizetype excess = content->toPlainText().size() - kContentLimit;
  if (excess <= 0) return;
  // What was just typed or pasted ends at the cursor: keep what fits of it.
  QTextCursor cursor = content->textCursor();
  const int end = cursor.position();
  if (end < excess) return;
  cursor.setPosition(end - static_cast<int>(excess));
  cursor.setPosition(end, QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
}
