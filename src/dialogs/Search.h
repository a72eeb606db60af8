#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "dialogs/DialogMessage.h"
#include "store/Record.h"
#include "store/Status.h"

// The search window's kinds, by the index of its option buttons `Option1(0)` to `Option1(3)`.
enum SearchKind : int {
  SearchBySubject = 0,    // 件名で検索
  SearchByContent = 1,    // 内容で検索
  SearchNotFinished = 2,  // 終了していないもの
  SearchFinished = 3,     // 終了したもの
};

// True for the kinds that look for the search text; the others leave the text box greyed.
bool searchUsesText(int kind);

// What one press of "検索開始" gives the window.
struct SearchResult {
  // Failure when the data file could not be read; `records` then holds what was found before.
  Status status = Status::success();
  // The matching schedule records in file order; never the timer marker or a timer record.
  QList<ScheduleRecord> records;
  // Shown instead of searching ("空白はいけません" for an empty text with a text kind).
  std::optional<DialogMessage> refusal;
};

// Searches the schedule records of the data file, from its start to the timer marker (or to
// the end of a file without one). Kinds 0 and 1 list the records whose subject or content
// holds the search text; kinds 2 and 3 list the unfinished or finished records and ignore the
// text. An empty text with kind 0 or 1 reads nothing and gives the refusal. Any other kind
// lists nothing.
SearchResult searchSchedule(const QString& dataFile, int kind, const QString& searchText);

// The text as the search compares it: width (full/half-width letters and kana, half-width kana
// with their voiced marks), kana type (hiragana as katakana) and letter case folded away, as a
// Japanese locale's text comparison does.
QString foldForSearch(const QString& text);
