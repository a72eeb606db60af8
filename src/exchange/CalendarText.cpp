#include "exchange/CalendarText.h"

#include <QList>
#include <QTextBoundaryFinder>

#include "store/Cp932.h"

namespace {

QString withoutControls(const QString& text) {
  QString plain;
  plain.reserve(text.size());
  for (QChar original : text) {
    // The wave dash and its kin become the forms CP932 holds, as the data file stores them.
    const QChar c(windowsFormOf(original.unicode()));
    if (c == u'"') {
      plain += QChar(0x201D);  // ”
    } else if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
               c == QChar::ParagraphSeparator) {
      plain += u' ';
    } else {
      plain += c;
    }
  }
  return plain.trimmed();
}

}  // namespace

FittedText fitCalendarText(const QString& text, int limit) {
  FittedText fitted;
  const QString plain = withoutControls(text.normalized(QString::NormalizationForm_C));
  // Where the text holds a 〓 of this import's making, so that only those that stay are counted.
  QList<qsizetype> replacements;
  if (encodeCp932(plain)) {
    fitted.text = plain;
  } else {
    // One 〓 per character as a reader counts them: an emoji with its modifiers is one.
    QTextBoundaryFinder boundaries(QTextBoundaryFinder::Grapheme, plain);
    qsizetype start = 0;
    while (boundaries.toNextBoundary() != -1) {
      const qsizetype end = boundaries.position();
      const QString cluster = plain.mid(start, end - start);
      if (encodeCp932(cluster)) {
        fitted.text += cluster;
      } else {
        replacements << fitted.text.size();
        fitted.text += kReplacementCharacter;
      }
      start = end;
    }
  }
  if (fitted.text.size() > limit) {
    fitted.text.truncate(limit);
    // A character cut in half would be no character at all.
    if (!fitted.text.isEmpty() && fitted.text.back().isHighSurrogate()) fitted.text.chop(1);
    fitted.text = fitted.text.trimmed();
    fitted.cut = true;
  }
  for (qsizetype position : replacements) {
    if (position < fitted.text.size()) ++fitted.replaced;
  }
  return fitted;
}
