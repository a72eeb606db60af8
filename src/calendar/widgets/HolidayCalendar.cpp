#include "calendar/widgets/HolidayCalendar.h"

#include <QAbstractItemView>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QSpinBox>
#include <QTextCharFormat>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <array>

#include "calendar/Holidays.h"
#include "calendar/Koyomi.h"
#include "calendar/widgets/CalendarColors.h"
#include "ui/Accessibility.h"
#include "ui/Contrast.h"

namespace {

QColor weekdayTextColor(const QDate& date) {
  if (date.dayOfWeek() == Qt::Sunday) return toColor(colors::kRed);
  if (date.dayOfWeek() == Qt::Saturday) return toColor(colors::kBlue);
  return toColor(colors::kBlack);
}

}  // namespace

HolidayCalendar::HolidayCalendar(QWidget* parent) : QCalendarWidget(parent) {
  setObjectName(QStringLiteral("HolidayCalendar"));
  setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
  setFirstDayOfWeek(Qt::Sunday);
  setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);  // week numbers are not used here
  setGridVisible(true);

  // Qt's navigation bar reads "12月 2026"; put the year first and write it with its 年. The
  // buttons are found by the names Qt gives them; without them the bar stays as it is.
  yearButton_ = findChild<QToolButton*>(QStringLiteral("qt_calendar_yearbutton"));
  monthButton_ = findChild<QToolButton*>(QStringLiteral("qt_calendar_monthbutton"));
  auto* bar = findChild<QWidget*>(QStringLiteral("qt_calendar_navigationbar"));
  barLayout_ = bar ? qobject_cast<QHBoxLayout*>(bar->layout()) : nullptr;
  if (yearButton_ && monthButton_ && barLayout_) {
    barLayout_->removeWidget(monthButton_);
    barLayout_->insertWidget(barLayout_->indexOf(yearButton_) + 1, monthButton_);
  }
  // Qt rewrites the year's caption whenever it turns the page and when a year was typed.
  if (auto* yearEdit = findChild<QSpinBox*>(QStringLiteral("qt_calendar_yearedit"))) {
    connect(yearEdit, &QSpinBox::editingFinished, this, &HolidayCalendar::followShownPage);
  }
  connect(this, &QCalendarWidget::currentPageChanged, this, &HolidayCalendar::followShownPage);

  if (auto* view = findChild<QAbstractItemView*>(QStringLiteral("qt_calendar_calendarview"))) {
    dayView_ = view;
    dayGrid_ = view->viewport();
    dayGrid_->installEventFilter(this);
  }
  silenceWhileHidden(true);
  nameForScreenReaders();
  followShownPage();
}

void HolidayCalendar::showEvent(QShowEvent* event) {
  silenceWhileHidden(false);
  QCalendarWidget::showEvent(event);
  // Once the day table has the focus, its day is told: the table alone says no date.
  QTimer::singleShot(0, this, [this] {
    if (dayView_ && isVisible()) retellCurrentItem(dayView_);
  });
}

void HolidayCalendar::hideEvent(QHideEvent* event) {
  QCalendarWidget::hideEvent(event);
  silenceWhileHidden(true);
}

void HolidayCalendar::silenceWhileHidden(bool hidden) {
  // The hidden calendar follows every change of the picker's date, and Qt tells a screen
  // reader of each new day as if the day table had the focus: 「日付 table」 instead of the
  // date. While it is hidden, its day table hears nothing of the change of its current day; it
  // paints and reads the current day afresh when shown.
  if (!dayView_ || !dayView_->selectionModel()) return;
  dayView_->selectionModel()->blockSignals(hidden);
  if (!hidden) dayView_->viewport()->update();
}

void HolidayCalendar::nameForScreenReaders() {
  // Qt leaves the calendar, its day table and its arrow buttons without names.
  setAccessibleName(QStringLiteral("カレンダー"));
  const std::array<std::pair<const char*, const char*>, 4> parts{
      {{"qt_calendar_prevmonth", "前の月"},
       {"qt_calendar_nextmonth", "次の月"},
       {"qt_calendar_calendarview", "日付"},
       {"qt_calendar_yearedit", "年"}}};
  for (const auto& [name, spoken] : parts) {
    if (auto* part = findChild<QWidget*>(QLatin1String(name))) {
      part->setAccessibleName(QString::fromUtf8(spoken));
    }
  }
}

QString HolidayCalendar::heading() const {
  QString text;
  for (int i = 0; barLayout_ && i < barLayout_->count(); ++i) {
    QWidget* widget = barLayout_->itemAt(i)->widget();
    if (widget && (widget == yearButton_ || widget == monthButton_)) {
      text += static_cast<QToolButton*>(widget)->text();
    }
  }
  return text;
}

// Writes the year with its 年 and marks the holidays of the page, which also shows the last
// days of the month before and the first of the month after.
void HolidayCalendar::followShownPage() {
  if (yearButton_) {
    // Only as wide as its text, so that year and month read as one heading.
    const QString caption = QString::number(yearShown()) + u'年';
    yearButton_->setText(caption);
    yearButton_->setFixedWidth(yearButton_->fontMetrics().horizontalAdvance(caption) + 4);
  }
  // The weekday colours in the shade of their hue that reads on this palette's ground; a
  // holiday's day on its magenta in one that reads there.
  const QColor ground = palette().color(QPalette::Base);
  QTextCharFormat saturday;
  saturday.setForeground(shadeReaching(toColor(colors::kBlue), ground));
  setWeekdayTextFormat(Qt::Saturday, saturday);
  QTextCharFormat sunday;
  sunday.setForeground(shadeReaching(toColor(colors::kRed), ground));
  setWeekdayTextFormat(Qt::Sunday, sunday);
  const QColor magenta = toColor(colors::kMagenta);
  setDateTextFormat(QDate(), QTextCharFormat());
  const QDate first(yearShown(), monthShown(), 1);
  for (int offset = -1; offset <= 1; ++offset) {
    const QDate shown = first.addMonths(offset);
    if (!shown.isValid()) continue;
    for (const MonthHoliday& holiday : monthHolidays(shown.year(), shown.month())) {
      const QDate date(shown.year(), shown.month(), holiday.day);
      QTextCharFormat format;
      format.setBackground(magenta);
      format.setForeground(shadeReaching(weekdayTextColor(date), magenta));
      setDateTextFormat(date, format);
    }
  }
}

void HolidayCalendar::paintCell(QPainter* painter, const QRect& rect, QDate date) const {
  QCalendarWidget::paintCell(painter, rect, date);
  // Days never overlap, so whatever was painted under this one before is gone.
  paintedDays_.removeIf([&](const auto& painted) { return painted.first.intersects(rect); });
  paintedDays_.append({rect, date});
}

QString HolidayCalendar::toolTipAt(const QPoint& position) const {
  for (const auto& [painted, day] : paintedDays_) {
    if (!painted.contains(position)) continue;
    QStringList lines;
    if (const std::optional<QString> holiday = holidayName(day)) lines.append(*holiday);
    if (const QString marks = koyomi::marksText(koyomi::dayMarks(day), shownMarks_);
        !marks.isEmpty()) {
      lines.append(marks);
    }
    return lines.join(u'\n');
  }
  return QString();
}

bool HolidayCalendar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == dayGrid_ && event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString name = toolTipAt(help->pos());
    if (name.isEmpty()) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(help->globalPos(), name, dayGrid_);
    }
    return true;
  }
  return QCalendarWidget::eventFilter(watched, event);
}
