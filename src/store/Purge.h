#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

#include "store/Record.h"
#include "store/Status.h"

// Tidies a data file when it is opened. Dropped are
//   schedule entries dated before selectedDate that are finished and marked for deletion, and
//   once-only timers whose minute lies before now (seconds ignored).
// Every kept entry has its date written again as "yyyy/mm/dd"; everything else is copied as
// it stands. A file without the marker line gets one at its end. When removedOnceTimers is
// given, it receives the once-only timers that were dropped, in file order, once the file has
// been rewritten (and stays empty on failure): the user is told about alarms that were missed.
// When rewritten is given, it says whether the file was rewritten (anything removed or a date
// written again), so that whoever shows the file knows to read it again.
Status purgeDataFile(const QString& path, const QDate& selectedDate, const QDateTime& now,
                     QList<TimerRecord>* removedOnceTimers = nullptr, bool* rewritten = nullptr);

// yyyymmddhhnn of a once-only timer from the numeric values of its fields.
long long timerMoment(long long year, long long month, long long day, long long hour,
                      long long minute);

namespace storetesting {
// Splits the tidy-up's read-only pass between two threads at `at` (from a line start there on,
// the second judges the rest) whatever the file's size and the processor; none: by the size,
// as always.
void splitPurgePass(std::optional<qint64> at);
}  // namespace storetesting
