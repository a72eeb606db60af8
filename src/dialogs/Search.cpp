#include "dialogs/Search.h"

#include "shared/Numeric.h"
#include "store/Cp932.h"
#include "store/DataFileScan.h"

namespace {

const QString kEmptyTextMessage = QStringLiteral("空白はいけません");

// Hiragana that have a katakana twin 0x60 code points above them, including the iteration
// marks ゝ and ゞ.
bool isFoldableHiragana(char16_t c) {
  return (c >= 0x3041 && c <= 0x3096) || c == 0x309D || c == 0x309E;
}

// A flag holds the number asked for; a flag that is no number (damaged file) holds neither.
bool flagEquals(const Field& flag, int value) {
  const QString text = QString::fromLatin1(flag.raw);
  return isWholeNumber(text) && numericValue(text) == value;
}

}  // namespace

bool searchUsesText(int kind) { return kind == SearchBySubject || kind == SearchByContent; }

QString foldForSearch(const QString& text) {
  // Compatibility composition turns full-width letters into plain ones and half-width kana
  // (with a following ﾞ or ﾟ) into the full-width composed kana.
  // 〜 and ～ (and the other pairs of windowsFormOf) are one character to the user.
  QString windowsText = text;
  for (QChar& c : windowsText) c = QChar(windowsFormOf(c.unicode()));
  QString folded = windowsText.normalized(QString::NormalizationForm_KC);
  for (QChar& c : folded) {
    if (isFoldableHiragana(c.unicode())) c = QChar(char16_t(c.unicode() + 0x60));
  }
  return folded.toCaseFolded();
}

SearchResult searchSchedule(const QString& dataFile, int kind, const QString& searchText) {
  SearchResult result;
  if (kind < SearchBySubject || kind > SearchFinished) return result;
  if (searchUsesText(kind) && searchText.isEmpty()) {
    result.refusal = DialogMessage{kEmptyTextMessage, kAppTitle, MessageIcon::Warning};
    return result;
  }

  const QString wanted = foldForSearch(searchText);
  result.status = scanSchedule(dataFile, [&](const ScheduleRecord& record) {
    bool match = false;
    switch (kind) {
      case SearchBySubject:
        match = foldForSearch(record.Subject.toText()).contains(wanted);
        break;
      case SearchByContent:
        match = foldForSearch(record.Content.toText()).contains(wanted);
        break;
      case SearchNotFinished:
        match = flagEquals(record.DoneFlag, 0);
        break;
      case SearchFinished:
        match = flagEquals(record.DoneFlag, 1);
        break;
    }
    if (match) result.records.append(record);
    return true;
  });
  return result;
}
