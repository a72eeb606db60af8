// Pictures named by timers: only regular files are read, without ever blocking on a pipe or a
// device; camera-sized photos are read at the size they are shown at; a file that claims to be
// enormous (a decompression bomb) is refused from its header.
#include <sys/stat.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include "alarm/widgets/AlarmController.h"
#include "alarm/widgets/AlarmPopup.h"
#include "support/FakePlatform.h"
#include "support/FakeViews.h"
#include "support/TestFiles.h"
#include "ui/PictureFile.h"

namespace {

quint32 crc32(const QByteArray& bytes) {
  quint32 crc = 0xFFFFFFFFu;
  for (const char byte : bytes) {
    crc ^= static_cast<quint8>(byte);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

QByteArray bigEndian(quint32 value) {
  QByteArray bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (24 - 8 * i));
  return bytes;
}

QByteArray pngChunk(const QByteArray& type, const QByteArray& data) {
  return bigEndian(static_cast<quint32>(data.size())) + type + data + bigEndian(crc32(type + data));
}

// A PNG that says it is width × height true-colour pixels and holds one row of black.
QByteArray pngHeaderOnly(quint32 width, quint32 height) {
  const QByteArray header =
      bigEndian(width) + bigEndian(height) + QByteArray("\x08\x02\x00\x00\x00", 5);
  const QByteArray row = qCompress(QByteArray(1 + 3 * qsizetype(width), '\0')).mid(4);
  return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", row) +
         pngChunk("IEND", {});
}

// The platform of the alarm tests, but reading pictures as the desktop does.
class PicturePlatform : public FakePlatform {
 public:
  bool loadPicture(const QString& path, const QSize& shownSize, QImage* picture,
                   QString* error) override {
    return readPictureFile(path, shownSize, picture, error);
  }
};

}  // namespace

class PictureFileTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;

 private slots:
  void emptyPathIsNoPicture() {
    QImage picture(1, 1, QImage::Format_RGB32);
    QString error;
    QVERIFY(readPictureFile(QString(), QSize(100, 100), &picture, &error));
    QVERIFY(picture.isNull());
  }

  void refused_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");
    const QString fifo = dir_.filePath("pipe.png");
    mkfifo(QFile::encodeName(fifo).constData(), 0600);
    const QString bomb = dir_.filePath("bomb.png");
    writeBytes(bomb, pngHeaderOnly(20000, 20000));
    const QString notPicture = dir_.filePath("notes.png");
    writeBytes(notPicture, "just text\r\n");
    QTest::newRow("named pipe") << fifo
                                << "画像ファイル「" + fifo +
                                       "」は普通のファイルではありません（名前付きパイプや装置"
                                       "などは画像として読み込めません）";
    QTest::newRow("/dev/zero") << "/dev/zero"
                               << "画像ファイル「/dev/zero」は普通のファイルではありません（名前"
                                  "付きパイプや装置などは画像として読み込めません）";
    QTest::newRow("folder") << dir_.path()
                            << "画像ファイル「" + dir_.path() +
                                   "」は普通のファイルではありません（名前付きパイプや装置など"
                                   "は画像として読み込めません）";
    QTest::newRow("missing") << dir_.filePath("gone.png")
                             << "画像ファイル「" + dir_.filePath("gone.png") + "」が見つかりません";
    QTest::newRow("decompression bomb")
        << bomb << "画像ファイル「" + bomb + "」は大きすぎて読み込めません（20000×20000 画素）";
    QTest::newRow("not a picture")
        << notPicture << "画像ファイル「" + notPicture + "」を読み込めません";
  }
  void refused() {
    QFETCH(QString, path);
    QFETCH(QString, message);
    QImage picture;
    QString error;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!readPictureFile(path, QSize(977, 613), &picture, &error));
    const qint64 took = timer.elapsed();
    qInfo("refused in %lld ms", took);
    QVERIFY2(took < 1000, qPrintable(QString::number(took)));
    QVERIFY(picture.isNull());
    QVERIFY2(error.startsWith(message), qPrintable(error));
  }

  void smallPictureComesAsItIs() {
    const QString path = dir_.filePath("small.png");
    QImage small(40, 30, QImage::Format_RGB32);
    small.fill(QColor(250, 200, 0));
    QVERIFY(small.save(path));
    QImage picture;
    QString error;
    QVERIFY(readPictureFile(path, QSize(977, 613), &picture, &error));
    QCOMPARE(picture.size(), QSize(40, 30));
    QCOMPARE(picture.pixelColor(20, 15), QColor(250, 200, 0));
  }

  // An 8000 × 8000 photo would need 256 MB decoded, twice Qt's own limit: it is decoded at the
  // pop-up's size instead, and shown. A named pipe as the picture of another timer of the same
  // minute holds nothing up.
  void cameraPhotoShownAndPipeRefusedAtTheAlarm() {
    const QString photo = dir_.filePath("photo.jpg");
    {
      QImage big(8000, 8000, QImage::Format_RGB888);
      big.fill(QColor(200, 0, 0));
      QPainter painter(&big);
      painter.fillRect(4000, 0, 4000, 8000, QColor(0, 0, 200));
      painter.end();
      QVERIFY(big.save(photo, "JPEG", 80));
    }
    const QString fifo = dir_.filePath("alarm-pipe.jpg");
    mkfifo(QFile::encodeName(fifo).constData(), 0600);

    PicturePlatform platform;
    SharedState state;
    AppContext context{state, platform, [] {}};
    FakeViews views;
    AlarmController alarms{context, views, {}};
    state.CurrentDataFile = dir_.filePath("data.dat");
    writeBytes(state.CurrentDataFile, kMarkerLine +
                                          "\"pipe\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"" +
                                          QFile::encodeName(fifo) +
                                          "\"\r\n\"photo\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"" +
                                          QFile::encodeName(photo) + "\"\r\n");
    platform.clock = QDateTime(QDate(2026, 12, 7), QTime(7, 29, 59));
    alarms.tick();
    platform.clock = QDateTime(QDate(2026, 12, 7), QTime(7, 30, 0));
    QElapsedTimer timer;
    timer.start();
    alarms.tick();
    qInfo("the alarm with an 8000x8000 photo and a pipe took %lld ms", timer.elapsed());

    // The pipe was reported (once, for the tick), the photo is on the screen.
    QCOMPARE(platform.messages.size(), 1);
    QVERIFY(alarms.popup()->isVisible());
    const auto* shown = alarms.popup()->findChild<QLabel*>("Image1");
    QCOMPARE(shown->pixmap().size(), QSize(977, 613));
    const QImage image = shown->pixmap().toImage();
    QVERIFY(qAbs(image.pixelColor(100, 300).red() - 200) < 20);
    QVERIFY(qAbs(image.pixelColor(900, 300).blue() - 200) < 20);
  }
};

QTEST_MAIN(PictureFileTest)
#include "tst_picture_file.moc"
