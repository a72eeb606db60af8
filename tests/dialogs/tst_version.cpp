// The version window's core: its texts, registry values as text, and where the
// system-information program is found.
#include <QMap>
#include <QSet>
#include <QTest>

#include "dialogs/VersionInfo.h"
#include "dialogs/WindowsRegistry.h"

namespace {

const QString kMsinfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kLocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");

// A registry holding the values a test puts in it, under HKEY_LOCAL_MACHINE.
class FakeRegistry final : public RegistryReader {
 public:
  void put(const QString& key, const QString& name, quint32 type, const QByteArray& data) {
    values_.insert(key + '|' + name, RegistryValue{type, data});
  }
  std::optional<RegistryValue> read(RegistryRoot root, const QString& key,
                                    const QString& name) const override {
    if (root != RegistryRoot::LocalMachine) return std::nullopt;
    const auto it = values_.constFind(key + '|' + name);
    if (it == values_.cend()) return std::nullopt;
    return *it;
  }

 private:
  QMap<QString, RegistryValue> values_;
};

}  // namespace

class VersionTest : public QObject {
  Q_OBJECT

 private slots:
  void texts() {
    const VersionTexts texts = versionTexts();
    QCOMPARE(texts.caption, u"Yotennaのﾊﾞｰｼﾞｮﾝ情報"_qs);
    QCOMPARE(texts.title, u"Yotenna"_qs);
    QCOMPARE(texts.version, u"Version 1.1.5"_qs);
    QCOMPARE(texts.description,
             u"アプリケーションの説明"_qs + QString(48, QChar(0x3000)) +
                 u"カレンダーに予定を書き込んだり、目覚まし時計のように教えてくれる機能があります"
                 u"ので何かに夢中になっていて忘れてしまうということを防いでくれます。"_qs);
    QCOMPARE(texts.disclaimer, u"Copyright (C) Yotenna developers"_qs);
  }

  void versionLabel_data() {
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("revision");
    QTest::addColumn<QString>("expected");
    QTest::newRow("this version") << 1 << 1 << 5 << "Version 1.1.5";
    QTest::newRow("no leading zeros") << 10 << 0 << 12 << "Version 10.0.12";
  }

  void versionLabel() {
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, revision);
    QFETCH(QString, expected);
    QCOMPARE(::versionLabel(major, minor, revision), expected);
  }

  void noticeParts() {
    QCOMPARE(joinNoticeParts({"a"}), u"a"_qs);
    QCOMPARE(joinNoticeParts({"a", "b", "c", "d", "e", "f"}),
             "a" + QString(58, ' ') + "b" + QString(35, ' ') + "c" + QString(27, ' ') + "d" +
                 QString(34, ' ') + "e" + QString(17, ' ') + "f");
  }

  void valueText_data() {
    QTest::addColumn<quint32>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("expected");
    QTest::newRow("string with its zero")
        << 1u << QByteArray("C:\\Tools\\MSINFO32.EXE\0", 22) << "C:\\Tools\\MSINFO32.EXE";
    QTest::newRow("string without zero") << 1u << QByteArray("C:\\Tools") << "C:\\Tools";
    QTest::newRow("string, stray bytes after the zero")
        << 1u << QByteArray("C:\\A\0\0xy\0", 9) << "C:\\A";
    QTest::newRow("empty string") << 1u << QByteArray("\0", 1) << "";
    QTest::newRow("number") << 4u << QByteArray("\x02\x01\x00\x00", 4) << "&h102";
    QTest::newRow("number, zero bytes inside")
        << 4u << QByteArray("\x0D\x0C\x0B\x0A", 4) << "&hA0B0C0D";
    QTest::newRow("number zero") << 4u << QByteArray("\0\0\0\0", 4) << "&h0";
    QTest::newRow("largest number") << 4u << QByteArray("\xFF\xFF\xFF\xFF", 4) << "&hFFFFFFFF";
    QTest::newRow("short number") << 4u << QByteArray("\x10", 1) << "&h10";
    QTest::newRow("expandable string") << 2u << QByteArray("%SystemRoot%\0", 13) << "";
    QTest::newRow("binary") << 3u << QByteArray("\x01\x02", 2) << "";
  }

  void valueText() {
    QFETCH(quint32, type);
    QFETCH(QByteArray, data);
    QFETCH(QString, expected);
    QCOMPARE(registryValueText(RegistryValue{type, data}), expected);
  }

  // A value of a type without text is still found; a missing one is not.
  void getKeyValue() {
    FakeRegistry registry;
    registry.put("K", "bin", 3, "\x01");
    QCOMPARE(GetKeyValue(registry, RegistryRoot::LocalMachine, "K", "bin"), QString());
    QCOMPARE(GetKeyValue(registry, RegistryRoot::LocalMachine, "K", "other"), std::nullopt);
    QCOMPARE(GetKeyValue(registry, RegistryRoot::CurrentUser, "K", "bin"), std::nullopt);
  }

  void sysInfo_data() {
    QTest::addColumn<QByteArray>("path");      // the value "PATH", none when empty
    QTest::addColumn<QByteArray>("location");  // the value "MSINFO", none when empty
    QTest::addColumn<QStringList>("files");    // the files that exist
    QTest::addColumn<QString>("expected");     // the program started, "" for the message

    const QByteArray exe("C:\\Tools\\msinfo32.exe\0", 22);
    const QByteArray folder("C:\\Shared\\MSInfo\0", 17);
    const QString inFolder = "C:\\Shared\\MSInfo\\MSINFO32.EXE";
    QTest::newRow("nothing registered") << QByteArray() << QByteArray() << QStringList{} << "";
    QTest::newRow("path to a file")
        << exe << folder << QStringList{"C:\\Tools\\msinfo32.exe", inFolder}
        << "C:\\Tools\\msinfo32.exe";
    QTest::newRow("path to a missing file") << exe << QByteArray() << QStringList{} << "";
    QTest::newRow("path missing, folder has it")
        << exe << folder << QStringList{inFolder} << inFolder;
    QTest::newRow("folder has it") << QByteArray() << folder << QStringList{inFolder} << inFolder;
    QTest::newRow("folder without the program")
        << QByteArray() << folder << QStringList{"C:\\Shared\\MSInfo"} << "";
    QTest::newRow("empty folder value")
        << QByteArray() << QByteArray("\0", 1) << QStringList{"\\MSINFO32.EXE"} << "";
  }

  void sysInfo() {
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, location);
    QFETCH(QStringList, files);
    QFETCH(QString, expected);

    FakeRegistry registry;
    if (!path.isEmpty()) registry.put(kMsinfoKey, "PATH", kRegistryString, path);
    if (!location.isEmpty()) registry.put(kLocationKey, "MSINFO", kRegistryString, location);
    const QSet<QString> existing(files.cbegin(), files.cend());

    const SysInfoStart start =
        sysInfoStart(registry, [&](const QString& file) { return existing.contains(file); });
    QCOMPARE(start.program.value_or(QString()), expected);
    QCOMPARE(start.unavailable.text, u"現時点ではｼｽﾃﾑ情報を使用できません"_qs);
    QCOMPARE(start.unavailable.title, u"Yotenna"_qs);
    QCOMPARE(start.unavailable.icon, MessageIcon::None);
  }

  // Without a registry the program is never found, whatever files exist.
  void noRegistryHere() {
#ifdef Q_OS_WIN
    QSKIP("this system has a registry");
#else
    const SysInfoStart start =
        sysInfoStart(systemRegistryReader(), [](const QString&) { return true; });
    QCOMPARE(start.program, std::nullopt);
#endif
  }
};

QTEST_GUILESS_MAIN(VersionTest)
#include "tst_version.moc"
