#include "app/Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "app/DesktopIntegration.h"
#include "store/SystemError.h"

namespace {

// A string value's escapes (\s \n \t \r \\) undone.
QString unescapeValue(const QString& value) {
  QString out;
  out.reserve(value.size());
  for (qsizetype i = 0; i < value.size(); ++i) {
    if (value[i] != u'\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    const QChar next = value[++i];
    if (next == u's') {
      out += u' ';
    } else if (next == u'n') {
      out += u'\n';
    } else if (next == u't') {
      out += u'\t';
    } else if (next == u'r') {
      out += u'\r';
    } else {
      out += next;  // "\\" and anything unknown
    }
  }
  return out;
}

}  // namespace

QString autostartEntryPath() {
  return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
      .filePath(QStringLiteral("autostart/yotenna.desktop"));
}

QString execArgument(const QString& argument) {
  // Characters that make the argument need quotes, and those escaped inside the quotes.
  static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
  bool quote = argument.isEmpty();
  for (const QChar c : argument) quote = quote || reserved.contains(c);
  QString arg;
  for (const QChar c : argument) {
    if (quote && (c == u'"' || c == u'`' || c == u'$' || c == u'\\')) arg += u'\\';
    arg += c;
  }
  if (quote) arg = u'"' + arg + u'"';
  arg.replace(u'%', QStringLiteral("%%"));
  // Then the escapes of any string value: a backslash doubles again, a line break is \n.
  QString value;
  for (const QChar c : arg) {
    if (c == u'\\') {
      value += QStringLiteral("\\\\");
    } else if (c == u'\n') {
      value += QStringLiteral("\\n");
    } else if (c == u'\t') {
      value += QStringLiteral("\\t");
    } else if (c == u'\r') {
      value += QStringLiteral("\\r");
    } else {
      value += c;
    }
  }
  return value;
}

QStringList execArguments(const QString& value) {
  const QString text = unescapeValue(value);
  QStringList arguments;
  QString current;
  bool inArgument = false;
  bool quoted = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (quoted) {
      if (c == u'\\' && i + 1 < text.size()) {
        current += text[++i];
      } else if (c == u'"') {
        quoted = false;
      } else {
        current += c;
      }
    } else if (c == u'"') {
      quoted = true;
      inArgument = true;
    } else if (c == u' ' || c == u'\t') {
      if (inArgument) arguments.append(current);
      current.clear();
      inArgument = false;
    } else {
      current += c;
      inArgument = true;
    }
  }
  if (inArgument) arguments.append(current);
  for (QString& argument : arguments) argument.replace(QStringLiteral("%%"), QStringLiteral("%"));
  return arguments;
}

QByteArray autostartEntry(const QString& program, const QString& dataFile) {
  QString text;
  text += QStringLiteral("[Desktop Entry]\n");
  text += QStringLiteral("Type=Application\n");
  text += QStringLiteral("Name=Yotenna\n");
  text += QStringLiteral("Comment=Opens your schedule and rings its timers\n");
  text += QStringLiteral("Comment[ja]=予定を開いてタイマーを鳴らします\n");
  text += QStringLiteral("Exec=%1 %2\n").arg(execArgument(program), execArgument(dataFile));
  text += QStringLiteral("Icon=yotenna\n");
  text += QStringLiteral("Terminal=false\n");
  text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
  return text.toUtf8();
}

std::optional<QString> autostartDataFile(const QString& entryPath) {
  QFile file(entryPath);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  bool inMainGroup = false;
  std::optional<QString> dataFile;
  for (const QByteArray& rawLine : file.readAll().split('\n')) {
    const QString line = QString::fromUtf8(rawLine).trimmed();
    if (line.startsWith(u'[')) {
      inMainGroup = line == u"[Desktop Entry]";
      continue;
    }
    if (!inMainGroup) continue;
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0) continue;
    const QString key = line.left(equals).trimmed();
    const QString value = line.mid(equals + 1).trimmed();
    if (key == u"Hidden" && value == u"true") return std::nullopt;
    if (key == u"X-GNOME-Autostart-enabled" && value == u"false") return std::nullopt;
    if (key == u"Exec") {
      const QStringList arguments = execArguments(value);
      dataFile = arguments.size() >= 2 ? std::optional(arguments[1]) : std::nullopt;
    }
  }
  return dataFile;
}

bool autostartsWith(const QString& dataFile, const QString& entryPath) {
  const std::optional<QString> started = autostartDataFile(entryPath);
  return started && !dataFile.isEmpty() && isSameFile(*started, dataFile);
}

Status writeAutostartEntry(const QString& program, const QString& dataFile,
                           const QString& entryPath) {
  const QString folder = QFileInfo(entryPath).absolutePath();
  if (!QDir().mkpath(folder)) {
    return Status::failure(
        QStringLiteral("ログイン時に起動する設定を書けません。フォルダ%1を作れません。")
            .arg(quotedPath(folder)));
  }
  QSaveFile file(entryPath);
  if (!file.open(QIODevice::WriteOnly) || file.write(autostartEntry(program, dataFile)) < 0 ||
      !file.commit()) {
    return Status::failure(QStringLiteral("ログイン時に起動する設定%1を書けません（%2）")
                               .arg(quotedPath(entryPath), file.errorString()));
  }
  return Status::success();
}

Status removeAutostartEntry(const QString& entryPath) {
  QFile file(entryPath);
  if (!file.exists() || file.remove()) return Status::success();
  return Status::failure(QStringLiteral("ログイン時に起動する設定%1を消せません（%2）")
                             .arg(quotedPath(entryPath), file.errorString()));
}
