#pragma once

#include <QString>
#include <functional>

#include "store/Record.h"
#include "store/Status.h"

// Reads every schedule record up to the timer marker (or the end of a file without one).
// The visitor returns false to stop early.
Status scanSchedule(const QString& path, const std::function<bool(const ScheduleRecord&)>& visit);

// Reads the run of schedule records whose date starts with the month key "yyyy/mm" and stops
// after it: records are ordered by date, so one month's records stand together. Should a
// month's records appear in two runs, only the first is seen.
Status scanMonth(const QString& path, int year, int month,
                 const std::function<void(const ScheduleRecord&)>& visit);

// Skips the schedule records and the marker, then reads every timer record to the end.
Status scanTimers(const QString& path, const std::function<void(const TimerRecord&)>& visit);

// "yyyy/mm" of a month, as the first seven characters of an EntryDate.
QByteArray monthKey(int year, int month);
