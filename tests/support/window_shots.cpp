// Shows each window of the program with sample data and saves a screenshot of the whole
// (virtual) screen for each. Run through scripts/screenshots.sh, under Xvfb.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>
#include <QWindow>

#include "alarm/widgets/AlarmPopup.h"
#include "alarm/widgets/DesktopNotifications.h"
#include "app/DataFileCommands.h"
#include "app/DesktopIntegration.h"
#include "app/MainWindow.h"
#include "app/StartupWindow.h"
#include "app/StatusIcon.h"
#include "calendar/Koyomi.h"
#include "calendar/widgets/DateDialog.h"
#include "calendar/widgets/HolidayCalendar.h"
#include "dialogs/widgets/SearchWindow.h"
#include "dialogs/widgets/UsageHelpWindow.h"
#include "dialogs/widgets/VersionWindow.h"
#include "editor/widgets/EditorWindow.h"
#include "exchange/IcalImport.h"
#include "exchange/ImportApply.h"
#include "exchange/widgets/ImportConfirmDialog.h"
#include "exchange/widgets/SyncSetupDialog.h"
#include "store/Cp932.h"
#include "support/FakePlatform.h"
#include "support/TestFiles.h"
#include "ui/FileDialogs.h"
#include "ui/UiSupport.h"

namespace {

void settle(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

// Takes a picture of the whole screen. Under Xvfb a window that overlaps another one is
// captured black, so the windows listed are painted over the capture from their own
// rendering, at their place on the screen.
void shoot(const QString& folder, const QString& name, const QList<QWidget*>& onTop = {}) {
  // The first window of a run may take a while to be mapped (the window manager starts too).
  for (int waited = 0; waited < 5000; waited += 100) {
    bool exposed = true;
    for (const QWidget* window : QApplication::topLevelWidgets()) {
      if (window->isVisible() && (!window->windowHandle() || !window->windowHandle()->isExposed()))
        exposed = false;
    }
    if (exposed) break;
    settle(100);
  }
  settle(800);
  const QString target = QDir(folder).filePath(name + ".png");
  QProcess::execute("sh", {"-c", "xwd -root -silent | convert xwd:- '" + target + "'"});
  for (QWidget* window : onTop) {
    const QString overlay = QDir(folder).filePath(name + "-overlay.png");
    window->grab().save(overlay);
    // The capture is in device pixels, the window's place in logical ones.
    const QPoint place = window->mapToGlobal(QPoint(0, 0)) * window->devicePixelRatioF();
    QProcess::execute(
        "convert", {target, overlay, "-geometry",
                    QStringLiteral("+%1+%2").arg(place.x()).arg(place.y()), "-composite", target});
    QFile::remove(overlay);
  }
}

}  // namespace

// A click on the date picker's arrow drops its calendar down.
QCalendarWidget* dropDownCalendar(QDateEdit* picker) {
  const QPointF arrow(picker->width() - 6, picker->height() / 2);
  QMouseEvent press(QEvent::MouseButtonPress, arrow, picker->mapToGlobal(arrow), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(picker, &press);
  return picker->calendarWidget();
}

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QStandardPaths::setTestModeEnabled(true);  // the file dialog keeps its state in Qt's settings
  installJapaneseLanguage(app);
  QApplication::setWindowIcon(applicationIcon());
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shots");
  QDir().mkpath(folder);

  // The application icon at 16, 48 and 256 px as the windows and the desktop get it, on a
  // light and a dark ground, the small ones also magnified without smoothing.
  {
    const QIcon icon = applicationIcon();
    QImage sheet(16 + 16 + 48 + 256 + 4 * 16 + 4 * 48 + 6 * 16, 2 * (256 + 32),
                 QImage::Format_RGB32);
    sheet.fill(QColor(236, 240, 244));
    QPainter p(&sheet);
    p.fillRect(0, 256 + 32, sheet.width(), 256 + 32, QColor(48, 52, 60));
    for (int ground = 0; ground < 2; ++ground) {
      const int base = ground * (256 + 32) + 16 + 256;
      int x = 16;
      for (const int size : {16, 48, 256}) {
        p.drawPixmap(x, base - size, icon.pixmap(size, size));
        x += size + 16;
      }
      for (const int size : {16, 48}) {
        p.drawImage(QRect(x, base - 4 * size, 4 * size, 4 * size),
                    icon.pixmap(size, size).toImage());
        x += 4 * size + 16;
      }
    }
    p.end();
    sheet.save(QDir(folder).filePath("app-icon.png"));
  }

  FakePlatform platform;
  // Half a minute past the sample daily timer, so it does not go off over the pictures.
  platform.clock = QDateTime(QDate(2001, 5, 3), QTime(7, 30, 30));
  SharedState state;
  AppContext context{state, platform, [] {}};

  auto* startup = new StartupWindow(context);
  startup->load();
  startup->show();
  shoot(folder, "form1-startup");
  delete startup;

  // The open dialog: Qt's own, as Xvfb has no desktop to offer its dialog.
  {
    QTemporaryDir files;
    QDir(files.path()).mkdir(QStringLiteral("写真"));
    for (const char* name : {"予定.dat", "仕事.dat", "メモ.txt"}) {
      writeBytes(QDir(files.path()).filePath(QString::fromUtf8(name)), kMarkerLine);
    }
    QTimer::singleShot(0, [&folder] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      dialog->setViewMode(QFileDialog::Detail);
      shoot(folder, "form1-open-dialog", {dialog});
      dialog->reject();
    });
    runFileDialog(nullptr,
                  {QStringLiteral("開く"), QDir(files.path()).filePath(QStringLiteral("予定.dat")),
                   dataFileFilters(), false},
                  FileDialogMode::Open);
  }

  // A data file with entries on several days of May 2001 (two on the 15th) and four timers.
  QTemporaryDir dir;
  state.CurrentDataFile = dir.filePath("sample.dat");
  auto cp932 = [](const char* utf8) {
    return encodeCp932(QString::fromUtf8(utf8)).value_or(QByteArray());
  };
  auto entry = [&](const char* date, const char* subject, const char* content, int done) {
    return "\"" + QByteArray(date) + "\",\"" + cp932(subject) + "\",\"" + cp932(content) + "\"," +
           QByteArray::number(done) + ",0\r\n";
  };
  writeBytes(
      state.CurrentDataFile,
      entry("2001/05/25", "歯医者", "午後3時", 0) + entry("2001/05/20", "買い物", "", 0) +
          entry("2001/05/15", "会議", "第2会議室", 0) +
          entry("2001/05/15", "病院の予約を確認する", "", 0) +
          entry("2001/05/10", "レポート提出", "", 1) +
          entry("2001/05/03", "家族で公園", "お弁当を持って", 0) +
          entry("2001/05/03", "日記を書く", "", 1) + entry("2001/05/01", "月初め", "", 0) +
          kMarkerLine + "\"" + cp932("朝の散歩") +
          "\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"\r\n\"" + cp932("ゴミ出し") + "\",\"1\",\"" +
          cp932("月") + "\",\"\",\"\",\"08\",\"00\",\"/home/user/gomi.png\"\r\n\"" +
          cp932("病院に電話する") + "\",\"0\",\"2001\",\"05\",\"25\",\"09\",\"00\",\"/home/user/" +
          cp932("画像/病院.jpg") + "\"\r\n\"" + cp932("薬を飲む") +
          "\",\"2\",\"\",\"\",\"\",\"21\",\"00\",\"\"\r\n");
  state.SelYear = 2001;
  state.SelMonth = 5;
  state.SelDay = 3;
  state.MonthDays[0] = 1;
  MainWindow main(context);
  main.show();
  shoot(folder, "form2-main");
  // The month grid with the keyboard's focus on the selected day.
  main.activateWindow();
  if (auto* cell = main.findChild<QWidget*>(QStringLiteral("List1(2)"))) cell->setFocus();
  shoot(folder, "form2-grid-focus");
  // The toolbar's buttons in device pixels, four times magnified.
  {
    const auto* toolbar = main.findChild<QToolBar*>(QStringLiteral("Toolbar1"));
    QRect buttons;
    for (const QWidget* button : toolbar->findChildren<QWidget*>()) {
      if (button->isVisible()) buttons |= button->geometry();
    }
    const QImage zoom = const_cast<QToolBar*>(toolbar)->grab(buttons).toImage();
    zoom.scaled(zoom.size() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation)
        .save(QDir(folder).filePath(QStringLiteral("form2-toolbar-zoom.png")));
  }
  main.setDisplayMode(0);
  shoot(folder, "form2-compact");
  main.setDisplayMode(2);
  shoot(folder, "form2-full");
  main.setDisplayMode(1);

  // The status icon's menu, opened beside the icon where the screen has a tray.
  {
    StatusIcon status(context, main);
    status.trayIcon()->show();
    settle(1500);
    const QRect iconPlace = status.trayIcon()->geometry();
    const QPoint at = iconPlace.isValid() ? iconPlace.bottomLeft() : QPoint(900, 40);
    status.menu()->popup(at);
    shoot(folder, "tray-menu", {status.menu()});
    status.menu()->hide();
  }

  // The editor: a new entry, an opened entry, and opened timers of each kind.
  platform.pictures.insert(QStringLiteral("/home/user/gomi.png"),
                           QImage(QStringLiteral(":/images/startup.png")));
  {
    EditorWindow editor(context, main, &main);
    editor.prepareNewEntry(QStringLiteral("2001/05/03(木)の予定"));
    editor.show();
    shoot(folder, "form5-editor-new", {&editor});
  }
  {
    EditorWindow editor(context, main, &main);
    editor.openScheduleRow(QStringLiteral("2001/05/03(木)の予定"),
                           {QStringLiteral("家族で公園"), QStringLiteral("お弁当を持って"),
                            QStringLiteral("まだ"), QStringLiteral("残る")});
    editor.show();
    shoot(folder, "form5-editor-entry", {&editor});
  }
  const QList<std::pair<const char*, QStringList>> timers{
      {"form5-editor-timer-once",
       {QStringLiteral("歯医者の予約"), QStringLiteral("一回"), QStringLiteral("2001/05/25(金)"),
        QStringLiteral("14:30"), QStringLiteral("/home/user/gomi.png")}},
      {"form5-editor-timer-weekly",
       {QStringLiteral("ゴミ出し"), QStringLiteral("毎週"), QStringLiteral("月曜日"),
        QStringLiteral("08:00"), QStringLiteral("/home/user/gomi.png")}},
      {"form5-editor-timer-daily",
       {QStringLiteral("朝の散歩"), QStringLiteral("毎日"), QString(), QStringLiteral("07:30"),
        QString()}}};
  for (const auto& [name, row] : timers) {
    EditorWindow editor(context, main, &main);
    editor.openTimerRow(row);
    editor.show();
    shoot(folder, QLatin1String(name), {&editor});
  }
  {
    DateDialog dialog(context, main, &main);
    dialog.show();
    shoot(folder, "form3-date", {&dialog});
  }

  // The search and the help-menu windows, over the main window as the user sees them.
  {
    SearchWindow search(context, main, &main);
    search.findChild<QAbstractButton*>("Option1(2)")->click();
    search.startSearch();
    search.findChild<QAbstractButton*>("Option1(0)")->click();
    search.show();
    shoot(folder, "form6-search", {&search});
  }
  {
    UsageHelpWindow help(context, main, &main);
    help.show();
    shoot(folder, "form7-usage", {&help});
  }
  {
    VersionWindow about(context, main, &main);
    about.show();
    shoot(folder, "frmabout-version", {&about});
  }
  // The confirmation of an iCalendar import: counts, what changes on the way, the range of
  // recurring events, and what cannot be imported with the reason.
  {
    const QByteArray calendar =
        QStringLiteral(
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//sample//sample//JA\r\n"
            "BEGIN:VEVENT\r\nUID:1\r\nDTSTART;VALUE=DATE:20010505\r\nSUMMARY:こどもの日🎏\r\n"
            "END:VEVENT\r\n"
            "BEGIN:VEVENT\r\nUID:2\r\nDTSTART:20010507T080000\r\nRRULE:FREQ=WEEKLY;BYDAY=MO,TH\r\n"
            "SUMMARY:燃えるゴミの日\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:x\r\n"
            "TRIGGER:-PT1H\r\nEND:VALARM\r\nEND:VEVENT\r\n"
            "BEGIN:VEVENT\r\nUID:3\r\nDTSTART:20010515T100000\r\nSUMMARY:歯医者\r\n"
            "DESCRIPTION:駅前の歯科\r\nBEGIN:VALARM\r\nACTION:EMAIL\r\nDESCRIPTION:x\r\n"
            "SUMMARY:x\r\nATTENDEE:mailto:a@example.com\r\nTRIGGER:-PT30M\r\nEND:VALARM\r\n"
            "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:x\r\nTRIGGER:-PT30M\r\nEND:VALARM\r\n"
            "END:VEVENT\r\n"
            "BEGIN:VEVENT\r\nUID:4\r\nDTSTART;VALUE=DATE:20010520\r\n"
            "SUMMARY:町内会の春の清掃活動と懇親会（雨天の場合は翌週）\r\nEND:VEVENT\r\n"
            "BEGIN:VEVENT\r\nUID:5\r\nDTSTART:20010525T190000\r\nSTATUS:CANCELLED\r\n"
            "SUMMARY:同窓会\r\nEND:VEVENT\r\n"
            "BEGIN:VTODO\r\nUID:6\r\nSUMMARY:年賀状の住所録を直す\r\nEND:VTODO\r\n"
            "END:VCALENDAR\r\n")
            .toUtf8();
    auto recount = [&](const QDate& first, const QDate& last) {
      const ImportPlan plan = planImport(
          calendar, ImportOptions{platform.clock, QTimeZone::systemTimeZone(), first, last});
      return summarizeImport(plan, previewImport(state.CurrentDataFile, plan));
    };
    ImportConfirmDialog confirm(QStringLiteral("家族の予定.ics"), QDate(2001, 5, 3),
                                QDate(2002, 5, 3), recount, &main);
    confirm.show();
    shoot(folder, "import-confirm", {&confirm});
  }

  // The sync: its setup window with the last sync's error, the error a 今すぐ同期 shows, and
  // the message of a conflict. The settings go to folders of the run's own.
  {
    QTemporaryDir syncHome;
    qputenv("XDG_CONFIG_HOME", syncHome.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", syncHome.filePath(QStringLiteral("data")).toLocal8Bit());
    const QString dataFile = state.CurrentDataFile;
    (void)writeSyncSettings(syncPathsFor(dataFile),
                            SyncSettings{QStringLiteral("http://cal.example.org/remote.php/dav/"),
                                         QStringLiteral("hanako"), QStringLiteral("personal")});
    const QString error = QStringLiteral(
        "サーバー cal.example.org がユーザー名「hanako」とパスワードを受け付けません。"
        "ユーザー名とパスワードを確かめてください。データファイルもサーバーも変えていません。");
    SyncSetupDialog setup(context, dataFile,
                          QStringLiteral("最後の同期: 2001/05/03 07:30（失敗）\n") + error, &main);
    setup.show();
    shoot(folder, "sync-setup", {&setup});
    setup.hide();

    QMessageBox failed(QMessageBox::Warning, QStringLiteral("同期"),
                       QStringLiteral("同期できませんでした。\n") + error, QMessageBox::Ok, &main);
    failed.show();
    shoot(folder, "sync-error", {&failed});
    failed.hide();

    QMessageBox conflict(QMessageBox::Warning, QStringLiteral("同期"),
                         conflictMessage({QStringLiteral("「忘年会」（2001/12/20）")}),
                         QMessageBox::Ok, &main);
    conflict.show();
    shoot(folder, "sync-conflict", {&conflict});
    conflict.hide();
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
  }

  // The alarm pop-up: on time and late with a picture, a 16-character title, no picture.
  struct Alarm {
    const char* name;
    QString title;
    bool picture;
    QString time;
    bool late;
  };
  const QList<Alarm> alarms{
      {"form4-alarm", QStringLiteral("朝の散歩"), true, QStringLiteral("07:30"), false},
      {"form4-alarm-late", QStringLiteral("朝の散歩"), true,
       QStringLiteral("12/06 23:30 の予定です"), true},
      {"form4-alarm-long-title", QStringLiteral("月曜日は燃えるゴミの日です朝八時"), true,
       QStringLiteral("08:00"), false},
      {"form4-alarm-no-picture", QStringLiteral("病院に電話する"), false, QStringLiteral("09:16"),
       false},
      {"form4-alarm-no-picture-late", QStringLiteral("病院に電話する"), false,
       QStringLiteral("09:16 の予定です"), true}};
  for (const Alarm& alarm : alarms) {
    AlarmPopup popup(context, main);
    popup.load();
    popup.setTitle(alarm.title);
    popup.setDueTime(alarm.time, alarm.late);
    popup.setPicture(alarm.picture ? QImage(QStringLiteral(":/images/startup.png")) : QImage());
    popup.present();
    shoot(folder, QLatin1String(alarm.name), {&popup});
  }

  // Holidays: the silver week of 2026 (敬老の日, 国民の休日, 秋分の日) and golden week with its
  // substitute day, then the date dialog's calendar on today's month and on September.
  // The main window on a given day.
  const auto shootDay = [&](const char* name, const QDate& day) {
    state.SelYear = day.year();
    state.SelMonth = day.month();
    state.SelDay = day.day();
    main.refreshAllViews();
    shoot(folder, QLatin1String(name));
  };
  shootDay("form2-holidays-2026-09", QDate(2026, 9, 22));
  shootDay("form2-holidays-2026-05", QDate(2026, 5, 6));
  {
    DateDialog dialog(context, main, &main);
    dialog.picker()->setDate(QDate(2026, 12, 8));
    dialog.show();
    settle(200);
    QCalendarWidget* calendar = dropDownCalendar(dialog.picker());
    shoot(folder, "form3-date-calendar", {&dialog, calendar->window()});
    calendar->setCurrentPage(2026, 9);
    shoot(folder, "form3-date-calendar-2026-09", {&dialog, calendar->window()});
  }
  // The Japanese calendar's marks, all three chosen: March 2026 (春分の日 and 春分 on the 20th)
  // and December 2026 (a new moon on the 9th, 冬至 on the 22nd); the date dialog's tooltip.
  context.shownMarks = koyomi::Rokuyo | koyomi::LunisolarAndEra | koyomi::Seasons;
  shootDay("form2-marks-2026-03", QDate(2026, 3, 20));
  shootDay("form2-marks-2026-12", QDate(2026, 12, 9));
  {
    DateDialog dialog(context, main, &main);
    dialog.picker()->setDate(QDate(2026, 9, 23));
    dialog.show();
    settle(200);
    auto* calendar = qobject_cast<HolidayCalendar*>(dropDownCalendar(dialog.picker()));
    settle(300);
    auto* view =
        calendar->findChild<QAbstractItemView*>(QStringLiteral("qt_calendar_calendarview"));
    QList<QWidget*> onTop{&dialog, calendar->window()};
    for (int row = 0; view && row < view->model()->rowCount(); ++row) {
      for (int column = 0; column < view->model()->columnCount(); ++column) {
        const QPoint center = view->visualRect(view->model()->index(row, column)).center();
        const QString tip = calendar->toolTipAt(center);
        if (!tip.startsWith(QStringLiteral("秋分の日"))) continue;
        QToolTip::showText(view->viewport()->mapToGlobal(center), tip, view->viewport());
        settle(300);
        for (QWidget* window : QApplication::topLevelWidgets()) {
          if (window->inherits("QTipLabel") && window->isVisible()) onTop.append(window);
        }
      }
    }
    shoot(folder, "form3-date-calendar-marks", onTop);
  }
  context.shownMarks = 0;
  // Two alarms as the desktop's notification server shows them, when one runs (the script
  // starts dunst on a session bus of its own).
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (bus.isConnected() &&
      bus.interface()->isServiceRegistered(QLatin1String(DesktopNotifications::kService))) {
    DesktopNotifications notes(bus);
    notes.show(1, QStringLiteral("病院に電話する"), QStringLiteral("09:16"));
    notes.show(2, QStringLiteral("朝の散歩"), QStringLiteral("12/06 23:30 の予定です"));
    shoot(folder, "notification");
  }
  return 0;
}
