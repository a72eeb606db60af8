#include "alarm/Snooze.h"

#include "editor/TimerOperations.h"
#include "shared/DateFormat.h"

TimerInput snoozeInput(const FiredTimer& timer, const QDateTime& askedAt) {
  QDateTime due = askedAt;
  due.setTime(QTime(askedAt.time().hour(), askedAt.time().minute()));
  due = due.addSecs(kSnoozeMinutes * 60);
  TimerInput input;
  input.title = timer.title;
  input.kindIndex = 0;
  input.yearText = QString::number(due.date().year());
  input.monthText = formatDate(due.date(), u"mm");
  input.dayText = formatDate(due.date(), u"dd");
  input.hourText = formatDateTime(due, u"hh");
  input.minuteText = formatDateTime(due, u"nn");
  input.picture = timer.picturePath;
  return input;
}

EditorResult snoozeTimer(const QString& dataFile, const FiredTimer& timer,
                         const QDateTime& askedAt) {
  return addTimer(dataFile, snoozeInput(timer, askedAt), askedAt);
}
