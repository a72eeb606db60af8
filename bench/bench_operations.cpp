// Times every operation on the data file at 100,000 and 1,000,000 schedule entries (plus 1,000
// timers), each beside its physical floor measured in the same run on the same file:
//   rewrites (add, update, delete, purge that removes, minute scan that removes) against an
//   fsync'd copy of the file; reads (purge with nothing to remove, search, minute scan with
//   nothing due, the main window's views of the oldest month) against a read of the file from
//   the disk (O_DIRECT). The operations themselves run on a warm page cache, as they do for
//   the user right after the file was last written.
// Prints one line per operation and size, for people and scripts:
//   op=add size=1000000 median_ms=… floor_ms=… ratio=… target=1.3 ok=yes
// and one line per size for what the floor's copy costs when the disk starts writing during it,
// as the rewrites have it do (not a goal, a measure of how much of that they owe to it):
//   floor=fsynced_copy_early_writeback size=1000000 median_ms=… fsynced_copy_ms=…
// At 1,000,000 entries the ratio is judged: a rewrite within 1.3 times the fsync'd copy, the
// views of the oldest month and the search within twice the read. At 100,000 entries every
// operation must take under 50 ms.
//
//   bench_operations [--fs NAME] [FOLDER]   keeps the generated files in FOLDER (for the
//                                           whole-program run); NAME (the file system the
//                                           folder lies on) is added to every line as fs=NAME
//   bench_operations --generate FOLDER      only writes the files
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "alarm/MinuteScan.h"
#include "app/MainWindow.h"
#include "dialogs/Search.h"
#include "editor/ScheduleOperations.h"
#include "editor/TimerOperations.h"
#include "store/Purge.h"
#include "support/FakePlatform.h"
#include "support/TestFiles.h"

namespace {

constexpr int kTimers = 1000;
const QDate kToday(2026, 12, 8);
const QDateTime kNow(kToday, QTime(12, 0, 0));
// No generated timer is due at 12:01 (hours and minutes both follow the timer's number).
const QDateTime kQuietMinute(kToday, QTime(12, 1, 0));

// Entries from 2026/12/31 back to 1997/01/01, latest first, as the program keeps them.
QByteArray generateFile(int entries) {
  const QDate newest(2026, 12, 31);
  const QDate oldest(1997, 1, 1);
  const qint64 days = oldest.daysTo(newest) + 1;
  QByteArray out;
  out.reserve(static_cast<qsizetype>(entries) * 48 + kTimers * 48);
  const QByteArray subject("\x89\xEF\x8B\x63");  // 会議
  const QByteArray content("\x93\xE0\x97\x65");  // 内容
  QDate last;
  QByteArray dateText;
  for (int i = 0; i < entries; ++i) {
    const QDate date = newest.addDays(-(static_cast<qint64>(i) * days / entries));
    if (date != last) {
      dateText = date.toString(QStringLiteral("yyyy/MM/dd")).toLatin1();
      last = date;
    }
    out += '"' + dateText + "\",\"" + subject + QByteArray::number(i % 100) + "\",\"" + content +
           "\"," + QByteArray::number(i % 2) + ",0\r\n";
  }
  out += kMarkerLine;
  for (int i = 0; i < kTimers; ++i) {
    out += "\"timer" + QByteArray::number(i) + "\",\"2\",\"\",\"\",\"\",\"" +
           QByteArray::number(i % 24).rightJustified(2, '0') + "\",\"" +
           QByteArray::number(i % 60).rightJustified(2, '0') + "\",\"\"\r\n";
  }
  return out;
}

double milliseconds(const std::function<void()>& work) {
  QElapsedTimer timer;
  timer.start();
  work();
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// The median of `runs` timed runs; `prepare` runs untimed before each.
double median(int runs, const std::function<void()>& work,
              const std::function<void()>& prepare = {}) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    if (prepare) prepare();
    times.push_back(milliseconds(work));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

[[noreturn]] void die(const char* what) {
  std::fprintf(stderr, "bench: %s\n", what);
  std::exit(1);
}

void check(const Status& status, const char* what) {
  if (!status) {
    std::fprintf(stderr, "bench: %s: %s\n", what, qPrintable(status.message()));
    std::exit(1);
  }
}

void check(const EditorResult& result, const char* what) {
  if (result.outcome != EditorOutcome::Done) {
    std::fprintf(stderr, "bench: %s: %s\n", what,
                 qPrintable(result.message ? result.message->text : result.status.message()));
    std::exit(1);
  }
}

// The physical floor of a read: the file's bytes from the disk itself (O_DIRECT, past the page
// cache), in 1 MiB blocks. Where the file system does not allow that, a plain buffered read.
void plainRead(const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  int fd = ::open(name.constData(), O_RDONLY | O_DIRECT | O_CLOEXEC);
  if (fd < 0) fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) die("cannot read the data file");
  constexpr size_t kBlock = 1 << 20;
  void* buffer = nullptr;
  if (::posix_memalign(&buffer, 4096, kBlock) != 0) die("out of memory");
  while (::read(fd, buffer, kBlock) > 0) {
  }
  std::free(buffer);
  ::close(fd);
}

// The physical floor of a rewrite: the file copied beside itself and synced to the disk. With
// `earlyWriteback` the disk is asked to start on every 2 MiB as it is written, as the rewrites
// do: printed beside the goals as what the same copy costs done that way.
void fsyncedCopy(const QString& path, bool earlyWriteback = false) {
  const QByteArray copyName = QFile::encodeName(path + ".copy");
  const int in = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  const int out = ::open(copyName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (in < 0 || out < 0) die("cannot copy the data file");
  std::vector<char> buffer(1 << 20);
  ssize_t got = 0;
  off_t written = 0;
  off_t writebackFrom = 0;
  while ((got = ::read(in, buffer.data(), buffer.size())) > 0) {
    if (::write(out, buffer.data(), static_cast<size_t>(got)) != got) die("copy failed");
    written += got;
    if (earlyWriteback && written - writebackFrom >= (2 << 20)) {
      ::sync_file_range(out, writebackFrom, written - writebackFrom, SYNC_FILE_RANGE_WRITE);
      writebackFrom = written;
    }
  }
  if (::fsync(out) != 0) die("fsync failed");
  ::close(out);
  ::close(in);
  ::unlink(copyName.constData());
}

struct Line {
  const char* op;
  int size;
  double median;
  double floor;
  double target;  // ratio to the floor
};

// The file system named on the command line, printed with every line.
QByteArray gFileSystem;

constexpr double kSmallFileMilliseconds = 50.0;

void print(const Line& line) {
  const double ratio = line.median / line.floor;
  // Small files by the time itself, large ones by the ratio to the floor.
  const bool ok = line.size <= 100000 ? line.median < kSmallFileMilliseconds : ratio <= line.target;
  std::printf("op=%s size=%d%s%s median_ms=%.1f floor_ms=%.1f ratio=%.2f target=%.1f ok=%s\n",
              line.op, line.size, gFileSystem.isEmpty() ? "" : " fs=", gFileSystem.constData(),
              line.median, line.floor, ratio, line.target, ok ? "yes" : "no");
  std::fflush(stdout);
}

// The goals at a million entries: every rewrite within 1.3 times an fsync'd copy of the file,
// the views and the search within twice a read of it.
constexpr double kRewriteTarget = 1.3;
constexpr double kViewTarget = 2.0;

ScheduleInput entryInput(const QString& subject, const QDate& date, bool done = false,
                         bool deleteNext = false) {
  ScheduleInput input;
  input.yearText = QString::number(date.year());
  input.monthText = QString::number(date.month());
  input.dayText = QString::number(date.day());
  input.subject = subject;
  input.content = QStringLiteral("ベンチ");
  input.done = done;
  input.deleteNext = deleteNext;
  return input;
}

EditorSnapshot snapshotOf(const ScheduleInput& input) {
  return prepareEditorSnapshot({}, input, TimerInput{});
}

void benchSize(int entries, const QString& folder) {
  const QString path = QDir(folder).filePath(QStringLiteral("b%1.dat").arg(entries));
  writeBytes(path, generateFile(entries));
  const int runs = entries >= 1000000 ? 7 : 15;

  // Warm the page cache and settle the disk before anything is timed.
  plainRead(path);
  fsyncedCopy(path);
  const double copyFloor = median(runs, [&] { fsyncedCopy(path); });
  const double readFloor = median(runs, [&] { plainRead(path); });
  // Not a goal: what the floor's copy costs when the disk starts writing during it.
  std::printf("floor=fsynced_copy_early_writeback size=%d median_ms=%.1f fsynced_copy_ms=%.1f\n",
              entries, median(runs, [&] { fsyncedCopy(path, true); }), copyFloor);

  const QDate middle(2010, 6, 15);
  int serial = 0;
  std::vector<ScheduleInput> added;
  print({"add", entries,
         median(runs,
                [&] {
                  const ScheduleInput input =
                      entryInput(QStringLiteral("追加%1").arg(serial++), middle);
                  check(addSchedule(path, input), "add");
                  added.push_back(input);
                }),
         copyFloor, kRewriteTarget});

  // Each update renames one of the added entries.
  size_t next = 0;
  print({"update", entries,
         median(runs,
                [&] {
                  ScheduleInput& input = added[next++ % added.size()];
                  const EditorSnapshot snapshot = snapshotOf(input);
                  ScheduleInput changed = input;
                  changed.subject += QStringLiteral("改");
                  const EditorResult result = updateSchedule(path, changed, snapshot);
                  check(result, "update");
                  if (!result.matched) die("update found nothing");
                  input = changed;
                }),
         copyFloor, kRewriteTarget});

  next = 0;
  print({"delete", entries,
         median(runs,
                [&] {
                  const ScheduleInput& input = added[next++ % added.size()];
                  const EditorResult result = deleteSchedule(path, input, snapshotOf(input));
                  check(result, "delete");
                  if (!result.matched) die("delete found nothing");
                }),
         copyFloor, kRewriteTarget});

  print({"purge_nothing", entries,
         median(runs, [&] { check(purgeDataFile(path, kToday, kNow), "purge"); }), readFloor, 2.0});

  print({"purge_remove", entries,
         median(
             runs, [&] { check(purgeDataFile(path, kToday, kNow), "purge"); },
             [&] {
               check(addSchedule(path,
                                 entryInput(QStringLiteral("済み"), QDate(2000, 1, 1), true, true)),
                     "add a finished entry");
             }),
         copyFloor, kRewriteTarget});

  print({"search", entries,
         median(runs,
                [&] {
                  const SearchResult result =
                      searchSchedule(path, SearchBySubject, QStringLiteral("会議42"));
                  check(result.status, "search");
                  if (result.records.size() != entries / 100) die("search found the wrong count");
                }),
         readFloor, kViewTarget});

  print({"scan_nothing", entries,
         median(runs,
                [&] {
                  const MinuteScanResult result = scanDueTimers(path, kQuietMinute);
                  check(result.status, "scan");
                  if (!result.fired.isEmpty()) die("a timer fired in the quiet minute");
                }),
         readFloor, 1.5});

  const QDateTime onceMinute(kToday.addDays(1), QTime(12, 1));
  print({"scan_remove", entries,
         median(
             runs,
             [&] {
               const MinuteScanResult result = scanDueTimers(path, onceMinute);
               check(result.status, "scan");
               if (result.removedOnceTimers != 1) die("the once-only timer was not removed");
             },
             [&] {
               TimerInput timer;
               timer.title = QStringLiteral("一回");
               timer.kindIndex = 0;
               timer.yearText = QString::number(onceMinute.date().year());
               timer.monthText = QString::number(onceMinute.date().month());
               timer.dayText = QString::number(onceMinute.date().day());
               timer.hourText = QStringLiteral("12");
               timer.minuteText = QStringLiteral("01");
               check(addTimer(path, timer, kNow), "add a timer");
             }),
         copyFloor, kRewriteTarget});

  FakePlatform platform;
  platform.clock = kNow;
  SharedState state;
  state.CurrentDataFile = path;
  state.SelYear = 1997;
  state.SelMonth = 1;
  state.SelDay = 15;
  AppContext context{state, platform, [] {}};
  MainWindow window(context);
  window.show();
  print({"views_oldest", entries,
         median(runs,
                [&] {
                  window.refreshAllViews();
                  window.repaint();
                }),
         readFloor, kViewTarget});
}

}  // namespace

int main(int argc, char* argv[]) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc == 3 && QByteArrayView(argv[1]) == "--generate") {
    const QDir folder(QString::fromLocal8Bit(argv[2]));
    for (const int entries : {100000, 1000000}) {
      writeBytes(folder.filePath(QStringLiteral("b%1.dat").arg(entries)), generateFile(entries));
    }
    return 0;
  }
  int next = 1;
  if (argc > next + 1 && QByteArrayView(argv[next]) == "--fs") {
    gFileSystem = argv[next + 1];
    next += 2;
  }
  QTemporaryDir temporary(QDir::currentPath() + QStringLiteral("/bench-XXXXXX"));
  const QString folder = argc > next ? QString::fromLocal8Bit(argv[next]) : temporary.path();
  QDir().mkpath(folder);
  for (const int entries : {100000, 1000000}) {
    benchSize(entries, folder);
    // The whole-program run opens a fresh copy of the generated file.
    writeBytes(QDir(folder).filePath(QStringLiteral("b%1.dat").arg(entries)),
               generateFile(entries));
  }
  return 0;
}
