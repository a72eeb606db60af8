#include "exchange/IcalExport.h"

#include <QCryptographicHash>
#include <QHash>
#include <QTimeZone>

#include "exchange/LibIcal.h"
#include "shared/DateFormat.h"
#include "store/AtomicFile.h"
#include "store/DataFileScan.h"
#include "store/TimerView.h"

namespace {

constexpr const char* kByDay[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};  // Sunday first

// The zone timers are written in: a zone libical has a definition of (written with its
// VTIMEZONE under its plain IANA name), UTC, or none (times without zone, read as local).
struct WriteZone {
  icaltimezone* zone = nullptr;
  QByteArray tzid;
  bool utc = false;
};

WriteZone chooseZone(QByteArray id) {
  if (id.isEmpty()) id = QTimeZone::systemTimeZoneId();
  static const QList<QByteArray> utcNames = {"UTC",           "Etc/UTC",   "Etc/GMT", "GMT",
                                             "Etc/Universal", "Universal", "Zulu",    "Etc/Zulu"};
  if (utcNames.contains(id)) return {icaltimezone_get_utc_timezone(), {}, true};
  if (icaltimezone* zone = icaltimezone_get_builtin_timezone(id.constData())) {
    return {zone, id, false};
  }
  return {};
}

// A libical time from a local wall-clock time in the zone chosen.
icaltimetype wallTime(const QDate& date, const QTime& time, const WriteZone& zone) {
  icaltimetype t = icaltime_null_time();
  t.year = date.year();
  t.month = date.month();
  t.day = date.day();
  t.hour = time.hour();
  t.minute = time.minute();
  t.zone = zone.zone;
  return t;
}

icaltimetype dateValue(const QDate& date) {
  icaltimetype t = icaltime_null_date();
  t.year = date.year();
  t.month = date.month();
  t.day = date.day();
  return t;
}

void addX(icalcomponent* component, const char* name, const QString& value) {
  icalproperty* property = icalproperty_new_x(value.toUtf8().constData());
  icalproperty_set_x_name(property, name);
  icalcomponent_add_property(component, property);
}

// A UID that stays the same as long as the record does: a hash of its line in the file, and
// for identical lines their count so far, so that two equal entries stay two events.
QByteArray uidFor(const char* kind, const QByteArray& line, QHash<QByteArray, int>& seen) {
  const int occurrence = seen[line]++;
  return QByteArray(kind) + '-' +
         QCryptographicHash::hash(line, QCryptographicHash::Sha256).toHex().left(32) + '-' +
         QByteArray::number(occurrence) + "@yotenna";
}

// When a timer's series starts and how it repeats, or why it cannot be written.
struct TimerSeries {
  QDate start;
  QByteArray rule;  // empty for a once-only timer
  QString problem;
};

TimerSeries seriesOf(const TimerView& timer, const QDate& today) {
  const std::optional<AlarmKind> kind = timer.kindByText();
  if (!kind) return {{}, {}, QStringLiteral("タイマーの種類を読めません")};
  switch (*kind) {
    case AlarmKind::Once: {
      const std::optional<QDate> date = timer.exportDate();
      if (!date) return {{}, {}, QStringLiteral("日付を読めません")};
      return {*date, {}, {}};
    }
    case AlarmKind::Weekly: {
      const std::optional<int> weekday = timer.weekday();
      if (!weekday) return {{}, {}, QStringLiteral("曜日を読めません")};
      // The series starts with the first such weekday from today on.
      return {today.addDays((*weekday - today.dayOfWeek() % 7 + 7) % 7),
              QByteArray("FREQ=WEEKLY;BYDAY=") + kByDay[*weekday],
              {}};
    }
    case AlarmKind::Daily:
      break;
  }
  return {today, "FREQ=DAILY", {}};
}

class Exporter {
 public:
  // withZone: timers follow, so the zone's definition goes first.
  Exporter(const ExportOptions& options, ExportResult& result, bool withZone)
      : options_(options), result_(result), zone_(chooseZone(options.zoneId)) {
    calendar_.reset(icalcomponent_new_vcalendar());
    icalcomponent_add_property(calendar_.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar_.get(), icalproperty_new_prodid("-//Yotenna//Yotenna//JA"));
    icalcomponent_add_property(calendar_.get(), icalproperty_new_calscale("GREGORIAN"));
    if (!options.calendarName.isEmpty()) {
      addX(calendar_.get(), "X-WR-CALNAME", options.calendarName);
    }
    stamp_ = icaltime_from_timet_with_zone(options.now.toSecsSinceEpoch(), 0,
                                           icaltimezone_get_utc_timezone());
    if (withZone) addZone();
  }

  // uid: the item's UID; empty for one made from the record's line.
  void add(const ScheduleRecord& record, const QByteArray& uid = {});
  void add(const TimerRecord& record, const QByteArray& uid = {});
  QByteArray text() const { return ical::take(icalcomponent_as_ical_string_r(calendar_.get())); }

 private:
  icalcomponent* newEvent(const QByteArray& uid, const QString& summary);
  void addZone();
  icalproperty* zonedStart(const QDate& date, const QTime& time);

  const ExportOptions& options_;
  ExportResult& result_;
  WriteZone zone_;
  ical::ComponentPtr calendar_;
  icaltimetype stamp_{};
  QHash<QByteArray, int> seen_;
};

icalcomponent* Exporter::newEvent(const QByteArray& uid, const QString& summary) {
  icalcomponent* event = icalcomponent_new_vevent();
  icalcomponent_add_property(event, icalproperty_new_uid(uid.constData()));
  icalcomponent_add_property(event, icalproperty_new_dtstamp(stamp_));
  if (!summary.isEmpty()) {
    icalcomponent_add_property(event, icalproperty_new_summary(summary.toUtf8().constData()));
  }
  icalcomponent_add_component(calendar_.get(), event);
  return event;
}

void Exporter::addZone() {
  if (!zone_.zone || zone_.utc) return;
  icalcomponent* definition = icaltimezone_get_component(zone_.zone);
  if (!definition) return;
  // libical names its zones with a prefix of its own; other programs know the plain name.
  icalcomponent* copy = icalcomponent_new_clone(definition);
  if (icalproperty* tzid = icalcomponent_get_first_property(copy, ICAL_TZID_PROPERTY)) {
    icalproperty_set_tzid(tzid, zone_.tzid.constData());
  }
  icalcomponent_add_component(calendar_.get(), copy);
}

icalproperty* Exporter::zonedStart(const QDate& date, const QTime& time) {
  if (zone_.utc) {
    // The wall-clock time is UTC's own.
    return icalproperty_new_dtstart(wallTime(date, time, zone_));
  }
  icalproperty* start = icalproperty_new_dtstart(wallTime(date, time, zone_));
  if (zone_.zone) icalproperty_add_parameter(start, icalparameter_new_tzid(zone_.tzid.constData()));
  return start;
}

void Exporter::add(const ScheduleRecord& record, const QByteArray& givenUid) {
  const QString dateText = record.EntryDate.toText();
  const QString subject = record.Subject.toText();
  const QByteArray uid =
      givenUid.isEmpty() ? uidFor("entry", encodeLine(record.fields()), seen_) : givenUid;
  const std::optional<QDate> date = parseDateText(dateText);
  if (!date || !date->isValid() || date->year() < 1 || date->year() > 9999) {
    result_.notExported << ExchangeIssue{QStringLiteral("「%1」（%2）").arg(subject, dateText),
                                         QStringLiteral("日付を読めません")};
    return;
  }
  icalcomponent* event = newEvent(uid, subject);
  icalcomponent_add_property(event, icalproperty_new_dtstart(dateValue(*date)));
  // An all-day event ends at the start of the next day.
  if (date->year() < 9999 || date->month() < 12 || date->day() < 31) {
    icalcomponent_add_property(event, icalproperty_new_dtend(dateValue(date->addDays(1))));
  }
  const QString content = record.Content.toText();
  if (!content.isEmpty()) {
    icalcomponent_add_property(event, icalproperty_new_description(content.toUtf8().constData()));
  }
  addX(event, ical::kFinishedProperty,
       record.DoneFlag.isSet() ? QStringLiteral("1") : QStringLiteral("0"));
  addX(event, ical::kDeleteNextProperty,
       record.DeleteFlag.isSet() ? QStringLiteral("1") : QStringLiteral("0"));
  ++result_.entries;
}

void Exporter::add(const TimerRecord& record, const QByteArray& givenUid) {
  const QString title = record.TimerTitle.toText();
  const QByteArray uid =
      givenUid.isEmpty() ? uidFor("timer", encodeLine(record.fields()), seen_) : givenUid;
  const QString label = QStringLiteral("「%1」（タイマー）").arg(title);
  const TimerView timer(record);
  const std::optional<QTime> time = timer.exportTime();
  if (!time) {
    result_.notExported << ExchangeIssue{label, QStringLiteral("時刻を読めません")};
    return;
  }
  const TimerSeries series = seriesOf(timer, options_.now.date());
  if (!series.problem.isEmpty()) {
    result_.notExported << ExchangeIssue{label, series.problem};
    return;
  }

  icalcomponent* event = newEvent(uid, title);
  icalcomponent_add_property(event, zonedStart(series.start, *time));
  if (!series.rule.isEmpty()) {
    icalcomponent_add_property(
        event, icalproperty_new_rrule(icalrecurrencetype_from_string(series.rule.constData())));
  }
  addX(event, ical::kTimerProperty, QStringLiteral("1"));
  const QString picture = record.TimerPicture.toText();
  if (!picture.isEmpty()) addX(event, ical::kPictureProperty, picture);

  // The alarm at the start itself; a display alarm must have a text.
  icalcomponent* alarm = icalcomponent_new_valarm();
  icalcomponent_add_property(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
  const QString alarmText = title.isEmpty() ? QStringLiteral("タイマー") : title;
  icalcomponent_add_property(alarm, icalproperty_new_description(alarmText.toUtf8().constData()));
  icaltriggertype trigger;
  trigger.time = icaltime_null_time();
  trigger.duration = icaldurationtype_null_duration();
  icalcomponent_add_property(alarm, icalproperty_new_trigger(trigger));
  icalcomponent_add_component(event, alarm);
  ++result_.timers;
}

}  // namespace

ExportResult exportCalendar(const QString& dataFile, const ExportOptions& options) {
  ical::quietErrors();
  ExportResult result;
  QList<ScheduleRecord> schedules;
  QList<TimerRecord> timers;
  result.status = scanSchedule(dataFile, [&](const ScheduleRecord& record) {
    schedules << record;
    return true;
  });
  if (!result.status) return result;
  result.status = scanTimers(dataFile, [&](const TimerRecord& record) { timers << record; });
  if (!result.status) return result;

  Exporter exporter(options, result, !timers.isEmpty());
  for (const ScheduleRecord& record : schedules) exporter.add(record);
  for (const TimerRecord& record : timers) exporter.add(record);
  result.ics = exporter.text();
  return result;
}

namespace {

// One record as a calendar of its own; nothing when the record cannot be exported.
template <typename Record>
ExportResult exportOne(const Record& record, const QByteArray& uid, const ExportOptions& options,
                       bool isTimer) {
  ical::quietErrors();
  ExportResult result;
  Exporter exporter(options, result, isTimer);
  exporter.add(record, uid);
  if (result.entries + result.timers > 0) result.ics = exporter.text();
  return result;
}

}  // namespace

ExportResult exportItem(const ScheduleRecord& record, const QByteArray& uid,
                        const ExportOptions& options) {
  return exportOne(record, uid, options, false);
}

ExportResult exportItem(const TimerRecord& record, const QByteArray& uid,
                        const ExportOptions& options) {
  return exportOne(record, uid, options, true);
}

Status writeCalendarFile(const QString& path, const QByteArray& ics) {
  return replaceFileContents(path, ics);
}
