#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Wording {
  const char* context;
  const char* source;
  const char* japanese;
};

// Qt's own texts of the command line that Debian's qtbase_ja lacks: the help options and the
// generic options of every Qt program that --help-all lists (but --qmljsdebugger, whose text
// QtCore never offers for translation).
constexpr Wording kQtWordings[] = {
    {"QCommandLineParser", "Displays help on commandline options.",
     "コマンドラインオプションのヘルプを表示する。"},
    {"QCommandLineParser", "Displays help including Qt specific options.",
     "Qt 共通のオプションも含めたヘルプを表示する。"},
    {"QGuiApplication",
     "QPA plugin. See QGuiApplication documentation for available options for each plugin.",
     "QPA プラグイン。プラグインごとのオプションは QGuiApplication の説明書を参照。"},
    {"QGuiApplication", "Path to the platform plugins.", "プラットフォームプラグインの場所。"},
    {"QGuiApplication", "Platform theme.", "プラットフォームテーマ。"},
    {"QGuiApplication", "Additional plugins to load, can be specified multiple times.",
     "追加で読み込むプラグイン（何度でも指定できる）。"},
    {"QGuiApplication",
     "Window geometry for the main window, using the X11-syntax, like 100x100+50+50.",
     "メインウィンドウの位置と大きさ（X11 の書き方、たとえば 100x100+50+50）。"},
    {"QGuiApplication", "Default window icon.", "ウィンドウの既定のアイコン。"},
    {"QGuiApplication", "Title of the first window.", "最初のウィンドウのタイトル。"},
    {"QGuiApplication",
     "Sets the application's layout direction to Qt::RightToLeft (debugging helper).",
     "レイアウトの向きを右から左（Qt::RightToLeft）にする（デバッグ用）。"},
    {"QGuiApplication", "Restores the application from an earlier session.",
     "以前のセッションから復元する。"},
};

class QtCommandLineJapanese : public QTranslator {
 public:
  QString translate(const char* context, const char* sourceText, const char* /*disambiguation*/,
                    int /*n*/) const override {
    if (!context || !sourceText) return {};
    for (const Wording& wording : kQtWordings) {
      if (std::strcmp(context, wording.context) == 0 &&
          std::strcmp(sourceText, wording.source) == 0) {
        return QString::fromUtf8(wording.japanese);
      }
    }
    return {};
  }
  bool isEmpty() const override { return false; }
};

}  // namespace

bool commandLineInJapanese(const QLocale& locale) {
  const QStringList languages = locale.uiLanguages();
  if (languages.isEmpty()) return locale.language() == QLocale::Japanese;
  return QLocale(languages.first()).language() == QLocale::Japanese;
}

void describeCommandLine(QCommandLineParser& parser, bool japanese) {
  if (japanese) {
    parser.setApplicationDescription(QStringLiteral(
        "Yotenna：祝日入りのカレンダーで予定を管理し、アラームタイマーでお知らせします。\n"
        "FILE を指定すると、そのデータファイルを起動画面なしで開きます。読み取れない\n"
        "ファイルは理由を表示して、代わりに起動画面を出します。"));
  } else {
    parser.setApplicationDescription(
        QStringLiteral("Yotenna: schedule entries on a calendar with Japan's holidays, and alarm "
                       "timers.\nFILE opens that data file without the start-up window; a file "
                       "that cannot be read\nis reported and the start-up window comes instead."));
  }
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(
      QStringLiteral("FILE"),
      japanese ? QStringLiteral("開くデータファイル（省略すると起動画面から選びます）")
               : QStringLiteral("The data file to open (without it, the start-up window asks)."),
      QStringLiteral("[FILE]"));
}

QString readCommandLine(QCoreApplication& app) {
  const bool japanese = commandLineInJapanese(QLocale::system());
  // Qt words its part (Usage, Options, the help and version options, its mistakes) through its
  // translation, which must be there before the parser is set up. It is removed again when
  // they go: the windows install their own Japanese, whatever the locale.
  QTranslator qtTexts;
  QtCommandLineJapanese qtRewordings;
  if (japanese) {
    if (qtTexts.load(QStringLiteral("qtbase_ja"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
      QCoreApplication::installTranslator(&qtTexts);
    }
    QCoreApplication::installTranslator(&qtRewordings);
  }
  QCommandLineParser parser;
  describeCommandLine(parser, japanese);
  parser.process(app);
  const QStringList files = parser.positionalArguments();
  if (files.size() > 1) {
    // A desktop entry's %f gives one file a start; more would be dropped without a word.
    const QString mistake =
        japanese ? QStringLiteral("開けるデータファイルは一つだけです: %1").arg(files.join(u' '))
                 : QStringLiteral("Only one data file can be opened: %1").arg(files.join(u' '));
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                 qPrintable(mistake));
    std::exit(EXIT_FAILURE);
  }
  return files.value(0);
}
