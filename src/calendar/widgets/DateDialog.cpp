#include "calendar/widgets/DateDialog.h"

#include <QApplication>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>

#include "calendar/widgets/HolidayCalendar.h"
#include "ui/Accessibility.h"
#include "ui/Contrast.h"
#include "ui/UiSupport.h"

namespace {

QString sectionName(QDateTimeEdit::Section section) {
  switch (section) {
    case QDateTimeEdit::YearSection:
      return QStringLiteral("年");
    case QDateTimeEdit::MonthSection:
      return QStringLiteral("月");
    case QDateTimeEdit::DaySection:
      return QStringLiteral("日");
    default:
      return {};
  }
}

}  // namespace

DateDialog::DateDialog(AppContext& context, MainViews& views, QWidget* parent)
    : QDialog(parent), context_(context), views_(views) {
  setObjectName(QStringLiteral("Form3"));
  context.openWindows.dateDialog = this;
  setWindowTitle(QStringLiteral("年月日を指定してね"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(twips(4590), twips(1725));

  auto* heading = new QLabel(QStringLiteral("年月日を選択してください"), this);
  heading->setObjectName(QStringLiteral("Label1"));
  heading->setGeometry(twipsRect(0, 0, 4575, 495));
  heading->setAlignment(Qt::AlignCenter);
  heading->setAutoFillBackground(true);
  // A fixed white band: its text is black under any palette.
  setFixedGround(heading, Qt::white);
  heading->setFont(popFont(18));

  auto* range =
      new QLabel(QStringLiteral("最小は1601年01月01日で、最大が9999年12月31日です"), this);
  range->setObjectName(QStringLiteral("Label2"));
  range->setGeometry(twipsRect(0, 600, 4575, 255));
  range->setAlignment(Qt::AlignCenter);

  picker_ = new QDateEdit(this);
  picker_->setObjectName(QStringLiteral("DTPicker1"));
  picker_->setGeometry(twipsRect(0, 840, 4575, 420));
  picker_->setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
  picker_->setDateRange(QDate(1601, 1, 1), QDate(9999, 12, 31));
  picker_->setDisplayFormat(QStringLiteral("yyyy年MM月dd日  dddd"));
  picker_->setCalendarPopup(true);
  auto* calendar = new HolidayCalendar(picker_);
  calendar->setShownMarks(context.shownMarks);
  picker_->setCalendarWidget(calendar);
  picker_->setFont(popFont(15.75));
  picker_->setToolTip(QStringLiteral("年月日を指定してね"));
  setAccessible(picker_, QStringLiteral("表示する年月日"));
  picker_->installEventFilter(this);
  // Orca hears neither a new date nor a move between its parts from the picker itself: both
  // are announced, the date whole.
  spoken_ = makeAnnouncer(this, QStringLiteral("DateAnnouncer"));
  spoken_->setGeometry(0, 0, 1, 1);
  QPalette unseen = spoken_->palette();
  unseen.setColor(QPalette::WindowText, Qt::transparent);
  spoken_->setPalette(unseen);
  if (auto* field = picker_->findChild<QLineEdit*>(QStringLiteral("qt_spinbox_lineedit"),
                                                   Qt::FindDirectChildrenOnly)) {
    makeQuietField(field);
  }
  connect(picker_, &QDateEdit::dateChanged, this, [this] {
    if (picker_->hasFocus()) announce(spoken_, spokenText(picker_->text()));
  });

  auto* show = new QPushButton(QStringLiteral("表示"), this);
  show->setObjectName(QStringLiteral("Command1"));
  show->setGeometry(twipsRect(0, 1320, 2295, 375));
  show->setToolTip(QStringLiteral("上に出てる日付けを表示します"));
  setAccessible(show, show->text());
  auto* close = new QPushButton(QStringLiteral("閉じる"), this);
  close->setObjectName(QStringLiteral("Command2"));
  close->setGeometry(twipsRect(2280, 1320, 2295, 375));
  close->setToolTip(QStringLiteral("閉じます"));
  setAccessible(close, close->text());
  setTabOrder(show, close);
  setTabOrder(close, picker_);
  show->setDefault(true);
  show->setFocus();

  connect(show, &QPushButton::clicked, this, &DateDialog::showChosenDate);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);

  // At the main window's left edge, 1000 twips below its top; today's date, not the shown one.
  const QRect main = views.mainWindowGeometry();
  move(main.x(), main.y() + twips(1000));
  picker_->setDate(context.platform.now().date());
}

bool DateDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == picker_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool altDown = key->key() == Qt::Key_Down && key->modifiers() == Qt::AltModifier;
    if ((key->key() == Qt::Key_F4 && key->modifiers() == Qt::NoModifier) || altDown) {
      openCalendar();
      return true;
    }
    if ((key->key() == Qt::Key_Left || key->key() == Qt::Key_Right) &&
        key->modifiers() == Qt::NoModifier) {
      moveToPart(key->key() == Qt::Key_Right ? 1 : -1);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void DateDialog::moveToPart(int step) {
  // Left and Right go from part to part (年, 月, 日), not from character to character, and the
  // part reached is announced with its value. The weekday shown after the date is no part.
  // Found by the part, not by currentSectionIndex(), which Qt leaves past the day when the
  // caret stands at its end.
  int index = 0;
  while (index < picker_->sectionCount() - 1 &&
         picker_->sectionAt(index) != picker_->currentSection()) {
    ++index;
  }
  for (int next = index + step; next >= 0 && next < picker_->sectionCount(); next += step) {
    if (!sectionName(picker_->sectionAt(next)).isEmpty()) {
      index = next;
      break;
    }
  }
  picker_->setCurrentSectionIndex(index);
  const QDateTimeEdit::Section part = picker_->currentSection();
  announce(spoken_, sectionName(part) + u' ' + picker_->sectionText(part));
}

void DateDialog::openCalendar() {
  // Qt drops the calendar down only for a press on the arrow: press it.
  QStyleOptionComboBox option;
  option.initFrom(picker_);
  option.editable = true;
  option.subControls = QStyle::SC_All;
  const QRect arrow = picker_->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                       QStyle::SC_ComboBoxArrow, picker_);
  const QPointF at = arrow.center();
  const QPointF global = picker_->mapToGlobal(at);
  QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(picker_, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(picker_, &release);
}

void DateDialog::showChosenDate() {
  const QDate chosen = picker_->date();
  context_.state.SelYear = chosen.year();
  context_.state.SelMonth = chosen.month();
  context_.state.SelDay = chosen.day();
  refreshViews(views_, {&MainViews::ShowDateHeading, &MainViews::ShowDayHoliday,
                        &MainViews::LoadDaySchedules, &MainViews::RefreshMonthView});
  accept();
}
