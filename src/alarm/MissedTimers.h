#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include "alarm/MinuteScan.h"
#include "store/Record.h"

// The once-only timers that the opening of a file took out because their minute had passed
// while the program was not running: the user is told, and the recent ones still ring.
struct MissedTimers {
  // One message listing them (date, time, title) by due time; "" when there are none.
  QString message;
  // Those due less than 24 hours before now, to ring once, late, in file order.
  QList<FiredTimer> ringLate;
};

inline const QString kMissedTimersHeading =
    QStringLiteral("Yotenna が動いていない間に過ぎたタイマーがあります");

// At most this many are listed, the latest; the message counts the others.
inline constexpr int kMissedTimersListed = 20;

MissedTimers missedTimers(const QList<TimerRecord>& removed, const QDateTime& now);
