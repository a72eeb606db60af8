#pragma once

#include <QDateTime>
#include <optional>

#include "alarm/MinuteRange.h"

// Decides, tick by tick, which minutes the timers are checked for, so that every minute is
// checked exactly once:
//   - a minute is checked at the first tick that falls in it, whatever its second reads, so
//     a late or skipped tick loses nothing and a second tick in the same minute adds nothing;
//   - the minute the program starts in is checked only if the first tick reads second 00
//     (a timer for that minute may already have gone off before the start);
//   - minutes that passed without a tick (sleep, the clock set forward) are checked at the
//     next tick, in one range, back to at most 24 hours before it;
//   - after the clock is set back by a minute or less (a correction of a few seconds), nothing
//     is checked until it passes the latest minute already checked;
//   - after the clock is set back further, checking resumes from the current minute: the
//     minutes ahead may never have come (a clock set wrongly forward, then corrected), and a
//     timer that did go off in them is kept from going off twice by the RingMemory.
class MinuteTracker {
 public:
  static constexpr qint64 kCatchUpMinutes = 24 * 60;

  // Called by every tick with the clock's time; the minutes to check now, if any.
  std::optional<MinuteRange> tick(const QDateTime& now);

 private:
  std::optional<qint64> latestMinute_;  // the latest minute checked, or passed at start-up
};
