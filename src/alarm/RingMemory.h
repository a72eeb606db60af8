#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

struct FiredTimer;

// The alarms that rang lately, so that a clock set back does not ring a timer twice for the
// same minute it was due. What rang is kept for 24 hours of uptime (time that nobody can set
// and that runs on during sleep): a clock that was set wrongly forward and then corrected
// rang timers for minutes that are still to come, and those must ring again when they really
// come, days later.
class RingMemory {
 public:
  static constexpr qint64 kKeptMilliseconds = 24LL * 60 * 60 * 1000;

  // True when the timer has not rung for its due minute in the time kept; it is then
  // remembered as rung at `uptime` (milliseconds). A once-only timer always rings: the scan
  // that finds it due takes it out of the file, so it can only come back if the user adds it
  // again, and then it is meant to ring.
  bool firstRing(const FiredTimer& timer, qint64 uptime);

 private:
  struct Rung {
    QString timer;  // title, kind and picture
    qint64 dueMinute = 0;
    qint64 uptime = 0;
  };
  QList<Rung> rung_;
};
