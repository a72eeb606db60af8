#include "editor/widgets/EditorWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QEvent>
#include <QImage>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "editor/ScheduleOperations.h"
#include "editor/TimerOperations.h"
#include "editor/widgets/EditorFields.h"
#include "editor/widgets/ScheduleHalf.h"
#include "editor/widgets/TimerHalf.h"
#include "shared/DateFormat.h"
#include "ui/Accessibility.h"
#include "ui/UiSupport.h"

EditorWindow::EditorWindow(AppContext& context, MainViews& views, QWidget* parent)
    : QDialog(parent), context_(context), views_(views) {
  installAccessibleInterfaces();
  setObjectName(QStringLiteral("Form5"));
  context.openWindows.editor = this;
  setWindowTitle(QStringLiteral("新しいデータ？ 変更？ 削除？"));
  makeFixedWindow(this, false);
  // A dialog owned by the main window: no taskbar button of its own.
  setWindowFlags((windowFlags() & ~Qt::WindowType_Mask) | Qt::Dialog);
  setFixedSize(twips(10815), twips(3960));
  setFont(japaneseFont(12));

  schedule_ = new ScheduleHalf(this);
  timer_ = new TimerHalf(this, context);
  setTextOnPanels(this);
  createBottomRow();
  setTabOrderAndKeys();
  for (QComboBox* box : {schedule_->year, timer_->year}) fitDigits(box, 4);
  for (QComboBox* box : {schedule_->month, schedule_->day, timer_->month, timer_->day, timer_->hour,
                         timer_->minute}) {
    fitDigits(box, 2);
  }
  for (QPushButton* button : findChildren<QPushButton*>()) fitButtonCaption(button);
  timer_->kinds[0]->setChecked(true);
  placeBesideMainWindow();
}

void EditorWindow::createBottomRow() {
  schedule_->createButtons();
  timer_->createButtons();
  connect(schedule_->buttons.add, &QPushButton::clicked, this, &EditorWindow::addScheduleClicked);
  connect(schedule_->buttons.remove, &QPushButton::clicked, this,
          &EditorWindow::deleteScheduleClicked);
  connect(schedule_->buttons.update, &QPushButton::clicked, this,
          &EditorWindow::updateScheduleClicked);
  connect(schedule_->buttons.reset, &QPushButton::clicked, this, &EditorWindow::resetSchedule);
  connect(timer_->buttons.add, &QPushButton::clicked, this, &EditorWindow::addTimerClicked);
  connect(timer_->buttons.remove, &QPushButton::clicked, this, &EditorWindow::deleteTimerClicked);
  connect(timer_->buttons.update, &QPushButton::clicked, this, &EditorWindow::updateTimerClicked);
  connect(timer_->buttons.reset, &QPushButton::clicked, this, &EditorWindow::resetTimer);

  // The eight characters spread over the whole width, six full-width spaces apart.
  const QString characters = QStringLiteral("編集画面を閉じる");
  QString caption;
  for (QChar c : characters) {
    if (!caption.isEmpty()) caption += QString(6, QChar(0x3000));
    caption += c;
  }
  close_ = rowButton(this, "Command5", caption, twipsRect(0, 3480, 10815, 495),
                     QStringLiteral("何もせずに編集画面を閉じます"), characters);
  connect(close_, &QPushButton::clicked, this, &EditorWindow::reject);
}

void EditorWindow::setTabOrderAndKeys() {
  const ScheduleHalf& s = *schedule_;
  const TimerHalf& t = *timer_;
  // Tab walks through the schedule half, then the timer half (its kind first, as it decides
  // which fields follow), and ends on the close button below both.
  const QList<QWidget*> scheduleHalf{s.year,           s.month,        s.day,
                                     s.subject,        s.content,      s.done,
                                     s.deleteNext,     s.buttons.add,  s.buttons.remove,
                                     s.buttons.update, s.buttons.reset};
  const QList<QWidget*> timerHalf{
      t.title,         t.kinds[0],    t.kinds[1],       t.kinds[2],       t.year,
      t.month,         t.day,         t.weekday,        t.hour,           t.minute,
      t.pictureButton, t.buttons.add, t.buttons.remove, t.buttons.update, t.buttons.reset};
  const QList<QWidget*> order = scheduleHalf + timerHalf + QList<QWidget*>{close_};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

  auto rule = [this](QWidget* field, int limit, TypedKeys keys, std::function<QWidget*()> next) {
    keyRules_.insert(field, KeyRule{limit, keys, std::move(next)});
    field->installEventFilter(this);
  };
  auto to = [](QWidget* target) { return [target] { return target; }; };
  rule(s.year, 4, TypedKeys::Digits, to(s.month));
  rule(s.month, 2, TypedKeys::Digits, to(s.day));
  rule(s.day, 2, TypedKeys::Digits, to(s.subject));
  rule(s.subject, 0, TypedKeys::Any, to(s.content));
  rule(s.content, 0, TypedKeys::Any, to(s.buttons.add));
  rule(t.title, 0, TypedKeys::Any, [this] { return timer_->fieldAfterTitle(); });
  rule(t.year, 4, TypedKeys::Digits, to(t.month));
  rule(t.month, 2, TypedKeys::Digits, to(t.day));
  rule(t.day, 2, TypedKeys::Digits, to(t.hour));
  rule(t.weekday, 0, TypedKeys::DigitsNoBackspace, to(t.hour));
  rule(t.hour, 2, TypedKeys::Digits, to(t.minute));
  rule(t.minute, 2, TypedKeys::Digits, to(t.buttons.add));
}

bool EditorWindow::eventFilter(QObject* watched, QEvent* event) {
  const auto found = keyRules_.constFind(watched);
  if (found == keyRules_.constEnd()) return QDialog::eventFilter(watched, event);
  const KeyRule& rule = found.value();

  switch (event->type()) {
    case QEvent::FocusIn:
      if (watched == schedule_->subject || watched == schedule_->content ||
          watched == timer_->title) {
        context_.platform.requestHiraganaInput(watched);
      }
      return false;
    case QEvent::InputMethod: {
      // The digit fields keep the input method off; should one still commit text, it has to
      // pass as typed digits would.
      if (rule.keys == TypedKeys::Any) return false;
      const QString commit = static_cast<QInputMethodEvent*>(event)->commitString();
      qsizetype length = fieldText(watched).size();
      for (QChar c : commit) {
        if (filterTypedKey(c.unicode(), length++, rule.limit, rule.keys) == 0) return true;
      }
      return false;
    }
    case QEvent::KeyPress: {
      auto* key = static_cast<QKeyEvent*>(event);
      const int code = typedCode(*key);
      if (code < 0) return false;
      if (code == 13) {
        // A field that cannot take the focus now (a disabled button) leaves it where it is.
        QWidget* next = rule.next();
        if (next && next->isEnabled() && next->isVisibleTo(this)) {
          next->setFocus(Qt::OtherFocusReason);
        }
        return true;
      }
      const QString text = code == 8 ? QString(QChar(8)) : key->text();
      const qsizetype length = fieldText(watched).size();
      for (QChar c : text) {
        if (filterTypedKey(c.unicode(), length, rule.limit, rule.keys) == 0) return true;
      }
      return false;
    }
    default:
      return false;
  }
}

void EditorWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // Only a button with the focus answers Enter; the editor has no default button, so an
    // Enter in a check box never adds or deletes anything.
    if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled()) {
      button->click();
    }
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

QString EditorWindow::fieldText(QObject* field) const {
  if (auto* box = qobject_cast<QComboBox*>(field)) return box->currentText();
  if (auto* edit = qobject_cast<QLineEdit*>(field)) return edit->text();
  if (auto* text = qobject_cast<QPlainTextEdit*>(field)) return text->toPlainText();
  return QString();
}

void EditorWindow::placeBesideMainWindow() {
  const QRect main = views_.mainWindowGeometry();
  move(main.left() + twips(770), main.top() + twips(4200));
}

void EditorWindow::fillYearLists() {
  const int thisYear = context_.platform.now().date().year();
  const int lastYear = std::min(thisYear + 10, 9999);
  // The lists are rebuilt, not appended to: however often the editor is filled, each year
  // stands in them once. The typed year stays.
  for (QComboBox* box : {schedule_->year, timer_->year}) {
    const QString text = box->currentText();
    box->clear();
    for (int year = thisYear; year <= lastYear; ++year) box->addItem(QString::number(year));
    box->setEditText(text);
  }
}

void EditorWindow::FillEditorCombos() {
  timer_->showMoment(context_.platform.now());
  fillYearLists();
  timer_->showEmptyPictureFrame();
  placeBesideMainWindow();
}

void EditorWindow::PrepareEditor() {
  SharedState& state = context_.state;
  state.EditorSnapshot = prepareEditorSnapshot(state.EditorSnapshot, scheduleInput(), timerInput());
}

ScheduleInput EditorWindow::scheduleInput() const { return schedule_->input(); }

TimerInput EditorWindow::timerInput() const { return timer_->input(); }

void EditorWindow::prepareNewEntry(const QString& headingText) {
  FillEditorCombos();
  schedule_->setFields(QString(), QString(), false, false);
  schedule_->buttons.enable(true, false, false);
  timer_->buttons.enable(true, false, false);
  schedule_->setDate(headingText.mid(0, 4), headingText.mid(5, 2), headingText.mid(8, 2));
  schedule_->setDateEnabled(true);
}

void EditorWindow::openScheduleRow(const QString& headingText, const QStringList& columns) {
  const QString dateText = headingText.left(10);
  if (const std::optional<QDate> date = parseDateText(dateText)) {
    schedule_->setDate(formatDate(*date, u"yyyy"), formatDate(*date, u"mm"),
                       formatDate(*date, u"dd"));
  } else {
    schedule_->setDate(dateText.mid(0, 4), dateText.mid(5, 2), dateText.mid(8, 2));
  }
  schedule_->setFields(columns.value(0), columns.value(1), columns.value(2) != u"まだ",
                       columns.value(3) != u"残る");
  FillEditorCombos();
  schedule_->buttons.enable(false, true, true);
  timer_->buttons.enable(true, false, false);
  // The date of a stored entry is its key; it cannot be changed here.
  schedule_->setDateEnabled(false);
  timer_->hidePicture();
  PrepareEditor();
}

void EditorWindow::setDateFieldsToToday() {
  const QDate today = context_.platform.now().date();
  for (QComboBox* box : {schedule_->year, timer_->year}) {
    box->setEditText(QString::number(today.year()));
  }
  for (QComboBox* box : {schedule_->month, timer_->month}) {
    box->setEditText(QString::number(today.month()));
  }
  for (QComboBox* box : {schedule_->day, timer_->day}) {
    box->setEditText(QString::number(today.day()));
  }
  timer_->setWeekday(formatDate(today, u"aaa"));
}

bool EditorWindow::openTimerRow(const QStringList& columns) {
  fillYearLists();
  setDateFieldsToToday();
  timer_->showRow(columns);

  SharedState& state = context_.state;
  state.TimerImageFile = columns.value(4);
  QImage image;
  QString error;
  if (context_.platform.loadPicture(state.TimerImageFile, timer_->pictureSize(), &image, &error)) {
    timer_->showPicture(image);
  } else {
    // A picture that cannot be loaded now (a stick not plugged in) must neither lock its timer
    // away nor be lost: say so and show the empty frame, but keep the stored path, so that a
    // change of, say, the minute writes the timer with its picture as it was.
    warn(context_.platform, error);
    timer_->showEmptyPictureFrame();
  }

  timer_->buttons.add->setEnabled(false);
  timer_->buttons.remove->setEnabled(true);
  timer_->buttons.update->setEnabled(true);
  // The timer is what was opened: the focus starts on its title, one Tab before its kind.
  timer_->title->setFocus(Qt::OtherFocusReason);
  PrepareEditor();
  return true;
}

bool EditorWindow::takeResult(const EditorResult& result) {
  SharedState& state = context_.state;
  if (result.InputErrors) state.InputErrors = *result.InputErrors;
  if (result.SelYear) state.SelYear = *result.SelYear;
  if (result.SelMonth) state.SelMonth = *result.SelMonth;
  if (result.TimerImageFile) state.TimerImageFile = *result.TimerImageFile;
  if (result.message) {
    context_.platform.messageBox(result.message->text, result.message->title, result.message->icon,
                                 MessageButtons::Ok);
  }
  return result.closesEditor();
}

void EditorWindow::refresh(std::initializer_list<void (MainViews::*)()> procedures) {
  refreshViews(views_, procedures);
}

void EditorWindow::addScheduleClicked() {
  if (!takeResult(addSchedule(context_.state.CurrentDataFile, scheduleInput()))) return;
  refresh({&MainViews::ShowDateHeading, &MainViews::ShowDayHoliday, &MainViews::LoadDaySchedules,
           &MainViews::RefreshMonthView});
  accept();
}

void EditorWindow::deleteScheduleClicked() {
  const SharedState& state = context_.state;
  if (!takeResult(deleteSchedule(state.CurrentDataFile, scheduleInput(), state.EditorSnapshot))) {
    return;
  }
  accept();
  refresh({&MainViews::ShowDayHoliday, &MainViews::LoadDaySchedules, &MainViews::RefreshMonthView});
}

void EditorWindow::updateScheduleClicked() {
  const SharedState& state = context_.state;
  if (!takeResult(updateSchedule(state.CurrentDataFile, scheduleInput(), state.EditorSnapshot))) {
    return;
  }
  refresh({&MainViews::ShowDayHoliday, &MainViews::LoadDaySchedules, &MainViews::RefreshMonthView});
  accept();
}

void EditorWindow::resetSchedule() { schedule_->reset(context_.platform.now().date()); }

void EditorWindow::addTimerClicked() {
  const EditorResult result =
      addTimer(context_.state.CurrentDataFile, timerInput(), context_.platform.now());
  if (!takeResult(result)) return;
  refresh({&MainViews::LoadTimerList});
  accept();
}

void EditorWindow::deleteTimerClicked() {
  if (!takeResult(deleteTimer(context_.state.CurrentDataFile, timerInput()))) return;
  FillEditorCombos();
  refresh({&MainViews::LoadTimerList});
  accept();
}

void EditorWindow::updateTimerClicked() {
  const SharedState& state = context_.state;
  if (!takeResult(updateTimer(state.CurrentDataFile, timerInput(), state.EditorSnapshot))) return;
  refresh({&MainViews::ShowDayHoliday, &MainViews::LoadDaySchedules, &MainViews::RefreshMonthView,
           &MainViews::LoadTimerList});
  accept();
}

void EditorWindow::resetTimer() {
  FillEditorCombos();
  timer_->clearTitle();
  timer_->buttons.enable(true, false, false);
}
