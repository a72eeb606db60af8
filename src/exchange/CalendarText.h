#pragma once

#include <QString>

// Text from another calendar made fit for a field of the data file, as the editor would have
// let the user type it.
struct FittedText {
  QString text;
  int replaced = 0;  // characters the data file cannot hold, each written as 〓
  bool cut = false;  // the text was longer than the field allows and was cut at the limit
};

// The replacement of a character the data file cannot hold: visible, and itself in CP932.
inline const QString kReplacementCharacter = QStringLiteral("〓");

// Composes the text (NFC), turns line breaks, tabs and other control characters into blanks
// (a record is one line), a double quote into ” (the file has no escape for it), every
// character with no CP932 form into 〓 (one per character as the reader sees it, however many
// code points it takes), trims blanks at both ends and cuts the text after `limit` characters.
FittedText fitCalendarText(const QString& text, int limit);

// The editor's limits on the texts of a record.
inline constexpr int kSubjectLimit = 20;
inline constexpr int kContentLimit = 50;
inline constexpr int kTimerTitleLimit = 20;
