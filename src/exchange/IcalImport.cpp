#include "exchange/IcalImport.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <vector>

#include "exchange/CalendarText.h"
#include "exchange/IcalOccurrences.h"
#include "exchange/IcalReading.h"
#include "shared/DateFormat.h"
#include "store/Cp932.h"
#include "store/TimerView.h"

// The import's third part: the occurrences of each item of the file as schedule entries and
// timers. IcalReading.h reads the file, IcalOccurrences.h finds the occurrences.

namespace {

// Bounds that keep a hostile or mistaken file from taking the program's memory and time.
constexpr int kMaxDaysPerOccurrence = 366;
constexpr int kMaxRecords = 20000;  // for the whole file

const QString kNoSummary = QStringLiteral("（件名なし）");

// Monday first, as QDate::dayOfWeek counts.
const QString kWeekdayKanji = QStringLiteral("月火水木金土日");

// The properties without which libical's reading of an item is no reading of it: when it
// starts, whether it is an occurrence of a series, and when it repeats. Any other property it
// could not read is left out and named.
bool decidesOccurrences(const QString& name) {
  static const QSet<QString> names = {
      QStringLiteral("DTSTART"), QStringLiteral("DUE"),   QStringLiteral("RECURRENCE-ID"),
      QStringLiteral("RRULE"),   QStringLiteral("RDATE"), QStringLiteral("EXDATE"),
  };
  return name.isEmpty() || names.contains(name);  // unnamed: it may be any of them
}

// The same for an alarm: when and how it reminds.
bool decidesAlarm(const QString& name) {
  static const QSet<QString> names = {QStringLiteral("TRIGGER"), QStringLiteral("ACTION"),
                                      QStringLiteral("DURATION"), QStringLiteral("REPEAT")};
  return name.isEmpty() || names.contains(name);
}

QString skippedReason(const DroppedProperty& dropped, const QString& where) {
  return QStringLiteral("%1読み取れない項目 %2 は飛ばします: %3")
      .arg(where, dropped.name, dropped.message);
}

QString twoDigits(int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

class Importer {
 public:
  Importer(const ImportOptions& options, ImportPlan& plan) : options_(options), plan_(plan) {}

  void collectOverrides(icalcomponent* calendar) { replaced_.collect(calendar); }
  void importCalendar(icalcomponent* calendar);

 private:
  struct Item {
    ItemStart start;
    bool isTodo = false;
    QString label;
    QList<ExchangeIssue> issues;
  };

  void importItem(icalcomponent* component, bool isTodo);
  void fitTexts(Item& item);
  void addEntries(Item& item, const std::vector<Occurrence>& found, const LocalTime& endLocal,
                  bool completed);
  void addTimers(Item& item, const std::vector<Occurrence>& found, bool recurring,
                 const LocalTime& endLocal, bool completed);
  void addAlarm(Item& item, icalcomponent* alarm, const std::vector<Occurrence>& found,
                bool recurring, qint64 spanSeconds);
  void addTimersAt(Item& item, qint64 offsetSeconds, bool fromEnd, qint64 spanSeconds,
                   bool recurring, const std::vector<Occurrence>& found);
  void addOnceTimer(Item& item, const QDateTime& moment);
  TimerRecord timerRecord(AlarmKind kind, const QString& yearOrWeekday, const QString& month,
                          const QString& day, const QTime& time) const;
  void addTimer(const TimerRecord& record);
  bool roomForMore();

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
  ReplacedOccurrences replaced_;
  QSet<QString> timerKeys_;  // timers of the current item, to add each once
  bool recordLimitNoted_ = false;
};

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

void Importer::addEntries(Item& item, const std::vector<Occurrence>& found,
                          const LocalTime& endLocal, bool completed) {
  // Every occurrence lasts as long as the first.
  qint64 spanDays = 1;
  qint64 spanSeconds = 0;
  if (item.start.local.allDay) {
    if (endLocal.valid && endLocal.date > item.start.local.date) {
      spanDays = item.start.local.date.daysTo(endLocal.date);
    }
  } else if (endLocal.valid && endLocal.moment > item.start.local.moment) {
    spanSeconds = item.start.local.moment.secsTo(endLocal.moment);
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
      completed ||
      qstrcmp(ical::xProperty(item.start.component, ical::kFinishedProperty), "1") == 0;
  const bool deleteNext =
      qstrcmp(ical::xProperty(item.start.component, ical::kDeleteNextProperty), "1") == 0;
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
  addTimer(timerRecord(AlarmKind::Once, QString::number(date.year()).rightJustified(2, u'0'),
                       twoDigits(date.month()), twoDigits(date.day()), moment.time()));
}

TimerRecord Importer::timerRecord(AlarmKind kind, const QString& yearOrWeekday,
                                  const QString& month, const QString& day,
                                  const QTime& time) const {
  return TimerRecord{Field::text(texts_.title.text),
                     TimerView::kindField(kind),
                     Field::text(yearOrWeekday),
                     Field::text(month),
                     Field::text(day),
                     Field::text(twoDigits(time.hour())),
                     Field::text(twoDigits(time.minute())),
                     Field::text(texts_.picture)};
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
  const std::optional<TimerRule> rule = timerRuleOf(item.start.component);
  if (!rule) {
    issue(item, QStringLiteral("繰り返しの決まりがタイマーの種類（一回だけ・毎週・毎日）に"
                               "合わないため、タイマーにはしません"));
    return;
  }
  // The first occurrences tell the time (and for a weekly rule the weekdays) in local time,
  // wherever the series was written.
  icalproperty* ruleProperty =
      icalcomponent_get_first_property(item.start.component, ICAL_RRULE_PROPERTY);
  QSet<int> weekdaysSeen;
  for (const LocalTime& local : firstRuleTimes(item.start, ruleProperty, 32, options_.localZone)) {
    const QDateTime moment = alarmMoment(local);
    if (rule->daily) {
      addTimer(timerRecord(AlarmKind::Daily, {}, {}, {}, moment.time()));
      return;
    }
    const int weekday = moment.date().dayOfWeek();
    if (weekdaysSeen.contains(weekday)) continue;
    weekdaysSeen.insert(weekday);
    addTimer(
        timerRecord(AlarmKind::Weekly, kWeekdayKanji.mid(weekday - 1, 1), {}, {}, moment.time()));
    if (weekdaysSeen.size() >= rule->weekdays) return;
  }
}

void Importer::addTimers(Item& item, const std::vector<Occurrence>& found, bool recurring,
                         const LocalTime& endLocal, bool completed) {
  const qint64 spanSeconds = endLocal.valid && endLocal.moment > item.start.local.moment
                                 ? item.start.local.moment.secsTo(endLocal.moment)
                                 : 0;
  if (item.isTodo) {
    // A to-do reminds at its due time, as long as it is still to do.
    if (!completed && !item.start.local.allDay) {
      addTimersAt(item, 0, false, 0, recurring, found);
    }
    return;
  }
  for (icalcomponent* alarm : ical::children(item.start.component, ICAL_VALARM_COMPONENT)) {
    addAlarm(item, alarm, found, recurring, spanSeconds);
  }
}

void Importer::addAlarm(Item& item, icalcomponent* alarm, const std::vector<Occurrence>& found,
                        bool recurring, qint64 spanSeconds) {
  QList<DroppedProperty> skipped;
  for (const DroppedProperty& dropped : droppedProperties(alarm)) {
    if (dropped.emptyText) continue;
    if (decidesAlarm(dropped.name)) {
      issue(item, QStringLiteral("アラームに読み取れない項目があります: %1").arg(dropped.message));
      return;
    }
    skipped << dropped;
  }
  for (const DroppedProperty& dropped : skipped) {
    issue(item, skippedReason(dropped, QStringLiteral("アラームの")));
  }
  icalproperty* action = icalcomponent_get_first_property(alarm, ICAL_ACTION_PROPERTY);
  const icalproperty_action kind = action ? icalproperty_get_action(action) : ICAL_ACTION_NONE;
  if (kind == ICAL_ACTION_EMAIL) {
    issue(item, QStringLiteral("メールで知らせるアラームは取り込みません"));
    return;
  }
  if (kind != ICAL_ACTION_DISPLAY && kind != ICAL_ACTION_AUDIO) {
    issue(item, QStringLiteral("この種類のアラームは取り込みません"));
    return;
  }
  icalproperty* triggerProperty = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY);
  if (!triggerProperty) {
    issue(item, QStringLiteral("アラームの時刻がありません"));
    return;
  }
  const icaltriggertype trigger = icalproperty_get_trigger(triggerProperty);
  if (!icaltime_is_null_time(trigger.time)) {
    icaltimetype when = trigger.time;
    if (!when.zone && !when.is_date) when.zone = icaltimezone_get_utc_timezone();
    const LocalTime local = toLocal(when, options_.localZone);
    if (local.valid) addOnceTimer(item, local.moment);
    return;
  }
  icalparameter* related =
      icalproperty_get_first_parameter(triggerProperty, ICAL_RELATED_PARAMETER);
  const bool fromEnd = related && icalparameter_get_related(related) == ICAL_RELATED_END;
  addTimersAt(item, icaldurationtype_as_int(trigger.duration), fromEnd, spanSeconds, recurring,
              found);
}

// The item's texts as the data file can hold them; a picture it cannot hold is left out.
void Importer::fitTexts(Item& item) {
  icalcomponent* component = item.start.component;
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
}

void Importer::importItem(icalcomponent* component, bool isTodo) {
  Item item;
  item.start.component = component;
  item.isTodo = isTodo;
  icalproperty* startProperty = icalcomponent_get_first_property(
      component, isTodo ? ICAL_DUE_PROPERTY : ICAL_DTSTART_PROPERTY);
  item.start.time =
      isTodo ? icalcomponent_get_due(component) : icalcomponent_get_dtstart(component);
  item.start.zoneName = tzidParameter(startProperty);
  item.start.local = toLocal(item.start.time, options_.localZone, item.start.zoneName);
  item.label = labelFor(component, item.start.local);
  timerKeys_.clear();

  auto finish = [&] { plan_.notImported << item.issues; };
  const bool isOverride =
      icalcomponent_get_first_property(component, ICAL_RECURRENCEID_PROPERTY) != nullptr;
  if (icalcomponent_get_status(component) == ICAL_STATUS_CANCELLED) {
    // A cancelled occurrence of a series is simply not there; a cancelled event is worth a word.
    if (!isOverride) issue(item, QStringLiteral("取り消された予定です"));
    return finish();
  }
  // An empty text is a text; a property that is no part of when the item occurs is done
  // without, and said so.
  QList<DroppedProperty> skipped;
  for (const DroppedProperty& dropped : droppedProperties(component)) {
    if (dropped.emptyText) continue;
    if (decidesOccurrences(dropped.name)) {
      issue(item, QStringLiteral("読み取れない項目があります: %1").arg(dropped.message));
      return finish();
    }
    skipped << dropped;
  }
  if (!item.start.local.valid) {
    issue(item, isTodo ? QStringLiteral("期限がありません") : QStringLiteral("開始日がありません"));
    return finish();
  }
  for (const DroppedProperty& dropped : skipped) issue(item, skippedReason(dropped, QString()));
  fitTexts(item);

  icalproperty* endProperty = icalcomponent_get_first_property(component, ICAL_DTEND_PROPERTY);
  const LocalTime endLocal = isTodo ? item.start.local
                                    : toLocal(icalcomponent_get_dtend(component),
                                              options_.localZone, tzidParameter(endProperty));
  const bool completed =
      isTodo && (icalcomponent_get_status(component) == ICAL_STATUS_COMPLETED ||
                 icalcomponent_get_first_property(component, ICAL_COMPLETED_PROPERTY));

  const Occurrences occurrences = findOccurrences(item.start, replaced_, options_);
  for (const QString& reason : occurrences.issues) issue(item, reason);
  const std::vector<Occurrence>& found = occurrences.found;
  const bool recurring = occurrences.recurring;
  // A timer this program wrote comes back as the timer alone.
  const bool ownTimer =
      !isTodo && qstrcmp(ical::xProperty(component, ical::kTimerProperty), "1") == 0;
  if (!ownTimer) addEntries(item, found, endLocal, completed);
  addTimers(item, found, recurring, endLocal, completed);
  finish();
}

}  // namespace

ImportPlan planImport(const QByteArray& icsBytes, const ImportOptions& options) {
  ical::quietErrors();
  ImportPlan plan;
  const ParsedCalendar parsed = parseCalendar(icsBytes);
  if (parsed.refusal) {
    plan.refusal = parsed.refusal;
    return plan;
  }
  Importer importer(options, plan);
  for (icalcomponent* calendar : parsed.calendars) importer.collectOverrides(calendar);
  for (icalcomponent* calendar : parsed.calendars) importer.importCalendar(calendar);
  return plan;
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
