#include "exchange/CalendarFile.h"

#include <QFile>

#include "store/RegularFile.h"
#include "store/SystemError.h"

namespace {

// A calendar larger than this is taken for a mistake rather than read into memory.
constexpr qint64 kMaxFileSize = 32 * 1024 * 1024;

}  // namespace

CalendarFile readCalendarFile(const QString& path) {
  using Outcome = RegularFileOpening::Outcome;
  CalendarFile read;
  QFile file;
  // What is read is the file that was opened: it cannot be swapped for a pipe after a check.
  const RegularFileOpening opening = openRegularFile(file, path);
  switch (opening.outcome) {
    case Outcome::Opened:
      break;
    case Outcome::Missing:
      read.refusal = QStringLiteral("ファイル%1が見つかりません。").arg(quotedPath(path));
      return read;
    case Outcome::Folder:
    case Outcome::NotRegular:
      // A pipe or a device could block the program or never end.
      read.refusal = QStringLiteral("%1は普通のファイルではありません。").arg(quotedPath(path));
      return read;
    case Outcome::Failed:
      read.refusal = QStringLiteral("%1を開けません（%2）。")
                         .arg(quotedPath(path), opening.systemError != 0
                                                    ? describeSystemError(opening.systemError)
                                                    : file.errorString());
      return read;
  }
  if (opening.size > kMaxFileSize) {
    read.refusal = QStringLiteral("%1は大きすぎます（%2 MB を超えています）。")
                       .arg(quotedPath(path))
                       .arg(kMaxFileSize / (1024 * 1024));
    return read;
  }
  read.bytes = file.read(kMaxFileSize + 1);
  if (file.error() != QFileDevice::NoError) {
    read.refusal =
        QStringLiteral("%1を読めません（%2）。").arg(quotedPath(path), file.errorString());
    read.bytes.clear();
  }
  return read;
}
