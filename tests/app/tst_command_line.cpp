// The command line of the built program: its help in the locale's language (Qt's own lines
// included), the version, mistakes refused on standard error, a file name after "--".
#include <QCommandLineParser>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "app/CommandLine.h"

namespace {

using Environment = QList<QPair<QString, QString>>;

struct Run {
  int exitCode = -1;
  QString out;
  QString err;
};

const QString kHelpJapanese = QStringLiteral(
    "使い方: " YOTENNA_PROGRAM
    " [オプション] [FILE]\n"
    "Yotenna：祝日入りのカレンダーで予定を管理し、アラームタイマーでお知らせします。\n"
    "FILE を指定すると、そのデータファイルを起動画面なしで開きます。読み取れない\n"
    "ファイルは理由を表示して、代わりに起動画面を出します。\n"
    "\n"
    "オプション:\n"
    "  -h, --help     コマンドラインオプションのヘルプを表示する。\n"
    "  --help-all     Qt 共通のオプションも含めたヘルプを表示する。\n"
    "  -v, --version  バージョン情報を表示する。\n"
    "\n"
    "引数:\n"
    "  FILE           開くデータファイル（省略すると起動画面から選びます）\n");

const QString kHelpEnglish = QStringLiteral(
    "Usage: " YOTENNA_PROGRAM
    " [options] [FILE]\n"
    "Yotenna: schedule entries on a calendar with Japan's holidays, and alarm timers.\n"
    "FILE opens that data file without the start-up window; a file that cannot be read\n"
    "is reported and the start-up window comes instead.\n"
    "\n"
    "Options:\n"
    "  -h, --help     Displays help on commandline options.\n"
    "  --help-all     Displays help including Qt specific options.\n"
    "  -v, --version  Displays version information.\n"
    "\n"
    "Arguments:\n"
    "  FILE           The data file to open (without it, the start-up window asks).\n");

}  // namespace

class CommandLineTest : public QObject {
  Q_OBJECT

  QTemporaryDir runtime_;

  // The built program, in a locale given by the environment alone: none of the caller's
  // language variables leak in.
  Run run(const QStringList& arguments, const Environment& language) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
      environment.remove(QString::fromLatin1(name));
    }
    for (const auto& [name, value] : language) environment.insert(name, value);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_RUNTIME_DIR", runtime_.path());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(YOTENNA_PROGRAM), arguments);
    if (!process.waitForFinished(30000)) {
      process.kill();
      process.waitForFinished();
      return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
  }

 private slots:
  void initTestCase() {
    QVERIFY(runtime_.isValid());
    QFile::setPermissions(runtime_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }

  void help_data() {
    QTest::addColumn<Environment>("language");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("help");
    // Qt reads the language from the variables alone: no ja_JP locale needs to be generated.
    QTest::newRow("LANG=ja_JP.UTF-8")
        << Environment{{"LANG", "ja_JP.UTF-8"}} << "--help" << kHelpJapanese;
    QTest::newRow("-h, Japanese") << Environment{{"LANG", "ja_JP.UTF-8"}} << "-h" << kHelpJapanese;
    QTest::newRow("LANG=C.UTF-8") << Environment{{"LANG", "C.UTF-8"}} << "--help" << kHelpEnglish;
    QTest::newRow("no language at all") << Environment{} << "--help" << kHelpEnglish;
    QTest::newRow("LANG=en_US.UTF-8")
        << Environment{{"LANG", "en_US.UTF-8"}} << "--help" << kHelpEnglish;
    QTest::newRow("LC_MESSAGES beats LANG")
        << Environment{{"LANG", "C.UTF-8"}, {"LC_MESSAGES", "ja_JP.UTF-8"}} << "--help"
        << kHelpJapanese;
    QTest::newRow("LC_ALL beats LANG")
        << Environment{{"LANG", "ja_JP.UTF-8"}, {"LC_ALL", "C.UTF-8"}} << "--help" << kHelpEnglish;
  }
  void help() {
    QFETCH(Environment, language);
    QFETCH(QString, option);
    QFETCH(QString, help);
    const Run result = run({option}, language);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, help);
  }

  // --help-all adds Qt's generic options, worded in Japanese as well (but --qmljsdebugger's,
  // which Qt never translates).
  void helpAllJapanese() {
    const Run result = run({"--help-all"}, {{"LANG", "ja_JP.UTF-8"}});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.out.startsWith(kHelpJapanese.section(u'\n', 0, 5)));
    for (const char* line : {
             "  --help-all                           Qt "
             "共通のオプションも含めたヘルプを表示する。\n",
             "  --platformpluginpath <path>          プラットフォームプラグインの場所。\n",
             "  --qwindowtitle <title>               最初のウィンドウのタイトル。\n",
         }) {
      QVERIFY2(result.out.contains(QString::fromUtf8(line)), line);
    }
    QVERIFY(!result.out.contains(QStringLiteral("Platform theme.")));
  }

  void version_data() {
    QTest::addColumn<QString>("lang");
    QTest::newRow("Japanese") << "ja_JP.UTF-8";
    QTest::newRow("English") << "C.UTF-8";
  }
  void version() {
    QFETCH(QString, lang);
    const Run result = run({"--version"}, {{"LANG", lang}});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QStringLiteral("Yotenna " YOTENNA_VERSION "\n"));
  }

  // Mistakes end the program before any window, with the reason on standard error alone.
  void mistakes_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QString>("error");
    QTest::newRow("unknown option, Japanese")
        << QStringList{"--bogus"} << "ja_JP.UTF-8"
        << QStringLiteral("Yotenna: 'bogus' は未知のオプションです。\n");
    QTest::newRow("unknown option, English")
        << QStringList{"--bogus"} << "C.UTF-8"
        << QStringLiteral("Yotenna: Unknown option 'bogus'.\n");
    QTest::newRow("a value for --version")
        << QStringList{"--version=2"} << "C.UTF-8"
        << QStringLiteral("Yotenna: Unexpected value after '--version'.\n");
    QTest::newRow("two files, Japanese")
        << QStringList{"a.dat", "b.dat"} << "ja_JP.UTF-8"
        << QStringLiteral("Yotenna: 開けるデータファイルは一つだけです: a.dat b.dat\n");
    QTest::newRow("two files, English")
        << QStringList{"a.dat", "b.dat"} << "C.UTF-8"
        << QStringLiteral("Yotenna: Only one data file can be opened: a.dat b.dat\n");
  }
  void mistakes() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, lang);
    QFETCH(QString, error);
    const Run result = run(arguments, {{"LANG", lang}});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.out, QString());
    QCOMPARE(result.err, error);
  }

  // What the program is given to open; a name that begins with "-" comes after "--".
  void files_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("none") << QStringList{"yotenna"} << true << QStringList{};
    QTest::newRow("a file") << QStringList{"yotenna", "予定.dat"} << true
                            << QStringList{"予定.dat"};
    QTest::newRow("-- -file.dat") << QStringList{"yotenna", "--", "-file.dat"} << true
                                  << QStringList{"-file.dat"};
    QTest::newRow("-file.dat alone is options")
        << QStringList{"yotenna", "-file.dat"} << false << QStringList{};
  }
  void files() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, accepted);
    QFETCH(QStringList, files);
    QCommandLineParser parser;
    describeCommandLine(parser, false);
    QCOMPARE(parser.parse(arguments), accepted);
    if (accepted) QCOMPARE(parser.positionalArguments(), files);
  }

  void language_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<bool>("japanese");
    QTest::newRow("ja_JP") << QLocale(QLocale::Japanese, QLocale::Japan) << true;
    QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << false;
    QTest::newRow("C") << QLocale::c() << false;
  }
  void language() {
    QFETCH(QLocale, locale);
    QFETCH(bool, japanese);
    QCOMPARE(commandLineInJapanese(locale), japanese);
  }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_command_line.moc"
