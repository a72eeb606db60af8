#include "shared/Numeric.h"

#include <algorithm>
#include <cmath>

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }
bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Parses from the start; returns the value and how many characters the number used.
double parseNumber(QStringView text, qsizetype* consumed) {
  qsizetype i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  double sign = 1.0;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
    if (text[i] == u'-') sign = -1.0;
    ++i;
  }
  const qsizetype digitsStart = i;
  double value = 0.0;
  while (i < text.size() && isDigit(text[i])) {
    value = value * 10.0 + (text[i].unicode() - u'0');
    ++i;
  }
  qsizetype digitCount = i - digitsStart;
  if (i < text.size() && text[i] == u'.') {
    qsizetype j = i + 1;
    double scale = 0.1;
    while (j < text.size() && isDigit(text[j])) {
      value += (text[j].unicode() - u'0') * scale;
      scale /= 10.0;
      ++j;
    }
    if (j > i + 1 || digitCount > 0) {
      digitCount += j - i - 1;
      i = j;
    }
  }
  *consumed = digitCount > 0 ? i : 0;
  return digitCount > 0 ? sign * value : 0.0;
}

}  // namespace

double numericValue(QStringView text) {
  qsizetype consumed = 0;
  return parseNumber(text, &consumed);
}

bool isWholeNumber(QStringView text) {
  qsizetype consumed = 0;
  parseNumber(text, &consumed);
  if (consumed == 0) return false;
  for (qsizetype i = consumed; i < text.size(); ++i) {
    if (!isBlank(text[i])) return false;
  }
  return true;
}

long long integerValue(QStringView text) {
  constexpr double kLimit = 1e15;
  const double value = std::clamp(numericValue(text), -kLimit, kLimit);
  return static_cast<long long>(std::trunc(value));
}
