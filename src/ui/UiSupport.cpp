#include "ui/UiSupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>
#include <QTranslator>
#include <QWidget>

#include "shared/Twips.h"
#include "ui/FileDialogs.h"

namespace {

double logicalDpi() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->logicalDotsPerInch() : 96.0;
}

}  // namespace

void initResources() { Q_INIT_RESOURCE(resources); }

int twips(double value) { return twipsToPixels(value, logicalDpi()); }

QRect twipsRect(double left, double top, double width, double height) {
  return QRect(twips(left), twips(top), twips(width), twips(height));
}

QFont japaneseFont(double pointSize, bool bold) {
  QFont font;
  font.setFamilies({QStringLiteral("MS PGothic"), QStringLiteral("ＭＳ Ｐゴシック"),
                    QStringLiteral("Noto Sans CJK JP")});
  font.setPointSizeF(pointSize);
  font.setBold(bold);
  return font;
}

QFont popFont(double pointSize) {
  QFont font = japaneseFont(pointSize);
  QStringList families{QStringLiteral("HGS創英角ﾎﾟｯﾌﾟ体"), QStringLiteral("HGP創英角ﾎﾟｯﾌﾟ体")};
  families.append(font.families());
  font.setFamilies(families);
  return font;
}

void makeFixedWindow(QWidget* window, bool allowMinimise) {
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint;
  if (allowMinimise) flags |= Qt::WindowMinimizeButtonHint;
  window->setWindowFlags(flags);
}

void installJapaneseLanguage(QApplication& app) {
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  // qt_ja gathers the catalogues of every Qt module (Debian's qt6-translations-l10n: qtbase,
  // qtdeclarative, qtmultimedia, ...); the dialogs and message boxes need qtbase_ja, which is
  // loaded alone where the gathering file is missing. The supplement covers what it lacks.
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  for (const char* name : {"qt_ja", "qtbase_ja"}) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QLatin1String(name), folder)) {
      QCoreApplication::installTranslator(translator);
      break;
    }
    delete translator;
  }
  QCoreApplication::installTranslator(new QtJapaneseSupplement(&app));
  app.setFont(japaneseFont(9));
}

void setAccessible(QWidget* widget, const QString& name) {
  widget->setAccessibleName(name);
  if (!widget->toolTip().isEmpty()) widget->setAccessibleDescription(widget->toolTip());
  if (auto* box = qobject_cast<QComboBox*>(widget)) {
    // A screen reader meets the box's field and its drop-down list on their own as well.
    if (box->lineEdit()) box->lineEdit()->setAccessibleName(name);
    box->view()->setAccessibleName(name);
  }
}
