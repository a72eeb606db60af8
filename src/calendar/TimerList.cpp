#include "calendar/TimerList.h"

#include "calendar/DayView.h"
#include "shared/DateFormat.h"
#include "store/DataFileScan.h"
#include "store/TimerView.h"

namespace {

// The list's columns 2 to 4 of a timer of a known kind.
void describeKind(const TimerView& timer, AlarmKind kind, TimerListRow& row) {
  const TimerRecord& record = timer.record();
  switch (kind) {
    case AlarmKind::Once: {
      row.kind = QStringLiteral("一回");
      const std::optional<QDate> date = timer.listDate();
      row.when = date ? formatDate(*date, u"yyyy/mm/dd(aaa)")
                      : record.TimerYearOrWeekday.toText() + u'/' + record.TimerMonth.toText() +
                            u'/' + record.TimerDay.toText();
      break;
    }
    case AlarmKind::Weekly:
      row.kind = QStringLiteral("毎週");
      row.when = record.TimerYearOrWeekday.toText() + QStringLiteral("曜日");
      break;
    case AlarmKind::Daily:
      row.kind = QStringLiteral("毎日");
      break;
  }
  // A time of one or two digits each as "hh:nn"; otherwise the texts as they are.
  const std::optional<QTime> time = timer.listTime();
  row.time = time ? formatDateTime(QDate(2000, 1, 1), *time, u"hh:nn")
                  : record.TimerHour.toText() + u':' + record.TimerMinute.toText();
}

}  // namespace

TimerListRow timerListRow(const TimerRecord& timer) {
  TimerListRow row;
  row.title = timer.TimerTitle.toText();
  row.picture = timer.TimerPicture.toText();
  const TimerView view(timer);
  if (const std::optional<AlarmKind> kind = view.kindByText()) describeKind(view, *kind, row);
  return row;
}

TimerList loadTimerList(const QString& dataFile) {
  TimerList list;
  list.status = scanTimers(
      dataFile, [&](const TimerRecord& timer) { list.rows.append(timerListRow(timer)); });
  if (!list.status.isOk()) list.rows.clear();
  return list;
}

std::optional<SearchResultRow> searchResultRow(const ScheduleRecord& record) {
  if (TimerMarker::matches(record.EntryDate)) return std::nullopt;
  const QString dateText = record.EntryDate.toText();
  const std::optional<QDate> date = parseDateText(dateText);
  return SearchResultRow{
      date ? dateText + formatDate(*date, u"(aaa)") : dateText,
      record.Subject.toText(),
      record.Content.toText(),
      finishedText(record.DoneFlag),
      deletionText(record.DeleteFlag),
  };
}
