#include <QTest>

#include "ui/Contrast.h"

// The contrast figures are the accessibility guidelines' own examples and well-known pairs.
class ContrastTest : public QObject {
  Q_OBJECT

 private slots:
  void ratio_data() {
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("ground");
    QTest::addColumn<double>("expected");
    QTest::newRow("black on white") << QColor(0, 0, 0) << QColor(255, 255, 255) << 21.0;
    QTest::newRow("white on black, the same") << QColor(255, 255, 255) << QColor(0, 0, 0) << 21.0;
    QTest::newRow("same colour") << QColor(12, 200, 7) << QColor(12, 200, 7) << 1.0;
    QTest::newRow("#767676, the lightest grey for white")
        << QColor(0x76, 0x76, 0x76) << QColor(255, 255, 255) << 4.54;
    QTest::newRow("red on white") << QColor(255, 0, 0) << QColor(255, 255, 255) << 4.00;
    QTest::newRow("red on magenta: a Sunday") << QColor(255, 0, 0) << QColor(255, 0, 255) << 1.27;
    QTest::newRow("white on yellow: today in dark mode")
        << QColor(255, 255, 255) << QColor(255, 255, 0) << 1.07;
    QTest::newRow("blue on a dark grey") << QColor(0, 0, 255) << QColor(53, 53, 53) << 1.43;
  }
  void ratio() {
    QFETCH(QColor, text);
    QFETCH(QColor, ground);
    QFETCH(double, expected);
    QVERIFY2(qAbs(contrastRatio(text, ground) - expected) < 0.01,
             qPrintable(QString::number(contrastRatio(text, ground))));
  }

  void textOnFixedGrounds_data() {
    QTest::addColumn<QColor>("ground");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("white cell") << QColor(255, 255, 255) << QColor(0, 0, 0);
    QTest::newRow("yellow: today") << QColor(255, 255, 0) << QColor(0, 0, 0);
    QTest::newRow("cyan: Saturday") << QColor(0, 255, 255) << QColor(0, 0, 0);
    QTest::newRow("magenta: holiday") << QColor(255, 0, 255) << QColor(0, 0, 0);
    QTest::newRow("dark grey ground") << QColor(53, 53, 53) << QColor(255, 255, 255);
    QTest::newRow("pure blue") << QColor(0, 0, 255) << QColor(255, 255, 255);
  }
  void textOnFixedGrounds() {
    QFETCH(QColor, ground);
    QFETCH(QColor, expected);
    QCOMPARE(readableTextOn(ground), expected);
  }

  // A shade keeps its hue, reaches the ratio, and is the nearest that does: one step of
  // lightness back towards the colour no longer reads.
  void shades_data() {
    QTest::addColumn<QColor>("color");
    QTest::addColumn<QColor>("ground");
    QTest::addColumn<double>("ratio");
    QTest::addColumn<bool>("darker");
    QTest::newRow("Sunday red on magenta")
        << QColor(255, 0, 0) << QColor(255, 0, 255) << 4.5 << true;
    QTest::newRow("heading red on white")
        << QColor(255, 0, 0) << QColor(255, 255, 255) << 4.5 << true;
    QTest::newRow("heading red on GNOME's dark ground")
        << QColor(255, 0, 0) << QColor(0x24, 0x24, 0x24) << 4.5 << false;
    QTest::newRow("Saturday blue on Breeze Dark")
        << QColor(0, 0, 255) << QColor(0x2a, 0x2e, 0x32) << 4.5 << false;
    QTest::newRow("late red, large, on GNOME's dark ground")
        << QColor(192, 0, 0) << QColor(0x24, 0x24, 0x24) << 3.0 << false;
  }
  void shades() {
    QFETCH(QColor, color);
    QFETCH(QColor, ground);
    QFETCH(double, ratio);
    QFETCH(bool, darker);
    const QColor shade = shadeReaching(color, ground, ratio);
    QVERIFY2(contrastRatio(shade, ground) >= ratio, qPrintable(shade.name()));
    QCOMPARE(shade.toHsl().hslHue(), color.toHsl().hslHue());
    QCOMPARE(shade.toHsl().lightness() < color.toHsl().lightness(), darker);
    const int back = darker ? 1 : -1;
    const QColor nearer = QColor::fromHsl(color.toHsl().hslHue(), color.toHsl().hslSaturation(),
                                          shade.toHsl().lightness() + back);
    QVERIFY(contrastRatio(nearer, ground) < ratio);
  }

  void readingColourIsKept_data() {
    QTest::addColumn<QColor>("color");
    QTest::addColumn<QColor>("ground");
    QTest::newRow("blue on white") << QColor(0, 0, 255) << QColor(255, 255, 255);
    QTest::newRow("blue on cyan: Saturday") << QColor(0, 0, 255) << QColor(0, 255, 255);
    QTest::newRow("black on yellow") << QColor(0, 0, 0) << QColor(255, 255, 0);
  }
  void readingColourIsKept() {
    QFETCH(QColor, color);
    QFETCH(QColor, ground);
    QCOMPARE(shadeReaching(color, ground), color);
  }

  // A grey on its own ground: only the darker side reaches 4.5:1 on a middle grey.
  void greyOnItsOwnGroundTurnsDark() {
    const QColor ground(118, 118, 118);
    const QColor shade = shadeReaching(QColor(118, 118, 118), ground, 4.5);
    QVERIFY(contrastRatio(shade, ground) >= 4.5);
    QVERIFY(shade.lightness() < 118);
  }

  void fixedGroundSetsEveryTextRole() {
    QWidget widget;
    QPalette dark;
    dark.setColor(QPalette::WindowText, QColor(238, 238, 238));
    dark.setColor(QPalette::Text, QColor(238, 238, 238));
    widget.setPalette(dark);
    setFixedGround(&widget, QColor(255, 255, 0));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
      QCOMPARE(widget.palette().color(QPalette::Active, role), QColor(0, 0, 0));
      QCOMPARE(widget.palette().color(QPalette::Inactive, role), QColor(0, 0, 0));
    }
    QCOMPARE(widget.palette().color(QPalette::Base), QColor(255, 255, 0));
  }
};

QTEST_MAIN(ContrastTest)
#include "tst_contrast.moc"
