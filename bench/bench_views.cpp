// Measures how fast the main window rebuilds its views from a large data file:
// 100,000 schedule entries over 30 years and 1,000 timers.
// Run with `make bench` (offscreen platform); prints one line per figure.
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/MainWindow.h"
#include "calendar/DateNavigation.h"
#include "calendar/Holidays.h"
#include "calendar/Koyomi.h"
#include "store/DataFileScan.h"
#include "support/FakePlatform.h"
#include "support/TestFiles.h"

namespace {

constexpr int kEntries = 100000;
constexpr int kTimers = 1000;
constexpr int kRuns = 25;

// Entries from 2026/12/31 back to 1997/01/01, latest first, as the program keeps them.
QByteArray generateFile() {
  const QDate newest(2026, 12, 31);
  const QDate oldest(1997, 1, 1);
  const qint64 days = oldest.daysTo(newest) + 1;
  QByteArray out;
  out.reserve(kEntries * 48);
  const QByteArray subject("\x89\xEF\x8B\x63");  // 会議
  const QByteArray content("\x93\xE0\x97\x65");  // 内容
  for (int i = 0; i < kEntries; ++i) {
    const QDate date = newest.addDays(-(static_cast<qint64>(i) * days / kEntries));
    out += '"' + date.toString(QStringLiteral("yyyy/MM/dd")).toLatin1() + "\",\"" + subject +
           QByteArray::number(i % 100) + "\",\"" + content + "\"," + QByteArray::number(i % 2) +
           ",0\r\n";
  }
  out += kMarkerLine;
  for (int i = 0; i < kTimers; ++i) {
    out += "\"timer" + QByteArray::number(i) + "\",\"2\",\"\",\"\",\"\",\"" +
           QByteArray::number(i % 24).rightJustified(2, '0') + "\",\"" +
           QByteArray::number(i % 60).rightJustified(2, '0') + "\",\"\"\r\n";
  }
  return out;
}

template <typename F>
double medianMilliseconds(F&& work) {
  std::vector<double> times;
  for (int i = 0; i < kRuns; ++i) {
    QElapsedTimer timer;
    timer.start();
    work();
    times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dir;
  const QString path = dir.filePath("bench.dat");
  const QByteArray bytes = generateFile();
  writeBytes(path, bytes);

  FakePlatform platform;
  platform.clock = QDateTime(QDate(2026, 12, 8), QTime(12, 0, 0));
  SharedState state;
  state.CurrentDataFile = path;
  state.SelYear = 2026;
  state.SelMonth = 12;
  state.SelDay = 8;
  AppContext context{state, platform, [] {}};
  MainWindow window(context);
  window.show();

  std::printf("data file: %d entries, %d timers, %.1f MiB\n", kEntries, kTimers,
              bytes.size() / 1048576.0);
  // Painting is part of the figure: the window repaints itself before the timer stops.
  auto refreshAndPaint = [&] {
    window.refreshAllViews();
    window.repaint();
  };
  const double newest = medianMilliseconds(refreshAndPaint);
  std::printf("full refresh, newest month (2026/12): %.2f ms\n", newest);

  std::printf("  of which the timer list: %.2f ms, the timer scan alone: %.2f ms\n",
              medianMilliseconds([&] { window.LoadTimerList(); }),
              medianMilliseconds([&] { (void)scanTimers(path, [](const TimerRecord&) {}); }));

  state.SelYear = 1997;
  state.SelMonth = 1;
  state.SelDay = 15;
  const double oldest = medianMilliseconds(refreshAndPaint);
  std::printf("full refresh, oldest month (1997/01): %.2f ms\n", oldest);

  // Moving a day and a month forward and back from 2026/12/08, without and with all three of
  // the Japanese calendar's marks (their years computed ahead, as the window does after a move).
  auto moveForwardAndBack = [&](DateMove forward, DateMove back) {
    return [&, forward, back] {
      window.moveSelectedDate(forward);
      window.repaint();
      window.moveSelectedDate(back);
      window.repaint();
    };
  };
  // The three settings take turns, round after round, so that a slower moment of the machine
  // falls on all of them alike; each figure is the median of its rounds.
  const int settings[] = {0, int(koyomi::LunisolarAndEra),
                          koyomi::Rokuyo | koyomi::LunisolarAndEra | koyomi::Seasons};
  for (int year = 2025; year <= 2028; ++year) koyomi::prepareYear(year);
  constexpr int kRounds = 7;
  std::vector<double> dayMoves[3];
  std::vector<double> monthMoves[3];
  for (int round = 0; round < kRounds; ++round) {
    for (int i = 0; i < 3; ++i) {
      state.SelYear = 2026;
      state.SelMonth = 12;
      state.SelDay = 8;
      context.shownMarks = settings[i];
      dayMoves[i].push_back(
          medianMilliseconds(moveForwardAndBack(DateMove::DayForward, DateMove::DayBack)));
      monthMoves[i].push_back(
          medianMilliseconds(moveForwardAndBack(DateMove::MonthForward, DateMove::MonthBack)));
    }
  }
  const auto medianOf = [](std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  };
  const char* const names[] = {"no mark shown", "旧暦と和暦 only: no line in the cells",
                               "every mark of the Japanese calendar shown"};
  for (int i = 0; i < 3; ++i) {
    std::printf("a day forward and back: %.2f ms, a month forward and back: %.2f ms (%s)\n",
                medianOf(dayMoves[i]), medianOf(monthMoves[i]), names[i]);
  }
  // No slower with the marks: within a tenth, which is what two runs of the same setting differ
  // by on a quiet machine.
  for (const char* op : {"day", "month"}) {
    const bool month = op[0] == 'm';
    const double without = medianOf(month ? monthMoves[0] : dayMoves[0]);
    const double with = medianOf(month ? monthMoves[2] : dayMoves[2]);
    std::printf("op=navigate_%s_marks median_ms=%.2f floor_ms=%.2f ratio=%.2f target=1.1 ok=%s\n",
                op, with, without, with / without, with / without <= 1.1 ? "yes" : "no");
  }
  context.shownMarks = 0;

  const double readAll = medianMilliseconds([&] {
    int records = 0;
    (void)scanSchedule(path, [&](const ScheduleRecord&) { return ++records > 0; });
    (void)scanTimers(path, [&](const TimerRecord&) { ++records; });
    if (records != kEntries + kTimers) std::abort();
  });
  std::printf("reading the whole file once: %.2f ms\n", readAll);
  // The holidays are worked out from the law on every view; one month's grid asks once, the day
  // list once per day shown.
  const double monthsOfALifetime = medianMilliseconds([&] {
    qsizetype holidays = 0;
    for (int year = 1955; year <= 2030; ++year) {
      for (int month = 1; month <= 12; ++month) holidays += monthHolidays(year, month).size();
    }
    if (holidays != 1121) std::abort();
  });
  std::printf("holidays of one month: %.2f us (912 months of 1955-2030 in %.2f ms)\n",
              monthsOfALifetime * 1000.0 / 912, monthsOfALifetime);
  const double everyDay = medianMilliseconds([&] {
    int holidays = 0;
    for (QDate date(2026, 1, 1); date.year() == 2026; date = date.addDays(1)) {
      holidays += holidayName(date).has_value();
    }
    if (holidays != 18) std::abort();
  });
  std::printf("holiday of one date: %.2f us (every day of 2026 in %.2f ms)\n",
              everyDay * 1000.0 / 365, everyDay);
  std::printf("(median of %d runs each; targets: newest < 10 ms, oldest < 50 ms)\n", kRuns);
  return 0;
}
