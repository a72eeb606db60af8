#pragma once
// The import's second part: when the items of a calendar occur, in the local zone. A repeating
// item occurs on the days of its rules and dates within the import's range, less the excluded
// ones and those another item of the file replaces (by RECURRENCE-ID).

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <QTimeZone>
#include <vector>

#include "exchange/ImportOptions.h"
#include "exchange/LibIcal.h"

struct LocalTime {
  bool valid = false;
  bool allDay = false;
  QDate date;        // the local day
  QDateTime moment;  // in the local zone; midnight for an all-day value
};

// A time of the file in the local zone. `tzid` is the TZID the time was written with, for a
// zone libical does not know but the system may (by its IANA or its Windows name).
LocalTime toLocal(icaltimetype time, const QTimeZone& localZone, const char* tzid = nullptr);

struct Occurrence {
  icaltimetype start;
  LocalTime local;
};

// The occurrences of series that other items replace, by the series' UID.
class ReplacedOccurrences {
 public:
  void collect(icalcomponent* calendar);
  bool contains(const QString& uid, const icaltimetype& time) const;

 private:
  QHash<QString, QSet<QString>> keys_;  // UID -> keys of the replaced occurrences
};

// Where an item starts: DTSTART of an event, DUE of a to-do.
struct ItemStart {
  icalcomponent* component = nullptr;
  icaltimetype time{};
  const char* zoneName = nullptr;  // the TZID of a start whose zone libical lacks
  LocalTime local;
};

struct Occurrences {
  std::vector<Occurrence> found;  // in time order
  bool recurring = false;         // the item has rules or dates of repetition
  QStringList issues;             // what kept occurrences out, in the order met
};

// The occurrences of an item whose first day lies in the options' range, each once and at
// most a thousand. An item that does not repeat occurs once, at its start.
Occurrences findOccurrences(const ItemStart& start, const ReplacedOccurrences& replaced,
                            const ImportOptions& options);

// The local times of the first `steps` occurrences of a rule from the item's start, whatever
// the range: what a repeating timer takes its time and weekdays from.
std::vector<LocalTime> firstRuleTimes(const ItemStart& start, icalproperty* rule, int steps,
                                      const QTimeZone& localZone);
