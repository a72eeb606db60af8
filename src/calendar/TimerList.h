#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "store/Record.h"
#include "store/Status.h"

// Rows of the main window's timer list and of the search window's result list.

struct TimerListRow {
  QString title;
  QString kind;  // "一回", "毎週", "毎日"; empty for an unknown kind
  QString when;  // "2001/05/03(木)", "月曜日" or empty
  QString time;  // "07:30"; empty for an unknown kind
  QString picture;

  QStringList columns() const { return {title, kind, when, time, picture}; }
  friend bool operator==(const TimerListRow&, const TimerListRow&) = default;
};

// One timer as its list row. A once-only date or a time that does not read as one is shown as
// it stands in the file rather than reformatted.
TimerListRow timerListRow(const TimerRecord& timer);

struct TimerList {
  QList<TimerListRow> rows;  // file order
  // A file that cannot be read gives no rows and reports why here.
  Status status = Status::success();
};

TimerList loadTimerList(const QString& dataFile);

struct SearchResultRow {
  QString date;  // "2001/01/05(金)"
  QString subject;
  QString content;
  QString finished;  // "終了" or "まだ"
  QString deletion;  // "削除" or "残る"

  QStringList columns() const { return {date, subject, content, finished, deletion}; }
  friend bool operator==(const SearchResultRow&, const SearchResultRow&) = default;
};

// The result row of a found entry; nothing for the timer marker. A date that is not a real date
// is shown without a weekday.
std::optional<SearchResultRow> searchResultRow(const ScheduleRecord& record);
