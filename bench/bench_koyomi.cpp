// Measures the Japanese calendar's marks: the first month of a year (its tables built from the
// new moons and terms built into the program, ICU's era calendar opened on the very first), a
// month's marks once its year is known (the windows' case), and a month of every year. Run with
// `make bench`; prints one line per figure.
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "calendar/Koyomi.h"

int main() {
  QElapsedTimer timer;
  timer.start();
  koyomi::monthMarks(2026, 12);
  const double firstYear = static_cast<double>(timer.nsecsElapsed()) / 1e6;
  std::printf("koyomi: first month of a year not yet computed (2026-12): %.1f ms\n", firstYear);

  timer.restart();
  koyomi::monthMarks(2027, 1);
  std::printf("koyomi: first month of the next year (2027-01): %.1f ms\n",
              static_cast<double>(timer.nsecsElapsed()) / 1e6);

  std::vector<double> times;
  int marks = 0;
  for (int run = 0; run < 200; ++run) {
    timer.restart();
    const QList<koyomi::DayMarks> month = koyomi::monthMarks(2026, 1 + run % 12);
    times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    for (const koyomi::DayMarks& day : month) {
      marks += static_cast<int>(day.seasons.size());
    }
  }
  std::sort(times.begin(), times.end());
  std::printf("koyomi: a month's marks, year known: median %.4f ms, worst %.4f ms (%d marks)\n",
              times[times.size() / 2], times.back(), marks);

  // A month of each year not yet seen, as a jump through the date dialog meets it: the year's
  // tables are built from the new moons and terms built into the program.
  std::vector<double> firstMonths;
  timer.restart();
  for (int year = 1873; year <= 2100; ++year) {
    if (year == 2026 || year == 2027) continue;
    QElapsedTimer one;
    one.start();
    koyomi::monthMarks(year, 6);
    firstMonths.push_back(static_cast<double>(one.nsecsElapsed()) / 1e6);
  }
  std::printf("koyomi: every year of 1873-2100: %.2f s\n",
              static_cast<double>(timer.nsecsElapsed()) / 1e9);
  std::sort(firstMonths.begin(), firstMonths.end());
  const double worstFirst = firstMonths.back();
  std::printf("op=koyomi_first_month median_ms=%.3f worst_ms=%.3f target_ms=1.0 ok=%s\n",
              firstMonths[firstMonths.size() / 2], worstFirst, worstFirst < 1.0 ? "yes" : "no");
  std::printf("op=koyomi_month median_ms=%.4f worst_ms=%.4f target_ms=1.0 ok=%s\n",
              times[times.size() / 2], times.back(), times.back() < 1.0 ? "yes" : "no");
  return 0;
}
