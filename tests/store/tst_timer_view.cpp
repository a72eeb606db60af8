// How each reader of timers reads the fields it looks at, at the edges where the readers differ.
#include <QTest>

#include "store/TimerView.h"

namespace {

TimerRecord timer(const QString& kind, const QString& yearOrWeekday, const QString& month,
                  const QString& day, const QString& hour, const QString& minute) {
  return TimerRecord{Field::text(QStringLiteral("題名")),
                     Field::text(kind),
                     Field::text(yearOrWeekday),
                     Field::text(month),
                     Field::text(day),
                     Field::text(hour),
                     Field::text(minute),
                     Field::text(QString())};
}

TimerRecord clockAt(const QString& hour, const QString& minute) {
  return timer(QStringLiteral("2"), {}, {}, {}, hour, minute);
}

TimerRecord onceOn(const QString& year, const QString& month, const QString& day) {
  return timer(QStringLiteral("0"), year, month, day, QStringLiteral("07"), QStringLiteral("30"));
}

QString shown(const std::optional<QTime>& time) {
  return time ? time->toString(u"hh:mm") : QStringLiteral("-");
}

QString shown(const std::optional<QDate>& date) {
  return date ? date->toString(u"yyyy-MM-dd") : QStringLiteral("-");
}

}  // namespace

class TimerViewTest : public QObject {
  Q_OBJECT

 private slots:
  // By text for the list, the clock, the editor and the export; by number for the tidy-up.
  void kind_data() {
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<int>("byText");  // -1: no kind
    QTest::addColumn<bool>("zeroByNumber");

    QTest::newRow("0") << QByteArray("0") << 0 << true;
    QTest::newRow("1") << QByteArray("1") << 1 << false;
    QTest::newRow("2") << QByteArray("2") << 2 << false;
    QTest::newRow("00") << QByteArray("00") << -1 << true;
    QTest::newRow("blank before 0") << QByteArray(" 0") << -1 << true;
    QTest::newRow("0.0") << QByteArray("0.0") << -1 << true;
    QTest::newRow("3") << QByteArray("3") << -1 << false;
    QTest::newRow("empty") << QByteArray() << -1 << false;
    QTest::newRow("0 and a letter") << QByteArray("0a") << -1 << false;
    QTest::newRow("full-width 0") << QByteArray("\x82\x4F") << -1 << false;
  }
  void kind() {
    QFETCH(QByteArray, raw);
    QFETCH(int, byText);
    QFETCH(bool, zeroByNumber);
    const std::optional<AlarmKind> kind = TimerView::kindByText(raw);
    QCOMPARE(kind ? static_cast<int>(*kind) : -1, byText);
    QCOMPARE(TimerView::kindIsZeroByNumber(raw), zeroByNumber);
  }

  void time_data() {
    QTest::addColumn<QString>("hour");
    QTest::addColumn<QString>("minute");
    QTest::addColumn<QString>("clock");
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("exported");

    QTest::newRow("as written") << "07"
                                << "30"
                                << "07:30"
                                << "07:30"
                                << "07:30";
    QTest::newRow("last minute") << "23"
                                 << "59"
                                 << "23:59"
                                 << "23:59"
                                 << "23:59";
    QTest::newRow("one digit") << "7"
                               << "5"
                               << "-"
                               << "07:05"
                               << "07:05";
    QTest::newRow("blank before") << " 7"
                                  << "30"
                                  << "-"
                                  << "-"
                                  << "07:30";
    QTest::newRow("three digits") << "007"
                                  << "30"
                                  << "-"
                                  << "-"
                                  << "07:30";
    QTest::newRow("full-width") << "０７"
                                << "30"
                                << "-"
                                << "-"
                                << "-";
    QTest::newRow("hour 24") << "24"
                             << "00"
                             << "-"
                             << "-"
                             << "-";
    QTest::newRow("minute 60") << "23"
                               << "60"
                               << "-"
                               << "-"
                               << "-";
    QTest::newRow("empty hour") << ""
                                << "30"
                                << "-"
                                << "-"
                                << "-";
  }
  void time() {
    QFETCH(QString, hour);
    QFETCH(QString, minute);
    const TimerView view(clockAt(hour, minute));
    QTEST(shown(view.clockTime()), "clock");
    QTEST(shown(view.listTime()), "list");
    QTEST(shown(view.exportTime()), "exported");
  }

  void onceDate_data() {
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("month");
    QTest::addColumn<QString>("day");
    QTest::addColumn<QString>("clock");
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("exported");

    QTest::newRow("as written") << "2026"
                                << "12"
                                << "07"
                                << "2026-12-07"
                                << "2026-12-07"
                                << "2026-12-07";
    QTest::newRow("one-digit month") << "2026"
                                     << "2"
                                     << "07"
                                     << "-"
                                     << "2026-02-07"
                                     << "2026-02-07";
    QTest::newRow("two-digit year") << "26"
                                    << "12"
                                    << "07"
                                    << "-"
                                    << "0026-12-07"
                                    << "0026-12-07";
    QTest::newRow("leap day") << "2024"
                              << "02"
                              << "29"
                              << "2024-02-29"
                              << "2024-02-29"
                              << "2024-02-29";
    QTest::newRow("no leap day") << "2025"
                                 << "02"
                                 << "29"
                                 << "-"
                                 << "-"
                                 << "-";
    QTest::newRow("30 February") << "2026"
                                 << "02"
                                 << "30"
                                 << "-"
                                 << "-"
                                 << "-";
    QTest::newRow("month 13") << "2026"
                              << "13"
                              << "01"
                              << "-"
                              << "-"
                              << "-";
  }
  void onceDate() {
    QFETCH(QString, year);
    QFETCH(QString, month);
    QFETCH(QString, day);
    const TimerView view(onceOn(year, month, day));
    QTEST(shown(view.clockDate()), "clock");
    QTEST(shown(view.listDate()), "list");
    QTEST(shown(view.exportDate()), "exported");
  }

  void weekday_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");  // Sunday 0; -1: none

    QTest::newRow("日") << "日" << 0;
    QTest::newRow("月") << "月" << 1;
    QTest::newRow("土") << "土" << 6;
    QTest::newRow("full name") << "月曜日" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("not a weekday") << "年" << -1;
  }
  void weekday() {
    QFETCH(QString, text);
    const std::optional<int> weekday = TimerView(timer(QStringLiteral("1"), text, {}, {},
                                                       QStringLiteral("08"), QStringLiteral("00")))
                                           .weekday();
    QTEST(weekday.value_or(-1), "expected");
  }

  // The tidy-up reads each part by its value: blanks, a tail of letters and nothing at all.
  void momentValues() {
    const TimerMomentValues values =
        TimerView(timer(QStringLiteral("0"), QStringLiteral(" 2026"), QStringLiteral("7x"),
                        QString(), QStringLiteral("09"), QStringLiteral("5.9")))
            .momentValues();
    QCOMPARE(values.year, 2026);
    QCOMPARE(values.month, 7);
    QCOMPARE(values.day, 0);
    QCOMPARE(values.hour, 9);
    QCOMPARE(values.minute, 5);
  }
};

QTEST_GUILESS_MAIN(TimerViewTest)
#include "tst_timer_view.moc"
