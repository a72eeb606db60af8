#include "calendar/TimerList.h"

#include "calendar/DayView.h"
#include "shared/DateFormat.h"
#include "store/DataFileScan.h"

namespace {

// A two-part clock time "h:m" (one or two digits each) as "hh:nn"; otherwise the text as is.
QString clockText(const QString& hour, const QString& minute) {
  const QString joined = hour + u':' + minute;
  auto number = [](const QString& text, int max) -> std::optional<int> {
    if (text.isEmpty() || text.size() > 2) return std::nullopt;
    int value = 0;
    for (QChar c : text) {
      if (c < u'0' || c > u'9') return std::nullopt;
      value = value * 10 + (c.unicode() - u'0');
    }
    if (value > max) return std::nullopt;
    return value;
  };
  const std::optional<int> h = number(hour, 23);
  const std::optional<int> m = number(minute, 59);
  if (!h || !m) return joined;
  return formatDateTime(QDate(2000, 1, 1), QTime(*h, *m), u"hh:nn");
}

QString onceDateText(const TimerRecord& timer) {
  const QString joined = timer.TimerYearOrWeekday.toText() + u'/' + timer.TimerMonth.toText() +
                         u'/' + timer.TimerDay.toText();
  const std::optional<QDate> date = parseDateText(joined);
  return date ? formatDate(*date, u"yyyy/mm/dd(aaa)") : joined;
}

}  // namespace

TimerListRow timerListRow(const TimerRecord& timer) {
  TimerListRow row;
  row.title = timer.TimerTitle.toText();
  row.picture = timer.TimerPicture.toText();
  const QByteArray& kind = timer.TimerKind.raw;
  if (kind == "0") {
    row.kind = QStringLiteral("一回");
    row.when = onceDateText(timer);
  } else if (kind == "1") {
    row.kind = QStringLiteral("毎週");
    row.when = timer.TimerYearOrWeekday.toText() + QStringLiteral("曜日");
  } else if (kind == "2") {
    row.kind = QStringLiteral("毎日");
  } else {
    return row;
  }
  row.time = clockText(timer.TimerHour.toText(), timer.TimerMinute.toText());
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
