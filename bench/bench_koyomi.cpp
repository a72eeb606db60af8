// Measures the Japanese calendar's marks: the first computation of a year (the astronomy of it
// and the years around it), a month's marks once its year is known (the windows' case), and
// every year of the range. Run with `make bench`; prints one line per figure.
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

  timer.restart();
  for (int year = 1873; year <= 2100; ++year) {
    koyomi::monthMarks(year, 6);
  }
  std::printf("koyomi: every year of 1873-2100: %.1f s\n",
              static_cast<double>(timer.nsecsElapsed()) / 1e9);
  return 0;
}
