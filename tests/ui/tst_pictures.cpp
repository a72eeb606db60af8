// Every picture has a drawing for each screen density the program meets, so none is shown
// blown up from a smaller one.
#include <QTest>

#include "ui/Pictures.h"

class PicturesTest : public QObject {
  Q_OBJECT

 private slots:
  void toolbarPicturesAtEachScale_data() {
    QTest::addColumn<int>("picture");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QString>("drawing");
    for (int picture = 1; picture <= 14; ++picture) {
      const QString stem = QStringLiteral(":/images/toolbar/%1").arg(picture, 2, 10, QChar('0'));
      for (const auto& [scale, suffix] :
           {std::pair{1.0, ".png"}, std::pair{1.5, "@1.5x.png"}, std::pair{2.0, "@2x.png"}}) {
        QTest::addRow("%d at %.1f", picture, scale) << picture << scale << stem + suffix;
      }
    }
  }
  void toolbarPicturesAtEachScale() {
    QFETCH(int, picture);
    QFETCH(double, scale);
    QFETCH(QString, drawing);
    QImage expected = QImage(drawing).convertToFormat(QImage::Format_RGB888);
    expected.setDevicePixelRatio(1.0);  // Qt reads "@2x" in a name as a ratio of 2
    QCOMPARE(expected.size(), QSize(16, 16) * scale);
    const QPixmap shown = toolbarPicture(picture).pixmap(QSize(16, 16), scale);
    QCOMPARE(shown.size(), expected.size());
    QImage pixels = shown.toImage().convertToFormat(QImage::Format_RGB888);
    pixels.setDevicePixelRatio(1.0);
    QCOMPARE(pixels, expected);
  }

  void startupPictureAtEachScale_data() {
    QTest::addColumn<double>("scale");
    QTest::addColumn<QSize>("pixels");
    QTest::newRow("1") << 1.0 << QSize(420, 334);
    QTest::newRow("1.5") << 1.5 << QSize(840, 668);
    QTest::newRow("2") << 2.0 << QSize(840, 668);
  }
  void startupPictureAtEachScale() {
    QFETCH(double, scale);
    QFETCH(QSize, pixels);
    const QPixmap picture = startupPicture(scale);
    QCOMPARE(picture.size(), pixels);
    // The same picture in logical pixels: 420 x 334.
    QCOMPARE(picture.deviceIndependentSize().toSize(), QSize(420, 334));
  }
};

QTEST_MAIN(PicturesTest)
#include "tst_pictures.moc"
