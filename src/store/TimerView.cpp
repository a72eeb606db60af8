#include "store/TimerView.h"

#include "shared/DateFormat.h"
#include "shared/Numeric.h"

namespace {

// The value of a text of exactly `digits` ASCII digits within [low, high].
std::optional<int> exactDigits(const QString& text, int digits, int low, int high) {
  if (text.size() != digits) return std::nullopt;
  int value = 0;
  for (const QChar c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c.unicode() - u'0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

// The value of a text of one to `digits` ASCII digits, at most `high`.
std::optional<int> upToDigits(const QString& text, int digits, int high) {
  if (text.isEmpty() || text.size() > digits) return std::nullopt;
  return exactDigits(text, static_cast<int>(text.size()), 0, high);
}

// The value of a whole number with blanks around it, within [low, high].
std::optional<int> wholeNumberIn(const QString& text, int low, int high) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok);
  if (!ok || value < low || value > high) return std::nullopt;
  return value;
}

std::optional<QTime> timeOf(std::optional<int> hour, std::optional<int> minute) {
  if (!hour || !minute) return std::nullopt;
  return QTime(*hour, *minute);
}

std::optional<QDate> dateOf(std::optional<int> year, std::optional<int> month,
                            std::optional<int> day) {
  if (!year || !month || !day) return std::nullopt;
  const QDate date(*year, *month, *day);
  if (!date.isValid()) return std::nullopt;  // 02/30 and the like
  return date;
}

}  // namespace

std::optional<AlarmKind> TimerView::kindByText(QByteArrayView raw) {
  if (raw == "0") return AlarmKind::Once;
  if (raw == "1") return AlarmKind::Weekly;
  if (raw == "2") return AlarmKind::Daily;
  return std::nullopt;
}

bool TimerView::kindIsZeroByNumber(QByteArrayView raw) {
  if (raw.size() == 1) return raw[0] == '0';
  const QString text = Field{raw.toByteArray(), true}.toText();
  return isWholeNumber(text) && numericValue(text) == 0.0;
}

Field TimerView::kindField(AlarmKind kind) {
  switch (kind) {
    case AlarmKind::Once:
      return Field::text(QStringLiteral("0"));
    case AlarmKind::Weekly:
      return Field::text(QStringLiteral("1"));
    case AlarmKind::Daily:
      break;
  }
  return Field::text(QStringLiteral("2"));
}

std::optional<QTime> TimerView::clockTime() const {
  return timeOf(exactDigits(record_.TimerHour.toText(), 2, 0, 23),
                exactDigits(record_.TimerMinute.toText(), 2, 0, 59));
}

std::optional<QDate> TimerView::clockDate() const {
  return dateOf(exactDigits(record_.TimerYearOrWeekday.toText(), 4, 1, 9999),
                exactDigits(record_.TimerMonth.toText(), 2, 1, 12),
                exactDigits(record_.TimerDay.toText(), 2, 1, 31));
}

std::optional<int> TimerView::weekday() const {
  const QString text = record_.TimerYearOrWeekday.toText();
  for (int sundayBased = 0; sundayBased < 7; ++sundayBased) {
    if (text == weekdayKanjiByIndex(sundayBased)) return sundayBased;
  }
  return std::nullopt;
}

std::optional<QTime> TimerView::listTime() const {
  return timeOf(upToDigits(record_.TimerHour.toText(), 2, 23),
                upToDigits(record_.TimerMinute.toText(), 2, 59));
}

std::optional<QDate> TimerView::listDate() const {
  return parseDateText(record_.TimerYearOrWeekday.toText() + u'/' + record_.TimerMonth.toText() +
                       u'/' + record_.TimerDay.toText());
}

std::optional<QTime> TimerView::exportTime() const {
  return timeOf(wholeNumberIn(record_.TimerHour.toText(), 0, 23),
                wholeNumberIn(record_.TimerMinute.toText(), 0, 59));
}

std::optional<QDate> TimerView::exportDate() const {
  return dateOf(wholeNumberIn(record_.TimerYearOrWeekday.toText(), 1, 9999),
                wholeNumberIn(record_.TimerMonth.toText(), 1, 12),
                wholeNumberIn(record_.TimerDay.toText(), 1, 31));
}

TimerMomentValues TimerView::momentValues() const {
  return {integerValue(record_.TimerYearOrWeekday.toText()),
          integerValue(record_.TimerMonth.toText()), integerValue(record_.TimerDay.toText()),
          integerValue(record_.TimerHour.toText()), integerValue(record_.TimerMinute.toText())};
}
