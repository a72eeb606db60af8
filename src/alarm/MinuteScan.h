#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include "alarm/MinuteRange.h"
#include "store/Status.h"
#include "store/TimerView.h"

// A timer whose time has come, as the pop-up needs it.
struct FiredTimer {
  QString title;
  QString picturePath;  // "" when the timer has no picture
  AlarmKind kind = AlarmKind::Once;
  QDateTime due;      // the minute the timer was set for
  bool late = false;  // due before the last minute scanned: the clock missed it (sleep, jump)
};

struct MinuteScanResult {
  // Failure when the file could not be read or the fired once-only timers could not be taken
  // out of it; the file then keeps its old contents. Timers found due before the failure are
  // still in `fired` and should be shown.
  Status status = Status::success();
  QList<FiredTimer> fired;    // in file order
  int removedOnceTimers = 0;  // once-only timers taken out of the file
};

// Finds the timers of the data file that are due in the minutes of the range and takes the
// fired once-only timers out of the file. A timer fires at most once per scan, however many of
// its minutes the range holds; `due` is then its latest minute in the range. Matching:
//   once-only ("0"): year, month, day, hour and minute equal the minute's "yyyy", "mm", "dd",
//                    "hh", "nn" texts (so a one-digit "7" never matches "07");
//   weekly ("1"):    the weekday kanji, hour and minute match;
//   daily ("2"):     hour and minute match;
//   any other kind never fires.
// The file is rewritten, completely, only when a fired once-only timer is taken out; a scan
// that fires only weekly and daily timers, or none, leaves the file untouched.
MinuteScanResult scanDueTimers(const QString& path, const MinuteRange& minutes);

// The same for the one minute that contains `minute`.
inline MinuteScanResult scanDueTimers(const QString& path, const QDateTime& minute) {
  return scanDueTimers(path, MinuteRange::single(minute));
}
