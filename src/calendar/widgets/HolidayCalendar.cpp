#include "calendar/widgets/HolidayCalendar.h"

#include <QAbstractItemView>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QSpinBox>
#include <QTextCharFormat>
#include <QToolButton>
#include <QToolTip>
#include <array>

#include "calendar/Holidays.h"
#include "calendar/widgets/CalendarColors.h"

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

  QTextCharFormat saturday;
  saturday.setForeground(toColor(colors::kBlue));
  setWeekdayTextFormat(Qt::Saturday, saturday);
  QTextCharFormat sunday;
  sunday.setForeground(toColor(colors::kRed));
  setWeekdayTextFormat(Qt::Sunday, sunday);

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
    dayGrid_ = view->viewport();
    dayGrid_->installEventFilter(this);
  }
  nameForScreenReaders();
  followShownPage();
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
  setDateTextFormat(QDate(), QTextCharFormat());
  const QDate first(yearShown(), monthShown(), 1);
  for (int offset = -1; offset <= 1; ++offset) {
    const QDate shown = first.addMonths(offset);
    if (!shown.isValid()) continue;
    for (const MonthHoliday& holiday : monthHolidays(shown.year(), shown.month())) {
      const QDate date(shown.year(), shown.month(), holiday.day);
      QTextCharFormat format;
      format.setBackground(toColor(colors::kMagenta));
      format.setForeground(weekdayTextColor(date));
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
    if (painted.contains(position)) return holidayName(day).value_or(QString());
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
