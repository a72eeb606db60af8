#include "exchange/IcalOccurrences.h"

#include <algorithm>

#include "exchange/IcalReading.h"
#include "shared/DateFormat.h"

namespace {

// Bounds that keep a hostile or mistaken rule from taking the program's memory and time.
constexpr int kMaxOccurrences = 1000;  // of one recurring item within the range
constexpr int kMaxRuleSteps = 100000;  // steps through one recurrence rule

QString dayKey(const icaltimetype& time) {
  return QStringLiteral("D%1").arg(time.year * 10000 + time.month * 100 + time.day);
}

// Where two times are the same instant: dates by day, zoned times by their UTC form, times
// without zone as written.
QString instantKey(icaltimetype time) {
  if (time.is_date) return dayKey(time);
  if (time.zone) {
    const icaltimetype utc = icaltime_convert_to_zone(time, icaltimezone_get_utc_timezone());
    return u'U' + ical::text(icaltime_as_ical_string(utc));
  }
  return u'F' + ical::text(icaltime_as_ical_string(time));
}

// A zoned time in the local zone, through its UTC form.
QDateTime zonedMoment(icaltimetype time, const QTimeZone& localZone) {
  const icaltimetype utc = icaltime_convert_to_zone(time, icaltimezone_get_utc_timezone());
  const QDate utcDate(utc.year, utc.month, utc.day);
  const QTime utcClock(utc.hour, utc.minute, std::min(utc.second, 59));
  if (!utcDate.isValid() || !utcClock.isValid()) return {};
  return QDateTime(utcDate, utcClock, QTimeZone::utc()).toTimeZone(localZone);
}

// A zone libical does not know may still be one the system knows, by its IANA name or by the
// Windows name that Outlook writes.
QTimeZone systemZone(const char* tzid) {
  if (!tzid || !*tzid) return {};
  QTimeZone zone{QByteArray(tzid)};
  if (!zone.isValid()) zone = QTimeZone(QTimeZone::windowsIdToDefaultIanaId(tzid));
  return zone;
}

// Days of an all-day series that are excluded by a time of the day (as Outlook writes them):
// the time means the day.
QSet<QDate> excludedDays(icalcomponent* component, const icaltimetype& start) {
  QSet<QDate> days;
  if (!start.is_date) return days;
  for (icalproperty* excluded : ical::properties(component, ICAL_EXDATE_PROPERTY)) {
    const icaltimetype time = icalproperty_get_exdate(excluded);
    if (!time.is_date) days.insert(QDate(time.year, time.month, time.day));
  }
  return days;
}

// The time an RDATE names, in the zone it names.
icaltimetype repeatDate(icalproperty* date, icalcomponent* component) {
  const icaldatetimeperiodtype value = icalproperty_get_rdate(date);
  icaltimetype time = icaltime_is_null_time(value.time) ? value.period.start : value.time;
  if (icaltime_is_null_time(time) || time.zone || time.is_date) return time;
  if (const char* tzid = tzidParameter(date)) {
    icalcomponent* calendar = icalcomponent_get_parent(component);
    icaltimezone* zone = calendar ? icalcomponent_get_timezone(calendar, tzid) : nullptr;
    if (!zone) zone = icaltimezone_get_builtin_timezone_from_tzid(tzid);
    if (!zone) zone = icaltimezone_get_builtin_timezone(tzid);
    time.zone = zone;
  } else if (icaltime_is_utc(value.time)) {
    time.zone = icaltimezone_get_utc_timezone();
  }
  return time;
}

// Collects the occurrences of one repeating item within the range, each once.
class Expansion {
 public:
  Expansion(const ItemStart& start, const ReplacedOccurrences& replaced,
            const ImportOptions& options)
      : item_(start),
        start_(start.time),
        uid_(ical::text(icalcomponent_get_uid(start.component))),
        excludedDays_(excludedDays(start.component, start.time)),
        replaced_(replaced),
        options_(options) {}

  void followRule(icalproperty* rule);
  void addDate(icalproperty* date);
  // False once the occurrences have passed the range or the limit is reached.
  bool consider(icaltimetype time);
  bool limited() const { return limited_; }
  Occurrences finish();

 private:
  const ItemStart& item_;
  icaltimetype start_;  // libical wants it writable
  QString uid_;
  QSet<QDate> excludedDays_;
  const ReplacedOccurrences& replaced_;
  const ImportOptions& options_;
  QSet<QString> seen_;
  Occurrences result_;
  bool limited_ = false;
};

bool Expansion::consider(icaltimetype time) {
  const LocalTime local = toLocal(time, options_.localZone, item_.zoneName);
  if (!local.valid) return true;
  if (local.date > options_.rangeLast) return false;
  if (local.date < options_.rangeFirst) return true;
  if (icalproperty_recurrence_is_excluded(item_.component, &start_, &time)) return true;
  if (excludedDays_.contains(local.date)) return true;
  if (!uid_.isEmpty() && replaced_.contains(uid_, time)) return true;
  if (!seen_.contains(instantKey(time))) {
    seen_.insert(instantKey(time));
    result_.found.push_back({time, local});
  }
  if (static_cast<int>(result_.found.size()) >= kMaxOccurrences) {
    limited_ = true;
    return false;
  }
  return true;
}

void Expansion::followRule(icalproperty* rule) {
  ical::IteratorPtr iterator(icalrecur_iterator_new(icalproperty_get_rrule(rule), start_));
  if (!iterator) {
    result_.issues << QStringLiteral("繰り返しの決まりを読めません");
    return;
  }
  int step = 0;
  for (; step < kMaxRuleSteps && !limited_; ++step) {
    icaltimetype time = icalrecur_iterator_next(iterator.get());
    if (icaltime_is_null_time(time)) break;
    if (!time.zone) time.zone = start_.zone;
    if (!consider(time)) break;
  }
  if (step == kMaxRuleSteps) limited_ = true;
}

void Expansion::addDate(icalproperty* date) {
  const icaltimetype time = repeatDate(date, item_.component);
  if (!icaltime_is_null_time(time)) consider(time);
}

Occurrences Expansion::finish() {
  std::sort(
      result_.found.begin(), result_.found.end(),
      [](const Occurrence& a, const Occurrence& b) { return a.local.moment < b.local.moment; });
  if (limited_ && result_.found.empty()) {
    result_.issues << QStringLiteral("繰り返しが細かすぎて、期間の日を探しきれません");
  } else if (limited_) {
    result_.issues << QStringLiteral("繰り返しが多いため、最初の %1 回だけを取り込みます")
                          .arg(result_.found.size());
  } else if (result_.found.empty()) {
    result_.issues << QStringLiteral("繰り返しの日が期間（%1〜%2）にありません")
                          .arg(formatDate(options_.rangeFirst, u"yyyy/mm/dd"),
                               formatDate(options_.rangeLast, u"yyyy/mm/dd"));
  }
  result_.recurring = true;
  return std::move(result_);
}

}  // namespace

LocalTime toLocal(icaltimetype time, const QTimeZone& localZone, const char* tzid) {
  LocalTime local;
  if (icaltime_is_null_time(time) || !icaltime_is_valid_time(time)) return local;
  const QDate date(time.year, time.month, time.day);
  if (!date.isValid()) return local;
  if (time.is_date) {
    local.valid = true;
    local.allDay = true;
    local.date = date;
    local.moment = QDateTime(date, QTime(0, 0), localZone);
    return local;
  }
  const QTime clock(time.hour, time.minute, std::min(time.second, 59));
  if (!clock.isValid()) return local;
  QDateTime moment;
  if (time.zone) {
    moment = zonedMoment(time, localZone);
  } else {
    const QTimeZone zone = systemZone(tzid);
    moment = zone.isValid() ? QDateTime(date, clock, zone).toTimeZone(localZone)
                            : QDateTime(date, clock, localZone);
  }
  if (!moment.isValid() || moment.date().year() < 1 || moment.date().year() > 9999) return local;
  local.valid = true;
  local.date = moment.date();
  local.moment = moment;
  return local;
}

void ReplacedOccurrences::collect(icalcomponent* calendar) {
  for (icalcomponent_kind kind : {ICAL_VEVENT_COMPONENT, ICAL_VTODO_COMPONENT}) {
    for (icalcomponent* item : ical::children(calendar, kind)) {
      icalproperty* id = icalcomponent_get_first_property(item, ICAL_RECURRENCEID_PROPERTY);
      const char* uid = icalcomponent_get_uid(item);
      if (!id || !uid) continue;
      const icaltimetype time = icalproperty_get_datetime_with_component(id, item);
      if (icaltime_is_null_time(time)) continue;
      keys_[QString::fromUtf8(uid)].insert(instantKey(time));
    }
  }
}

bool ReplacedOccurrences::contains(const QString& uid, const icaltimetype& time) const {
  const auto found = keys_.constFind(uid);
  if (found == keys_.constEnd()) return false;
  // A replacement named by its day replaces the occurrence of that day.
  return found->contains(instantKey(time)) || found->contains(dayKey(time));
}

Occurrences findOccurrences(const ItemStart& start, const ReplacedOccurrences& replaced,
                            const ImportOptions& options) {
  icalcomponent* component = start.component;
  // A replaced occurrence belongs to its series and, like it, counts only within the range.
  if (icalcomponent_get_first_property(component, ICAL_RECURRENCEID_PROPERTY)) {
    if (start.local.date < options.rangeFirst || start.local.date > options.rangeLast) return {};
    return {{Occurrence{start.time, start.local}}, false, {}};
  }
  const std::vector<icalproperty*> rules = ical::properties(component, ICAL_RRULE_PROPERTY);
  const std::vector<icalproperty*> dates = ical::properties(component, ICAL_RDATE_PROPERTY);
  if (rules.empty() && dates.empty()) return {{Occurrence{start.time, start.local}}, false, {}};

  Expansion expansion(start, replaced, options);
  for (icalproperty* rule : rules) expansion.followRule(rule);
  // With dates alone the first occurrence is the start itself.
  if (rules.empty()) expansion.consider(start.time);
  for (icalproperty* date : dates) {
    if (expansion.limited()) break;
    expansion.addDate(date);
  }
  return expansion.finish();
}

std::vector<LocalTime> firstRuleTimes(const ItemStart& start, icalproperty* rule, int steps,
                                      const QTimeZone& localZone) {
  std::vector<LocalTime> times;
  ical::IteratorPtr iterator(icalrecur_iterator_new(icalproperty_get_rrule(rule), start.time));
  if (!iterator) return times;
  for (int step = 0; step < steps; ++step) {
    icaltimetype time = icalrecur_iterator_next(iterator.get());
    if (icaltime_is_null_time(time)) break;
    if (!time.zone) time.zone = start.time.zone;
    const LocalTime local = toLocal(time, localZone, start.zoneName);
    if (local.valid) times.push_back(local);
  }
  return times;
}
