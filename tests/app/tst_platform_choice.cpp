#include <QHash>
#include <QTest>

#include "app/QtPlatformChoice.h"

// Which Qt platform the program asks for, by the session it starts in.
class PlatformChoiceTest : public QObject {
  Q_OBJECT

 private slots:
  void choice_data() {
    QTest::addColumn<QString>("session");
    QTest::addColumn<QString>("desktop");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("chosen");  // QT_QPA_PLATFORM as the user set it
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("GNOME on Wayland") << "wayland"
                                      << "GNOME"
                                      << ":0"
                                      << "" << QByteArray("xcb;wayland");
    QTest::newRow("Ubuntu's GNOME") << "wayland"
                                    << "ubuntu:GNOME"
                                    << ":1"
                                    << "" << QByteArray("xcb;wayland");
    QTest::newRow("GNOME Classic") << "wayland"
                                   << "GNOME-Classic:GNOME"
                                   << ":0"
                                   << "" << QByteArray("xcb;wayland");
    QTest::newRow("lower case") << "Wayland"
                                << "gnome"
                                << ":0"
                                << "" << QByteArray("xcb;wayland");
    QTest::newRow("the user's choice stands") << "wayland"
                                              << "GNOME"
                                              << ":0"
                                              << "wayland" << QByteArray();
    QTest::newRow("the user's xcb stands too") << "wayland"
                                               << "GNOME"
                                               << ":0"
                                               << "xcb" << QByteArray();
    QTest::newRow("no Xwayland: Wayland it is") << "wayland"
                                                << "GNOME"
                                                << ""
                                                << "" << QByteArray();
    QTest::newRow("KDE keeps windows on top on Wayland") << "wayland"
                                                         << "KDE"
                                                         << ":0"
                                                         << "" << QByteArray();
    QTest::newRow("a desktop named like GNOME is not GNOME") << "wayland"
                                                             << "GNOMEish"
                                                             << ":0"
                                                             << "" << QByteArray();
    QTest::newRow("GNOME on X11") << "x11"
                                  << "GNOME"
                                  << ":0"
                                  << "" << QByteArray();
    QTest::newRow("no session type") << ""
                                     << "GNOME"
                                     << ":0"
                                     << "" << QByteArray();
  }
  void choice() {
    QFETCH(QString, session);
    QFETCH(QString, desktop);
    QFETCH(QString, display);
    QFETCH(QString, chosen);
    QFETCH(QByteArray, expected);
    const QHash<QByteArray, QByteArray> environment{{"XDG_SESSION_TYPE", session.toUtf8()},
                                                    {"XDG_CURRENT_DESKTOP", desktop.toUtf8()},
                                                    {"DISPLAY", display.toUtf8()},
                                                    {"QT_QPA_PLATFORM", chosen.toUtf8()}};
    QCOMPARE(chosenQtPlatform([&](const char* name) { return environment.value(name); }), expected);
  }
};

QTEST_MAIN(PlatformChoiceTest)
#include "tst_platform_choice.moc"
