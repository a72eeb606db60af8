#include "exchange/ItemPatch.h"

#include <vector>

#include "exchange/LibIcal.h"
#include "shared/DateFormat.h"

namespace {

ical::ComponentPtr parseCalendar(const QByteArray& ics) {
  ical::quietErrors();
  ical::ComponentPtr root(icalparser_parse_string(ics.constData()));
  if (root && icalcomponent_isa(root.get()) != ICAL_VCALENDAR_COMPONENT) root.reset();
  return root;
}

std::vector<icalcomponent*> itemsOf(icalcomponent* calendar) {
  std::vector<icalcomponent*> items = ical::children(calendar, ICAL_VEVENT_COMPONENT);
  for (icalcomponent* todo : ical::children(calendar, ICAL_VTODO_COMPONENT)) items.push_back(todo);
  return items;
}

// The event itself rather than a replaced occurrence of it.
icalcomponent* masterOf(const std::vector<icalcomponent*>& items) {
  for (icalcomponent* item : items) {
    if (!icalcomponent_get_first_property(item, ICAL_RECURRENCEID_PROPERTY)) return item;
  }
  return items.empty() ? nullptr : items.front();
}

void removeAll(icalcomponent* component, icalproperty_kind kind) {
  for (icalproperty* p : ical::properties(component, kind)) {
    icalcomponent_remove_property(component, p);
    icalproperty_free(p);
  }
}

void setText(icalcomponent* component, icalproperty_kind kind, const QString& text) {
  removeAll(component, kind);
  if (text.isEmpty()) return;
  const QByteArray utf8 = text.toUtf8();
  icalproperty* property = kind == ICAL_SUMMARY_PROPERTY
                               ? icalproperty_new_summary(utf8.constData())
                               : icalproperty_new_description(utf8.constData());
  icalcomponent_add_property(component, property);
}

void setX(icalcomponent* component, const char* name, const QString& value) {
  for (icalproperty* p : ical::properties(component, ICAL_X_PROPERTY)) {
    const char* propertyName = icalproperty_get_x_name(p);
    if (propertyName && qstricmp(propertyName, name) == 0) {
      icalcomponent_remove_property(component, p);
      icalproperty_free(p);
    }
  }
  if (value.isEmpty()) return;
  icalproperty* property = icalproperty_new_x(value.toUtf8().constData());
  icalproperty_set_x_name(property, name);
  icalcomponent_add_property(component, property);
}

// Moves every date and time of the item by whole days, keeping each one's zone and form.
void shiftDays(icalcomponent* item, int days) {
  for (icalproperty_kind kind :
       {ICAL_DTSTART_PROPERTY, ICAL_DTEND_PROPERTY, ICAL_DUE_PROPERTY, ICAL_RECURRENCEID_PROPERTY,
        ICAL_EXDATE_PROPERTY, ICAL_RDATE_PROPERTY}) {
    for (icalproperty* p : ical::properties(item, kind)) {
      icalvalue* value = icalproperty_get_value(p);
      if (!value) continue;
      switch (icalvalue_isa(value)) {
        case ICAL_DATE_VALUE: {
          icaltimetype t = icalvalue_get_date(value);
          icaltime_adjust(&t, days, 0, 0, 0);
          icalvalue_set_date(value, t);
          break;
        }
        case ICAL_DATETIME_VALUE: {
          icaltimetype t = icalvalue_get_datetime(value);
          icaltime_adjust(&t, days, 0, 0, 0);
          icalvalue_set_datetime(value, t);
          break;
        }
        case ICAL_DATETIMEPERIOD_VALUE: {
          icaldatetimeperiodtype period = icalvalue_get_datetimeperiod(value);
          if (!icaltime_is_null_time(period.time)) {
            icaltime_adjust(&period.time, days, 0, 0, 0);
          } else {
            icaltime_adjust(&period.period.start, days, 0, 0, 0);
            if (!icaltime_is_null_time(period.period.end)) {
              icaltime_adjust(&period.period.end, days, 0, 0, 0);
            }
          }
          icalvalue_set_datetimeperiod(value, period);
          break;
        }
        default:
          break;
      }
    }
  }
}

void setUid(const std::vector<icalcomponent*>& items, const QByteArray& uid) {
  if (uid.isEmpty()) return;
  for (icalcomponent* item : items) icalcomponent_set_uid(item, uid.constData());
}

QByteArray textOf(icalcomponent* root) { return ical::take(icalcomponent_as_ical_string_r(root)); }

bool sameText(const Field& a, const Field& b) { return a.toText() == b.toText(); }

}  // namespace

QByteArray itemUid(const QByteArray& ics) {
  ical::ComponentPtr root = parseCalendar(ics);
  if (!root) return {};
  icalcomponent* master = masterOf(itemsOf(root.get()));
  const char* uid = master ? icalcomponent_get_uid(master) : nullptr;
  return uid ? QByteArray(uid) : QByteArray();
}

std::optional<QByteArray> patchItem(const QByteArray& ics, const ScheduleRecord& before,
                                    const ScheduleRecord& after, const QByteArray& newUid) {
  ical::ComponentPtr root = parseCalendar(ics);
  if (!root) return std::nullopt;
  const std::vector<icalcomponent*> items = itemsOf(root.get());
  icalcomponent* master = masterOf(items);
  if (!master) return std::nullopt;
  if (!sameText(before.Subject, after.Subject)) {
    setText(master, ICAL_SUMMARY_PROPERTY, after.Subject.toText());
  }
  if (!sameText(before.Content, after.Content)) {
    setText(master, ICAL_DESCRIPTION_PROPERTY, after.Content.toText());
  }
  if (before.DoneFlag.isSet() != after.DoneFlag.isSet()) {
    setX(master, ical::kFinishedProperty,
         after.DoneFlag.isSet() ? QStringLiteral("1") : QStringLiteral("0"));
  }
  if (before.DeleteFlag.isSet() != after.DeleteFlag.isSet()) {
    setX(master, ical::kDeleteNextProperty,
         after.DeleteFlag.isSet() ? QStringLiteral("1") : QStringLiteral("0"));
  }
  const std::optional<QDate> from = parseDateText(before.EntryDate.toText());
  const std::optional<QDate> to = parseDateText(after.EntryDate.toText());
  if (from && to && *from != *to) {
    const auto days = static_cast<int>(from->daysTo(*to));
    for (icalcomponent* item : items) shiftDays(item, days);
  }
  setUid(items, newUid);
  return textOf(root.get());
}

std::optional<QByteArray> patchItem(const QByteArray& ics, const TimerRecord& before,
                                    const TimerRecord& after, const ExportOptions& options,
                                    const QByteArray& newUid) {
  ical::ComponentPtr root = parseCalendar(ics);
  if (!root) return std::nullopt;
  const std::vector<icalcomponent*> items = itemsOf(root.get());
  icalcomponent* master = masterOf(items);
  if (!master) return std::nullopt;

  if (!sameText(before.TimerTitle, after.TimerTitle)) {
    setText(master, ICAL_SUMMARY_PROPERTY, after.TimerTitle.toText());
    // The alarm's own text is the title as this program wrote it.
    const QByteArray oldTitle = before.TimerTitle.toText().toUtf8();
    for (icalcomponent* alarm : ical::children(master, ICAL_VALARM_COMPONENT)) {
      const char* text = icalcomponent_get_description(alarm);
      if (text && oldTitle == text && !after.TimerTitle.toText().isEmpty()) {
        icalcomponent_set_description(alarm, after.TimerTitle.toText().toUtf8().constData());
      }
    }
  }
  if (!sameText(before.TimerPicture, after.TimerPicture)) {
    setX(master, ical::kPictureProperty, after.TimerPicture.toText());
  }
  const bool momentChanged = !sameText(before.TimerKind, after.TimerKind) ||
                             !sameText(before.TimerYearOrWeekday, after.TimerYearOrWeekday) ||
                             !sameText(before.TimerMonth, after.TimerMonth) ||
                             !sameText(before.TimerDay, after.TimerDay) ||
                             !sameText(before.TimerHour, after.TimerHour) ||
                             !sameText(before.TimerMinute, after.TimerMinute);
  if (momentChanged) {
    // The start and the repetition as a new item of this timer would have them.
    const ExportResult fresh = exportItem(after, QByteArrayLiteral("fresh"), options);
    ical::ComponentPtr freshRoot = parseCalendar(fresh.ics);
    icalcomponent* freshEvent =
        freshRoot ? icalcomponent_get_first_component(freshRoot.get(), ICAL_VEVENT_COMPONENT)
                  : nullptr;
    if (!freshEvent) return std::nullopt;
    removeAll(master, ICAL_DTSTART_PROPERTY);
    removeAll(master, ICAL_RRULE_PROPERTY);
    for (icalproperty_kind kind : {ICAL_DTSTART_PROPERTY, ICAL_RRULE_PROPERTY}) {
      for (icalproperty* p : ical::properties(freshEvent, kind)) {
        icalcomponent_add_property(master, icalproperty_new_clone(p));
      }
    }
    // The zone the new start names, unless the item has it already.
    for (icalcomponent* zone : ical::children(freshRoot.get(), ICAL_VTIMEZONE_COMPONENT)) {
      icalproperty* tzid = icalcomponent_get_first_property(zone, ICAL_TZID_PROPERTY);
      const char* name = tzid ? icalproperty_get_tzid(tzid) : nullptr;
      bool present = false;
      for (icalcomponent* own : ical::children(root.get(), ICAL_VTIMEZONE_COMPONENT)) {
        icalproperty* ownId = icalcomponent_get_first_property(own, ICAL_TZID_PROPERTY);
        const char* ownName = ownId ? icalproperty_get_tzid(ownId) : nullptr;
        if (name && ownName && qstrcmp(name, ownName) == 0) present = true;
      }
      if (!present) icalcomponent_add_component(root.get(), icalcomponent_new_clone(zone));
    }
  }
  setUid(items, newUid);
  return textOf(root.get());
}
