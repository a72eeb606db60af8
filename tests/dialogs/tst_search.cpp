// The search window's core: which schedule entries a search lists, and when it refuses.
#include <sys/stat.h>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include "dialogs/Search.h"
#include "support/TestFiles.h"

namespace {

QByteArray entry(const QByteArray& date, const QByteArray& subject, const QByteArray& content,
                 const QByteArray& done, const QByteArray& remove = "0") {
  return "\"" + date + "\",\"" + subject + "\",\"" + content + "\"," + done + "," + remove + "\r\n";
}

// Entries whose subjects and contents differ in case, width and kana type. Read as five-field
// records past the marker, the first timer would look like an unfinished entry "abc" and the
// second like a finished one holding "ABC memo".
const QByteArray kDataFile =
    entry("2024/01/01", "ABC", "memo x", "0") +
    entry("2024/01/02", "\x82\x60\x82\x61\x82\x62", "", "1") +  // ＡＢＣ
    entry("2024/01/03", "xyz", "abc inside", "1", "1") +
    entry("2024/01/04", "\xB1\xB2\xB3", "\x82\xA0\x82\xA2\x82\xA4", "0", "1") +  // ｱｲｳ, あいう
    entry("2024/01/05", "\xB6\xDE\xAF\xBA\xB3", "\xCA\xDF\xDD", "\"0\"") +  // ｶﾞｯｺｳ, ﾊﾟﾝ
    entry("2024/01/06", "ab", "", "0") +
    entry("2024/01/07", "Ab", "", "2") +  // a damaged flag: neither finished nor unfinished
    kMarkerLine + "\"abc\",\"0\",\"0\",\"01\",\"01\",\"12\",\"00\",\"\"\r\n" +
    "\"ABC memo\",\"1\",\"\x93\xFA\",\"\",\"1\",\"07\",\"30\",\"\"\r\n";

// The days of the listed entries, in the order listed.
QStringList days(const SearchResult& result) {
  QStringList out;
  for (const ScheduleRecord& record : result.records) out << record.EntryDate.toText().right(2);
  return out;
}

}  // namespace

class SearchTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    writeBytes(dataFile(), kDataFile);
  }

  void lists_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    const QStringList none;
    QTest::newRow("subject ignores case and width") << 0 << "abc" << QStringList{"01", "02"};
    QTest::newRow("mixed-case text") << 0 << "bC" << QStringList{"01", "02"};
    QTest::newRow("a piece of the subject") << 0 << "ab" << QStringList{"01", "02", "06", "07"};
    QTest::newRow("subject inside the text is no match") << 0 << "abcd" << none;
    QTest::newRow("other subject") << 0 << "xyz" << QStringList{"03"};
    QTest::newRow("content, not subject") << 1 << "ABC" << QStringList{"03"};
    QTest::newRow("katakana finds half-width") << 0 << u"ア"_qs << QStringList{"04"};
    QTest::newRow("hiragana finds half-width") << 0 << u"あ"_qs << QStringList{"04"};
    QTest::newRow("katakana finds hiragana") << 1 << u"イウ"_qs << QStringList{"04"};
    QTest::newRow("half-width finds hiragana") << 1 << u"ｲ"_qs << QStringList{"04"};
    QTest::newRow("voiced mark joins its kana") << 0 << u"が"_qs << QStringList{"05"};
    QTest::newRow("whole half-width word") << 0 << u"ガッコウ"_qs << QStringList{"05"};
    QTest::newRow("unvoiced kana is another kana") << 0 << u"カ"_qs << none;
    QTest::newRow("semi-voiced mark joins its kana") << 1 << u"ぱん"_qs << QStringList{"05"};
    QTest::newRow("unvoiced against semi-voiced") << 1 << u"は"_qs << none;
    QTest::newRow("space is searched") << 1 << " " << QStringList{"01", "03"};
    QTest::newRow("full-width space") << 1 << u"\u3000"_qs << QStringList{"01", "03"};
    QTest::newRow("not finished ignores text") << 2 << "zzz" << QStringList{"01", "04", "05", "06"};
    QTest::newRow("not finished, empty text") << 2 << "" << QStringList{"01", "04", "05", "06"};
    QTest::newRow("finished, empty text") << 3 << "" << QStringList{"02", "03"};
    QTest::newRow("finished ignores text") << 3 << "abc" << QStringList{"02", "03"};
    QTest::newRow("unknown kind") << 4 << "abc" << none;
    QTest::newRow("negative kind") << -1 << "abc" << none;
  }

  // Timer records and the marker are never listed; a second search lists the same again.
  void lists() {
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QStringList, expected);

    for (int round = 0; round < 2; ++round) {
      const SearchResult result = searchSchedule(dataFile(), kind, text);
      QVERIFY2(result.status.isOk(), qPrintable(result.status.message()));
      QVERIFY(!result.refusal);
      QCOMPARE(days(result), expected);
    }
  }

  void listsWholeRecords() {
    const SearchResult result = searchSchedule(dataFile(), SearchByContent, u"ぱ"_qs);
    QCOMPARE(result.records.size(), 1);
    const ScheduleRecord& record = result.records[0];
    QCOMPARE(record.EntryDate.raw, QByteArray("2024/01/05"));
    QCOMPARE(record.Subject.raw, QByteArray("\xB6\xDE\xAF\xBA\xB3"));
    QCOMPARE(record.Content.raw, QByteArray("\xCA\xDF\xDD"));
    QCOMPARE(record.DoneFlag, Field::fromBytes("0", true));
    QCOMPARE(record.DeleteFlag, Field::fromBytes("0", false));
  }

  void emptyTextIsRefused_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("subject") << 0;
    QTest::newRow("content") << 1;
  }

  // Refused before the file is opened: a missing file gives no read failure.
  void emptyTextIsRefused() {
    QFETCH(int, kind);
    const SearchResult result = searchSchedule(dir_.filePath("missing.dat"), kind, QString());
    QVERIFY(result.status.isOk());
    QVERIFY(result.records.isEmpty());
    QVERIFY(result.refusal);
    QCOMPARE(result.refusal->text, u"空白はいけません"_qs);
    QCOMPARE(result.refusal->title, u"Yotenna"_qs);
    QCOMPARE(result.refusal->icon, MessageIcon::Warning);
  }

  void textBoxFollowsKind() {
    QCOMPARE(searchUsesText(0), true);
    QCOMPARE(searchUsesText(1), true);
    QCOMPARE(searchUsesText(2), false);
    QCOMPARE(searchUsesText(3), false);
  }

  void fileWithoutMarker_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");
    const QByteArray two =
        entry("2024/02/01", "abc", "", "0") + entry("2024/02/02", "xabcx", "", "1");
    QTest::newRow("ends with a line end") << two << QStringList{"01", "02"};
    QTest::newRow("last line unended") << two.chopped(2) << QStringList{"01", "02"};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
  }

  // Files the program did not write may lack the marker: the search ends at the file's end.
  void fileWithoutMarker() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    const QString path = dir_.filePath("nomarker.dat");
    writeBytes(path, bytes);

    const SearchResult result = searchSchedule(path, SearchBySubject, "ABC");
    QVERIFY2(result.status.isOk(), qPrintable(result.status.message()));
    QCOMPARE(days(result), expected);
  }

  void missingFileFails() {
    const SearchResult result = searchSchedule(dir_.filePath("missing.dat"), SearchFinished, "");
    QVERIFY(!result.status.isOk());
    QVERIFY(!result.status.message().isEmpty());
    QVERIFY(result.records.isEmpty());
    QVERIFY(!result.refusal);
  }

  void fold_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("full-width letters") << u"ＡＢＣｄ１"_qs << u"abcd1"_qs;
    QTest::newRow("half-width kana, voiced") << u"ｶﾞｯｺｳ"_qs << u"ガッコウ"_qs;
    QTest::newRow("half-width semi-voiced") << u"ﾊﾟｰﾃｨｰ"_qs << u"パーティー"_qs;
    QTest::newRow("hiragana") << u"ぁあゔゖ"_qs << u"ァアヴヶ"_qs;
    QTest::newRow("iteration marks") << u"ゝゞ"_qs << u"ヽヾ"_qs;
    QTest::newRow("kanji kept") << u"件名Ｘ"_qs << u"件名x"_qs;
  }

  void fold() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(foldForSearch(text), expected);
  }

  // An input method types 〜 (U+301C) where the file holds 0x8160, which reads back as ～
  // (U+FF5E); pasted text brings − ‖ — ¢ £ ¬ for the file's 0x817C 0x8161 0x815C 0x8191 0x8192
  // 0x81CA. Either form finds the other.
  void unicodeAndWindowsFormsFindEachOther_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("typed");
    QTest::newRow("wave dash") << QByteArray("10\x8E\x9E\x81\x60") << u"時〜"_qs;
    QTest::newRow("minus") << QByteArray(
                                  "a\x81\x7C"
                                  "b")
                           << u"a−b"_qs;
    QTest::newRow("double bar") << QByteArray("\x81\x61") << u"‖"_qs;
    QTest::newRow("dash") << QByteArray("\x81\x5C") << u"—"_qs;
    QTest::newRow("cent") << QByteArray("\x81\x91") << u"¢"_qs;
    QTest::newRow("pound") << QByteArray("\x81\x92") << u"£"_qs;
    QTest::newRow("not") << QByteArray("\x81\xCA") << u"¬"_qs;
    QTest::newRow("stored as typed, searched as read") << QByteArray("\x81\x60") << u"～"_qs;
  }
  void unicodeAndWindowsFormsFindEachOther() {
    QFETCH(QByteArray, stored);
    QFETCH(QString, typed);
    const QString path = dir_.filePath("forms.dat");
    writeBytes(path, entry("2024/03/01", stored, "", "0") + entry("2024/03/02", "x", "", "0") +
                         kMarkerLine);
    const SearchResult result = searchSchedule(path, SearchBySubject, typed);
    QVERIFY2(result.status.isOk(), qPrintable(result.status.message()));
    QCOMPARE(days(result), QStringList{"01"});
  }

  // Stored bytes as the search reads them character by character: a trail byte that looks
  // like ASCII belongs to its kanji, the two codes of one kanji are one character, a code may
  // fold to several characters, and bytes that are no character do not hide the text beside.
  void storedCodes_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("found");
    QTest::newRow("kanji at ED 40") << QByteArray("\xED\x40") << u"纊"_qs << true;
    QTest::newRow("same kanji at FA 5C") << QByteArray("\xFA\x5C") << u"纊"_qs << true;
    QTest::newRow("trail byte 5C is no backslash") << QByteArray("\x95\x5C") << u"\\"_qs << false;
    QTest::newRow("kanji with trail 5C") << QByteArray("\x95\x5C") << u"表"_qs << true;
    QTest::newRow("letters beside a kanji fold") << QByteArray(
                                                        "\x95\x5C"
                                                        "ABC")
                                                 << u"abc"_qs << true;
    QTest::newRow("one code, two kanji") << QByteArray("\x87\x7E") << u"平成"_qs << true;
    QTest::newRow("half-width beside full-width")
        << QByteArray("\x82\xA0\xB1") << u"アア"_qs << true;
    QTest::newRow("lead byte at the end") << QByteArray(
                                                 "\x82\xA0"
                                                 "ab\x82")
                                          << u"あab"_qs << true;
    QTest::newRow("lead byte with a bad trail") << QByteArray("\x82\x20xy") << u"xy"_qs << true;
    QTest::newRow("kana is not its neighbour") << QByteArray("\x82\xA0") << u"い"_qs << false;
  }
  void storedCodes() {
    QFETCH(QByteArray, stored);
    QFETCH(QString, typed);
    QFETCH(bool, found);
    const QString path = dir_.filePath("codes.dat");
    writeBytes(path, entry("2024/04/01", stored, "", "0") + entry("2024/04/02", "z", "", "0") +
                         kMarkerLine);
    const SearchResult result = searchSchedule(path, SearchBySubject, typed);
    QVERIFY2(result.status.isOk(), qPrintable(result.status.message()));
    QCOMPARE(days(result), found ? QStringList{"01"} : QStringList{});
  }

  // In a large file a text search visits only the records a byte search finds may hold the
  // text: it must still find each of these, wherever its bytes stand (behind a long run of
  // other records, across the reader's 256 KiB chunks, after lines that must be read field by
  // field) and whichever codes they are written in (a circled number folding to two digits, a
  // half-width kana with its voiced mark, the same text in the other field).
  void largeFilesFindWhatTheFieldsHold_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<QStringList>("expected");
    const QByteArray meeting42 = "\x89\xEF\x8B\x63\x34\x32";  // 会議42
    QTest::newRow("plain") << 0 << u"会議42"_qs << entry("2024/01/01", meeting42, "", "0")
                           << QStringList{"01"};
    QTest::newRow("a circled fourteen holds 4")
        << 0 << u"会議42"_qs << entry("2024/01/01", "\x89\xEF\x8B\x63\x87\x4D\x32", "", "0")
        << QStringList{};
    QTest::newRow("a circled fourteen before 2")
        << 0 << u"42"_qs << entry("2024/01/01", "\x87\x4D\x32", "", "0") << QStringList{"01"};
    QTest::newRow("full-width digits")
        << 0 << u"会議42"_qs << entry("2024/01/01", "\x89\xEF\x8B\x63\x82\x53\x82\x51", "", "0")
        << QStringList{"01"};
    QTest::newRow("half-width kana with its mark")
        << 0 << u"ガッ"_qs << entry("2024/01/01", "\xB6\xDE\xAF\xBA", "", "0") << QStringList{"01"};
    QTest::newRow("in the content, searched by subject")
        << 0 << u"会議42"_qs << entry("2024/01/01", "x", meeting42, "0") << QStringList{};
    QTest::newRow("in the subject, searched by content")
        << 1 << u"会議42"_qs << entry("2024/01/01", meeting42, "x", "0") << QStringList{};
    QTest::newRow("with a comma inside the quotes")
        << 0 << u"会議42"_qs << entry("2024/01/01", "a," + meeting42, "", "0") << QStringList{"01"};
    QTest::newRow("after a line read field by field")
        << 0 << u"会議42"_qs
        << "\"2024/01/03\", \"x\",\"\",0,0\r\n" + entry("2024/01/02", meeting42, "", "0") +
               entry("2024/01/01", meeting42, "", "0")
        << QStringList{"02", "01"};
  }
  void largeFilesFindWhatTheFieldsHold() {
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QByteArray, lines);
    QFETCH(QStringList, expected);
    // 40-byte lines of other texts; the one before the lines under test ends 3 bytes short of
    // the first chunk's end or lies well inside it.
    for (const int count : {0, 6553, 20000}) {
      QByteArray bytes;
      for (int i = 0; i < count; ++i) {
        bytes += entry("2024/02/01", QByteArray::number(i % 10).rightJustified(16, 'z'), "", "0");
      }
      const QString path = dir_.filePath("large.dat");
      writeBytes(path,
                 bytes + lines + kMarkerLine +
                     "\"\x89\xEF\x8B\x63\x34\x32\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"\r\n");
      const SearchResult result = searchSchedule(path, kind, text);
      QVERIFY2(result.status.isOk(), qPrintable(result.status.message()));
      QCOMPARE(days(result), expected);
    }
  }

  // A named pipe in the data file's place is refused at once, by the text search's look at the
  // file's start as by the scan: neither waits for a writer.
  void namedPipeIsRefusedAtOnce() {
    const QString pipe = dir_.filePath("pipe.dat");
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QElapsedTimer timer;
    timer.start();
    const SearchResult result = searchSchedule(pipe, SearchBySubject, u"会議"_qs);
    QVERIFY(!result.status.isOk());
    QVERIFY(result.records.isEmpty());
    QVERIFY(timer.elapsed() < 5000);
  }

 private:
  QString dataFile() const { return dir_.filePath("search.dat"); }

  QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(SearchTest)
#include "tst_search.moc"
