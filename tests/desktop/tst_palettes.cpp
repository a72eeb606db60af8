// Every text of every window against the colour it is drawn on, under the light palette, a
// dark one like KDE's Breeze Dark, a high-contrast one, and the palette the platform theme
// gives (GNOME's dark style when run with the GTK theme and GTK_THEME=Adwaita:dark, as
// `make test-desktop` does). At least 4.5:1, 3:1 for text of 18 pt and more. Prints the lowest
// contrast found under each palette.
#include <QAbstractButton>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTreeWidget>

#include "alarm/widgets/AlarmPopup.h"
#include "app/MainWindow.h"
#include "app/StartupWindow.h"
#include "calendar/widgets/DateDialog.h"
#include "dialogs/widgets/SearchWindow.h"
#include "dialogs/widgets/UsageHelpWindow.h"
#include "dialogs/widgets/VersionWindow.h"
#include "editor/widgets/EditorWindow.h"
#include "store/Cp932.h"
#include "support/FakePlatform.h"
#include "support/TestFiles.h"
#include "ui/Contrast.h"
#include "ui/UiSupport.h"

namespace {

QPalette breezeDark() {
  QPalette p;
  const QColor window(0x2a, 0x2e, 0x32), base(0x1b, 0x1e, 0x20), button(0x31, 0x36, 0x3b);
  const QColor text(0xfc, 0xfc, 0xfc);
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
    p.setColor(g, QPalette::Window, window);
    p.setColor(g, QPalette::WindowText, text);
    p.setColor(g, QPalette::Base, base);
    p.setColor(g, QPalette::AlternateBase, QColor(0x23, 0x26, 0x29));
    p.setColor(g, QPalette::Text, text);
    p.setColor(g, QPalette::Button, button);
    p.setColor(g, QPalette::ButtonText, text);
    p.setColor(g, QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    p.setColor(g, QPalette::HighlightedText, text);
    p.setColor(g, QPalette::ToolTipBase, button);
    p.setColor(g, QPalette::ToolTipText, text);
    p.setColor(g, QPalette::Link, QColor(0x1d, 0x99, 0xf3));
    p.setColor(g, QPalette::PlaceholderText, QColor(0xa1, 0xa9, 0xb1));
    p.setColor(g, QPalette::Light, QColor(0x40, 0x46, 0x4c));
    p.setColor(g, QPalette::Midlight, QColor(0x36, 0x3b, 0x40));
    p.setColor(g, QPalette::Mid, QColor(0x20, 0x23, 0x26));
    p.setColor(g, QPalette::Dark, QColor(0x19, 0x1b, 0x1d));
    p.setColor(g, QPalette::Shadow, QColor(0x0e, 0x0f, 0x10));
  }
  return p;
}

QPalette highContrast() {
  QPalette p(QColor(0, 0, 0));
  const QColor white(255, 255, 255), black(0, 0, 0);
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
    for (QPalette::ColorRole r : {QPalette::Window, QPalette::Base, QPalette::Button,
                                  QPalette::AlternateBase, QPalette::ToolTipBase}) {
      p.setColor(g, r, black);
    }
    for (QPalette::ColorRole r : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                                  QPalette::ToolTipText, QPalette::BrightText}) {
      p.setColor(g, r, white);
    }
    p.setColor(g, QPalette::Highlight, QColor(255, 255, 0));
    p.setColor(g, QPalette::HighlightedText, black);
    p.setColor(g, QPalette::Link, QColor(255, 255, 0));
    p.setColor(g, QPalette::PlaceholderText, QColor(200, 200, 200));
  }
  return p;
}

// The colour behind a widget: its own when it fills its background, else that of a sibling
// beneath it that covers it and fills its own, else its parent's. Invalid over a picture, whose
// colours are the user's.
QColor groundOf(const QWidget* widget) {
  for (const QWidget* w = widget; w; w = w->parentWidget()) {
    if (w->autoFillBackground() || w->isWindow()) return w->palette().color(w->backgroundRole());
    const QWidget* parent = w->parentWidget();
    if (!parent) break;
    if (auto* area = qobject_cast<const QAbstractScrollArea*>(parent->parentWidget());
        area && area->viewport() == parent) {
      return area->palette().color(QPalette::Base);
    }
    const QObjectList& siblings = parent->children();
    const qsizetype self = siblings.indexOf(const_cast<QWidget*>(w));
    for (qsizetype i = self - 1; i >= 0; --i) {
      const auto* below = qobject_cast<const QWidget*>(siblings[i]);
      if (!below || below->isWindow() || !below->isVisible() ||
          !below->geometry().contains(w->geometry().center())) {
        continue;
      }
      if (auto* label = qobject_cast<const QLabel*>(below); label && !label->pixmap().isNull()) {
        return QColor();
      }
      if (below->autoFillBackground()) return below->palette().color(below->backgroundRole());
    }
  }
  return widget->palette().color(QPalette::Window);
}

bool isLarge(const QFont& font) {
  const double points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 0.75;
  return points >= 18;
}

struct Findings {
  QStringList problems;
  double lowest = 21;
  QString lowestWhere;

  void judge(const QString& where, const QColor& text, const QColor& ground, bool large) {
    if (!ground.isValid()) return;  // over a picture
    const double ratio = contrastRatio(text, ground);
    const double needed = large ? kLargeTextContrast : kTextContrast;
    if (lowestWhere.isEmpty() || ratio < lowest) {
      lowest = ratio;
      lowestWhere = where + (large ? " (18 pt or more)" : "");
    }
    if (ratio + 1e-9 < needed) {
      problems << QStringLiteral("%1: %2 on %3 is %4:1, needs %5:1")
                      .arg(where, text.name(), ground.name())
                      .arg(ratio, 0, 'f', 2)
                      .arg(needed);
    }
  }
};

QColor itemForeground(const QBrush& brush, const QColor& fallback) {
  return brush.style() == Qt::NoBrush ? fallback : brush.color();
}

void checkWindow(QWidget* window, const QString& name, Findings& found) {
  QList<QWidget*> widgets = window->findChildren<QWidget*>();
  widgets.prepend(window);
  for (QWidget* w : widgets) {
    if (w != window && !w->isVisibleTo(window)) continue;
    // A control that cannot be used is exempt, as the guidelines have it.
    if (!w->isEnabled()) continue;
    if (w->isWindow() && w != window) continue;
    const QString where =
        name + "/" + (w->objectName().isEmpty() ? w->metaObject()->className() : w->objectName());
    const QPalette& p = w->palette();
    if (auto* label = qobject_cast<QLabel*>(w)) {
      if (label->text().trimmed().isEmpty()) continue;
      found.judge(where + " 「" + label->text().left(12) + "」", p.color(label->foregroundRole()),
                  groundOf(label), isLarge(label->font()));
    } else if (qobject_cast<QRadioButton*>(w) || qobject_cast<QCheckBox*>(w)) {
      auto* button = static_cast<QAbstractButton*>(w);
      if (button->text().isEmpty()) continue;
      found.judge(where, p.color(QPalette::WindowText), groundOf(w), isLarge(w->font()));
    } else if (auto* button = qobject_cast<QPushButton*>(w)) {
      if (button->text().isEmpty()) continue;
      found.judge(where, p.color(QPalette::ButtonText), p.color(QPalette::Button),
                  isLarge(w->font()));
    } else if (qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
               qobject_cast<QTextEdit*>(w) || qobject_cast<QPlainTextEdit*>(w)) {
      if (qobject_cast<QLineEdit*>(w) && qobject_cast<QAbstractSpinBox*>(w->parentWidget()))
        continue;
      found.judge(where, p.color(QPalette::Text), p.color(QPalette::Base), isLarge(w->font()));
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
      if (combo->isEditable()) continue;  // its line edit is judged
      found.judge(where, p.color(QPalette::ButtonText), p.color(QPalette::Button),
                  isLarge(w->font()));
    } else if (auto* list = qobject_cast<QListWidget*>(w)) {
      for (int i = 0; i < list->count(); ++i) {
        const QListWidgetItem* item = list->item(i);
        const QColor ground = item->background().style() == Qt::NoBrush
                                  ? p.color(QPalette::Base)
                                  : item->background().color();
        found.judge(where + " 「" + item->text().left(12) + "」",
                    itemForeground(item->foreground(), p.color(QPalette::Text)), ground,
                    isLarge(item->font()));
      }
    } else if (auto* tree = qobject_cast<QTreeWidget*>(w)) {
      for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = tree->topLevelItem(i);
        for (int c = 0; c < tree->columnCount(); ++c) {
          if (item->text(c).isEmpty()) continue;
          const QColor ground = item->background(c).style() == Qt::NoBrush
                                    ? p.color(QPalette::Base)
                                    : item->background(c).color();
          found.judge(where + " 「" + item->text(c).left(12) + "」",
                      itemForeground(item->foreground(c), p.color(QPalette::Text)), ground,
                      isLarge(item->font(c)));
        }
      }
    }
  }
}

// The date dialog's drop-down calendar: every day of the shown month with its format.
void checkCalendar(QCalendarWidget* calendar, const QString& name, Findings& found) {
  const QPalette& p = calendar->palette();
  const QDate first(calendar->yearShown(), calendar->monthShown(), 1);
  for (QDate day = first; day.month() == first.month(); day = day.addDays(1)) {
    QTextCharFormat format = calendar->weekdayTextFormat(Qt::DayOfWeek(day.dayOfWeek()));
    format.merge(calendar->dateTextFormat(day));
    const QColor text = format.foreground().style() == Qt::NoBrush ? p.color(QPalette::Text)
                                                                   : format.foreground().color();
    const QColor ground = format.background().style() == Qt::NoBrush ? p.color(QPalette::Base)
                                                                     : format.background().color();
    found.judge(name + " " + day.toString(Qt::ISODate), text, ground, false);
  }
}

QByteArray cp932(const char* utf8) {
  return encodeCp932(QString::fromUtf8(utf8)).value_or(QByteArray());
}

}  // namespace

class PalettesTest : public QObject {
  Q_OBJECT

  QPalette platformPalette_;

 private slots:
  void initTestCase() {
    installJapaneseLanguage(*qApp);
    platformPalette_ = QApplication::palette();
  }

  void everyTextReads_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QPalette>("palette");
    QTest::newRow("light") << "light" << QApplication::style()->standardPalette();
    QTest::newRow("Breeze Dark") << "Breeze Dark" << breezeDark();
    QTest::newRow("high contrast") << "high contrast" << highContrast();
    const QByteArray theme = qgetenv("QT_QPA_PLATFORMTHEME");
    if (!theme.isEmpty()) {
      const QString name =
          QStringLiteral("platform theme %1 %2")
              .arg(QString::fromLocal8Bit(theme), QString::fromLocal8Bit(qgetenv("GTK_THEME")));
      QTest::newRow(qPrintable(name)) << name << platformPalette_;
    }
  }
  void everyTextReads() {
    QFETCH(QString, name);
    QFETCH(QPalette, palette);
    QApplication::setPalette(palette);
    Findings found;

    FakePlatform platform;
    platform.clock = QDateTime(QDate(2026, 12, 9), QTime(12, 0, 30));
    SharedState state;
    AppContext context{state, platform, [] {}};
    QTemporaryDir dir;
    state.CurrentDataFile = dir.filePath("sample.dat");
    auto entry = [](const char* date, const char* subject, int done) {
      return "\"" + QByteArray(date) + "\",\"" + cp932(subject) + "\",\"\"," +
             QByteArray::number(done) + ",0\r\n";
    };
    // On today, an ordinary day, a Saturday, a Sunday and holidays of November and December.
    writeBytes(state.CurrentDataFile,
               entry("2026/12/20", "忘年会", 0) + entry("2026/12/13", "大掃除", 0) +
                   entry("2026/12/12", "買い物", 0) + entry("2026/12/09", "会議", 0) +
                   entry("2026/12/09", "歯医者", 1) + entry("2026/11/23", "休み", 0) +
                   entry("2026/11/08", "散歩", 0) + kMarkerLine + "\"" + cp932("朝の散歩") +
                   "\",\"2\",\"\",\"\",\"\",\"07\",\"30\",\"\"\r\n");
    state.SelYear = 2026;
    state.SelMonth = 12;
    state.SelDay = 9;
    state.MonthDays[0] = 1;

    {
      StartupWindow startup(context);
      startup.load();
      startup.show();
      checkWindow(&startup, "Form1", found);
    }
    MainWindow main(context);
    main.show();
    for (const QDate& day : {QDate(2026, 12, 9), QDate(2026, 12, 13), QDate(2026, 12, 12),
                             QDate(2026, 11, 23), QDate(2026, 11, 3)}) {
      state.SelYear = day.year();
      state.SelMonth = day.month();
      state.SelDay = day.day();
      main.refreshAllViews();
      checkWindow(&main, "Form2 " + day.toString(Qt::ISODate), found);
    }
    {
      EditorWindow editor(context, main, &main);
      editor.prepareNewEntry(QStringLiteral("2026/12/09(水)の予定"));
      editor.show();
      checkWindow(&editor, "Form5 new", found);
    }
    {
      EditorWindow editor(context, main, &main);
      editor.openTimerRow({QStringLiteral("朝の散歩"), QStringLiteral("毎日"), QString(),
                           QStringLiteral("07:30"), QString()});
      editor.show();
      checkWindow(&editor, "Form5 timer", found);
    }
    {
      DateDialog dialog(context, main, &main);
      dialog.show();
      checkWindow(&dialog, "Form3", found);
      QCalendarWidget* calendar = dialog.picker()->calendarWidget();
      for (const QDate& month : {QDate(2026, 11, 1), QDate(2026, 12, 1), QDate(2026, 5, 1)}) {
        calendar->setCurrentPage(month.year(), month.month());
        checkCalendar(calendar, "Form3 calendar", found);
      }
    }
    {
      SearchWindow search(context, main, &main);
      search.show();
      checkWindow(&search, "Form6", found);
    }
    {
      UsageHelpWindow help(context, main, &main);
      help.show();
      checkWindow(&help, "Form7", found);
    }
    {
      VersionWindow about(context, main, &main);
      about.show();
      checkWindow(&about, "frmAbout", found);
    }
    QImage picture(400, 300, QImage::Format_RGB32);
    picture.fill(QColor(250, 200, 0));
    for (const bool withPicture : {true, false}) {
      for (const bool late : {false, true}) {
        AlarmPopup popup(context, main);
        popup.load();
        popup.setTitle(QStringLiteral("朝の散歩"));
        popup.setDueTime(late ? QStringLiteral("07:30 の予定です") : QStringLiteral("07:30"), late);
        popup.setPicture(withPicture ? picture : QImage());
        popup.present();
        checkWindow(
            &popup,
            QStringLiteral("Form4%1%2").arg(withPicture ? "" : " plain", late ? " late" : ""),
            found);
        popup.closeForNextAlarm();
      }
    }
    qInfo("%s: lowest contrast %.2f:1 at %s", qPrintable(name), found.lowest,
          qPrintable(found.lowestWhere));
    QApplication::setPalette(platformPalette_);
    for (const QString& problem : std::as_const(found.problems))
      qWarning("%s", qPrintable(problem));
    QVERIFY2(found.problems.isEmpty(),
             qPrintable(QStringLiteral("%1 texts do not read").arg(found.problems.size())));
  }
};

QTEST_MAIN(PalettesTest)
#include "tst_palettes.moc"
