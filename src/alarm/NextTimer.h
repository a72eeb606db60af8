#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

#include "store/Status.h"

// The timer that rings next, for the status icon's tooltip.
struct NextTimer {
  QDateTime due;  // the minute it rings at
  QString title;
};

struct NextTimerResult {
  Status status = Status::success();  // failure when the file could not be read
  std::optional<NextTimer> next;      // none when no timer will ring
};

// Reads the timers of the data file and finds the one that rings first after the minute that
// holds `now` (that minute has been scanned, or is being scanned, already); on a tie the first
// in the file. The fields are read as the clock reads them: two-digit hour and minute, the
// four-digit year and two-digit month and day of a once-only timer, the weekday kanji of a
// weekly one. A timer the clock would never fire (past, an impossible date, an unknown kind or
// weekday) is passed over.
NextTimerResult findNextTimer(const QString& path, const QDateTime& now);

// 「次のタイマー 12/09 07:30 朝の散歩」, or 「次のタイマーはありません」.
QString nextTimerText(const std::optional<NextTimer>& next);
