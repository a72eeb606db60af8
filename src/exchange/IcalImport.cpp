#include "exchange/IcalImport.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <algorithm>
#include <vector>

#include "exchange/CalendarText.h"
#include "exchange/LibIcal.h"
#include "shared/DateFormat.h"
#include "store/Cp932.h"
#include "store/SystemError.h"

namespace {

// Bounds that keep a hostile or mistaken file from taking the program's memory and time.
constexpr qint64 kMaxFileSize = 32 * 1024 * 1024;
constexpr int kMaxOccurrences = 1000;  // of one recurring item within the range
constexpr int kMaxRuleSteps = 100000;  // steps through one recurrence rule
constexpr int kMaxDaysPerOccurrence = 366;
constexpr int kMaxRecords = 20000;  // for the whole file

const QString kNoSummary = QStringLiteral("（件名なし）");

// Monday first, as QDate::dayOfWeek counts.
const QString kWeekdayKanji = QStringLiteral("月火水木金土日");

QString twoDigits(int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

// The properties whose loss by a parse error changes what an item becomes.
bool namesUsedProperty(const QString& parserMessage) {
  static const QSet<QString> used = {
      QStringLiteral("DTSTART"), QStringLiteral("DTEND"),         QStringLiteral("DURATION"),
      QStringLiteral("DUE"),     QStringLiteral("RRULE"),         QStringLiteral("RDATE"),
      QStringLiteral("EXDATE"),  QStringLiteral("RECURRENCE-ID"), QStringLiteral("SUMMARY"),
      QStringLiteral("STATUS"),  QStringLiteral("DESCRIPTION"),   QStringLiteral("COMPLETED"),
      QStringLiteral("TRIGGER"), QStringLiteral("ACTION"),
  };
  QString word;
  auto check = [&word] {
    const bool hit = used.contains(word) || word.startsWith(QStringLiteral("X-YOTENNA-"));
    word.clear();
    return hit;
  };
  for (QChar c : parserMessage) {
    if (c.isLetterOrNumber() || c == u'-') {
      word += c.toUpper();
    } else if (check()) {
      return true;
    }
  }
  return check();
}

// The error libical recorded in a component for a property it dropped, when that property
// matters to the import.
std::optional<QString> droppedPropertyError(icalcomponent* component) {
  for (icalproperty* p : ical::properties(component, ICAL_XLICERROR_PROPERTY)) {
    icalparameter* type = icalproperty_get_first_parameter(p, ICAL_XLICERRORTYPE_PARAMETER);
    if (!type || icalparameter_get_xlicerrortype(type) != ICAL_XLICERRORTYPE_VALUEPARSEERROR) {
      continue;
    }
    const QString message = ical::text(icalproperty_get_xlicerror(p)).simplified();
    if (namesUsedProperty(message)) return message;
  }
  return std::nullopt;
}

// Errors that mean the text is not well-formed iCalendar: lines that are no property and
// no component boundary, or properties whose name cannot be read.
void collectStructuralErrors(icalcomponent* component, QStringList& errors) {
  for (icalproperty* p : ical::properties(component, ICAL_XLICERROR_PROPERTY)) {
    icalparameter* type = icalproperty_get_first_parameter(p, ICAL_XLICERRORTYPE_PARAMETER);
    if (!type) continue;
    const icalparameter_xlicerrortype kind = icalparameter_get_xlicerrortype(type);
    if (kind == ICAL_XLICERRORTYPE_COMPONENTPARSEERROR ||
        kind == ICAL_XLICERRORTYPE_PROPERTYPARSEERROR) {
      errors << ical::text(icalproperty_get_xlicerror(p)).simplified();
    }
  }
  for (icalcomponent* child : ical::children(component, ICAL_ANY_COMPONENT)) {
    collectStructuralErrors(child, errors);
  }
}

// iCalendar is UTF-8. A byte-order mark is dropped, UTF-16 is converted, and text that is not
// UTF-8 but reads as Shift-JIS (as older Japanese programs wrote their files) is taken as that.
QByteArray asUtf8(const QByteArray& bytes) {
  if (bytes.startsWith("\xEF\xBB\xBF")) return bytes.mid(3);
  if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
    QStringDecoder decoder(QStringDecoder::Utf16);
    return QString(decoder.decode(bytes)).toUtf8();
  }
  QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
  const QString asUtf8Text = utf8.decode(bytes);
  if (!utf8.hasError()) return bytes;
  QStringDecoder cp932("windows-31j", QStringConverter::Flag::Stateless);
  const QString asCp932Text = cp932.decode(bytes);
  if (cp932.isValid() && !cp932.hasError()) return asCp932Text.toUtf8();
  return asUtf8Text.toUtf8();  // the broken sequences become U+FFFD, later written as 〓
}

struct LocalTime {
  bool valid = false;
  bool allDay = false;
  QDate date;        // the local day
  QDateTime moment;  // in the local zone; midnight for an all-day value
};

struct Occurrence {
  icaltimetype start;
  LocalTime local;
};

class Importer {
 public:
  Importer(const ImportOptions& options, ImportPlan& plan) : options_(options), plan_(plan) {}

  void collectOverrides(icalcomponent* calendar);
  void importCalendar(icalcomponent* calendar);

 private:
  struct Item {
    icalcomponent* component = nullptr;
    bool isTodo = false;
    icaltimetype start{};
    const char* startZoneName = nullptr;  // the TZID of a start whose zone libical lacks
    LocalTime startLocal;
    QString label;
    QList<ExchangeIssue> issues;
  };

  void importItem(icalcomponent* component, bool isTodo);
  std::vector<Occurrence> occurrences(Item& item, bool* recurring);
  bool isOverridden(const QString& uid, const icaltimetype& time) const;
  void addEntries(Item& item, const std::vector<Occurrence>& found, const LocalTime& endLocal,
                  bool completed);
  void addTimers(Item& item, const std::vector<Occurrence>& found, bool recurring,
                 const LocalTime& endLocal, bool completed);
  void addTimersAt(Item& item, qint64 offsetSeconds, bool fromEnd, qint64 spanSeconds,
                   bool recurring, const std::vector<Occurrence>& found);
  void addOnceTimer(Item& item, const QDateTime& moment);
  void addTimer(const TimerRecord& record);
  bool roomForMore();

  LocalTime toLocal(icaltimetype time, const char* tzid = nullptr) const;
  QString labelFor(icalcomponent* component, const LocalTime& when) const;
  void issue(Item& item, const QString& reason);

  // The texts of the item currently being imported, fitted once.
  struct Texts {
    FittedText subject;
    FittedText content;
    FittedText title;
    QString picture;
    bool textsCounted = false;
    bool titleCounted = false;
  };
  Texts texts_;

  const ImportOptions& options_;
  ImportPlan& plan_;
  QHash<QString, QSet<QString>> overrides_;  // UID -> keys of the replaced occurrences
  QSet<QString> timerKeys_;                  // timers of the current item, to add each once
  bool recordLimitNoted_ = false;
};

const char* tzidParameter(icalproperty* property) {
  if (!property) return nullptr;
  icalparameter* tzid = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER);
  return tzid ? icalparameter_get_tzid(tzid) : nullptr;
}

// Where two times are the same instant: dates by day, zoned times by their UTC form, times
// without zone as written.
QString instantKey(icaltimetype time) {
  if (time.is_date) {
    return QStringLiteral("D%1").arg(time.year * 10000 + time.month * 100 + time.day);
  }
  if (time.zone) {
    const icaltimetype utc = icaltime_convert_to_zone(time, icaltimezone_get_utc_timezone());
    return u'U' + ical::text(icaltime_as_ical_string(utc));
  }
  return u'F' + ical::text(icaltime_as_ical_string(time));
}

LocalTime Importer::toLocal(icaltimetype time, const char* tzid) const {
  LocalTime local;
  if (icaltime_is_null_time(time) || !icaltime_is_valid_time(time)) return local;
  const QDate date(time.year, time.month, time.day);
  if (!date.isValid()) return local;
  if (time.is_date) {
    local.valid = true;
    local.allDay = true;
    local.date = date;
    local.moment = QDateTime(date, QTime(0, 0), options_.localZone);
    return local;
  }
  const QTime clock(time.hour, time.minute, std::min(time.second, 59));
  if (!clock.isValid()) return local;
  QDateTime moment;
  if (time.zone) {
    const icaltimetype utc = icaltime_convert_to_zone(time, icaltimezone_get_utc_timezone());
    const QDate utcDate(utc.year, utc.month, utc.day);
    const QTime utcClock(utc.hour, utc.minute, std::min(utc.second, 59));
    if (!utcDate.isValid() || !utcClock.isValid()) return local;
    moment = QDateTime(utcDate, utcClock, QTimeZone::utc()).toTimeZone(options_.localZone);
  } else {
    // A zone libical does not know may still be one the system knows, by its IANA name or
    // by the Windows name that Outlook writes.
    QTimeZone zone;
    if (tzid && *tzid) {
      zone = QTimeZone(QByteArray(tzid));
      if (!zone.isValid()) zone = QTimeZone(QTimeZone::windowsIdToDefaultIanaId(tzid));
    }
    moment = zone.isValid() ? QDateTime(date, clock, zone).toTimeZone(options_.localZone)
                            : QDateTime(date, clock, options_.localZone);
  }
  if (!moment.isValid() || moment.date().year() < 1 || moment.date().year() > 9999) return local;
  local.valid = true;
  local.date = moment.date();
  local.moment = moment;
  return local;
}

QString Importer::labelFor(icalcomponent* component, const LocalTime& when) const {
  QString summary = ical::text(icalcomponent_get_summary(component)).simplified();
  if (summary.isEmpty()) summary = kNoSummary;
  if (summary.size() > 30) summary = summary.left(30) + u'…';
  QString label = u'「' + summary + u'」';
  if (when.valid) label += u'（' + formatDate(when.date, u"yyyy/mm/dd") + u'）';
  return label;
}

void Importer::issue(Item& item, const QString& reason) {
  const ExchangeIssue found{item.label, reason};
  if (!item.issues.contains(found)) item.issues << found;
}

bool Importer::roomForMore() {
  if (plan_.schedules.size() + plan_.timers.size() < kMaxRecords) return true;
  if (!recordLimitNoted_) {
    recordLimitNoted_ = true;
    plan_.notImported << ExchangeIssue{
        QStringLiteral("ファイルの残り"),
        QStringLiteral("件数が多すぎるため、%1 件を超える分は取り込みません").arg(kMaxRecords)};
  }
  return false;
}

void Importer::collectOverrides(icalcomponent* calendar) {
  for (icalcomponent_kind kind : {ICAL_VEVENT_COMPONENT, ICAL_VTODO_COMPONENT}) {
    for (icalcomponent* item : ical::children(calendar, kind)) {
      icalproperty* id = icalcomponent_get_first_property(item, ICAL_RECURRENCEID_PROPERTY);
      const char* uid = icalcomponent_get_uid(item);
      if (!id || !uid) continue;
      const icaltimetype time = icalproperty_get_datetime_with_component(id, item);
      if (icaltime_is_null_time(time)) continue;
      overrides_[QString::fromUtf8(uid)].insert(instantKey(time));
    }
  }
}

bool Importer::isOverridden(const QString& uid, const icaltimetype& time) const {
  const auto found = overrides_.constFind(uid);
  if (found == overrides_.constEnd()) return false;
  if (found->contains(instantKey(time))) return true;
  // A replacement named by its day replaces the occurrence of that day.
  return found->contains(
      QStringLiteral("D%1").arg(time.year * 10000 + time.month * 100 + time.day));
}

void Importer::importCalendar(icalcomponent* calendar) {
  for (icalcomponent* component : ical::children(calendar, ICAL_ANY_COMPONENT)) {
    switch (icalcomponent_isa(component)) {
      case ICAL_VEVENT_COMPONENT:
        importItem(component, false);
        break;
      case ICAL_VTODO_COMPONENT:
        importItem(component, true);
        break;
      case ICAL_VTIMEZONE_COMPONENT:
        break;
      case ICAL_VJOURNAL_COMPONENT:
        plan_.notImported << ExchangeIssue{labelFor(component, {}),
                                           QStringLiteral("日誌（VJOURNAL）は取り込みません")};
        break;
      case ICAL_VFREEBUSY_COMPONENT:
        plan_.notImported << ExchangeIssue{
            QStringLiteral("空き時間の情報"),
            QStringLiteral("空き時間の情報（VFREEBUSY）は取り込みません")};
        break;
      default: {
        QString kind = ical::text(icalcomponent_kind_to_string(icalcomponent_isa(component)));
        if (kind.isEmpty()) kind = QStringLiteral("X-");
        plan_.notImported << ExchangeIssue{
            kind, QStringLiteral("この種類の項目（%1）は取り込みません").arg(kind)};
        break;
      }
    }
  }
}

std::vector<Occurrence> Importer::occurrences(Item& item, bool* recurring) {
  icalcomponent* component = item.component;
  const bool isOverride =
      icalcomponent_get_first_property(component, ICAL_RECURRENCEID_PROPERTY) != nullptr;
  const std::vector<icalproperty*> rules =
      isOverride ? std::vector<icalproperty*>{} : ical::properties(component, ICAL_RRULE_PROPERTY);
  const std::vector<icalproperty*> dates =
      isOverride ? std::vector<icalproperty*>{} : ical::properties(component, ICAL_RDATE_PROPERTY);
  *recurring = !rules.empty() || !dates.empty();
  if (!*recurring) {
    // A replaced occurrence belongs to its series and, like it, counts only within the range.
    if (isOverride &&
        (item.startLocal.date < options_.rangeFirst || item.startLocal.date > options_.rangeLast)) {
      return {};
    }
    return {Occurrence{item.start, item.startLocal}};
  }

  const QString uid = ical::text(icalcomponent_get_uid(component));
  icaltimetype start = item.start;
  std::vector<Occurrence> found;
  QSet<QString> seen;
  bool limited = false;
  // Outlook excludes a day of an all-day series by a time of that day; it means the day.
  QSet<QDate> excludedDays;
  if (start.is_date) {
    for (icalproperty* excluded : ical::properties(component, ICAL_EXDATE_PROPERTY)) {
      const icaltimetype time = icalproperty_get_exdate(excluded);
      if (!time.is_date) excludedDays.insert(QDate(time.year, time.month, time.day));
    }
  }
  // False once the occurrences of a rule have passed the range or the limit is reached.
  auto consider = [&](icaltimetype time) {
    const LocalTime local = toLocal(time, item.startZoneName);
    if (!local.valid) return true;
    if (local.date > options_.rangeLast) return false;
    if (local.date < options_.rangeFirst) return true;
    if (icalproperty_recurrence_is_excluded(component, &start, &time)) return true;
    if (excludedDays.contains(local.date)) return true;
    if (!uid.isEmpty() && isOverridden(uid, time)) return true;
    if (!seen.contains(instantKey(time))) {
      seen.insert(instantKey(time));
      found.push_back({time, local});
    }
    if (static_cast<int>(found.size()) >= kMaxOccurrences) {
      limited = true;
      return false;
    }
    return true;
  };

  for (icalproperty* rule : rules) {
    ical::IteratorPtr iterator(icalrecur_iterator_new(icalproperty_get_rrule(rule), start));
    if (!iterator) {
      issue(item, QStringLiteral("繰り返しの決まりを読めません"));
      continue;
    }
    int step = 0;
    for (; step < kMaxRuleSteps && !limited; ++step) {
      icaltimetype time = icalrecur_iterator_next(iterator.get());
      if (icaltime_is_null_time(time)) break;
      if (!time.zone) time.zone = start.zone;
      if (!consider(time)) break;
    }
    if (step == kMaxRuleSteps) limited = true;
  }
  // With dates alone the first occurrence is the start itself.
  if (rules.empty()) consider(start);
  for (icalproperty* date : dates) {
    if (limited) break;
    const icaldatetimeperiodtype value = icalproperty_get_rdate(date);
    icaltimetype time = icaltime_is_null_time(value.time) ? value.period.start : value.time;
    if (icaltime_is_null_time(time)) continue;
    if (!time.zone && !time.is_date) {
      if (const char* tzid = tzidParameter(date)) {
        icalcomponent* calendar = icalcomponent_get_parent(component);
        icaltimezone* zone = calendar ? icalcomponent_get_timezone(calendar, tzid) : nullptr;
        if (!zone) zone = icaltimezone_get_builtin_timezone_from_tzid(tzid);
        if (!zone) zone = icaltimezone_get_builtin_timezone(tzid);
        time.zone = zone;
      } else if (icaltime_is_utc(value.time)) {
        time.zone = icaltimezone_get_utc_timezone();
      }
    }
    consider(time);
  }
  std::sort(found.begin(), found.end(), [](const Occurrence& a, const Occurrence& b) {
    return a.local.moment < b.local.moment;
  });
  if (limited && found.empty()) {
    issue(item, QStringLiteral("繰り返しが細かすぎて、期間の日を探しきれません"));
  } else if (limited) {
    issue(item,
          QStringLiteral("繰り返しが多いため、最初の %1 回だけを取り込みます").arg(found.size()));
  } else if (found.empty()) {
    issue(item, QStringLiteral("繰り返しの日が期間（%1〜%2）にありません")
                    .arg(formatDate(options_.rangeFirst, u"yyyy/mm/dd"),
                         formatDate(options_.rangeLast, u"yyyy/mm/dd")));
  }
  return found;
}

void Importer::addEntries(Item& item, const std::vector<Occurrence>& found,
                          const LocalTime& endLocal, bool completed) {
  // Every occurrence lasts as long as the first.
  qint64 spanDays = 1;
  qint64 spanSeconds = 0;
  if (item.startLocal.allDay) {
    if (endLocal.valid && endLocal.date > item.startLocal.date) {
      spanDays = item.startLocal.date.daysTo(endLocal.date);
    }
  } else if (endLocal.valid && endLocal.moment > item.startLocal.moment) {
    spanSeconds = item.startLocal.moment.secsTo(endLocal.moment);
  }
  auto lastDay = [&](const LocalTime& start) {
    if (start.allDay) return start.date.addDays(spanDays - 1);
    const QDateTime end = start.moment.addSecs(spanSeconds);
    // An event that ends at midnight ends on the day before.
    QDate last = end.date();
    if (spanSeconds > 0 && end.time() == QTime(0, 0)) last = last.addDays(-1);
    return std::max(last, start.date);
  };
  if (!found.empty()) {
    const qint64 days = found.front().local.date.daysTo(lastDay(found.front().local)) + 1;
    if (days > kMaxDaysPerOccurrence) {
      issue(item, QStringLiteral("期間が長すぎます（%1 日）").arg(days));
      return;
    }
  }

  // A finished to-do is a finished entry; the program's own flags come back as they were.
  const bool done =
      completed || qstrcmp(ical::xProperty(item.component, ical::kFinishedProperty), "1") == 0;
  const bool deleteNext =
      qstrcmp(ical::xProperty(item.component, ical::kDeleteNextProperty), "1") == 0;
  bool added = false;
  for (const Occurrence& occurrence : found) {
    const QDate last = lastDay(occurrence.local);
    for (QDate day = occurrence.local.date; day <= last; day = day.addDays(1)) {
      if (day.year() > 9999 || !roomForMore()) break;
      plan_.schedules << ScheduleRecord{
          Field::text(formatDate(day, u"yyyy/mm/dd")), Field::text(texts_.subject.text),
          Field::text(texts_.content.text), Field::number(done ? 1 : 0),
          Field::number(deleteNext ? 1 : 0)};
      added = true;
    }
  }
  if (added && !texts_.textsCounted) {
    texts_.textsCounted = true;
    plan_.replacedCharacters += texts_.subject.replaced + texts_.content.replaced;
    plan_.cutTexts += (texts_.subject.cut ? 1 : 0) + (texts_.content.cut ? 1 : 0);
  }
}

void Importer::addTimer(const TimerRecord& record) {
  const QByteArray key = encodeLine(record.fields());
  if (timerKeys_.contains(QString::fromLatin1(key.toHex()))) return;
  if (!roomForMore()) return;
  timerKeys_.insert(QString::fromLatin1(key.toHex()));
  plan_.timers << record;
  // The title is the subject's text: counted once, with the entries if there are any.
  if (!texts_.textsCounted && !texts_.titleCounted) {
    texts_.titleCounted = true;
    plan_.replacedCharacters += texts_.title.replaced;
    plan_.cutTexts += texts_.title.cut ? 1 : 0;
  }
}

void Importer::addOnceTimer(Item& item, const QDateTime& moment) {
  if (moment <= options_.now) {
    issue(item, (item.isTodo
                     ? QStringLiteral("期限の時刻（%1）は過ぎているため、タイマーにはしません")
                     : QStringLiteral("アラームの時刻（%1）は過ぎているため、タイマーにはしません"))
                    .arg(formatDateTime(moment, u"yyyy/mm/dd hh:nn")));
    return;
  }
  const QDate date = moment.date();
  const QTime time = moment.time();
  addTimer(TimerRecord{Field::text(texts_.title.text), Field::text(QStringLiteral("0")),
                       Field::text(QString::number(date.year()).rightJustified(2, u'0')),
                       Field::text(twoDigits(date.month())), Field::text(twoDigits(date.day())),
                       Field::text(twoDigits(time.hour())), Field::text(twoDigits(time.minute())),
                       Field::text(texts_.picture)});
}

// A rule a timer can follow: every day, or every week on some weekdays, without end.
struct TimerRule {
  bool daily = false;
  int weekdays = 0;  // how many different weekdays a weekly rule names
};

std::optional<TimerRule> timerRuleOf(icalcomponent* component) {
  const std::vector<icalproperty*> rules = ical::properties(component, ICAL_RRULE_PROPERTY);
  if (rules.size() != 1 || icalcomponent_get_first_property(component, ICAL_RDATE_PROPERTY) ||
      icalcomponent_get_first_property(component, ICAL_EXDATE_PROPERTY)) {
    return std::nullopt;
  }
  const icalrecurrencetype rule = icalproperty_get_rrule(rules.front());
  if ((rule.freq != ICAL_DAILY_RECURRENCE && rule.freq != ICAL_WEEKLY_RECURRENCE) ||
      rule.interval > 1 || rule.count != 0 || !icaltime_is_null_time(rule.until)) {
    return std::nullopt;
  }
  auto empty = [](const short* list) { return list[0] == ICAL_RECURRENCE_ARRAY_MAX; };
  if (!empty(rule.by_second) || !empty(rule.by_minute) || !empty(rule.by_hour) ||
      !empty(rule.by_month_day) || !empty(rule.by_year_day) || !empty(rule.by_week_no) ||
      !empty(rule.by_month) || !empty(rule.by_set_pos)) {
    return std::nullopt;
  }
  QSet<int> days;
  for (int i = 0; i < ICAL_BY_DAY_SIZE && rule.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
    if (icalrecurrencetype_day_position(rule.by_day[i]) != 0) return std::nullopt;
    days.insert(icalrecurrencetype_day_day_of_week(rule.by_day[i]));
  }
  if (rule.freq == ICAL_DAILY_RECURRENCE && days.isEmpty()) return TimerRule{true, 0};
  return TimerRule{false, days.isEmpty() ? 1 : static_cast<int>(days.size())};
}

void Importer::addTimersAt(Item& item, qint64 offsetSeconds, bool fromEnd, qint64 spanSeconds,
                           bool recurring, const std::vector<Occurrence>& found) {
  auto alarmMoment = [&](const LocalTime& start) {
    const qint64 base = fromEnd ? spanSeconds : 0;
    return start.moment.addSecs(base + offsetSeconds);
  };
  if (!recurring) {
    if (!found.empty()) addOnceTimer(item, alarmMoment(found.front().local));
    return;
  }
  const std::optional<TimerRule> rule = timerRuleOf(item.component);
  if (!rule) {
    issue(item, QStringLiteral("繰り返しの決まりがタイマーの種類（一回だけ・毎週・毎日）に"
                               "合わないため、タイマーにはしません"));
    return;
  }
  // The first occurrences tell the time (and for a weekly rule the weekdays) in local time,
  // wherever the series was written.
  ical::IteratorPtr iterator(icalrecur_iterator_new(
      icalproperty_get_rrule(icalcomponent_get_first_property(item.component, ICAL_RRULE_PROPERTY)),
      item.start));
  if (!iterator) return;
  QSet<int> weekdaysSeen;
  for (int step = 0; step < 32; ++step) {
    icaltimetype time = icalrecur_iterator_next(iterator.get());
    if (icaltime_is_null_time(time)) break;
    if (!time.zone) time.zone = item.start.zone;
    const LocalTime local = toLocal(time, item.startZoneName);
    if (!local.valid) continue;
    const QDateTime moment = alarmMoment(local);
    const QString hour = twoDigits(moment.time().hour());
    const QString minute = twoDigits(moment.time().minute());
    const Field empty = Field::text(QString());
    if (rule->daily) {
      addTimer(TimerRecord{Field::text(texts_.title.text), Field::text(QStringLiteral("2")), empty,
                           empty, empty, Field::text(hour), Field::text(minute),
                           Field::text(texts_.picture)});
      return;
    }
    const int weekday = moment.date().dayOfWeek();
    if (weekdaysSeen.contains(weekday)) continue;
    weekdaysSeen.insert(weekday);
    addTimer(TimerRecord{Field::text(texts_.title.text), Field::text(QStringLiteral("1")),
                         Field::text(kWeekdayKanji.mid(weekday - 1, 1)), empty, empty,
                         Field::text(hour), Field::text(minute), Field::text(texts_.picture)});
    if (weekdaysSeen.size() >= rule->weekdays) return;
  }
}

void Importer::addTimers(Item& item, const std::vector<Occurrence>& found, bool recurring,
                         const LocalTime& endLocal, bool completed) {
  const qint64 spanSeconds = endLocal.valid && endLocal.moment > item.startLocal.moment
                                 ? item.startLocal.moment.secsTo(endLocal.moment)
                                 : 0;
  if (item.isTodo) {
    // A to-do reminds at its due time, as long as it is still to do.
    if (!completed && !item.startLocal.allDay) {
      addTimersAt(item, 0, false, 0, recurring, found);
    }
    return;
  }
  for (icalcomponent* alarm : ical::children(item.component, ICAL_VALARM_COMPONENT)) {
    if (const auto error = droppedPropertyError(alarm)) {
      issue(item, QStringLiteral("アラームに読み取れない項目があります: %1").arg(*error));
      continue;
    }
    icalproperty* action = icalcomponent_get_first_property(alarm, ICAL_ACTION_PROPERTY);
    const icalproperty_action kind = action ? icalproperty_get_action(action) : ICAL_ACTION_NONE;
    if (kind == ICAL_ACTION_EMAIL) {
      issue(item, QStringLiteral("メールで知らせるアラームは取り込みません"));
      continue;
    }
    if (kind != ICAL_ACTION_DISPLAY && kind != ICAL_ACTION_AUDIO) {
      issue(item, QStringLiteral("この種類のアラームは取り込みません"));
      continue;
    }
    icalproperty* triggerProperty = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY);
    if (!triggerProperty) {
      issue(item, QStringLiteral("アラームの時刻がありません"));
      continue;
    }
    const icaltriggertype trigger = icalproperty_get_trigger(triggerProperty);
    if (!icaltime_is_null_time(trigger.time)) {
      icaltimetype when = trigger.time;
      if (!when.zone && !when.is_date) when.zone = icaltimezone_get_utc_timezone();
      const LocalTime local = toLocal(when);
      if (local.valid) addOnceTimer(item, local.moment);
      continue;
    }
    icalparameter* related =
        icalproperty_get_first_parameter(triggerProperty, ICAL_RELATED_PARAMETER);
    const bool fromEnd = related && icalparameter_get_related(related) == ICAL_RELATED_END;
    addTimersAt(item, icaldurationtype_as_int(trigger.duration), fromEnd, spanSeconds, recurring,
                found);
  }
}

void Importer::importItem(icalcomponent* component, bool isTodo) {
  Item item;
  item.component = component;
  item.isTodo = isTodo;
  icalproperty* startProperty = icalcomponent_get_first_property(
      component, isTodo ? ICAL_DUE_PROPERTY : ICAL_DTSTART_PROPERTY);
  item.start = isTodo ? icalcomponent_get_due(component) : icalcomponent_get_dtstart(component);
  item.startZoneName = tzidParameter(startProperty);
  item.startLocal = toLocal(item.start, item.startZoneName);
  item.label = labelFor(component, item.startLocal);
  timerKeys_.clear();

  auto finish = [&] { plan_.notImported << item.issues; };
  const bool isOverride =
      icalcomponent_get_first_property(component, ICAL_RECURRENCEID_PROPERTY) != nullptr;
  if (icalcomponent_get_status(component) == ICAL_STATUS_CANCELLED) {
    // A cancelled occurrence of a series is simply not there; a cancelled event is worth a word.
    if (!isOverride) issue(item, QStringLiteral("取り消された予定です"));
    return finish();
  }
  if (const auto error = droppedPropertyError(component)) {
    issue(item, QStringLiteral("読み取れない項目があります: %1").arg(*error));
    return finish();
  }
  if (!item.startLocal.valid) {
    issue(item, isTodo ? QStringLiteral("期限がありません") : QStringLiteral("開始日がありません"));
    return finish();
  }
  const QString summary = ical::text(icalcomponent_get_summary(component));
  const QString description = ical::text(icalcomponent_get_description(component));
  texts_ = Texts{};
  texts_.subject =
      fitCalendarText(summary.trimmed().isEmpty() ? kNoSummary : summary, kSubjectLimit);
  texts_.content = fitCalendarText(description, kContentLimit);
  texts_.title =
      fitCalendarText(summary.trimmed().isEmpty() ? kNoSummary : summary, kTimerTitleLimit);
  // A summary of nothing but control characters fits to nothing; the editor wants a subject.
  if (texts_.subject.text.isEmpty()) texts_.subject = fitCalendarText(kNoSummary, kSubjectLimit);
  if (texts_.title.text.isEmpty()) texts_.title = fitCalendarText(kNoSummary, kTimerTitleLimit);
  const QString picture = ical::text(ical::xProperty(component, ical::kPictureProperty));
  if (!picture.isEmpty()) {
    const bool storable = encodeCp932(picture) && !picture.contains(u'"') &&
                          !picture.contains(u'\r') && !picture.contains(u'\n');
    if (storable) {
      texts_.picture = picture;
    } else {
      issue(item, QStringLiteral("画像のパス「%1」はデータファイルに書けないため、画像なしにします")
                      .arg(picture));
    }
  }

  icalproperty* endProperty = icalcomponent_get_first_property(component, ICAL_DTEND_PROPERTY);
  const LocalTime endLocal =
      isTodo ? item.startLocal
             : toLocal(icalcomponent_get_dtend(component), tzidParameter(endProperty));
  const bool completed =
      isTodo && (icalcomponent_get_status(component) == ICAL_STATUS_COMPLETED ||
                 icalcomponent_get_first_property(component, ICAL_COMPLETED_PROPERTY));

  bool recurring = false;
  const std::vector<Occurrence> found = occurrences(item, &recurring);
  // A timer this program wrote comes back as the timer alone.
  const bool ownTimer =
      !isTodo && qstrcmp(ical::xProperty(component, ical::kTimerProperty), "1") == 0;
  if (!ownTimer) addEntries(item, found, endLocal, completed);
  addTimers(item, found, recurring, endLocal, completed);
  finish();
}

}  // namespace

ImportOptions defaultImportOptions(const QDateTime& now) {
  const QDate today = now.date();
  return ImportOptions{now, QTimeZone::systemTimeZone(), today, today.addYears(1)};
}

ImportPlan planImport(const QByteArray& icsBytes, const ImportOptions& options) {
  ical::quietErrors();
  ImportPlan plan;
  auto refuse = [&plan](const QString& reason) {
    plan.refusal = reason;
    return plan;
  };
  const QByteArray text = asUtf8(icsBytes);
  if (text.trimmed().isEmpty()) return refuse(QStringLiteral("ファイルが空です。"));
  if (text.contains('\0')) {
    return refuse(
        QStringLiteral("iCalendar ファイルではありません（テキストではないデータを含みます）。"));
  }

  icalerror_clear_errno();
  ical::ComponentPtr root(icalparser_parse_string(text.constData()));
  if (!root) {
    QString reason = text.toUpper().contains("BEGIN:VCALENDAR")
                         ? QStringLiteral(
                               "iCalendar ファイルが壊れています（BEGIN と END の組が"
                               "閉じていません。途中で切れているかもしれません）。")
                         : QStringLiteral(
                               "iCalendar ファイルではありません（BEGIN:VCALENDAR "
                               "がありません）。");
    if (icalerrno != ICAL_NO_ERROR) {
      reason += QStringLiteral("\n読み取りの誤り: ") + ical::text(icalerror_strerror(icalerrno));
    }
    return refuse(reason);
  }

  std::vector<icalcomponent*> calendars;
  const icalcomponent_kind rootKind = icalcomponent_isa(root.get());
  if (rootKind == ICAL_VCALENDAR_COMPONENT) {
    calendars.push_back(root.get());
  } else if (rootKind == ICAL_XROOT_COMPONENT) {
    calendars = ical::children(root.get(), ICAL_VCALENDAR_COMPONENT);
  }
  if (calendars.empty()) {
    return refuse(
        QStringLiteral("iCalendar ファイルではありません（VCALENDAR がなく、%1 で始まります）。")
            .arg(ical::text(icalcomponent_kind_to_string(rootKind))));
  }

  QStringList errors;
  collectStructuralErrors(root.get(), errors);
  if (!errors.isEmpty()) {
    errors.removeDuplicates();
    const qsizetype shown = std::min<qsizetype>(errors.size(), 3);
    QString reason = QStringLiteral("iCalendar ファイルが壊れています。読み取りの誤り:");
    for (qsizetype i = 0; i < shown; ++i) reason += QStringLiteral("\n・") + errors[i];
    if (errors.size() > shown) {
      reason += QStringLiteral("\nほか %1 件").arg(errors.size() - shown);
    }
    return refuse(reason);
  }

  Importer importer(options, plan);
  for (icalcomponent* calendar : calendars) importer.collectOverrides(calendar);
  for (icalcomponent* calendar : calendars) importer.importCalendar(calendar);
  return plan;
}

CalendarFile readCalendarFile(const QString& path) {
  CalendarFile read;
  const QFileInfo info(path);
  if (!info.exists()) {
    read.refusal = QStringLiteral("ファイル%1が見つかりません。").arg(quotedPath(path));
  } else if (!info.isFile()) {
    // A pipe or a device could block the program or never end.
    read.refusal = QStringLiteral("%1は普通のファイルではありません。").arg(quotedPath(path));
  } else if (info.size() > kMaxFileSize) {
    read.refusal = QStringLiteral("%1は大きすぎます（%2 MB を超えています）。")
                       .arg(quotedPath(path))
                       .arg(kMaxFileSize / (1024 * 1024));
  } else {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
      read.refusal =
          QStringLiteral("%1を開けません（%2）。").arg(quotedPath(path), file.errorString());
    } else {
      read.bytes = file.read(kMaxFileSize + 1);
      if (file.error() != QFileDevice::NoError) {
        read.refusal =
            QStringLiteral("%1を読めません（%2）。").arg(quotedPath(path), file.errorString());
        read.bytes.clear();
      }
    }
  }
  return read;
}

ImportPlan planImportFile(const QString& path, const ImportOptions& options) {
  const CalendarFile read = readCalendarFile(path);
  if (read.refusal) {
    ImportPlan plan;
    plan.refusal = read.refusal;
    return plan;
  }
  return planImport(read.bytes, options);
}
