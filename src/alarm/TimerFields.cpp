#include "alarm/TimerFields.h"

#include "shared/DateFormat.h"

std::optional<int> fixedDigits(const QString& text, int digits, int low, int high) {
  if (text.size() != digits) return std::nullopt;
  int value = 0;
  for (const QChar c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c.unicode() - u'0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::optional<int> weekdayOfKanji(const QString& text) {
  for (int sundayBased = 0; sundayBased < 7; ++sundayBased) {
    if (text == weekdayKanjiByIndex(sundayBased)) return sundayBased;
  }
  return std::nullopt;
}
