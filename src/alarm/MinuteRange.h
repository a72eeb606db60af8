#pragma once

#include <QDateTime>
#include <QtGlobal>

// A run of whole minutes on the wall clock: those after `after()` up to and including
// `through()`. Minutes are counted on the clock's face (date, hour, minute), not in elapsed
// time, so a timer set for 07:30 is due when the clock shows 07:30 whatever the time zone does.
class MinuteRange {
 public:
  // The one minute that contains the moment (its seconds are ignored).
  static MinuteRange single(const QDateTime& moment);
  // The minutes after `after` up to and including `through`; empty when through <= after.
  static MinuteRange between(const QDateTime& after, const QDateTime& through);

  bool isEmpty() const { return throughMinute_ <= afterMinute_; }
  qint64 minuteCount() const { return isEmpty() ? 0 : throughMinute_ - afterMinute_; }
  QDateTime after() const { return momentOf(afterMinute_); }
  QDateTime through() const { return momentOf(throughMinute_); }

  // Minute numbers: days since the start of the Julian calendar * 1440 + hour * 60 + minute.
  static qint64 minuteNumber(const QDateTime& moment);
  qint64 afterMinute() const { return afterMinute_; }
  qint64 throughMinute() const { return throughMinute_; }
  // The moment at the start of a minute number, in the time zone the range was made in.
  QDateTime momentOf(qint64 minute) const;

  friend bool operator==(const MinuteRange& a, const MinuteRange& b) {
    return a.afterMinute_ == b.afterMinute_ && a.throughMinute_ == b.throughMinute_;
  }

 private:
  MinuteRange(qint64 after, qint64 through, const QDateTime& zoneOf)
      : afterMinute_(after), throughMinute_(through), zoneOf_(zoneOf) {}
  friend class MinuteTracker;

  qint64 afterMinute_ = 0;
  qint64 throughMinute_ = 0;
  QDateTime zoneOf_;  // any moment in the wanted time zone
};
