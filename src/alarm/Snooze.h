#pragma once

#include <QDateTime>

#include "alarm/MinuteScan.h"
#include "editor/EditorInput.h"

// 「5分後にもう一度」: the alarm comes back as a once-only timer with the same title and picture,
// 5 minutes after the minute in which it was asked for (its seconds dropped). It is added as
// the editor adds a timer, so it is in the data file, survives a restart and is listed.
inline constexpr int kSnoozeMinutes = 5;

TimerInput snoozeInput(const FiredTimer& timer, const QDateTime& askedAt);
EditorResult snoozeTimer(const QString& dataFile, const FiredTimer& timer,
                         const QDateTime& askedAt);
