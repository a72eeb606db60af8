#include "alarm/RingMemory.h"

#include "alarm/MinuteRange.h"
#include "alarm/MinuteScan.h"

bool RingMemory::firstRing(const FiredTimer& timer, qint64 uptime) {
  if (timer.kind == AlarmKind::Once) return true;
  // Uptime that went back belongs to another boot: nothing before it counts.
  rung_.removeIf([uptime](const Rung& rung) {
    return uptime < rung.uptime || uptime - rung.uptime >= kKeptMilliseconds;
  });
  const QString key = timer.title + QChar(0) + QString::number(static_cast<int>(timer.kind)) +
                      QChar(0) + timer.picturePath;
  const qint64 dueMinute = MinuteRange::minuteNumber(timer.due);
  for (const Rung& rung : rung_) {
    if (rung.dueMinute == dueMinute && rung.timer == key) return false;
  }
  rung_.append(Rung{key, dueMinute, uptime});
  return true;
}
