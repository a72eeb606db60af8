#include "dialogs/VersionInfo.h"

#include <QFileInfo>
#include <array>

#include "shared/Version.h"

namespace {

// The runs of spaces after the first five parts of the notice.
constexpr std::array<int, 5> kNoticeGaps = {58, 35, 27, 34, 17};

const QString kRightsLine = QStringLiteral("Copyright (C) Yotenna developers");

// The heading fills the first line of the label, so the description starts on the second.
QString descriptionText() {
  return QStringLiteral("アプリケーションの説明") + QString(48, QChar(0x3000)) +
         QStringLiteral(
             "カレンダーに予定を書き込んだり、目覚まし時計のように教えてくれる機能"
             "がありますので何かに夢中になっていて忘れてしまうということを防いでくれ"
             "ます。");
}

}  // namespace

QString versionLabel(int major, int minor, int revision) {
  return QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(revision);
}

QString joinNoticeParts(const QStringList& parts) {
  QString notice;
  for (qsizetype i = 0; i < parts.size(); ++i) {
    if (i > 0) {
      const qsizetype gap = i - 1 < qsizetype(kNoticeGaps.size()) ? kNoticeGaps[i - 1] : 1;
      notice += QString(gap, QLatin1Char(' '));
    }
    notice += parts[i];
  }
  return notice;
}

QString mainWindowCaption() {
  return kAppTitle + u' ' + versionLabel(kVersionMajor, kVersionMinor, kVersionPatch);
}

VersionTexts versionTexts() {
  VersionTexts texts;
  texts.title = kAppTitle;
  texts.caption = kAppTitle + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報");
  texts.version = versionLabel(kVersionMajor, kVersionMinor, kVersionPatch);
  texts.description = descriptionText();
  // No address takes problem reports, so the notice has no problem-report line.
  texts.disclaimer = joinNoticeParts({kRightsLine});
  return texts;
}

bool fileExistsOnDisk(const QString& path) { return QFileInfo(path).isFile(); }

SysInfoStart sysInfoStart(const RegistryReader& registry, const FileExists& fileExists) {
  SysInfoStart start;
  start.unavailable = DialogMessage{QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"), kAppTitle,
                                    MessageIcon::None};

  // A "PATH" that names no file would only fail to start; the second place may still hold
  // the program.
  const std::optional<QString> path = GetKeyValue(
      registry, RegistryRoot::LocalMachine,
      QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"), QStringLiteral("PATH"));
  if (path && !path->isEmpty() && fileExists(*path)) {
    start.program = *path;
    return start;
  }

  const std::optional<QString> folder = GetKeyValue(
      registry, RegistryRoot::LocalMachine,
      QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"), QStringLiteral("MSINFO"));
  if (folder && !folder->isEmpty()) {
    const QString program = *folder + QStringLiteral("\\MSINFO32.EXE");
    if (fileExists(program)) start.program = program;
  }
  return start;
}
