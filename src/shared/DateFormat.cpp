#include "shared/DateFormat.h"

#include <array>

namespace {

const std::array<QString, 7> kKanji = {
    QStringLiteral("日"), QStringLiteral("月"), QStringLiteral("火"), QStringLiteral("水"),
    QStringLiteral("木"), QStringLiteral("金"), QStringLiteral("土")};

QString twoDigits(int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

// Qt numbers weekdays Monday = 1 ... Sunday = 7; the program counts Sunday = 0.
int sundayBased(const QDate& date) { return date.dayOfWeek() % 7; }

}  // namespace

QString weekdayKanjiByIndex(int sundayBasedIndex) {
  return kKanji[static_cast<size_t>(((sundayBasedIndex % 7) + 7) % 7)];
}

QString weekdayKanji(const QDate& date) { return weekdayKanjiByIndex(sundayBased(date)); }

QString weekdayName(const QDate& date) { return weekdayKanji(date) + QStringLiteral("曜日"); }

QString formatDateTime(const QDate& date, const QTime& time, QStringView pattern) {
  QString out;
  out.reserve(pattern.size() + 8);
  bool afterHour = false;
  qsizetype i = 0;
  auto at = [&](QStringView token) { return pattern.mid(i).startsWith(token); };
  while (i < pattern.size()) {
    if (at(u"yyyy")) {
      out += QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
      i += 4;
      afterHour = false;
    } else if (at(u"aaaa")) {
      out += weekdayName(date);
      i += 4;
    } else if (at(u"aaa")) {
      out += weekdayKanji(date);
      i += 3;
    } else if (at(u"mm")) {
      out += twoDigits(afterHour ? time.minute() : date.month());
      i += 2;
      afterHour = false;
    } else if (at(u"dd")) {
      out += twoDigits(date.day());
      i += 2;
    } else if (at(u"hh")) {
      out += twoDigits(time.hour());
      i += 2;
      afterHour = true;
    } else if (at(u"nn")) {
      out += twoDigits(time.minute());
      i += 2;
      afterHour = false;
    } else if (at(u"ss")) {
      out += twoDigits(time.second());
      i += 2;
    } else {
      out += pattern[i];
      ++i;
    }
  }
  return out;
}

int daysInMonth(int year, int month) {
  static constexpr std::array<int, 13> kLengths{0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2 && isLeapYear(year)) return 29;
  return kLengths[static_cast<size_t>(month)];
}

std::optional<QDate> parseDateText(QStringView text) {
  const QStringView trimmed = text.trimmed();
  const auto parts = trimmed.split(u'/');
  if (parts.size() != 3) return std::nullopt;
  std::array<int, 3> numbers{};
  static constexpr std::array<int, 3> kMaxDigits{4, 2, 2};
  for (size_t k = 0; k < 3; ++k) {
    const QStringView part = parts[static_cast<qsizetype>(k)];
    if (part.isEmpty() || part.size() > kMaxDigits[k]) return std::nullopt;
    int value = 0;
    for (QChar c : part) {
      if (c < u'0' || c > u'9') return std::nullopt;
      value = value * 10 + (c.unicode() - u'0');
    }
    numbers[k] = value;
  }
  const int year = numbers[0];
  const int month = numbers[1];
  const int day = numbers[2];
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month)) {
    return std::nullopt;
  }
  return QDate(year, month, day);
}
